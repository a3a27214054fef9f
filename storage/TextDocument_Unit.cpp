#include "storage/TextDocument_Unit.h"

#include "app/PlatformDependence_Unit.h"
#include "storage/RecoveryCopy_Unit.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

#include <utility>

namespace {

QByteArray DigestOf(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1);
}

} // namespace

TTextDocument::TTextDocument(TDocumentText &text, const QString &recoveryFolder)
    : FText(text),
      FRecovery(std::make_unique<TRecoveryCopy>([this] { return FText.Text(); }, recoveryFolder))
{
}

TTextDocument::~TTextDocument() = default;

void TTextDocument::SetPrimaryFile(const QString &fileName)
{
    if (fileName == FPrimary.Name)
        return;
    FPrimary.Name = fileName;
    Forget(FPrimary);
    FPrimaryConflict = false;
    // The unsaved text, if any, is kept for the new file from now on (Save
    // As, say); none is left behind for the old one.
    FRecovery->Discard();
    FRecovery->SetPrimaryFile(fileName);
    if (FModified)
        FRecovery->TextChanged();
}

void TTextDocument::SetBackupFile(const QString &fileName)
{
    if (fileName == FBackup.Name)
        return;
    FBackup.Name = fileName;
    Forget(FBackup);
    FBackupConflict = false;
    FBackupHeld = false;
}

void TTextDocument::Changed()
{
    FFileBytesValid = false;
    FFileBytes = QByteArray();
    if (FReplacing)
        return;
    // The writer's own text from now on, held by no rule.
    FLoaded = true;
    FBackupHeld = false;
    SetModified(true);
    FRecovery->TextChanged();
}

void TTextDocument::SetModified(bool modified)
{
    if (modified == FModified)
        return;
    FModified = modified;
    if (ModifiedChanged)
        ModifiedChanged(modified);
}

void TTextDocument::SetUnmodified()
{
    SetModified(false);
}

void TTextDocument::Clear()
{
    if (FModified)
        FRecovery->Discard();
    Replace(QString(), false);
    FLoaded = false;
    SetModified(false);
}

void TTextDocument::TakeVersion(QByteArray bytes, const TFileSignature &signature, bool follow)
{
    // Only the digest of the bytes is kept; the decoding takes them over
    // rather than copying 10 MB.
    Remember(FPrimary, signature, bytes);
    // Unsaved text that makes way for the file's was let go of, or kept.
    if (FModified)
        FRecovery->Discard();
    TTextFileContent content;
    DecodeTextFile(std::move(bytes), content);
    FEncoding = content.Encoding;
    Replace(content.Text, follow);
    FPrimaryConflict = false;
    SetModified(false);
}

void TTextDocument::Replace(const QString &text, bool follow)
{
    FReplacing = true;
    if (follow)
        FText.Follow(text);
    else
        FText.Load(text);
    FReplacing = false;
}

const QByteArray &TTextDocument::FileBytes()
{
    if (!FFileBytesValid) {
        FFileBytes = EncodeTextFile(FText.Text(), FEncoding);
        FFileBytesDigest = DigestOf(FFileBytes);
        FFileBytesValid = true;
    }
    return FFileBytes;
}

TReadResult TTextDocument::ReadPrimary()
{
    switch (FileKind(FPrimary.Name)) {
    case TFileKind::Missing:
        // The editor keeps its text, which the next save writes anew.
        Remember(FPrimary, TFileSignature(), QByteArray());
        return TReadResult::Missing;
    case TFileKind::Other:
    case TFileKind::Regular:
        break;
    }
    QByteArray bytes;
    TFileSignature signature;
    if (!ReadWholeFile(FPrimary.Name, bytes, &signature)) {
        // The editor holds nothing of this file: until the writer types, no
        // save may put that in the file's place, nor in the backup's.
        FLoaded = false;
        Forget(FPrimary);
        return TReadResult::Failed;
    }
    TakeVersion(std::move(bytes), signature, false);
    FLoaded = true;
    return TReadResult::Read;
}

TSaveResult TTextDocument::SavePrimary(TOverwrite overwrite)
{
    if (!FLoaded)
        return TSaveResult::Held;
    if (overwrite == TOverwrite::Never && ChangedOutside(FPrimary)) {
        if (FModified) {
            FPrimaryConflict = true;
            return TSaveResult::Conflict;
        }
        // Nothing of the writer's is lost by taking the other version.
        const TSaveResult followed = FollowPrimary(Now());
        if (followed != TSaveResult::Saved)
            return followed;
        // Gone again meanwhile: written anew below.
    }
    if (!Write(FPrimary))
        return TSaveResult::Failed;
    Saved();
    return TSaveResult::Saved;
}

