// The writer's document as files: the primary and backup file names, the
// 8-bit form found when reading, the text's file form kept between saves,
// and what Nudger last saw of each file.
//
// One rule holds wherever the document writes: the content it replaces is
// either the version Nudger last read or wrote there (the writer's text grew
// from it), or it goes into the history first, read whole and checked; a
// version that cannot be read cannot be kept, so it is not replaced. And the
// editor's text, before a text the writer did not type replaces it, goes
// into the history too, unless the history already holds it. While the text
// holds changes that are in no file, a recovery copy keeps it. Reports by
// return value; the window decides what the writer is told.
//
// "Saved" means in the file: a saved text counts as safe to replace only
// while the primary file still holds the version last written there,
// checked, not assumed.
//
// The writing itself (encoding the text, checking each file's version,
// keeping what the history must keep, writing, syncing) runs on one worker
// thread, shared with the history and the recovery copy; the GUI thread only
// takes the text (a snapshot) and applies the outcome. The history is read
// and written there alone. A tick does not wait for it; a save, and
// everything else that touches the files or the history, waits for the
// worker first, with the window still drawing.
#pragma once

#include "storage/History_Unit.h"
#include "storage/TextFile_Unit.h"
#include "storage/WholeFile_Unit.h"

#include "storage/Worker_Unit.h"

#include <QByteArray>
#include <QDateTime>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QVector>

#include <functional>
#include <memory>

class TRecoveryCopy;

enum class TReadResult
{
    Read,    // the text is the file's
    Missing, // no such file: the next save creates it
    Failed   // the file exists but could not be read
};

enum class TSaveResult
{
    Saved,      // every byte is on disk
    Failed,     // the write failed; the old file is whole
    Nothing,    // the editor holds no one's text and the file has content
    ReadAgain,  // changed outside while the text was saved: the editor took
                // the file's new version
    Conflict,   // changed outside while the text is unsaved: nothing written
    Unreadable, // a version there cannot be read, so it cannot be kept:
                // nothing written
    NotKept     // a version there had to go into the history first, and the
                // history could not be written: nothing written
};

// Whether the writer chose to replace the file's version, whatever it is
// ("Keep My Text", Save As onto a file); it is still kept first.
enum class TOverwrite
{
    Never,
    Allowed
};

// The editor the writer types into, as the document sees it. Whoever gives
// one tells the document of every change of its text through
// TTextDocument::Changed.
class TDocumentText
{
public:
    virtual ~TDocumentText() = default;
    // The whole text, lines joined by '\n'.
    virtual QString Text() const = 0;
    // The same, taken without holding anything up (in steps, say), for a
    // write on the worker: done receives it, later, on this thread; lines
    // may be joined by QChar::ParagraphSeparator in place of '\n'.
    virtual void Snapshot(std::function<void(const QString &)> done) { done(Text()); }
    // A file was opened: its text, the cursor at its end.
    virtual void Load(const QString &text) = 0;
    // Another text replaces the editor's in one step the writer can undo;
    // the cursor stays as near its place as the new text allows.
    virtual void Follow(const QString &text) = 0;
    // Where the cursor is, as a position in Text(); -1 when unknown.
    virtual qsizetype CursorPosition() const { return -1; }
    // Puts the cursor at a position in Text() (the end when past it), in
    // view.
    virtual void PlaceCursor(qsizetype position) { Q_UNUSED(position); }
};

// A version the document has just put into the history, for the window to
// tell of.
struct TKeptVersion
{
    TVersion Version;
    bool New = false; // false: the history held that content already
};

// What the window should tell of the history itself; all false and empty
// while it works.
struct THistoryNews
{
    bool Failing = false; // a version that had to be kept could not be
    bool Full = false;    // past its bound with only texts it must keep
    QString SetAside;     // a damaged database set aside, and where
    bool operator==(const THistoryNews &other) const
    {
        return Failing == other.Failing && Full == other.Full && SetAside == other.SetAside;
    }
    bool operator!=(const THistoryNews &other) const { return !(*this == other); }
};

// What the session's last tick wrote.
struct TSessionEndSaves
{
    bool Primary = false;
    bool Backup = false;
};

