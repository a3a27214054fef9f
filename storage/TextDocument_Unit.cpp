#include "storage/TextDocument_Unit.h"

#include "app/PlatformDependence_Unit.h"
#include "storage/RecoveryCopy_Unit.h"

#include <utility>

namespace {

// The writer's own saved text is kept at most this often, unless something
// else asks for it.
constexpr qint64 SavedTextEverySecs = 3600;

QString Under(const QString &folder, const QString &name)
{
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + name;
}

} // namespace

TTextDocument::TTextDocument(TDocumentText &text, const QString &privateFolder)
    : FText(text),
      FHistory(std::make_unique<THistory>(Under(privateFolder, QStringLiteral("history")))),
      FRecovery(std::make_unique<TRecoveryCopy>(
          [this] {
              TRecoverySnapshot snapshot;
              snapshot.Text = FText.Text();
              if (FPrimary.State == TSeenFile::TState::Seen) {
                  snapshot.BaseDigest = FPrimary.Digest;
                  snapshot.BaseSignature = FPrimary.Signature;
              }
              return snapshot;
          },
          Under(privateFolder, QStringLiteral("recovery"))))
{
}

TTextDocument::~TTextDocument() = default;

void TTextDocument::SetPrimaryFile(const QString &fileName, TUnsavedText unsaved)
{
    if (fileName == FPrimary.Name)
        return;
    const bool goesAlong = FModified && unsaved == TUnsavedText::GoesAlong;
    // Unsaved text left behind is the old file's: kept in its history, and
    // its recovery copy goes.
    if (FModified && !goesAlong) {
        KeepEditorText(TVersionReason::LetGo);
        FRecovery->Discard();
    }
    FPrimary.Name = fileName;
    Forget(FPrimary);
    FPrimaryConflict = false;
    FTextKept.clear();
    FHistory->SetPrimaryFile(fileName);
    if (goesAlong)
        FRecovery->MoveTo(fileName);
    else
        FRecovery->SetPrimaryFile(fileName);
}

void TTextDocument::SetBackupFile(const QString &fileName)
{
    if (fileName == FBackup.Name)
        return;
    FBackup.Name = fileName;
    Forget(FBackup);
}

