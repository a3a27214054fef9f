#include "storage/TextDocument_Unit.h"

#include <QDir>
#include <QFileInfo>

#include <utility>

TTextDocument::TTextDocument(TTextSource text) : FText(std::move(text)) {}

void TTextDocument::SetPrimaryFile(const QString &fileName)
{
    if (fileName == FPrimary.Name)
        return;
    FPrimary.Name = fileName;
    Forget(FPrimary);
}

void TTextDocument::SetBackupFile(const QString &fileName)
{
    if (fileName == FBackup.Name)
        return;
    FBackup.Name = fileName;
    Forget(FBackup);
}

void TTextDocument::TextReplaced()
{
    FFileBytesValid = false;
    FFileBytes = QByteArray();
}

bool TTextDocument::MayReplacePrimaryFile() const
{
    return FHeldPrimaryFile.isEmpty() || FHeldPrimaryFile != FPrimary.Name;
}

const QByteArray &TTextDocument::FileBytes()
{
    if (!FFileBytesValid || FFileBytesEncoding != FEncoding) {
        FFileBytes = EncodeTextFile(FText ? FText() : QString(), FEncoding);
        FFileBytesEncoding = FEncoding;
        FFileBytesValid = true;
    }
    return FFileBytes;
}

TReadResult TTextDocument::ReadPrimary(QString &text)
{
    if (!IsExistingFile(FPrimary.Name)) {
        FHeldPrimaryFile.clear();
        Remember(FPrimary, TFileSignature(), QByteArray());
        return TReadResult::Missing;
    }
    QByteArray bytes;
    TFileSignature signature;
    if (!ReadWholeFile(FPrimary.Name, bytes, &signature)) {
        // The editor holds nothing of this file: until the writer types, no
        // save may put that in the file's place.
        FHeldPrimaryFile = FPrimary.Name;
        Forget(FPrimary);
        return TReadResult::Failed;
    }
    TTextFileContent content;
    DecodeTextFile(bytes, content);
    FEncoding = content.Encoding;
    FHeldPrimaryFile.clear();
    Remember(FPrimary, signature, bytes);
    text = std::move(content.Text);
    return TReadResult::Read;
}

TSaveResult TTextDocument::SavePrimary(bool unsaved, bool overwrite)
{
    if (!MayReplacePrimaryFile())
        return TSaveResult::Held;
    if (!overwrite && ChangedOutside(FPrimary)) {
        if (unsaved)
            return TSaveResult::Conflict;
        // Nothing of the writer's is lost by taking the other version.
        switch (ReadPrimary(FOutsideText)) {
        case TReadResult::Read:
            return TSaveResult::ReadAgain;
        case TReadResult::Failed:
            return TSaveResult::Held;
        case TReadResult::Missing:
            break; // gone again meanwhile: written anew below
        }
    }
    return Write(FPrimary) ? TSaveResult::Saved : TSaveResult::Failed;
}

TSaveResult TTextDocument::SaveBackup(bool overwrite)
{
    if (FBackup.Name.isEmpty())
        return TSaveResult::Saved;
    // Nor does the backup, perhaps the one readable copy of that file, get
    // text that is not the writer's.
    if (!MayReplacePrimaryFile())
        return TSaveResult::Held;
    if (!overwrite && ChangedOutside(FBackup))
        return TSaveResult::Conflict;
    return Write(FBackup) ? TSaveResult::Saved : TSaveResult::Failed;
}

bool TTextDocument::SaveCopy(const QString &fileName)
{
    return WriteWholeFile(fileName, FileBytes());
}

QString TTextDocument::CopyName(const QDateTime &when) const
{
    const QFileInfo primary(FPrimary.Name);
    return primary.dir().filePath(primary.completeBaseName() + QStringLiteral(" (your text ") +
                                  when.toString(QStringLiteral("yyyy-MM-dd hh.mm.ss")) +
                                  QStringLiteral(").txt"));
}

QString TTextDocument::KeepWritersText(bool backupContested, const QDateTime &now)
{
    if (!FBackup.Name.isEmpty() && !backupContested && SaveBackup() == TSaveResult::Saved)
        return FBackup.Name;
    const QString copy = CopyName(now);
    return SaveCopy(copy) ? copy : QString();
}

void TTextDocument::SaveForSessionEnd(bool primaryToo, bool unsaved, const QDateTime &now)
{
    bool kept = !unsaved;
    if (primaryToo && !FPrimary.Name.isEmpty())
        kept = SavePrimary(unsaved) == TSaveResult::Saved || kept;
    if (!FBackup.Name.isEmpty())
        kept = SaveBackup() == TSaveResult::Saved || kept;
    if (!kept && MayReplacePrimaryFile() && !FPrimary.Name.isEmpty())
        SaveCopy(CopyName(now));
}

void TTextDocument::Forget(TSeenFile &file)
{
    file.Known = false;
    file.Signature = TFileSignature();
    file.Bytes = QByteArray();
}

void TTextDocument::Remember(TSeenFile &file, const TFileSignature &signature,
                             const QByteArray &bytes)
{
    file.Known = true;
    file.Signature = signature;
    file.Bytes = bytes;
}

bool TTextDocument::ChangedOutside(TSeenFile &file)
{
    if (!file.Known)
        return false;
    const TFileSignature now = FileSignature(file.Name);
    // A file deleted outside is simply written anew.
    if (!now.Exists || now == file.Signature)
        return false;
    QByteArray bytes;
    TFileSignature read;
    if (!ReadWholeFile(file.Name, bytes, &read))
        return true; // nothing may go over what cannot even be seen
    if ((file.Signature.Exists && bytes == file.Bytes) || bytes == FileBytes()) {
        Remember(file, read, bytes);
        return false;
    }
    return true;
}

bool TTextDocument::Write(TSeenFile &file)
{
    TFileSignature signature;
    const QByteArray &bytes = FileBytes();
    if (!WriteWholeFile(file.Name, bytes, &signature))
        return false;
    Remember(file, signature, bytes);
    if (&file == &FPrimary)
        FHeldPrimaryFile.clear();
    return true;
}
