#include "storage/History_Unit.h"

#include "storage/OldHistory_Unit.h"
#include "storage/PrivateFolder_Unit.h"
#include "storage/VersionCodec_Unit.h"
#include "storage/WholeFile_Unit.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <map>

namespace {

constexpr int BusyMs = 10000;
constexpr qint64 DayMs = 24LL * 60 * 60 * 1000;
// A delta that comes to more than this share of the text is no delta: the
// whole text is tried as well and the smaller kept.
constexpr qint64 DeltaShareLimit = 3;

struct TReasonName
{
    TVersionReason Reason;
    const char *Code;
    const char *Text;
};

const TReasonName ReasonNames[] = {
    {TVersionReason::ChangedOutside, "changed", "changed by another program"},
    {TVersionReason::BackupChangedOutside, "backup-changed",
     "backup file changed by another program"},
    {TVersionReason::FoundInBackup, "backup-found", "found in your backup file"},
    {TVersionReason::Unreadable, "unreadable", "could not be read"},
    {TVersionReason::TookFilesText, "took-file", "your text when you took the file's"},
    {TVersionReason::NewerAtRecovery, "newer-at-recovery", "newer file found at a recovery"},
    {TVersionReason::RecoveryDeclined, "recovery-declined", "recovery declined"},
    {TVersionReason::BeforeFirstSave, "first-save", "before the session's first save"},
    {TVersionReason::SavedEarlier, "saved-earlier", "your saved text"},
    {TVersionReason::ReadAgain, "read-again",
     "your text before another program's version was read"},
    {TVersionReason::SessionEnd, "session-end", "your text at the session's end"},
    {TVersionReason::BeforeRestore, "restore", "your text before a restore"},
    {TVersionReason::BeforeSaveAs, "save-as", "replaced by Save As"},
    {TVersionReason::LetGo, "let-go", "unsaved when you chose No"},
    {TVersionReason::BeforeReplaceAll, "replace-all", "your text before Replace All"},
};

const TReasonName *NameOf(TVersionReason reason)
{
    for (const TReasonName &name : ReasonNames) {
        if (name.Reason == reason)
            return &name;
    }
    return nullptr;
}

QString CodeOf(TVersionReason reason)
{
    const TReasonName *name = NameOf(reason);
    return name ? QString::fromLatin1(name->Code) : QStringLiteral("changed");
}

bool IsWhiteSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

std::int64_t MsOf(const QDateTime &time)
{
    return time.toMSecsSinceEpoch();
}

QDateTime TimeOf(std::int64_t ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

// The tables, as README.md describes them for a writer who reads their
// versions without Nudger.
const char *const SchemaSql = R"(
CREATE TABLE files (
    id INTEGER PRIMARY KEY,
    path TEXT NOT NULL UNIQUE
);
CREATE TABLE versions (
    id INTEGER PRIMARY KEY,
    file INTEGER NOT NULL REFERENCES files(id),
    kept INTEGER NOT NULL,
    reason TEXT NOT NULL,
    size INTEGER NOT NULL,
    words INTEGER NOT NULL,
    digest BLOB NOT NULL,
    base INTEGER REFERENCES versions(id),
    depth INTEGER NOT NULL,
    anchor INTEGER NOT NULL,
    data BLOB NOT NULL
);
CREATE INDEX versions_of_file ON versions(file, id);
CREATE INDEX versions_by_digest ON versions(file, digest);
PRAGMA user_version = 1;
)";

} // namespace

QString VersionReasonText(TVersionReason reason)
{
    const TReasonName *name = NameOf(reason);
    return name ? QString::fromUtf8(name->Text) : QString();
}

bool IsTimeline(TVersionReason reason)
{
    return reason == TVersionReason::SavedEarlier || reason == TVersionReason::BeforeFirstSave;
}

TVersionReason VersionReasonOfCode(const QString &code)
{
    for (const TReasonName &name : ReasonNames) {
        if (code == QLatin1String(name.Code))
            return name.Reason;
    }
    return TVersionReason::ChangedOutside;
}