void TTextDocument::Changed()
{
    FFileBytesValid = false;
    FFileBytes = QByteArray();
    if (FReplacing)
        return;
    FBlank = false;
    FLetGo = false;
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

void TTextDocument::LetGo()
{
    FLetGo = true;
    KeepEditorText(TVersionReason::LetGo);
}

void TTextDocument::Close()
{
    // The recovery copy stays only for words still unsaved that the writer
    // did not let go of (a logout that could not ask).
    if (!FModified || FLetGo)
        FRecovery->Discard();
}

void TTextDocument::Clear()
{
    if (FModified) {
        KeepEditorText(TVersionReason::LetGo);
        FRecovery->Discard();
    }
    Replace(QString(), TReplace::Load);
    FBlank = true;
    SetModified(false);
}

const QByteArray &TTextDocument::FileBytes()
{
    if (!FFileBytesValid) {
        FFileBytes = EncodeTextFile(FText.Text(), FEncoding);
        FFileBytesDigest = VersionDigest(FFileBytes);
        FFileBytesValid = true;
    }
    return FFileBytes;
}

const QByteArray &TTextDocument::FileBytesDigest()
{
    FileBytes();
    return FFileBytesDigest;
}

void TTextDocument::TakeVersion(QByteArray bytes, const TFileSignature &signature, TReplace how)
{
    Remember(FPrimary, signature, VersionDigest(bytes));
    // Unsaved text that makes way for the file's was let go of, or kept.
    if (FModified) {
        if (!FLetGo)
            KeepEditorText(TVersionReason::LetGo);
        FRecovery->Discard();
    }
    // The decoding takes the bytes over rather than copying 10 MB.
    TTextFileContent content;
    DecodeTextFile(std::move(bytes), content);
    FEncoding = content.Encoding;
    Replace(content.Text, how);
    FBlank = false;
    FPrimaryConflict = false;
    SetModified(false);
}

void TTextDocument::Replace(const QString &text, TReplace how)
{
    FReplacing = true;
    if (how == TReplace::Follow)
        FText.Follow(text);
    else
        FText.Load(text);
    FReplacing = false;
}

bool TTextDocument::Keep(const QByteArray &bytes, TVersionReason reason)
{
    TVersion version;
    const TKeepResult result = FHistory->Keep(bytes, reason, Now(), &version);
    if (result == TKeepResult::Failed)
        return false;
    if (!bytes.isEmpty())
        FKept.append({version, result == TKeepResult::Kept});
    return true;
}

bool TTextDocument::KeepEditorText(TVersionReason reason)
{
    const QByteArray &bytes = FileBytes();
    if (bytes.isEmpty() || FFileBytesDigest == FTextKept)
        return true;
    if (!Keep(bytes, reason))
        return false;
    FTextKept = FFileBytesDigest;
    return true;
}

TReadResult TTextDocument::ReadPrimary()
{
    FKept.clear();
    switch (FileKind(FPrimary.Name)) {
    case TFileKind::Missing:
        // The editor keeps its text, which the next save writes anew.
        Forget(FPrimary);
        FPrimary.State = TSeenFile::TState::Missing;
        return TReadResult::Missing;
    case TFileKind::Other:
    case TFileKind::Regular:
        break;
    }
    QByteArray bytes;
    TFileSignature signature;
    if (!ReadWholeFile(FPrimary.Name, bytes, &signature)) {
        // Nothing of this version is known: before anything replaces it, it
        // must be read and kept.
        Forget(FPrimary);
        FPrimary.FailedRead = true;
        return TReadResult::Failed;
    }
    TakeVersion(std::move(bytes), signature, TReplace::Load);
    // The writer's text of an earlier session, kept at the first save.
    FPrimary.KeepFirst = true;
    FPrimary.KeepFirstReason = TVersionReason::BeforeFirstSave;
    FPrimary.KeepFirstRequired = false;
    return TReadResult::Read;
}

TSaveResult TTextDocument::SavePrimary(TOverwrite overwrite)
{
    FKept.clear();
    return Save(FPrimary, TRole::Primary, overwrite);
}

TSaveResult TTextDocument::SaveBackup()
{
    FKept.clear();
    if (FBackup.Name.isEmpty())
        return TSaveResult::Saved;
    return Save(FBackup, TRole::Backup, TOverwrite::Never);
}

TSaveResult TTextDocument::Save(TSeenFile &file, TRole role, TOverwrite overwrite)
{
    const auto finish = [&]() {
        if (!Write(file))
            return TSaveResult::Failed;
        if (role == TRole::Primary) {
            file.KeepFirst = false;
            Saved();
        }
        return TSaveResult::Saved;
    };

    switch (FileKind(file.Name)) {
    case TFileKind::Other:
        return TSaveResult::Failed;
    case TFileKind::Missing:
        // Nothing there to lose: the save creates the file.
        file.Unreadable = false;
        return finish();
    case TFileKind::Regular:
        break;
    }

    // The version seen, about to be replaced by other content: kept first
    // when a rule asks for it.
    const bool replacing = FileBytesDigest() != file.Digest;
    bool keepSeen = false;
    TVersionReason seenReason = TVersionReason::SavedEarlier;
    bool seenRequired = false;
    if (file.State == TSeenFile::TState::Seen && replacing) {
        if (file.KeepFirst) {
            keepSeen = true;
            seenReason = file.KeepFirstReason;
            seenRequired = file.KeepFirstRequired;
        } else if (role == TRole::Primary) {
            const QDateTime last = FHistory->LastKept();
            keepSeen = !last.isValid() || last.secsTo(Now()) >= SavedTextEverySecs;
        }
    }

    const TFileSignature now = FileSignature(file.Name);
    if (file.State == TSeenFile::TState::Seen && now == file.Signature && !keepSeen)
        return finish();
    // The version already found in conflict is not read again.
    if (overwrite == TOverwrite::Never && now.Exists && now == file.Contested)
        return TSaveResult::Conflict;

    QByteArray bytes;
    TFileSignature read;
    if (!ReadWholeFile(file.Name, bytes, &read)) {
        // What cannot be read cannot be kept, and is not replaced.
        file.Unreadable = true;
        return TSaveResult::Unreadable;
    }
    file.Unreadable = false;
    const QByteArray digest = VersionDigest(bytes);
    if (digest == FileBytesDigest()) {
        // It holds the text already.
        Remember(file, read, digest);
        return finish();
    }
    if (file.State == TSeenFile::TState::Seen && digest == file.Digest) {
        // The version seen, perhaps with only its time touched.
        Remember(file, read, digest);
        if (keepSeen && !Keep(bytes, seenReason) && seenRequired)
            return TSaveResult::NotKept;
        return finish();
    }

    // A version the writer's text did not grow from.
    TVersionReason reason = TVersionReason::ChangedOutside;
    if (role == TRole::Primary) {
        if (overwrite == TOverwrite::Never) {
            if (!FModified)
                return FollowPrimary(std::move(bytes), read);
            file.Contested = read;
            FPrimaryConflict = true;
            return TSaveResult::Conflict;
        }
        if (file.FailedRead)
            reason = TVersionReason::Unreadable;
        else if (file.State == TSeenFile::TState::Unknown)
            reason = TVersionReason::BeforeSaveAs;
    } else {
        // An untouched empty editor has nothing to put in a backup's place.
        if (FBlank)
            return TSaveResult::Nothing;
        // The primary file's version the text grew from is no loss there.
        if (FPrimary.State == TSeenFile::TState::Seen && digest == FPrimary.Digest)
            return finish();
        reason = file.State == TSeenFile::TState::Unknown ? TVersionReason::FoundInBackup
                                                          : TVersionReason::BackupChangedOutside;
    }
    if (!Keep(bytes, reason))
        return TSaveResult::NotKept;
    return finish();
}

TSaveResult TTextDocument::FollowPrimary(QByteArray bytes, const TFileSignature &signature)
{
    // The editor's saved text makes way for another program's version. It
    // is kept unless the history holds it already, or the new version still
    // holds it but for a few words and a version was kept within the hour:
    // two Nudgers saving one file in turn keep one version an hour, not one
    // a tick.
    const QByteArray &old = FileBytes();
    bool keep =
        !old.isEmpty() && FFileBytesDigest != FTextKept && !FHistory->Holds(FFileBytesDigest);
    if (keep && StillHolds(old, bytes)) {
        const QDateTime last = FHistory->LastKept();
        keep = !last.isValid() || last.secsTo(Now()) >= SavedTextEverySecs;
    }
    if (keep && !Keep(old, TVersionReason::ReadAgain)) {
        // Kept nowhere: the writer chooses, as for unsaved text.
        FPrimary.Contested = signature;
        FPrimaryConflict = true;
        return TSaveResult::NotKept;
    }
    TakeVersion(std::move(bytes), signature, TReplace::Follow);
    return TSaveResult::ReadAgain;
}

void TTextDocument::Saved()
{
    FPrimaryConflict = false;
    if (FModified)
        FRecovery->Discard();
    SetModified(false);
}

TSaveResult TTextDocument::KeepMyText()
{
    FKept.clear();
    return Save(FPrimary, TRole::Primary, TOverwrite::Allowed);
}

TTextDocument::TTaken TTextDocument::TakeFileText()
{
    FKept.clear();
    if (!KeepEditorText(TVersionReason::TookFilesText))
        return TTaken::NotKept;
    QByteArray bytes;
    TFileSignature signature;
    if (FileKind(FPrimary.Name) != TFileKind::Regular ||
        !ReadWholeFile(FPrimary.Name, bytes, &signature))
        return TTaken::NotRead;
    TakeVersion(std::move(bytes), signature, TReplace::Follow);
    return TTaken::Taken;
}

TSessionEndSaves TTextDocument::SaveForSessionEnd(TPrimaryAtEnd primary)
{
    FKept.clear();
    TSessionEndSaves saves;
    const bool unsaved = FModified;
    if (primary == TPrimaryAtEnd::Save && !FPrimary.Name.isEmpty())
        saves.Primary = Save(FPrimary, TRole::Primary, TOverwrite::Never) == TSaveResult::Saved;
    if (!FBackup.Name.isEmpty())
        saves.Backup = Save(FBackup, TRole::Backup, TOverwrite::Never) == TSaveResult::Saved;
    if (FModified) {
        FRecovery->WriteNow();
        if (unsaved && !saves.Primary)
            KeepEditorText(TVersionReason::SessionEnd);
    }
    return saves;
}

bool TTextDocument::RecoveredText(TRecoveryOffer &offer)
{
    TLeftCopy left;
    if (FPrimary.Name.isEmpty() || !FRecovery->LeftText(left))
        return false;
    if (!FBlank && left.Text == FText.Text()) {
        // Nothing in it that the file does not hold.
        FRecovery->Discard();
        return false;
    }
    offer.Text = std::move(left.Text);
    offer.Written = left.Written;
    offer.FileChanged = FPrimary.State == TSeenFile::TState::Seen && !left.BaseDigest.isEmpty() &&
                        left.BaseDigest != FPrimary.Digest;
    if (offer.FileChanged) {
        // The newer version, which the writer has not seen, is kept before
        // the words can reach it; where that fails, the first save keeps it
        // or does not replace it.
        FKept.clear();
        if (!KeepEditorText(TVersionReason::NewerAtRecovery)) {
            FPrimary.KeepFirst = true;
            FPrimary.KeepFirstReason = TVersionReason::NewerAtRecovery;
            FPrimary.KeepFirstRequired = true;
        }
    }
    return true;
}

void TTextDocument::TakeRecoveredText(const TRecoveryOffer &offer)
{
    KeepEditorText(offer.FileChanged ? TVersionReason::NewerAtRecovery
                                     : TVersionReason::BeforeFirstSave);
    Replace(offer.Text, TReplace::Follow);
    FBlank = false;
    FLetGo = false;
    SetModified(true);
    FRecovery->TextChanged();
}

void TTextDocument::DeclineRecoveredText(const TRecoveryOffer &offer)
{
    FKept.clear();
    if (Keep(EncodeTextFile(offer.Text, FEncoding), TVersionReason::RecoveryDeclined))
        FRecovery->Discard();
    else
        FRecovery->SetAside();
}

void TTextDocument::Forget(TSeenFile &file)
{
    file.State = TSeenFile::TState::Unknown;
    file.Signature = TFileSignature();
    file.Digest = QByteArray();
    file.Contested = TFileSignature();
    file.FailedRead = false;
    file.Unreadable = false;
    file.KeepFirst = false;
    file.KeepFirstRequired = false;
}

void TTextDocument::Remember(TSeenFile &file, const TFileSignature &signature,
                             const QByteArray &digest)
{
    file.State = TSeenFile::TState::Seen;
    file.Signature = signature;
    file.Digest = digest;
    file.Contested = TFileSignature();
    file.FailedRead = false;
}

bool TTextDocument::Write(TSeenFile &file)
{
    TFileSignature signature;
    const QByteArray &bytes = FileBytes();
    // Where the name became a link since Nudger last saw a file of its own
    // there, the link itself is replaced: the text goes where the writer's
    // file was, never into the file some other program pointed it to.
    const TLinkRule links =
        file.State == TSeenFile::TState::Seen && file.Signature.Exists && !file.Signature.IsLink
            ? TLinkRule::ReplaceLink
            : TLinkRule::FollowLink;
    if (!WriteWholeFile(file.Name, bytes, &signature, links))
        return false;
    Remember(file, signature, FFileBytesDigest);
    file.Unreadable = false;
    return true;
}