// Unsaved words a Nudger left when it ended, offered back at the start.
struct TRecoveryOffer
{
    QString Text;
    qsizetype Cursor = -1;    // where the writer was typing; -1: unknown
    QDateTime Written;        // when the words were last written
    bool FileChanged = false; // the primary file is no longer the version
                              // the words grew from (it is kept)
};

class TTextDocument
{
public:
    // privateFolder: where the recovery copies ("recovery") and the history
    // ("nudger.db", and the older "history" it takes in) live; empty for the
    // writer's private data folder.
    explicit TTextDocument(TDocumentText &text, const QString &privateFolder = QString());
    ~TTextDocument();

    QString PrimaryFile() const { return FPrimary.Name; }
    // How the unsaved text goes when the primary file changes.
    enum class TUnsavedText
    {
        StaysBehind, // it was the old file's: kept in that file's history
        GoesAlong    // Save As: it is the new file's now
    };
    // A new name forgets what was seen of the old file.
    void SetPrimaryFile(const QString &fileName, TUnsavedText unsaved = TUnsavedText::StaysBehind);
    QString BackupFile() const { return FBackup.Name; }
    void SetBackupFile(const QString &fileName);

    // The editor's text changed, by the writer or anyone but the document.
    void Changed();
    // Called once the document's own replacements are done.
    bool Modified() const { return FModified; }
    // Start-up ends: whatever is in the editor counts as saved.
    void SetUnmodified();
    // Told whenever Modified changes.
    std::function<void(bool)> ModifiedChanged;

    // The writer answered No to saving: the unsaved text is kept in the
    // history, and may go once a file takes its place or the window closes.
    void LetGo();
    // The window closes: the recovery copy goes unless it keeps words that
    // are still unsaved and were not let go.
    void Close();
    // Empties the editor for a file to come; its text is no one's.
    void Clear();
    // Keeps the editor's text in the history now, for reason (before Replace
    // All, say); the version is in Kept() afterwards. False when it could
    // not be kept.
    bool KeepText(TVersionReason reason);
    // Puts an earlier version's text in the editor as one step the writer
    // can undo, unsaved until the next save or tick; unsaved text in the
    // editor goes into the history first. False, with the editor left
    // alone, when it could not be kept.
    bool Restore(const QString &text);

    // Reads the primary file into the editor (left alone unless Read).
    TReadResult ReadPrimary();

    // Writes the text to the primary or backup file under the rule above,
    // and waits for it. A saved text follows a primary file that another
    // program changed (ReadAgain); an unsaved one is a Conflict.
    TSaveResult SavePrimary(TOverwrite overwrite = TOverwrite::Never);
    TSaveResult SaveBackup();
    // The versions the last save or call put into the history (or found
    // there).
    const QVector<TKeptVersion> &Kept() const { return FKept; }

    // The auto-save tick: the primary file when asked, then the backup, on
    // the worker; TickDone follows on this thread once both are on disk (or
    // failed). A tick asked for while one is in flight is made once that
    // one is done, never twice.
    enum class TTickPrimary
    {
        Skip,
        Save
    };
    void Tick(TTickPrimary primary);
    struct TTickOutcome
    {
        bool WrotePrimary = false;
        TSaveResult Primary = TSaveResult::Saved;
        TSaveResult Backup = TSaveResult::Saved;
    };
    std::function<void(const TTickOutcome &)> TickDone;
    // A tick asked for while one was in flight may be made now; whoever
    // asked decides afresh whether it still wants one (Auto-Save may be off
    // by now). Without it, the tick is made as it was asked for.
    std::function<void()> TickDue;
    // Waits until no write is in flight and its outcome is applied; with
    // DrawMeanwhile the window keeps drawing (its keys and clicks wait).
    enum class TWait
    {
        Block,
        DrawMeanwhile
    };
    void WaitForWrites(TWait wait = TWait::DrawMeanwhile);