bool VersionReasonOfText(const QString &text, TVersionReason &reason)
{
    for (const TReasonName &name : ReasonNames) {
        if (text == QString::fromUtf8(name.Text)) {
            reason = name.Reason;
            return true;
        }
    }
    return false;
}

QByteArray VersionDigest(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1);
}

// 0x80 in each byte of x that is white space, 0 in the others: a space, or
// one of the controls 9 to 13. No sum carries from one byte into the next.
static quint64 WhiteBytes(quint64 x)
{
    constexpr quint64 ones = 0x0101010101010101ULL;
    constexpr quint64 low7 = 0x7F * ones;
    constexpr quint64 high = 0x80 * ones;
    const quint64 spaces = x ^ (0x20 * ones);
    const quint64 isSpace = ~(((spaces & low7) + low7) | spaces) & high;
    const quint64 seven = x & low7;
    const quint64 atLeast9 = (seven + (0x80 - 9) * ones) & high;
    const quint64 atLeast14 = (seven + (0x80 - 14) * ones) & high;
    return isSpace | (atLeast9 & ~atLeast14 & ~x & high);
}

qint64 CountWords(const QByteArray &bytes)
{
    // A word begins at each byte that is not white space after one that is.
    // Eight bytes at a time, each byte's starts summed in its own lane of a
    // word, which is emptied before any lane can pass 255.
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const qsizetype n = bytes.size();
    constexpr quint64 high = 0x8080808080808080ULL;
    constexpr quint64 evenLanes = 0x00FF00FF00FF00FFULL;
    qint64 words = 0;
    quint64 before = high; // the text begins after white space
    qsizetype i = 0;
    while (i + 8 <= n) {
        quint64 lanes = 0;
        for (int k = 0; k < 255 && i + 8 <= n; ++k, i += 8) {
            const quint64 white = WhiteBytes(qFromLittleEndian<quint64>(p + i));
            const quint64 previous = (white << 8) | (before >> 56);
            lanes += (previous & ~white & high) >> 7;
            before = white;
        }
        const quint64 pairs = (lanes & evenLanes) + ((lanes >> 8) & evenLanes);
        words += qint64((pairs * 0x0001000100010001ULL) >> 48);
    }
    bool lastWhite = before >> 63;
    for (; i < n; ++i) {
        const bool white = IsWhiteSpace(char(p[i]));
        words += lastWhite && !white;
        lastWhite = white;
    }
    return words;
}

// What pruning needs of a version.
struct THistory::TRow
{
    std::int64_t Id = 0;
    std::int64_t Base = 0; // 0: whole
    std::int64_t Kept = 0;
    int Depth = 0;
    bool Anchor = false;
    qint64 Bytes = 0; // of its frame
    TVersionReason Reason = TVersionReason::ChangedOutside;
};

THistory::THistory(const QString &database, const QString &oldHistories, qint64 bound)
    : FDatabasePath(database.isEmpty() ? PrivateFolder(QStringLiteral("nudger.db"))
                                       : QDir::cleanPath(QFileInfo(database).absoluteFilePath())),
      FOldRoot(oldHistories.isEmpty()
                   ? PrivateFolder(QStringLiteral("history"))
                   : QDir::cleanPath(QFileInfo(oldHistories).absoluteFilePath())),
      FBound(bound)
{
}

THistory::~THistory() = default;

void THistory::SetPrimaryFile(const QString &fileName)
{
    const QString primary = AbsolutePrimaryPath(fileName);
    if (primary == FPrimary)
        return;
    FPrimary = primary;
    FFile = 0;
    ForgetTexts();
    // A history an earlier Nudger kept for this file alone, under its key.
    if (FDatabase && !FPrimary.isEmpty())
        ImportOldHistories();
}

void THistory::ForgetTexts()
{
    FCachedId = FReadId = 0;
    FCachedBytes = FReadBytes = QByteArray();
}

// ---------------------------------------------------------------------------
// Opening

