// The history of one primary file: every version of the writer's text that
// Nudger kept before something replaced it, in the writer's private data
// folder (history/<key>/, keyed as the recovery copies are). Each version is
// a plain text file in the file's own form, named by its local date and its
// reason, that any editor opens; an index beside them lists each one's time,
// reason, size, word count and digest, so that the same content is never
// stored twice and the versions can be listed without reading them.
//
// Versions of the last KeepDays days are all kept, and the newest of each
// history always; beyond that, and when all histories together pass
// MaxTotalBytes, the oldest go first.
//
// Every member may be called from any thread; calls are serialised, and a
// lock file serialises the index between running Nudgers.
#pragma once

#include "storage/WholeFile_Unit.h"

#include <QByteArray>
#include <QDateTime>
#include <QMutex>
#include <QString>
#include <QVector>

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
    SavedEarlier,         // the writer's saved text, at most once an hour
    ReadAgain,            // the editor's text before another version was read
    SessionEnd,           // the unsaved text at the session's end
    BeforeRestore,        // the editor's text before an earlier version
    BeforeSaveAs,         // a file Save As wrote over
    LetGo,                // unsaved text the writer answered No for
    BeforeReplaceAll      // the editor's text before Replace All
};

// "changed by another program", "could not be read", ...
QString VersionReasonText(TVersionReason reason);

struct TVersion
{
    QString FileName; // in the history's folder
    QDateTime Time;   // when it was kept (UTC)
    TVersionReason Reason = TVersionReason::ChangedOutside;
    qint64 Size = 0;
    qint64 Words = 0;
    QByteArray Digest; // VersionDigest of its bytes
};

// The digest versions are known by (SHA-1 of the file form's bytes).
QByteArray VersionDigest(const QByteArray &bytes);

// The words of a text in its file form: runs of anything but white space.
qint64 CountWords(const QByteArray &bytes);

// Whether the newer text still holds the older one but for a few words (an
// edit going on), so that keeping the older is no loss worth a version; an
// emptied or cut text does not.
bool StillHolds(const QByteArray &older, const QByteArray &newer);

enum class TKeepResult
{
    Kept,        // a new version, whole and synced with its folder and index
    AlreadyKept, // the history holds that content already (or it is empty)
    Failed       // nothing was kept (a full disk, a blocked folder)
};

class THistory
{
public:
    // root: the folder of every primary file's history; empty means the
    // private data folder's "history".
    explicit THistory(const QString &root = QString());

    // The primary file whose history this is; empty: none (Keep fails).
    void SetPrimaryFile(const QString &fileName);
    QString PrimaryFile() const;
    // This primary file's history folder; empty without a primary file.
    QString Folder() const;

    // Keeps bytes (the text's file form) as a version kept at when for
    // reason, then prunes. version receives the new version, or the one
    // that holds the same content.
    TKeepResult Keep(const QByteArray &bytes, TVersionReason reason, const QDateTime &when,
                     TVersion *version = nullptr);
    // Whether a version with that digest is kept.
    bool Holds(const QByteArray &digest) const;
    // The versions, newest first, from the index alone.
    QVector<TVersion> Versions() const;
    // A version's bytes, checked against its digest.
    bool Read(const TVersion &version, QByteArray &bytes) const;
    // When the newest version was kept; invalid when there is none.
    QDateTime LastKept() const;
    // Drops what the rules above let go, in every history under the root.
    void Prune(const QDateTime &now);

    static constexpr int KeepDays = 30;
    static constexpr qint64 MaxTotalBytes = 200LL * 1024 * 1024;
    // A smaller bound for tests; 0 restores MaxTotalBytes.
    static void SetMaxTotalBytesForTesting(qint64 bytes);

private:
    // Reads the index again when another Nudger (or this one) wrote it
    // since; false when this history cannot be used.
    bool LoadIndex() const;
    void PruneLocked(const QDateTime &now);

    mutable QMutex FMutex;
    QString FRoot;
    QString FPrimary;
    QString FFolder;
    // The index as last read, oldest version first.
    mutable bool FIndexLoaded = false;
    mutable bool FIndexOurs = true;
    mutable TFileSignature FIndexSignature;
    mutable QVector<TVersion> FVersions;
};