void TTextDocument::Saved()
{
    FPrimaryConflict = false;
    // A held backup stays held: the writer's next words, not a tick that
    // writes the text it followed, let it go.
    if (FModified)
        FRecovery->Discard();
    SetModified(false);
}

TSaveResult TTextDocument::FollowPrimary(const QDateTime &now)
{
    if (FileKind(FPrimary.Name) == TFileKind::Missing)
        return TSaveResult::Saved;
    QByteArray bytes;
    TFileSignature signature;
    if (!ReadWholeFile(FPrimary.Name, bytes, &signature)) {
        // Another program's version that cannot even be read: held, as at
        // a failed read, until the writer types.
        FLoaded = false;
        return TSaveResult::Held;
    }
    // The text the writer last saw survives the re-read: the backup file
    // keeps it until the writer types, or else a copy of its own.
    if (BackupHoldsText()) {
        FBackupHeld = true;
        FKeptIn = FBackup.Name;
    } else {
        FKeptIn = KeepCopy(now);
        if (FKeptIn.isEmpty()) {
            // Not kept anywhere: the writer chooses, as for unsaved text.
            FPrimaryConflict = true;
            FPrimary.Contested = signature;
            return TSaveResult::Conflict;
        }
    }
    TakeVersion(std::move(bytes), signature, true);
    return TSaveResult::ReadAgain;
}

bool TTextDocument::BackupHoldsText()
{
    if (FBackupHeld)
        return true;
    if (FBackup.Name.isEmpty() || FBackupConflict)
        return false;
    FileBytes();
    if (FBackup.Known && FBackup.Signature.Exists && FBackup.Digest == FFileBytesDigest &&
        FileSignature(FBackup.Name) == FBackup.Signature)
        return true;
    // Not written this session, or written since: it holds the text only if
    // its bytes say so.
    QByteArray bytes;
    TFileSignature signature;
    if (FileKind(FBackup.Name) != TFileKind::Regular ||
        !ReadWholeFile(FBackup.Name, bytes, &signature) || DigestOf(bytes) != FFileBytesDigest)
        return false;
    Remember(FBackup, signature, bytes);
    return true;
}

TSaveResult TTextDocument::SaveBackup(TOverwrite overwrite)
{
    if (FBackup.Name.isEmpty())
        return TSaveResult::Saved;
    // Nor does the backup, perhaps the one readable copy of the writer's
    // text, get text that is not the writer's, nor lose the text it keeps
    // from before a re-read.
    if (!FLoaded || FBackupHeld)
        return TSaveResult::Held;
    if (overwrite == TOverwrite::Never && ChangedOutside(FBackup)) {
        FBackupConflict = true;
        return TSaveResult::Conflict;
    }
    if (!Write(FBackup))
        return TSaveResult::Failed;
    FBackupConflict = false;
    return TSaveResult::Saved;
}

bool TTextDocument::KeepMyText()
{
    bool kept = true;
    if (FPrimaryConflict)
        kept = SavePrimary(TOverwrite::Allowed) == TSaveResult::Saved;
    if (FBackupConflict)
        kept = SaveBackup(TOverwrite::Allowed) == TSaveResult::Saved && kept;
    return kept;
}

QString TTextDocument::TakeFileText(const QDateTime &now, bool &textRead)
{
    textRead = false;
    const QString keptIn = KeepCopy(now);
    if (keptIn.isEmpty())
        return keptIn;
    QByteArray bytes;
    TFileSignature signature;
    if (FileKind(FPrimary.Name) != TFileKind::Regular ||
        !ReadWholeFile(FPrimary.Name, bytes, &signature))
        return keptIn;
    textRead = true;
    // The text the writer let go of is in its copy; the backup, which may
    // hold another program's version, is theirs to choose again.
    FBackupConflict = false;
    TakeVersion(std::move(bytes), signature, true);
    return keptIn;
}

QString TTextDocument::CopyName(const QString &folder, const QDateTime &when, int number) const
{
    const QFileInfo primary(FPrimary.Name);
    QString name = primary.completeBaseName() + QStringLiteral(" (your text ") +
                   when.toString(QStringLiteral("yyyy-MM-dd hh.mm.ss"));
    if (number > 1)
        name += QLatin1Char(' ') + QString::number(number);
    return QDir(folder).filePath(name + QStringLiteral(").txt"));
}

