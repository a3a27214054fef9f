// The history of the writer's texts: every version Nudger keeps of a primary
// file, in one private SQLite database in the writer's private data folder
// (nudger.db: the file the writer's alone, 0600 in a 0700 folder). Each
// version is a zstd frame of its bytes in the file's own form, made against
// its file's latest anchor: every AnchorEvery-th version is an anchor, made
// against the anchor before it, and at most AnchorChain anchors lead back
// to a version kept whole. So a version is at most MaxDepth frames from its
// whole text, however long the history, and keeping one needs only the
// anchor's text, which stays at hand. Each is stored with its entry (time,
// reason, size, words, digest) in one transaction, so that no version is
// ever half-listed. The same content is kept once: keeping it again
// refreshes its time. Two running Nudgers share the database through
// SQLite's own locking (WAL, every commit synced).
//
// What stays, by a rule the writer can read in the manual:
// - every version of the last KeepDays days;
// - older ones, the newest of each day;
// - the newest of each file, always;
// - past the bound on all files together, the writer's own versions (the
//   timeline: the saved text every ten minutes, the version before each
//   session's first save) older than a day go first, then the days older
//   than KeepDays; a text something else displaced, younger than KeepDays,
//   is never dropped to meet the bound: the history reports Full instead.
//
// Every version read is checked against its digest. The database is opened
// at the first call, checked (PRAGMA quick_check) and, when damaged, set
// aside under another name and begun anew (SetAside tells where). The plain
// text histories of earlier Nudgers (history/<key>/, an index beside the
// version files) are taken in then, checked, and removed once they are in.
//
// Not thread-safe: the document's worker is its only caller.
#pragma once

#include "storage/Sqlite_Unit.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVector>

#include <cstdint>
#include <memory>

// Why a version was kept, in the writer's words (VersionReasonText).
enum class TVersionReason
{
    ChangedOutside,       // another program's version of the primary file
    BackupChangedOutside, // another program's version of the backup file
    FoundInBackup,        // a backup file's content Nudger had never seen
    Unreadable,           // the primary file's version that could not be read
    TookFilesText,        // the writer's text when they took the file's
    NewerAtRecovery,      // the primary file's newer version at a recovery
    RecoveryDeclined,     // the recovered words the writer declined
    BeforeFirstSave,      // the primary file before the session's first save
    SavedEarlier,         // the writer's saved text, every ten minutes
    ReadAgain,            // the editor's text before another version was read
    SessionEnd,           // the unsaved text at the session's end
    BeforeRestore,        // the editor's text before an earlier version
    BeforeSaveAs,         // a file Save As wrote over
    LetGo,                // unsaved text the writer answered No for
    BeforeReplaceAll      // the editor's text before Replace All
};

// "changed by another program", "could not be read", ...
QString VersionReasonText(TVersionReason reason);
// The reason a stored code ("changed", "read-again", ...) names; a code not
// known reads as ChangedOutside.
TVersionReason VersionReasonOfCode(const QString &code);
// The reason a text of VersionReasonText names; false when none does.
bool VersionReasonOfText(const QString &text, TVersionReason &reason);
// The writer's own versions (the timeline), which may go first past the
// bound; every other reason keeps a text something else displaced.
bool IsTimeline(TVersionReason reason);

struct TVersion
{
    std::int64_t Id = 0; // the store's own number
    QDateTime Time;      // when it was last kept (UTC)
    TVersionReason Reason = TVersionReason::ChangedOutside;
    qint64 Size = 0;
    qint64 Words = 0;
    QByteArray Digest; // VersionDigest of its bytes
};

// The digest versions are known by (SHA-1 of the file form's bytes).
QByteArray VersionDigest(const QByteArray &bytes);

// The words of a text in its file form: runs of anything but white space.
qint64 CountWords(const QByteArray &bytes);

enum class TKeepResult
{
    Kept,        // a new version, committed
    AlreadyKept, // the store holds that content already, checked (or it is
                 // empty): its time is renewed
    Failed       // nothing was kept (no database, a full disk)
};

