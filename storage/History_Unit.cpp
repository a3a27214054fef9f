#include "storage/History_Unit.h"
#include "app/PlatformDependence_Unit.h"

#include "storage/PrivateFolder_Unit.h"
#include "storage/WholeFile_Unit.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>

#include <algorithm>
#include <map>

namespace {

const QByteArray IndexMark = QByteArrayLiteral("Nudger history 1");
const QString IndexName = QStringLiteral("index");
const QString LockName = QStringLiteral("index.lock");
constexpr int LockWaitMs = 2000;
// Far more versions than anyone keeps in one second.
constexpr int MaxNameNumber = 100;
// Words an edit going on may leave out of the text that follows it.
constexpr qint64 EditWords = 20;

qint64 MaxTotal = THistory::MaxTotalBytes;

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
    {TVersionReason::SavedEarlier, "saved-earlier", "saved earlier"},
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

bool ReasonOfCode(const QByteArray &code, TVersionReason &reason)
{
    for (const TReasonName &name : ReasonNames) {
        if (code == name.Code) {
            reason = name.Reason;
            return true;
        }
    }
    return false;
}

bool IsWhiteSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// Calls take(start, length) for every word of the text.
template <typename TTake> void ForEachWord(const QByteArray &bytes, TTake take)
{
    const char *data = bytes.constData();
    const qsizetype size = bytes.size();
    qsizetype at = 0;
    while (at < size) {
        while (at < size && IsWhiteSpace(data[at]))
            ++at;
        const qsizetype start = at;
        while (at < size && !IsWhiteSpace(data[at]))
            ++at;
        if (at > start)
            take(data + start, at - start);
    }
}

quint64 WordHash(const char *word, qsizetype length)
{
    // FNV-1a.
    quint64 hash = 14695981039346656037ULL;
    for (qsizetype i = 0; i < length; ++i) {
        hash ^= quint8(word[i]);
        hash *= 1099511628211ULL;
    }
    return hash;
}

QString IndexPath(const QString &folder)
{
    return folder + QLatin1Char('/') + IndexName;
}

// A history's index: the primary file it names and its versions, oldest
// first. Lines that do not parse are left out.
struct TIndex
{
    bool Exists = false;
    QString Primary;
    QVector<TVersion> Versions;
};

TIndex ParseIndex(const QByteArray &bytes)
{
    TIndex index;
    const QList<QByteArray> lines = bytes.split('\n');
    if (lines.size() < 2 || lines.at(0) != IndexMark)
        return index;
    index.Exists = true;
    index.Primary = QString::fromUtf8(lines.at(1));
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines.at(i).split('\t');
        if (fields.size() != 6)
            continue;
        TVersion version;
        bool sizeOk = false;
        bool wordsOk = false;
        version.Digest = QByteArray::fromHex(fields.at(0));
        version.Time = QDateTime::fromString(QString::fromLatin1(fields.at(1)), Qt::ISODateWithMs);
        version.Size = fields.at(3).toLongLong(&sizeOk);
        version.Words = fields.at(4).toLongLong(&wordsOk);
        version.FileName = QString::fromUtf8(fields.at(5));
        if (version.Digest.size() != 20 || !version.Time.isValid() || !sizeOk || !wordsOk ||
            !ReasonOfCode(fields.at(2), version.Reason) || version.FileName.isEmpty() ||
            version.FileName.contains(QLatin1Char('/')) || version.FileName.startsWith(u'.'))
            continue;
        index.Versions.append(version);
    }
    return index;
}

QByteArray IndexBytes(const QString &primary, const QVector<TVersion> &versions)
{
    QByteArray bytes = IndexMark + '\n' + primary.toUtf8() + '\n';
    for (const TVersion &version : versions) {
        bytes += version.Digest.toHex() + '\t' +
                 version.Time.toUTC().toString(Qt::ISODateWithMs).toLatin1() + '\t' +
                 NameOf(version.Reason)->Code + '\t' + QByteArray::number(version.Size) + '\t' +
                 QByteArray::number(version.Words) + '\t' + version.FileName.toUtf8() + '\n';
    }
    return bytes;
}

TIndex ReadIndex(const QString &folder, TFileSignature *signature = nullptr)
{
    QByteArray bytes;
    if (!ReadWholeFile(IndexPath(folder), bytes, signature))
        return TIndex();
    return ParseIndex(bytes);
}

QString VersionFileName(const QDateTime &when, TVersionReason reason, int number)
{
    QString name = when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh.mm.ss")) +
                   QLatin1Char(' ') + VersionReasonText(reason);
    if (number > 1)
        name += QLatin1Char(' ') + QString::number(number);
    return name + QStringLiteral(".txt");
}

} // namespace

QString VersionReasonText(TVersionReason reason)
{
    const TReasonName *name = NameOf(reason);
    return name ? QString::fromUtf8(name->Text) : QString();
}

