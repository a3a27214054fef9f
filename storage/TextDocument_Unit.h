// The writer's document as files: the primary and backup file names, the
// 8-bit form found when reading, the text's file form kept between saves, and
// what Nudger last saw of each file, so that nothing is ever written over a
// version of a file that it has not seen. Reports by return value; the window
// decides what the writer is told.
#pragma once

#include "storage/TextFile_Unit.h"
#include "storage/WholeFile_Unit.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>

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
    Held,      // the file could not be read and the writer has not typed since
    ReadAgain, // changed outside while the text was saved: the file's new
               // text is to replace the editor's (OutsideText); nothing written
    Conflict   // changed outside while the text is unsaved: nothing written
};

class TTextDocument
{
public:
    // Where the document finds the writer's current text when it has to
    // encode it again.
    using TTextSource = std::function<QString()>;

    explicit TTextDocument(TTextSource text);

    QString PrimaryFile() const { return FPrimary.Name; }
    // A new name forgets what was seen of the old file.
    void SetPrimaryFile(const QString &fileName);
    QString BackupFile() const { return FBackup.Name; }
    void SetBackupFile(const QString &fileName);
    TTextEncoding Encoding() const { return FEncoding; }

    // The text changed in any way: its file form is made again at the next
    // save.
    void TextReplaced();
    // The writer changed the text: a held primary file may now be written.
    void TextEdited() { FHeldPrimaryFile.clear(); }

    // False while the primary file exists but could not be read and the
    // writer has not typed since: what the editor holds is not the writer's
    // text for that file.
    bool MayReplacePrimaryFile() const;

    // Reads the primary file into text (left alone unless Read).
    TReadResult ReadPrimary(QString &text);

    // Writes the text to the primary or backup file, after checking that the
    // file on disk is the version last read or written. unsaved tells
    // whether the editor holds text that is in no file yet. With overwrite,
    // a version written by another program is replaced all the same (the
    // writer chose so). The backup of a saved text is never ReadAgain: it is
    // left alone (Conflict) when another program changed it.
    TSaveResult SavePrimary(bool unsaved, bool overwrite = false);
    TSaveResult SaveBackup(bool overwrite = false);
    // The primary file's text as another program left it, after ReadAgain.
    QString OutsideText() const { return FOutsideText; }

    // Writes the text to a file of its own (no check, nothing remembered).
    bool SaveCopy(const QString &fileName);
    // A name beside the primary file for such a copy, made at the given time.
    QString CopyName(const QDateTime &when) const;

    // Before the writer's text makes way for the primary file's: keeps it in
    // the backup file, unless another program's version stands there, or
    // else in a copy of its own. Where it went, or empty when it could not
    // be kept anywhere.
    QString KeepWritersText(bool backupContested, const QDateTime &now);

    // The session ends: the primary file when primaryToo (Auto-Save is on)
    // and the rules above allow, the backup file as they allow; unsaved text
    // that reached neither goes into a copy of its own.
    void SaveForSessionEnd(bool primaryToo, bool unsaved, const QDateTime &now);

    // Whether the file on disk is still the version last read or written
    // (or was never seen, or is missing: then it may be written).
    bool PrimaryChangedOutside() { return ChangedOutside(FPrimary); }
    bool BackupChangedOutside() { return ChangedOutside(FBackup); }

    // The text's file form, encoded once and kept until the text changes.
    const QByteArray &FileBytes();

private:
    // What Nudger last saw of one file.
    struct TSeenFile
    {
        QString Name;
        bool Known = false;       // nothing seen yet: the file may be written
        TFileSignature Signature; // Exists false: it was missing
        QByteArray Bytes;         // its content then
    };

    static void Forget(TSeenFile &file);
    static void Remember(TSeenFile &file, const TFileSignature &signature, const QByteArray &bytes);
    // Reads the file when its signature is not the one seen; a version with
    // the content seen (only its time touched) counts as unchanged, and so
    // does one that already holds the text's file form.
    bool ChangedOutside(TSeenFile &file);
    bool Write(TSeenFile &file);

    TTextSource FText;
    TSeenFile FPrimary;
    TSeenFile FBackup;
    TTextEncoding FEncoding = TTextEncoding::Utf8;
    // A primary file that exists but could not be read, held from saves
    // until the writer next types; empty once it was read, written or found
    // missing.
    QString FHeldPrimaryFile;
    QString FOutsideText;

    QByteArray FFileBytes;
    bool FFileBytesValid = false;
    TTextEncoding FFileBytesEncoding = TTextEncoding::Utf8;
};