bool THistory::Ready()
{
    // A store that could not be opened is tried again at each use: its
    // folder may be back, or the disk have room again.
    if (!FDatabase) {
        if (Open()) {
            FState = TState::Working;
        } else {
            FDatabase.reset();
            FState = TState::Unusable;
        }
    }
    return FDatabase != nullptr;
}

bool THistory::Open()
{
    const QString folder = QFileInfo(FDatabasePath).absolutePath();
    if (!MakePrivateFolder(folder)) {
        FError = QStringLiteral("the folder %1 cannot be made").arg(folder);
        return false;
    }
    // Made private before SQLite first writes it; its journal takes its mode.
    if (!QFileInfo::exists(FDatabasePath) &&
        WriteNewPrivateFile(FDatabasePath, QByteArray()) == TNewFileResult::Failed) {
        FError = QStringLiteral("the file %1 cannot be made").arg(FDatabasePath);
        return false;
    }
    FDatabase = std::make_unique<TSqliteDatabase>();
    if (!FDatabase->Open(FDatabasePath, BusyMs)) {
        FError = FDatabase->Error();
        return false;
    }
    if (FDatabase->TextOf("PRAGMA quick_check") != QLatin1String("ok")) {
        SetAsideDamaged();
        if (!FDatabase)
            return false;
    }
    if (!FDatabase->Exec("PRAGMA journal_mode = WAL; PRAGMA synchronous = FULL") ||
        !CreateSchema()) {
        FError = FDatabase->Error();
        return false;
    }
    ImportOldHistories();
    return true;
}

bool THistory::CreateSchema()
{
    if (FDatabase->IntOf("PRAGMA user_version") >= 1)
        return true;
    TSqliteTransaction transaction(*FDatabase);
    // Another Nudger may have made it meanwhile.
    if (FDatabase->IntOf("PRAGMA user_version") >= 1)
        return true;
    return transaction.Began() && FDatabase->Exec(SchemaSql) && transaction.Commit();
}