QByteArray VersionDigest(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1);
}

qint64 CountWords(const QByteArray &bytes)
{
    qint64 words = 0;
    bool inWord = false;
    for (const char c : bytes) {
        const bool white = IsWhiteSpace(c);
        words += !white && !inWord;
        inWord = !white;
    }
    return words;
}

bool StillHolds(const QByteArray &older, const QByteArray &newer)
{
    // The older text's words, counted, less the newer text's.
    QHash<quint64, qint64> counts;
    ForEachWord(older,
                [&](const char *word, qsizetype length) { ++counts[WordHash(word, length)]; });
    ForEachWord(newer, [&](const char *word, qsizetype length) {
        const auto found = counts.find(WordHash(word, length));
        if (found != counts.end() && found.value() > 0)
            --found.value();
    });
    qint64 missing = 0;
    for (const qint64 count : std::as_const(counts)) {
        missing += count;
        if (missing > EditWords)
            return false;
    }
    return true;
}

THistory::THistory(const QString &root)
    : FRoot(root.isEmpty() ? PrivateFolder(QStringLiteral("history"))
                           : QDir::cleanPath(QFileInfo(root).absoluteFilePath()))
{
}

void THistory::SetMaxTotalBytesForTesting(qint64 bytes)
{
    MaxTotal = bytes > 0 ? bytes : MaxTotalBytes;
}

void THistory::SetPrimaryFile(const QString &fileName)
{
    const TCountedLocker locker(&FMutex);
    FPrimary = AbsolutePrimaryPath(fileName);
    FFolder = FPrimary.isEmpty() ? QString() : FRoot + QLatin1Char('/') + PrimaryFileKey(FPrimary);
    FIndexLoaded = false;
    FVersions.clear();
}

QString THistory::PrimaryFile() const
{
    const TCountedLocker locker(&FMutex);
    return FPrimary;
}

QString THistory::Folder() const
{
    const TCountedLocker locker(&FMutex);
    return FFolder;
}

bool THistory::LoadIndex() const
{
    if (FFolder.isEmpty())
        return false;
    const TFileSignature signature = FileSignature(IndexPath(FFolder));
    if (FIndexLoaded && signature == FIndexSignature)
        return FIndexOurs;
    TFileSignature read;
    const TIndex index = ReadIndex(FFolder, &read);
    FIndexLoaded = true;
    FIndexSignature = signature.Exists ? read : signature;
    // A history whose index names another file (two paths with one key) is
    // not this one's.
    FIndexOurs = !index.Exists || index.Primary == FPrimary;
    FVersions = FIndexOurs ? index.Versions : QVector<TVersion>();
    return FIndexOurs;
}

TKeepResult THistory::Keep(const QByteArray &bytes, TVersionReason reason, const QDateTime &when,
                           TVersion *version)
{
    const TCountedLocker locker(&FMutex);
    if (bytes.isEmpty())
        return TKeepResult::AlreadyKept;
    if (FFolder.isEmpty())
        return TKeepResult::Failed;
    const QByteArray digest = VersionDigest(bytes);
    const auto held = [&]() -> bool {
        for (const TVersion &each : std::as_const(FVersions)) {
            if (each.Digest == digest &&
                QFileInfo::exists(FFolder + QLatin1Char('/') + each.FileName)) {
                if (version)
                    *version = each;
                return true;
            }
        }
        return false;
    };
    if (LoadIndex() && held())
        return TKeepResult::AlreadyKept;
    if (!MakePrivateFolder(FRoot) || !MakePrivateFolder(FFolder))
        return TKeepResult::Failed;
    TKeepResult result = TKeepResult::Failed;
    {
        const std::unique_ptr<QLockFile> lock =
            TakePrivateLock(FFolder + QLatin1Char('/') + LockName, LockWaitMs);
        if (!lock)
            return TKeepResult::Failed;
        // Another Nudger may have kept it meanwhile.
        FIndexLoaded = false;
        if (!LoadIndex())
            return TKeepResult::Failed;
        if (held())
            return TKeepResult::AlreadyKept;
        TVersion kept;
        kept.Time = when.toUTC();
        kept.Reason = reason;
        kept.Size = bytes.size();
        kept.Words = CountWords(bytes);
        kept.Digest = digest;
        for (int number = 1; number <= MaxNameNumber && kept.FileName.isEmpty(); ++number) {
            const QString name = VersionFileName(when, reason, number);
            switch (WriteNewPrivateFile(FFolder + QLatin1Char('/') + name, bytes)) {
            case TNewFileResult::Written:
                kept.FileName = name;
                break;
            case TNewFileResult::Exists:
                continue;
            case TNewFileResult::Failed:
                return TKeepResult::Failed;
            }
        }
        if (kept.FileName.isEmpty())
            return TKeepResult::Failed;
        // Versions whose files are gone (removed by hand) leave the index.
        QVector<TVersion> versions;
        for (const TVersion &each : std::as_const(FVersions)) {
            if (QFileInfo::exists(FFolder + QLatin1Char('/') + each.FileName))
                versions.append(each);
        }
        versions.append(kept);
        if (!WritePrivateFile(IndexPath(FFolder), IndexBytes(FPrimary, versions))) {
            QFile::remove(FFolder + QLatin1Char('/') + kept.FileName);
            FIndexLoaded = false;
            return TKeepResult::Failed;
        }
        FVersions = versions;
        FIndexSignature = FileSignature(IndexPath(FFolder));
        if (version)
            *version = kept;
        result = TKeepResult::Kept;
    }
    PruneLocked(when);
    return result;
}