QString TTextDocument::KeepCopy(const QDateTime &now)
{
    if (FPrimary.Name.isEmpty())
        return QString();
    const QByteArray &bytes = FileBytes();
    // As private as the writer's file was when Nudger last saw it (another
    // program's version may have other permissions); the writer's alone
    // where those are unknown.
    int permissions = FPrimary.Permissions;
    if (permissions < 0)
        permissions = FilePermissions(FPrimary.Name);
    if (permissions < 0)
        permissions = 0600;
    // Beside the writer's file, where they look for it; else in Nudger's own
    // private folder.
    const QString folders[] = {QFileInfo(FPrimary.Name).absolutePath(), FRecovery->Folder()};
    for (const QString &folder : folders) {
        for (int number = 1; number <= 100; ++number) {
            const QString name = CopyName(folder, now, number);
            const TNewFileResult result = WriteNewFile(name, bytes, permissions);
            if (result == TNewFileResult::Written)
                return name;
            if (result == TNewFileResult::Failed)
                break;
        }
    }
    return QString();
}

TSessionEndSaves TTextDocument::SaveForSessionEnd(TPrimaryAtEnd primary, const QDateTime &now)
{
    TSessionEndSaves saves;
    if (!FLoaded)
        return saves;
    const bool unsaved = FModified;
    if (primary == TPrimaryAtEnd::Save && !FPrimary.Name.isEmpty())
        saves.Primary = SavePrimary() == TSaveResult::Saved;
    if (!FBackup.Name.isEmpty())
        saves.Backup = SaveBackup() == TSaveResult::Saved;
    if (unsaved && !saves.Primary && !saves.Backup)
        saves.Copy = KeepCopy(now);
    if (FModified)
        FRecovery->WriteNow();
    return saves;
}

bool TTextDocument::RecoveredText(QString &text)
{
    QString left;
    if (FPrimary.Name.isEmpty() || !FRecovery->LeftText(left))
        return false;
    if (FLoaded && left == FText.Text()) {
        // Nothing in it that the file does not hold.
        FRecovery->Discard();
        return false;
    }
    text = std::move(left);
    return true;
}

void TTextDocument::TakeRecoveredText(const QString &text)
{
    Replace(text, true);
    FLoaded = true;
    FBackupHeld = false;
    SetModified(true);
    FRecovery->TextChanged();
}

void TTextDocument::DeclineRecoveredText()
{
    FRecovery->SetAside();
}

void TTextDocument::DiscardRecovery()
{
    FRecovery->Discard();
}

void TTextDocument::Forget(TSeenFile &file)
{
    file.Known = false;
    file.Signature = TFileSignature();
    file.Digest = QByteArray();
    file.Contested = TFileSignature();
    file.Permissions = -1;
}

void TTextDocument::Remember(TSeenFile &file, const TFileSignature &signature,
                             const QByteArray &bytes)
{
    file.Known = true;
    file.Signature = signature;
    file.Digest = DigestOf(bytes);
    file.Contested = TFileSignature();
    file.Permissions = FilePermissions(file.Name);
}

bool TTextDocument::ChangedOutside(TSeenFile &file)
{
    if (!file.Known)
        return false;
    const TFileSignature now = FileSignature(file.Name);
    // A file deleted outside is simply written anew.
    if (!now.Exists && FileKind(file.Name) == TFileKind::Missing)
        return false;
    if (now.Exists && now == file.Signature)
        return false;
    // The version already found in conflict is not read again.
    if (now.Exists && now == file.Contested)
        return true;
    QByteArray bytes;
    TFileSignature read;
    if (!now.Exists || !ReadWholeFile(file.Name, bytes, &read))
        return true; // nothing may go over what cannot even be seen
    const QByteArray digest = DigestOf(bytes);
    FileBytes();
    if ((file.Signature.Exists && digest == file.Digest) || digest == FFileBytesDigest) {
        Remember(file, read, bytes);
        return false;
    }
    file.Contested = read;
    return true;
}

bool TTextDocument::Write(TSeenFile &file)
{
    TFileSignature signature;
    const QByteArray &bytes = FileBytes();
    // Where the name became a link since Nudger last saw a file of its own
    // there, the link itself is replaced: the text goes where the writer's
    // file was, never into the file some other program pointed it to.
    const TLinkRule links = file.Known && file.Signature.Exists && !file.Signature.IsLink
                                ? TLinkRule::ReplaceLink
                                : TLinkRule::FollowLink;
    if (!WriteWholeFile(file.Name, bytes, &signature, links))
        return false;
    file.Known = true;
    file.Signature = signature;
    file.Digest = FFileBytesDigest;
    file.Contested = TFileSignature();
    file.Permissions = FilePermissions(file.Name);
    return true;
}