    // Another program's version of the primary file, not written over while
    // the writer's text is unsaved, until the writer chooses.
    bool PrimaryConflict() const { return FPrimaryConflict; }
    // The version in conflict is one Nudger could not read before.
    bool PrimaryNeverRead() const { return FPrimary.FailedRead; }
    // A version of either file that cannot even be read, so not replaced.
    bool PrimaryUnreadable() const { return FPrimary.Unreadable; }
    bool BackupUnreadable() const { return FBackup.Unreadable; }
    // "Keep My Text": the text over the version in conflict, once that is
    // kept.
    TSaveResult KeepMyText();
    // Save As: what the chosen file holds is kept in its history first; then
    // it becomes the primary file, the unsaved text going along, and the
    // text is written there. NotKept or Unreadable: it could not be kept,
    // and nothing changed.
    TSaveResult SaveAs(const QString &fileName);
    // "Take the File's Text": the writer's text goes into the history, then
    // the editor takes the primary file's.
    enum class TTaken
    {
        Taken,   // the editor holds the file's text
        NotRead, // the writer's text is kept, but the file could not be read
        NotKept  // the writer's text could not be kept: nothing changed
    };
    TTaken TakeFileText();

    // The session ends: one last tick, the primary file when Auto-Save asks
    // for it, the backup file; the recovery copy is brought up to date and
    // unsaved text also goes into the history.
    enum class TPrimaryAtEnd
    {
        Skip,
        Save
    };
    TSessionEndSaves SaveForSessionEnd(TPrimaryAtEnd primary);

    // Words a Nudger that ended with unsaved text left for this primary
    // file, different from the editor's text; false when there are none.
    // A primary file changed since the words were written is kept first.
    bool RecoveredText(TRecoveryOffer &offer);
    // The writer takes them: the editor's text is kept, and they become its
    // unsaved text, the cursor where the writer was typing (where the words
    // differ from the file's text last, when the copy does not tell).
    void TakeRecoveredText(const TRecoveryOffer &offer);
    // The writer declines them: they go into the history.
    void DeclineRecoveredText(const TRecoveryOffer &offer);

    // The history of the primary file, from the worker: these wait for it
    // (the window drawing meanwhile); ListVersions and ReadVersion with a
    // context answer later on this thread, unless the context went.
    QVector<TVersion> Versions();
    bool ReadVersion(const TVersion &version, QByteArray &bytes);
    void ListVersions(QObject *context, std::function<void(QVector<TVersion>)> done);
    void ReadVersion(const TVersion &version, QObject *context,
                     std::function<void(bool, QByteArray)> done);
    // Writes an earlier version's bytes to a file the writer chose, keeping
    // what the file held first (a new file gets permissions).
    TSaveResult WriteVersionAs(const QString &fileName, const QByteArray &bytes, int permissions);
    // What the window should tell of the history, and when it changed.
    const THistoryNews &HistoryNews() const { return FHistoryNews; }
    std::function<void()> HistoryNewsChanged;

    TRecoveryCopy &Recovery() { return *FRecovery; }

private:
    struct TJob;
    // What Nudger knows of the version in one file.
    struct TSeenFile
    {
        QString Name;
        enum class TState
        {
            Unknown, // never looked at, or its read failed
            Missing, // nothing was there
            Seen     // read or written by this Nudger
        } State = TState::Unknown;
        TFileSignature Signature; // of the version seen
        QByteArray Digest;        // of its content
        // A version found in conflict, not read again while it stands.
        TFileSignature Contested;
        int Permissions = -1;    // of the version seen; -1 unknown
        bool FailedRead = false; // the last read of this file failed
        bool Unreadable = false; // a version there cannot be read
        // The version seen goes into the history before it is first
        // replaced, for this reason.
        bool KeepFirst = false;
        TVersionReason KeepFirstReason = TVersionReason::BeforeFirstSave;
        bool KeepFirstRequired = false; // not replaced unless it is kept
    };
    enum class TRole
    {
        Primary,
        Backup
    };
    enum class TReplace
    {
        Load,  // a file opened
        Follow // one step the writer can undo
    };
    // Whether the editor's text is kept before it goes, or only when the
    // primary file no longer holds it (a saved text).
    enum class TKeepWhen
    {
        Always,
        UnlessInPrimary
    };