bool THistory::Holds(const QByteArray &digest) const
{
    const TCountedLocker locker(&FMutex);
    if (!LoadIndex())
        return false;
    return std::any_of(FVersions.cbegin(), FVersions.cend(),
                       [&](const TVersion &version) { return version.Digest == digest; });
}

QVector<TVersion> THistory::Versions() const
{
    const TCountedLocker locker(&FMutex);
    if (!LoadIndex())
        return {};
    // Newest first; of two kept at one moment, the later kept first.
    QVector<TVersion> versions(FVersions.crbegin(), FVersions.crend());
    std::stable_sort(versions.begin(), versions.end(),
                     [](const TVersion &a, const TVersion &b) { return a.Time > b.Time; });
    return versions;
}

bool THistory::Read(const TVersion &version, QByteArray &bytes) const
{
    const QString folder = Folder();
    if (folder.isEmpty() || version.FileName.isEmpty())
        return false;
    QByteArray read;
    if (!ReadWholeFile(folder + QLatin1Char('/') + version.FileName, read) ||
        VersionDigest(read) != version.Digest)
        return false;
    bytes = std::move(read);
    return true;
}

QDateTime THistory::LastKept() const
{
    const TCountedLocker locker(&FMutex);
    QDateTime last;
    if (!LoadIndex())
        return last;
    for (const TVersion &version : std::as_const(FVersions)) {
        if (!last.isValid() || version.Time > last)
            last = version.Time;
    }
    return last;
}

void THistory::Prune(const QDateTime &now)
{
    const TCountedLocker locker(&FMutex);
    PruneLocked(now);
}

void THistory::PruneLocked(const QDateTime &now)
{
    // Every history under the root, from its index alone.
    struct TEntry
    {
        QString Folder;
        TVersion Version;
        bool Newest = false;
    };
    QVector<TEntry> entries;
    const QStringList folders = QDir(FRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &name : folders) {
        const QString folder = FRoot + QLatin1Char('/') + name;
        const TIndex index = ReadIndex(folder);
        qsizetype newest = -1;
        for (qsizetype i = 0; i < index.Versions.size(); ++i) {
            if (newest < 0 || index.Versions.at(i).Time > index.Versions.at(newest).Time)
                newest = i;
        }
        for (qsizetype i = 0; i < index.Versions.size(); ++i)
            entries.append({folder, index.Versions.at(i), i == newest});
    }
    std::sort(entries.begin(), entries.end(),
              [](const TEntry &a, const TEntry &b) { return a.Version.Time < b.Version.Time; });
    const QDateTime cutoff = now.toUTC().addDays(-KeepDays);
    qint64 total = 0;
    for (const TEntry &entry : std::as_const(entries))
        total += entry.Version.Size;
    // Oldest first: past the days kept, then past the bound.
    std::map<QString, QVector<TVersion>> drops;
    for (const TEntry &entry : std::as_const(entries)) {
        if (entry.Newest)
            continue;
        if (entry.Version.Time >= cutoff && total <= MaxTotal)
            break;
        drops[entry.Folder].append(entry.Version);
        total -= entry.Version.Size;
    }
    for (const auto &[folder, dropped] : drops) {
        const std::unique_ptr<QLockFile> lock =
            TakePrivateLock(folder + QLatin1Char('/') + LockName, LockWaitMs);
        if (!lock)
            continue;
        const TIndex index = ReadIndex(folder);
        QVector<TVersion> versions;
        for (const TVersion &version : index.Versions) {
            const bool drop =
                std::any_of(dropped.cbegin(), dropped.cend(), [&](const TVersion &each) {
                    return each.FileName == version.FileName && each.Digest == version.Digest;
                });
            if (!drop)
                versions.append(version);
        }
        if (versions.size() == index.Versions.size() ||
            !WritePrivateFile(IndexPath(folder), IndexBytes(index.Primary, versions)))
            continue;
        for (const TVersion &version : dropped)
            QFile::remove(folder + QLatin1Char('/') + version.FileName);
        if (folder == FFolder)
            FIndexLoaded = false;
    }
}
