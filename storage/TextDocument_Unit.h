// The writer's document as files: the primary and backup file names, the
// 8-bit form found when reading, the text's file form kept between saves,
// what Nudger last saw of each file, and whose text the editor holds. Nothing
// is ever written over a version of a file that Nudger has not seen, nothing
// takes the editor's text before it is the writer's, and no version another
// program wrote is followed at the cost of the writer's last text. While the
// text holds changes that are in no file, a recovery copy keeps it. Reports
// by return value; the window decides what the writer is told.
#pragma once

#include "storage/TextFile_Unit.h"
#include "storage/WholeFile_Unit.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>

class TRecoveryCopy;

enum class TReadResult
{
    Read,    // the text is the file's
    Missing, // no such file: the next save creates it
    Failed   // the file exists but could not be read; it is held (below)
};

enum class TSaveResult
{
    Saved,     // every byte is on disk
    Failed,    // the write failed; the old file is whole
    Held,      // the editor holds no text of the writer's for this file yet,
               // or the backup keeps the writer's text from before a re-read
    ReadAgain, // changed outside while the text was saved: the editor took
               // the file's new text, and the earlier one is kept (KeptIn)
    Conflict   // changed outside while the text is unsaved: nothing written
};

// Whether a write may go over a version another program wrote.
enum class TOverwrite
{
    Never,
    Allowed // the writer chose so
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
    // A file was opened: its text, the cursor at its end.
    virtual void Load(const QString &text) = 0;
    // A file's new version replaces the text in one step the writer can
    // undo; the cursor stays as near its place as the new text allows.
    virtual void Follow(const QString &text) = 0;
};

// What the session's last tick wrote.
struct TSessionEndSaves
{
    bool Primary = false;
    bool Backup = false;
    QString Copy; // a copy of its own, when the text reached neither file
};

class TTextDocument
{
public:
    // recoveryFolder: where recovery copies live; empty for the writer's
    // private data folder.
    explicit TTextDocument(TDocumentText &text, const QString &recoveryFolder = QString());
    ~TTextDocument();

    QString PrimaryFile() const { return FPrimary.Name; }
    // A new name forgets what was seen of the old file.
    void SetPrimaryFile(const QString &fileName);
    QString BackupFile() const { return FBackup.Name; }
    void SetBackupFile(const QString &fileName);

    // The editor's text changed, by the writer or anyone but the document.
    void Changed();
    // Called once the document's own replacements are done.
    bool Modified() const { return FModified; }
    // Start-up ends, or a file is about to be opened in place of the text:
    // whatever is in the editor counts as saved.
    void SetUnmodified();
    // Told whenever Modified changes.
    std::function<void(bool)> ModifiedChanged;

    // Whether the editor holds the writer's text: the primary file was read,
    // or the writer typed. Until then no write takes the editor's text.
    bool Loaded() const { return FLoaded; }
    // Empties the editor for a file to come; its text is no one's.
    void Clear();

    // Reads the primary file into the editor (left alone unless Read).
    TReadResult ReadPrimary();

    // Writes the text to the primary or backup file, after checking that
    // the file on disk is the version last read or written. A saved text
    // follows a primary file that another program changed (ReadAgain),
    // once the text it replaces is kept; an unsaved one is a Conflict.
    TSaveResult SavePrimary(TOverwrite overwrite = TOverwrite::Never);
    TSaveResult SaveBackup(TOverwrite overwrite = TOverwrite::Never);
    // Where the text the editor held before a ReadAgain is kept.
    QString KeptIn() const { return FKeptIn; }

    // The files another program changed while the writer's text was in no
    // file, until the writer chooses.
    bool PrimaryConflict() const { return FPrimaryConflict; }
    bool BackupConflict() const { return FBackupConflict; }
    // "Keep My Text": the text over the versions in conflict.
    bool KeepMyText();
    // "Take the File's Text": the writer's text first goes into a copy of its
    // own, then the editor takes the primary file's. The copy's name, or
    // empty when it could not be made (nothing changed then); textRead
    // tells whether the file could be read after that.
    QString TakeFileText(const QDateTime &now, bool &textRead);

    // The session ends: one last tick, the primary file when Auto-Save asks
    // for it and the rules above allow, the backup file as they allow;
    // unsaved text that reached neither goes into a copy of its own, and the
    // recovery copy is brought up to date.
    enum class TPrimaryAtEnd
    {
        Skip,
        Save
    };
    TSessionEndSaves SaveForSessionEnd(TPrimaryAtEnd primary, const QDateTime &now);

    // A copy left by a Nudger that ended with unsaved text for this primary
    // file, different from the editor's text; false when there is none.
    bool RecoveredText(QString &text);
    // The writer takes it: it becomes the editor's unsaved text.
    void TakeRecoveredText(const QString &text);
    // The writer declines it: it is set aside for a while.
    void DeclineRecoveredText();
    // The writer chose to let the unsaved text go, or ends with a clean one.
    void DiscardRecovery();
    TRecoveryCopy &Recovery() { return *FRecovery; }

private:
    // The text's file form, encoded once and kept until the text changes.
    const QByteArray &FileBytes();

    // What Nudger last saw of one file.
    struct TSeenFile
    {
        QString Name;
        bool Known = false;       // nothing seen yet: the file may be written
        TFileSignature Signature; // Exists false: it was missing
        QByteArray Digest;        // of its content then
        // A version found in conflict, not read again while it stands.
        TFileSignature Contested;
        int Permissions = -1; // of the version seen; -1 unknown
    };

    static void Forget(TSeenFile &file);
    static void Remember(TSeenFile &file, const TFileSignature &signature, const QByteArray &bytes);
    // Reads the file when its signature is not the one seen; a version with
    // the content seen (only its time touched) counts as unchanged, and so
    // does one that already holds the text's file form.
    bool ChangedOutside(TSeenFile &file);
    bool Write(TSeenFile &file);
    // The primary file's new version replaces a saved text, once that text
    // is kept: in the backup file when it holds it, else in a copy.
    TSaveResult FollowPrimary(const QDateTime &now);
    bool BackupHoldsText();
    // A new file of its own beside the primary file (or in the recovery
    // folder where that folder refuses it), never replacing one; its name,
    // or empty.
    QString KeepCopy(const QDateTime &now);
    QString CopyName(const QString &folder, const QDateTime &when, int number) const;
    // The primary file's version read becomes the editor's saved text.
    void TakeVersion(QByteArray bytes, const TFileSignature &signature, bool follow);
    void Replace(const QString &text, bool follow);
    void SetModified(bool modified);
    void Saved();

    TDocumentText &FText;
    std::unique_ptr<TRecoveryCopy> FRecovery;
    TSeenFile FPrimary;
    TSeenFile FBackup;
    TTextEncoding FEncoding = TTextEncoding::Utf8;
    bool FLoaded = false;
    bool FModified = false;
    bool FReplacing = false;
    bool FPrimaryConflict = false;
    bool FBackupConflict = false;
    // After a re-read, the backup keeps the text from before it until the
    // writer types.
    bool FBackupHeld = false;
    QString FKeptIn;

    QByteArray FFileBytes;
    QByteArray FFileBytesDigest;
    bool FFileBytesValid = false;
};