class THistory
{
public:
    static constexpr int KeepDays = 30;
    static constexpr qint64 DefaultBound = 200LL * 1024 * 1024;
    // The shape of the chains (see above), as bench_store chose it: over a
    // month of a 3 MB manuscript the store takes about a third of what a
    // plain chain of each version against the one before takes (8 MB against
    // 23), and the slowest version reads back in a ninth of the time.
    static constexpr int AnchorEvery = 16;
    static constexpr int AnchorChain = 64;
    // Frames between a version and its whole text at most.
    static constexpr int MaxDepth = AnchorChain + 1;

    // database: the store's file; empty means nudger.db in the private data
    // folder. oldHistories: where earlier Nudgers kept theirs; empty means
    // the private data folder's "history". bound: the store's size past
    // which versions go by the rules above.
    explicit THistory(const QString &database = QString(), const QString &oldHistories = QString(),
                      qint64 bound = DefaultBound);
    ~THistory();
    THistory(const THistory &) = delete;
    THistory &operator=(const THistory &) = delete;

    // The primary file whose history this is; empty: none (Keep fails).
    void SetPrimaryFile(const QString &fileName);
    QString PrimaryFile() const { return FPrimary; }

    // Keeps bytes (the text's file form, whose digest is given) as a version
    // kept at when for reason. version receives it, or the one that holds
    // the same content.
    TKeepResult Keep(const QByteArray &bytes, const QByteArray &digest, TVersionReason reason,
                     const QDateTime &when, TVersion *version = nullptr);
    // The versions of the primary file, newest first.
    QVector<TVersion> Versions();
    // A version's bytes, checked against its digest; false when it is gone
    // or damaged.
    bool Read(const TVersion &version, QByteArray &bytes);
    // When the newest of the writer's own versions was kept; invalid: none.
    QDateTime LastTimelineKept();
    // Drops what the rules above let go, of every file, as of now.
    void Prune(const QDateTime &now);

    // What the writer should know of the store.
    enum class TState
    {
        Working,
        Unusable, // it cannot be opened or written (Error says why)
        Full      // past its bound with only texts it must keep
    };
    TState State() const { return FState; }
    QString Error() const { return FError; }
    // Where a damaged database was set aside at this opening; empty: none.
    QString SetAside() const { return FSetAside; }
    // The database's file.
    QString DatabasePath() const { return FDatabasePath; }

private:
    struct TRow;
    bool Ready();
    bool Open();
    bool CreateSchema();
    void SetAsideDamaged();
    std::int64_t FileId(bool create);
    bool VersionOf(std::int64_t id, TVersion &version);
    bool ReadRow(std::int64_t id, QByteArray &bytes);
    bool Refresh(std::int64_t id, TVersionReason reason, const QDateTime &when);
    bool Insert(std::int64_t file, const QByteArray &bytes, const QByteArray &digest,
                TVersionReason reason, const QDateTime &when, TVersion *version);
    QVector<TRow> Rows(std::int64_t file);
    // Past the days kept, the newest version of each local day stays.
    static void ThinOldDays(const QVector<TRow> &rows, std::int64_t cutoff, QVector<bool> &drop);
    void PruneFile(std::int64_t file, const QVector<TRow> &rows, const QVector<bool> &drop);
    struct TAnchor;
    // The file's newest anchor, and how many versions were kept after it.
    TAnchor NewestAnchor(std::int64_t file);
    // What a chain being remade needs: the texts of the anchors that may
    // still be bases, and the depth each row that stays now has.
    struct TRechaining;
    // The row made against the newest anchor that stayed before it (or
    // whole), its base having gone.
    bool Rechain(const TRow &row, const QByteArray &text, TRechaining &state);
    // Drops the texts kept at hand (the anchors kept and read last).
    void ForgetTexts();
    void ImportOldHistories();
    bool ImportOldFolder(const QString &folder, const QString &primary);

    QString FDatabasePath;
    QString FOldRoot;
    qint64 FBound;
    QString FPrimary;
    std::unique_ptr<TSqliteDatabase> FDatabase;
    TState FState = TState::Working;
    QString FError;
    QString FSetAside;
    // The file's number in the store, once looked up.
    std::int64_t FFile = 0;
    // The newest anchor kept and its bytes: the base of the next version.
    std::int64_t FCachedId = 0;
    QByteArray FCachedBytes;
    // The anchor a version read last was made against, and its bytes.
    std::int64_t FReadId = 0;
    QByteArray FReadBytes;
    QDateTime FLastPrune;
};