    // The text's file form, encoded once and kept until the text changes.
    const QByteArray &FileBytes();
    const QByteArray &FileBytesDigest();
    // A job writing the current text (its snapshot, or its file form when
    // encoded already) to the files asked for.
    TJob MakeJob(bool primary, bool backup, TOverwrite overwrite) const;
    // The same with a snapshot taken already.
    TJob MakeJob(bool primary, bool backup, TOverwrite overwrite, const QString &snapshot) const;
    bool Busy() const { return FInFlight || FSnapshotting; }
    // Runs on the worker: the keeps asked for, then the rule above for the
    // job's files, then whatever else the job does with the history.
    static void Run(TJob &job, THistory &history);
    static TSaveResult Save(TJob &job, TSeenFile &file, TRole role, TOverwrite overwrite,
                            THistory &history);
    static TSaveResult WriteFile(TJob &job, TSeenFile &file, TRole role);
    static TSaveResult ReplaceOther(TJob &job, TSeenFile &file, TRole role, TOverwrite overwrite,
                                    THistory &history, QByteArray bytes,
                                    const TFileSignature &read);
    static TSaveResult FollowPrimary(TJob &job, QByteArray bytes, const TFileSignature &signature,
                                     THistory &history);
    // Keeps bytes in the history for the job; false when that failed.
    static bool Keep(TJob &job, THistory &history, const QByteArray &bytes,
                     const QByteArray &digest, TVersionReason reason);
    // The saved text joins the writer's timeline every ten minutes.
    static void KeepTimeline(TJob &job, THistory &history);
    static bool InPrimary(TJob &job);
    // Runs the job on the worker and waits for it, and for any job ahead.
    struct TResults
    {
        TSaveResult Primary = TSaveResult::Saved;
        TSaveResult Backup = TSaveResult::Saved;
        bool KeepsDone = true;
    };
    TResults RunSync(TJob job);
    // The same for a job that only uses the history.
    void RunOnWorker(std::function<void(THistory &)> work);
    void Post(TJob job);
    void StartWantedTick();
    // Applies a finished job's outcome on this thread.
    void Finish();
    void Apply(TJob &job);
    void ApplyHistoryNews(const TJob &job);
    // The primary file's version read becomes the editor's saved text.
    void TakeVersion(QByteArray bytes, const TFileSignature &signature, TReplace how);
    void TakeDecoded(TTextFileContent content, const TFileSignature &signature,
                     const QByteArray &digest, TReplace how);
    void Replace(const QString &text, TReplace how);
    bool LeftRecoveredText(TRecoveryOffer &offer);
    // Keeps the editor's text before something replaces it; false when it
    // could not be kept.
    bool KeepEditorText(TVersionReason reason, TKeepWhen when = TKeepWhen::Always);
    // Keeps other bytes (declined words).
    bool KeepBytes(const QByteArray &bytes, TVersionReason reason);
    void SetModified(bool modified);
    void Saved();
    static void Remember(TSeenFile &file, const TFileSignature &signature,
                         const QByteArray &digest);
    static void Forget(TSeenFile &file);

    TDocumentText &FText;
    // Declared first: the jobs and the recovery copy use what follows, and
    // its destructor waits for them.
    TWorker FWorker;
    std::unique_ptr<THistory> FHistory;
    std::unique_ptr<TRecoveryCopy> FRecovery;
    // Counts the changes of the editor's text.
    quint64 FGeneration = 0;
    // A job on the worker, and the one that finished there, not yet applied.
    bool FInFlight = false;
    QMutex FDoneMutex;
    std::unique_ptr<TJob> FDone;
    // A tick's snapshot is being taken; SnapshotEpoch drops one no longer
    // wanted.
    bool FSnapshotting = false;
    quint64 FSnapshotEpoch = 0;
    // A tick asked for while a job was in flight.
    bool FTickWanted = false;
    TTickPrimary FTickWantedPrimary = TTickPrimary::Skip;
    // Waits for a job in flight going on (their own jobs come first).
    int FWaiting = 0;
    std::function<void()> FJobApplied;
    TResults FLastResults;
    // Receives the finished jobs on this thread.
    QObject FReceiver;
    TSeenFile FPrimary;
    TSeenFile FBackup;
    TTextEncoding FEncoding = TTextEncoding::Utf8;
    bool FModified = false;
    // The editor holds no one's text: nothing read into it, nothing typed.
    bool FBlank = true;
    bool FReplacing = false;
    bool FPrimaryConflict = false;
    bool FLetGo = false;
    QVector<TKeptVersion> FKept;
    // The digest of the editor's text last kept, in whichever history.
    QByteArray FTextKept;
    THistoryNews FHistoryNews;

    QByteArray FFileBytes;
    QByteArray FFileBytesDigest;
    bool FFileBytesValid = false;
};