void THistory::SetAsideDamaged()
{
    // Nothing of the damaged database is lost: it goes aside, whole, with
    // its journal, and a new one begins in its place.
    FDatabase->Close();
    const QString aside = FDatabasePath + QStringLiteral(".damaged-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    bool moved = QFile::rename(FDatabasePath, aside);
    for (const char *suffix : {"-wal", "-shm"}) {
        const QString journal = FDatabasePath + QLatin1String(suffix);
        if (QFileInfo::exists(journal))
            moved = QFile::rename(journal, aside + QLatin1String(suffix)) && moved;
    }
    SyncFolderOf(FDatabasePath);
    if (!moved || WriteNewPrivateFile(FDatabasePath, QByteArray()) == TNewFileResult::Failed ||
        !FDatabase->Open(FDatabasePath, BusyMs)) {
        FError = QStringLiteral("the damaged %1 cannot be set aside").arg(FDatabasePath);
        FDatabase.reset();
        return;
    }
    FSetAside = aside;
}

std::int64_t THistory::FileId(bool create)
{
    if (FFile != 0 || FPrimary.isEmpty())
        return FFile;
    TSqliteStatement find = FDatabase->Prepare("SELECT id FROM files WHERE path = ?");
    find.Bind(1, FPrimary);
    if (find.Step() == TSqliteStatement::TStep::Row) {
        FFile = find.Int(0);
    } else if (create) {
        TSqliteStatement insert = FDatabase->Prepare("INSERT INTO files (path) VALUES (?)");
        insert.Bind(1, FPrimary);
        if (insert.Run())
            FFile = FDatabase->LastInsertId();
    }
    return FFile;
}

// ---------------------------------------------------------------------------
// Keeping

TKeepResult THistory::Keep(const QByteArray &bytes, const QByteArray &digest, TVersionReason reason,
                           const QDateTime &when, TVersion *version)
{
    if (bytes.isEmpty())
        return TKeepResult::AlreadyKept;
    if (!Ready() || FPrimary.isEmpty())
        return TKeepResult::Failed;
    TSqliteTransaction transaction(*FDatabase);
    const std::int64_t file = transaction.Began() ? FileId(true) : 0;
    if (file == 0)
        return TKeepResult::Failed;
    // The same content, kept before: whole and checked, it is renewed.
    TSqliteStatement held = FDatabase->Prepare(
        "SELECT id FROM versions WHERE file = ? AND digest = ? ORDER BY id DESC");
    held.Bind(1, file).Bind(2, digest);
    while (held.Step() == TSqliteStatement::TStep::Row) {
        QByteArray heldBytes;
        const std::int64_t id = held.Int(0);
        if (!ReadRow(id, heldBytes) || heldBytes != bytes)
            continue;
        if (!Refresh(id, reason, when) || !transaction.Commit())
            return TKeepResult::Failed;
        if (version)
            VersionOf(id, *version);
        return TKeepResult::AlreadyKept;
    }
    TVersion kept;
    if (!Insert(file, bytes, digest, reason, when, &kept) || !transaction.Commit()) {
        ForgetTexts();
        return TKeepResult::Failed;
    }
    if (version)
        *version = kept;
    if (!FLastPrune.isValid() || FLastPrune.msecsTo(when) > DayMs / 24)
        Prune(when);
    return TKeepResult::Kept;
}

bool THistory::Refresh(std::int64_t id, TVersionReason reason, const QDateTime &when)
{
    // A text something else displaced stays so, whatever kept it before.
    TSqliteStatement update =
        FDatabase->Prepare("UPDATE versions SET kept = max(kept, ?), "
                           "reason = CASE WHEN ? THEN ? ELSE reason END WHERE id = ?");
    update.Bind(1, MsOf(when)).Bind(2, std::int64_t(!IsTimeline(reason)));
    update.Bind(3, CodeOf(reason)).Bind(4, id);
    return update.Run();
}

struct THistory::TAnchor
{
    std::int64_t Id = 0; // 0: none
    int Depth = 0;
    int Followers = 0;
};

THistory::TAnchor THistory::NewestAnchor(std::int64_t file)
{
    TAnchor anchor;
    TSqliteStatement newest =
        FDatabase->Prepare("SELECT id, depth FROM versions "
                           "WHERE file = ? AND anchor ORDER BY id DESC LIMIT 1");
    newest.Bind(1, file);
    if (newest.Step() != TSqliteStatement::TStep::Row)
        return anchor;
    anchor.Id = newest.Int(0);
    anchor.Depth = int(newest.Int(1));
    TSqliteStatement after =
        FDatabase->Prepare("SELECT count(*) FROM versions WHERE file = ? AND id > ?");
    after.Bind(1, file).Bind(2, anchor.Id);
    if (after.Step() == TSqliteStatement::TStep::Row)
        anchor.Followers = int(after.Int(0));
    return anchor;
}

bool THistory::Insert(std::int64_t file, const QByteArray &bytes, const QByteArray &digest,
                      TVersionReason reason, const QDateTime &when, TVersion *version)
{
    const TAnchor anchor = NewestAnchor(file);
    bool isAnchor = anchor.Id == 0 || anchor.Followers + 1 >= AnchorEvery;
    std::int64_t base = 0;
    int depth = 0;
    QByteArray baseBytes;
    if (anchor.Id != 0 && !(isAnchor && anchor.Depth >= AnchorChain) &&
        ReadRow(anchor.Id, baseBytes)) {
        base = anchor.Id;
        depth = anchor.Depth + 1;
    }
    QByteArray data = base != 0 ? CompressVersion(bytes, &baseBytes) : QByteArray();
    if (data.isEmpty() || data.size() > bytes.size() / DeltaShareLimit) {
        const QByteArray whole = CompressVersion(bytes);
        if (data.isEmpty() || (!whole.isEmpty() && whole.size() <= data.size())) {
            data = whole;
            base = 0;
            depth = 0;
            isAnchor = true;
        }
    }
    if (data.isEmpty())
        return false;
    TSqliteStatement insert =
        FDatabase->Prepare("INSERT INTO versions "
                           "(file, kept, reason, size, words, digest, base, depth, anchor, data) "
                           "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    const qint64 words = CountWords(bytes);
    insert.Bind(1, file).Bind(2, MsOf(when)).Bind(3, CodeOf(reason)).Bind(4, bytes.size());
    insert.Bind(5, words).Bind(6, digest).Bind(8, std::int64_t(depth));
    insert.Bind(9, std::int64_t(isAnchor)).Bind(10, data);
    base != 0 ? insert.Bind(7, base) : insert.BindNull(7);
    if (!insert.Run())
        return false;
    *version = {FDatabase->LastInsertId(), TimeOf(MsOf(when)), reason, bytes.size(), words, digest};
    if (isAnchor) {
        FCachedId = version->Id;
        FCachedBytes = bytes;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Reading

QVector<TVersion> THistory::Versions()
{
    QVector<TVersion> versions;
    if (!Ready() || FileId(false) == 0)
        return versions;
    TSqliteStatement rows =
        FDatabase->Prepare("SELECT id, kept, reason, size, words, digest FROM versions "
                           "WHERE file = ? ORDER BY kept DESC, id DESC");
    rows.Bind(1, FFile);
    while (rows.Step() == TSqliteStatement::TStep::Row) {
        TVersion version;
        version.Id = rows.Int(0);
        version.Time = TimeOf(rows.Int(1));
        version.Reason = VersionReasonOfCode(rows.Text(2));
        version.Size = rows.Int(3);
        version.Words = rows.Int(4);
        version.Digest = rows.Blob(5);
        versions.append(version);
    }
    return versions;
}

bool THistory::VersionOf(std::int64_t id, TVersion &version)
{
    TSqliteStatement row =
        FDatabase->Prepare("SELECT kept, reason, size, words, digest FROM versions WHERE id = ?");
    row.Bind(1, id);
    if (row.Step() != TSqliteStatement::TStep::Row)
        return false;
    version.Id = id;
    version.Time = TimeOf(row.Int(0));
    version.Reason = VersionReasonOfCode(row.Text(1));
    version.Size = row.Int(2);
    version.Words = row.Int(3);
    version.Digest = row.Blob(4);
    return true;
}

bool THistory::Read(const TVersion &version, QByteArray &bytes)
{
    QByteArray read;
    if (!Ready() || !ReadRow(version.Id, read) || VersionDigest(read) != version.Digest)
        return false;
    bytes = std::move(read);
    return true;
}

bool THistory::ReadRow(std::int64_t id, QByteArray &bytes)
{
    if (id == FCachedId && id != 0) {
        bytes = FCachedBytes;
        return true;
    }
    // The frames back to a text at hand (the anchor kept last or read
    // last) or to the whole text, then each made out in turn.
    struct TFrame
    {
        std::int64_t Id = 0;
        qint64 Size = 0;
        bool Anchor = false;
        QByteArray Data;
    };
    QVector<TFrame> frames;
    TSqliteStatement row =
        FDatabase->Prepare("SELECT base, size, anchor, data FROM versions WHERE id = ?");
    QByteArray text;
    for (std::int64_t at = id; at != 0;) {
        if (frames.size() > MaxDepth + 1)
            return false; // a chain that does not end
        if (at == FCachedId || at == FReadId) {
            text = at == FCachedId ? FCachedBytes : FReadBytes;
            break;
        }
        row.Reset();
        row.Bind(1, at);
        if (row.Step() != TSqliteStatement::TStep::Row)
            return false;
        frames.append({at, row.Int(1), row.Int(2) != 0, row.Blob(3)});
        at = row.IsNull(0) ? 0 : row.Int(0);
    }
    for (auto frame = frames.crbegin(); frame != frames.crend(); ++frame) {
        QByteArray next;
        if (!DecompressVersion(frame->Data, text.isEmpty() ? nullptr : &text, frame->Size, next))
            return false;
        text = std::move(next);
        // The next version read is likely made against the same anchor.
        if (frame->Anchor && frame->Id != id) {
            FReadId = frame->Id;
            FReadBytes = text;
        }
    }
    TSqliteStatement digest = FDatabase->Prepare("SELECT digest FROM versions WHERE id = ?");
    digest.Bind(1, id);
    if (digest.Step() != TSqliteStatement::TStep::Row || digest.Blob(0) != VersionDigest(text)) {
        ForgetTexts();
        return false;
    }
    bytes = std::move(text);
    return true;
}

QDateTime THistory::LastTimelineKept()
{
    if (!Ready() || FileId(false) == 0)
        return {};
    TSqliteStatement last =
        FDatabase->Prepare("SELECT max(kept) FROM versions WHERE file = ? AND reason IN (?, ?)");
    last.Bind(1, FFile);
    last.Bind(2, CodeOf(TVersionReason::SavedEarlier));
    last.Bind(3, CodeOf(TVersionReason::BeforeFirstSave));
    if (last.Step() != TSqliteStatement::TStep::Row || last.IsNull(0))
        return {};
    return TimeOf(last.Int(0));
}

// ---------------------------------------------------------------------------
// Pruning

QVector<THistory::TRow> THistory::Rows(std::int64_t file)
{
    QVector<TRow> rows;
    TSqliteStatement select = FDatabase->Prepare(
        "SELECT id, base, kept, depth, length(data), reason, anchor FROM versions "
        "WHERE file = ? ORDER BY id");
    select.Bind(1, file);
    while (select.Step() == TSqliteStatement::TStep::Row) {
        TRow row;
        row.Id = select.Int(0);
        row.Base = select.IsNull(1) ? 0 : select.Int(1);
        row.Kept = select.Int(2);
        row.Depth = int(select.Int(3));
        row.Bytes = select.Int(4);
        row.Reason = VersionReasonOfCode(select.Text(5));
        row.Anchor = select.Int(6) != 0;
        rows.append(row);
    }
    return rows;
}

namespace {

// One version pruning may drop, and where it lies.
struct TCandidate
{
    std::int64_t Kept = 0;
    qint64 Bytes = 0;
    std::int64_t File = 0;
    int Index = 0;
};

} // namespace

void THistory::Prune(const QDateTime &now)
{
    if (!Ready())
        return;
    FLastPrune = now;
    const std::int64_t nowMs = MsOf(now);
    const std::int64_t cutoff = nowMs - KeepDays * DayMs;
    std::map<std::int64_t, QVector<TRow>> rows;
    std::map<std::int64_t, QVector<bool>> drops;
    qint64 total = 0;
    QVector<TCandidate> timeline;
    QVector<TCandidate> old;
    TSqliteStatement files = FDatabase->Prepare("SELECT id FROM files");
    while (files.Step() == TSqliteStatement::TStep::Row) {
        const std::int64_t file = files.Int(0);
        QVector<TRow> &fileRows = rows[file] = Rows(file);
        QVector<bool> &drop = drops[file] = QVector<bool>(fileRows.size(), false);
        ThinOldDays(fileRows, cutoff, drop);
        // The newest of the file always stays (the last in the list).
        for (int i = 0; i + 1 < fileRows.size(); ++i) {
            const TRow &row = fileRows.at(i);
            if (drop.at(i))
                continue;
            total += row.Bytes;
            if (IsTimeline(row.Reason) && row.Kept < nowMs - DayMs)
                timeline.append({row.Kept, row.Bytes, file, i});
            else if (row.Kept < cutoff)
                old.append({row.Kept, row.Bytes, file, i});
        }
        if (!fileRows.isEmpty())
            total += fileRows.constLast().Bytes;
    }
    // Past the bound: the writer's own versions older than a day, then the
    // days past those kept, oldest first; never a displaced text of the
    // days kept.
    for (QVector<TCandidate> *candidates : {&timeline, &old}) {
        std::sort(candidates->begin(), candidates->end(),
                  [](const TCandidate &a, const TCandidate &b) { return a.Kept < b.Kept; });
        for (const TCandidate &candidate : std::as_const(*candidates)) {
            if (total <= FBound)
                break;
            drops[candidate.File][candidate.Index] = true;
            total -= candidate.Bytes;
        }
    }
    FState = total > FBound ? TState::Full : TState::Working;
    for (const auto &[file, drop] : drops) {
        if (std::find(drop.cbegin(), drop.cend(), true) != drop.cend())
            PruneFile(file, rows[file], drop);
    }
}

void THistory::ThinOldDays(const QVector<TRow> &rows, std::int64_t cutoff, QVector<bool> &drop)
{
    // The version kept last of each day past the cutoff stays; the file's
    // newest stays whatever its day.
    std::map<QDate, int> latest;
    for (int i = 0; i < rows.size(); ++i) {
        if (rows.at(i).Kept >= cutoff)
            continue;
        const QDate date = TimeOf(rows.at(i).Kept).toLocalTime().date();
        const auto found = latest.find(date);
        if (found == latest.end() || rows.at(found->second).Kept <= rows.at(i).Kept)
            latest[date] = i;
    }
    const int newest = int(rows.size()) - 1;
    for (int i = 0; i < newest; ++i) {
        if (rows.at(i).Kept >= cutoff)
            continue;
        const QDate date = TimeOf(rows.at(i).Kept).toLocalTime().date();
        // A day whose last version is the newest keeps no other.
        drop[i] = latest[date] != i;
    }
}

namespace {

bool ReadFrame(TSqliteStatement &frame, std::int64_t id, const QByteArray *base, QByteArray &text)
{
    frame.Reset();
    frame.Bind(1, id);
    return frame.Step() == TSqliteStatement::TStep::Row &&
           DecompressVersion(frame.Blob(1), base, frame.Int(0), text);
}

} // namespace

struct THistory::TRechaining
{
    // By id: the newest anchor as stored (the base of the rows after it)
    // and the newest anchor that stays (what a row whose base went is made
    // against), and no other.
    std::map<std::int64_t, QByteArray> Texts;
    std::int64_t NewestAnchor = 0;
    std::int64_t StayingAnchor = 0;
    // The rows that stay, by id: their depth as remade.
    std::map<std::int64_t, int> Depths;

    // stored: an anchor as stored; stays: an anchor that stays, as remade.
    void AnchorSeen(std::int64_t id, const QByteArray &text, bool stored, bool stays)
    {
        Texts[id] = text;
        if (stored)
            NewestAnchor = id;
        if (stays)
            StayingAnchor = id;
        for (auto i = Texts.begin(); i != Texts.end();)
            i = i->first == NewestAnchor || i->first == StayingAnchor ? std::next(i)
                                                                      : Texts.erase(i);
    }
};

void THistory::PruneFile(std::int64_t file, const QVector<TRow> &rows, const QVector<bool> &drop)
{
    // From the whole text before the first version that goes: each version
    // that stays and lost its base is made against the newest anchor that
    // stayed before it (or whole); the others keep their frames, their
    // depths renewed, up to the next whole text. One transaction.
    int start = int(drop.indexOf(true));
    while (start > 0 && rows.at(start).Base != 0)
        --start;
    const int last = int(drop.lastIndexOf(true));
    TSqliteTransaction transaction(*FDatabase);
    if (!transaction.Began())
        return;
    TSqliteStatement frame = FDatabase->Prepare("SELECT size, data FROM versions WHERE id = ?");
    TSqliteStatement remove = FDatabase->Prepare("DELETE FROM versions WHERE id = ?");
    TSqliteStatement redepth = FDatabase->Prepare("UPDATE versions SET depth = ? WHERE id = ?");
    TRechaining state;
    for (int i = start; i < rows.size(); ++i) {
        const TRow &row = rows.at(i);
        if (i > last && row.Base == 0)
            break; // from here on the chains are as they were
        const auto base = state.Texts.find(row.Base);
        if (row.Base != 0 && base == state.Texts.end())
            return; // a chain not as Nudger makes them is left as it is
        const bool lostBase = row.Base != 0 && state.Depths.count(row.Base) == 0;
        QByteArray text;
        if ((row.Anchor || (lostBase && !drop.at(i))) &&
            !ReadFrame(frame, row.Id, row.Base != 0 ? &base->second : nullptr, text))
            return; // a damaged chain is left as it is
        if (drop.at(i)) {
            remove.Reset();
            if (!remove.Bind(1, row.Id).Run())
                return;
        } else if (lostBase) {
            if (!Rechain(row, text, state))
                return;
        } else {
            const int depth = row.Base == 0 ? 0 : state.Depths[row.Base] + 1;
            state.Depths[row.Id] = depth;
            redepth.Reset();
            if (depth != row.Depth && !redepth.Bind(1, std::int64_t(depth)).Bind(2, row.Id).Run())
                return;
        }
        // A version made whole is an anchor now.
        const bool anchorNow = !drop.at(i) && (row.Anchor || state.Depths.at(row.Id) == 0);
        if (row.Anchor || anchorNow)
            state.AnchorSeen(row.Id, text, row.Anchor, anchorNow);
    }
    if (transaction.Commit() && file == FFile)
        ForgetTexts();
}

bool THistory::Rechain(const TRow &row, const QByteArray &text, TRechaining &state)
{
    // Made whole, it is an anchor: what follows is made against it.
    const std::int64_t anchor = state.StayingAnchor;
    const bool chained = anchor != 0 && (!row.Anchor || state.Depths.at(anchor) < AnchorChain);
    const int depth = chained ? state.Depths.at(anchor) + 1 : 0;
    const QByteArray data =
        chained ? CompressVersion(text, &state.Texts.at(anchor)) : CompressVersion(text);
    TSqliteStatement rebase = FDatabase->Prepare(
        "UPDATE versions SET base = ?, depth = ?, anchor = ?, data = ? WHERE id = ?");
    rebase.Bind(2, std::int64_t(depth)).Bind(3, std::int64_t(row.Anchor || !chained));
    rebase.Bind(4, data).Bind(5, row.Id);
    chained ? rebase.Bind(1, anchor) : rebase.BindNull(1);
    if (data.isEmpty() || !rebase.Run())
        return false;
    state.Depths[row.Id] = depth;
    return true;
}

// ---------------------------------------------------------------------------
// The histories of earlier Nudgers

void THistory::ImportOldHistories()
{
    const QDir root(FOldRoot);
    if (!root.exists())
        return;
    const QString ownKey = FPrimary.isEmpty() ? QString() : PrimaryFileKey(FPrimary);
    const QStringList folders = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &name : folders) {
        const QString folder = root.filePath(name);
        QString primary = OldHistoryPrimary(folder);
        // An index that cannot be read: the folder's name is its file's key.
        if (primary.isEmpty() && name == ownKey)
            primary = FPrimary;
        if (!primary.isEmpty())
            ImportOldFolder(folder, primary);
    }
    root.rmdir(FOldRoot);
}

bool THistory::ImportOldFolder(const QString &folder, const QString &primary)
{
    const QVector<TOldVersion> versions = ReadOldHistory(folder);
    const QString ownPrimary = FPrimary;
    const std::int64_t ownFile = FFile;
    FPrimary = primary;
    FFile = 0;
    ForgetTexts();
    QStringList taken;
    for (const TOldVersion &old : versions) {
        QByteArray bytes;
        if (!ReadWholeFile(QDir(folder).filePath(old.FileName), bytes))
            continue;
        TVersion version;
        const QByteArray digest = VersionDigest(bytes);
        const TKeepResult result = Keep(bytes, digest, old.Reason, old.Time, &version);
        // Gone from the folder only once it reads back whole from the store.
        QByteArray back;
        if (result != TKeepResult::Failed &&
            (bytes.isEmpty() || (Read(version, back) && back == bytes)))
            taken.append(old.FileName);
    }
    FPrimary = ownPrimary;
    FFile = ownPrimary == primary ? FFile : ownFile;
    ForgetTexts();
    for (const QString &name : std::as_const(taken))
        QFile::remove(QDir(folder).filePath(name));
    RemoveOldHistoryIfEmpty(folder);
    return taken.size() == versions.size();
}
