#include "storage/TextDocument_Unit.h"

#include "app/PlatformDependence_Unit.h"
#include "storage/RecoveryCopy_Unit.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>

#include <atomic>
#include <utility>

namespace {

// The writer's saved text joins the timeline at most this often.
constexpr qint64 TimelineEverySecs = 10 * 60;

QString Under(const QString &folder, const QString &name)
{
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + name;
}

// Where after, which replaces before, differs from it last: the end of the
// words the writer added or changed.
qsizetype EndOfChange(const QString &before, const QString &after)
{
    const qsizetype shorter = qMin(before.size(), after.size());
    qsizetype prefix = 0;
    while (prefix < shorter && before.at(prefix) == after.at(prefix))
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix &&
           before.at(before.size() - 1 - suffix) == after.at(after.size() - 1 - suffix))
        ++suffix;
    return after.size() - suffix;
}

} // namespace

// What one write needs of the document, taken on the GUI thread, and what
// it found and did, taken back there.
struct TTextDocument::TJob
{
    quint64 Generation = 0;
    // The text: its file form when encoded already, else a snapshot that
    // the worker encodes.
    QString Text;
    QByteArray Bytes;
    QByteArray Digest;
    TTextEncoding Encoding = TTextEncoding::Utf8;
    bool Modified = false;
    bool Blank = false;
    QDateTime Now;

    // Texts to keep before anything else: the editor's (its file form
    // above) unless other bytes are given.
    struct TKeepRequest
    {
        TVersionReason Reason = TVersionReason::LetGo;
        TKeepWhen When = TKeepWhen::Always;
        QByteArray Bytes; // empty: the editor's text
    };
    QVector<TKeepRequest> Keeps;
    bool KeepsDone = true; // every keep asked for above was made

    bool WritePrimary = false;
    bool WriteBackup = false;
    TOverwrite Overwrite = TOverwrite::Never;
    bool NotifyTick = false; // a tick: TickDone follows
    TSeenFile Primary;
    TSeenFile Backup;
    // Anything else done with the history, on the worker, after the files.
    std::function<void(THistory &)> Work;

    TSaveResult PrimaryResult = TSaveResult::Saved;
    TSaveResult BackupResult = TSaveResult::Saved;
    bool PrimaryConflict = false;
    // Another program's version the saved text makes way for, decoded.
    bool Follow = false;
    TTextFileContent Followed;
    TFileSignature FollowedSignature;
    QByteArray FollowedDigest;
    QVector<TKeptVersion> Kept;
    QByteArray TextKept; // the digest of the editor's text kept, if it was
    // What the history had to tell, and whether a keep failed.
    bool KeepFailed = false;
    bool KeepWorked = false;
    THistory::TState HistoryState = THistory::TState::Working;
    QString HistorySetAside;

    const QByteArray &FileBytes()
    {
        if (Digest.isEmpty()) {
            Text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
            Bytes = EncodeTextFile(Text, Encoding);
            Digest = VersionDigest(Bytes);
            Text = QString();
        }
        return Bytes;
    }
    const QByteArray &FileDigest()
    {
        FileBytes();
        return Digest;
    }
};

TTextDocument::TTextDocument(TDocumentText &text, const QString &privateFolder)
    : FText(text),
      FHistory(std::make_unique<THistory>(Under(privateFolder, QStringLiteral("nudger.db")),
                                          Under(privateFolder, QStringLiteral("history")))),
      FRecovery(std::make_unique<TRecoveryCopy>(
          [this] {
              TRecoverySnapshot snapshot;
              snapshot.Text = FText.Text();
              snapshot.Cursor = FText.CursorPosition();
              if (FPrimary.State == TSeenFile::TState::Seen) {
                  snapshot.BaseDigest = FPrimary.Digest;
                  snapshot.BaseSignature = FPrimary.Signature;
              }
              return snapshot;
          },
          Under(privateFolder, QStringLiteral("recovery")), &FWorker))
{
    FRecovery->SetSnapshotInSteps([this](std::function<void(TRecoverySnapshot)> done) {
        FText.Snapshot([this, done = std::move(done)](const QString &copy) {
            TRecoverySnapshot snapshot;
            snapshot.Text = copy;
            snapshot.Cursor = FText.CursorPosition();
            if (FPrimary.State == TSeenFile::TState::Seen) {
                snapshot.BaseDigest = FPrimary.Digest;
                snapshot.BaseSignature = FPrimary.Signature;
            }
            done(std::move(snapshot));
        });
    });
}

TTextDocument::~TTextDocument()
{
    // The jobs use the history and this object.
    FWorker.WaitForDone();
    FRecovery.reset();
}

// ---------------------------------------------------------------------------
// The editor's text

void TTextDocument::Changed()
{
    ++FGeneration;
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

void TTextDocument::Replace(const QString &text, TReplace how)
{
    FReplacing = true;
    if (how == TReplace::Follow)
        FText.Follow(text);
    else
        FText.Load(text);
    FReplacing = false;
}

bool TTextDocument::KeepEditorText(TVersionReason reason, TKeepWhen when)
{
    const QByteArray &bytes = FileBytes();
    if (bytes.isEmpty() || FFileBytesDigest == FTextKept)
        return true;
    TJob job = MakeJob(false, false, TOverwrite::Never);
    job.Keeps.append({reason, when, QByteArray()});
    RunSync(std::move(job));
    return FLastResults.KeepsDone;
}

bool TTextDocument::KeepBytes(const QByteArray &bytes, TVersionReason reason)
{
    if (bytes.isEmpty())
        return true;
    TJob job = MakeJob(false, false, TOverwrite::Never);
    job.Keeps.append({reason, TKeepWhen::Always, bytes});
    RunSync(std::move(job));
    return FLastResults.KeepsDone;
}

bool TTextDocument::KeepText(TVersionReason reason)
{
    WaitForWrites();
    FKept.clear();
    // Kept even when the history holds it already, so that Kept() names it.
    FTextKept.clear();
    return KeepEditorText(reason);
}

// ---------------------------------------------------------------------------
// The files' names, and the writer's answers

void TTextDocument::SetPrimaryFile(const QString &fileName, TUnsavedText unsaved)
{
    if (fileName == FPrimary.Name)
        return;
    WaitForWrites();
    const bool goesAlong = FModified && unsaved == TUnsavedText::GoesAlong;
    // The text left behind is the old file's: kept in its history, unless
    // that file holds it; a recovery copy of it goes.
    if (!goesAlong && !FBlank) {
        KeepEditorText(TVersionReason::LetGo,
                       FModified ? TKeepWhen::Always : TKeepWhen::UnlessInPrimary);
        if (FModified)
            FRecovery->Discard();
    }
    FPrimary.Name = fileName;
    Forget(FPrimary);
    FPrimaryConflict = false;
    FTextKept.clear();
    if (goesAlong)
        FRecovery->MoveTo(fileName);
    else
        FRecovery->SetPrimaryFile(fileName);
}

void TTextDocument::SetBackupFile(const QString &fileName)
{
    if (fileName == FBackup.Name)
        return;
    WaitForWrites();
    FBackup.Name = fileName;
    Forget(FBackup);
}

void TTextDocument::LetGo()
{
    WaitForWrites();
    FLetGo = true;
    KeepEditorText(TVersionReason::LetGo);
}

void TTextDocument::Close()
{
    WaitForWrites(TWait::Block);
    // The recovery copy stays only for words still unsaved that the writer
    // did not let go of (a logout that could not ask).
    if (!FModified || FLetGo)
        FRecovery->Discard();
}

void TTextDocument::Clear()
{
    WaitForWrites();
    if (!FBlank) {
        KeepEditorText(TVersionReason::LetGo,
                       FModified ? TKeepWhen::Always : TKeepWhen::UnlessInPrimary);
        if (FModified)
            FRecovery->Discard();
    }
    Replace(QString(), TReplace::Load);
    FBlank = true;
    SetModified(false);
}

// ---------------------------------------------------------------------------
// Reading

void TTextDocument::TakeVersion(QByteArray bytes, const TFileSignature &signature, TReplace how)
{
    const QByteArray digest = VersionDigest(bytes);
    // The decoding takes the bytes over rather than copying 10 MB.
    TTextFileContent content;
    DecodeTextFile(std::move(bytes), content);
    TakeDecoded(std::move(content), signature, digest, how);
}

void TTextDocument::TakeDecoded(TTextFileContent content, const TFileSignature &signature,
                                const QByteArray &digest, TReplace how)
{
    Remember(FPrimary, signature, digest);
    // Unsaved text that makes way for the file's was let go of, or kept.
    if (FModified) {
        if (!FLetGo)
            KeepEditorText(TVersionReason::LetGo);
        FRecovery->Discard();
    }
    FEncoding = content.Encoding;
    Replace(content.Text, how);
    FBlank = false;
    FPrimaryConflict = false;
    SetModified(false);
}

TReadResult TTextDocument::ReadPrimary()
{
    WaitForWrites();
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

// ---------------------------------------------------------------------------
// Writing: the jobs, on the worker

TTextDocument::TJob TTextDocument::MakeJob(bool primary, bool backup, TOverwrite overwrite) const
{
    return MakeJob(primary, backup, overwrite, FFileBytesValid ? QString() : FText.Text());
}

TTextDocument::TJob TTextDocument::MakeJob(bool primary, bool backup, TOverwrite overwrite,
                                           const QString &snapshot) const
{
    TJob job;
    job.Generation = FGeneration;
    // Encoding the snapshot is the worker's.
    if (FFileBytesValid) {
        job.Bytes = FFileBytes;
        job.Digest = FFileBytesDigest;
    } else {
        job.Text = snapshot;
    }
    job.Encoding = FEncoding;
    job.Modified = FModified;
    job.Blank = FBlank;
    job.Now = Now();
    job.WritePrimary = primary && !FPrimary.Name.isEmpty();
    job.WriteBackup = backup && !FBackup.Name.isEmpty();
    job.Overwrite = overwrite;
    job.Primary = FPrimary;
    job.Backup = FBackup;
    job.PrimaryConflict = FPrimaryConflict;
    return job;
}

void TTextDocument::Run(TJob &job, THistory &history)
{
    // The history of the file the job was made for (set here, on the
    // worker, and not before: nothing of the history runs as the window
    // starts).
    history.SetPrimaryFile(job.Primary.Name);
    for (const TJob::TKeepRequest &request : std::as_const(job.Keeps)) {
        const bool editor = request.Bytes.isEmpty();
        if (editor && request.When == TKeepWhen::UnlessInPrimary && InPrimary(job))
            continue;
        const QByteArray &bytes = editor ? job.FileBytes() : request.Bytes;
        const QByteArray digest = editor ? job.FileDigest() : VersionDigest(bytes);
        if (!Keep(job, history, bytes, digest, request.Reason))
            job.KeepsDone = false;
        else if (editor)
            job.TextKept = digest;
    }
    if (job.WritePrimary) {
        job.PrimaryResult = Save(job, job.Primary, TRole::Primary, job.Overwrite, history);
        if (job.PrimaryResult == TSaveResult::Saved) {
            job.PrimaryConflict = false;
            KeepTimeline(job, history);
        }
    }
    if (job.WriteBackup)
        job.BackupResult = Save(job, job.Backup, TRole::Backup, TOverwrite::Never, history);
    if (job.Work)
        job.Work(history);
    job.HistoryState = history.State();
    job.HistorySetAside = history.SetAside();
}

bool TTextDocument::Keep(TJob &job, THistory &history, const QByteArray &bytes,
                         const QByteArray &digest, TVersionReason reason)
{
    TVersion version;
    const TKeepResult result = history.Keep(bytes, digest, reason, job.Now, &version);
    if (result == TKeepResult::Failed) {
        job.KeepFailed = true;
        return false;
    }
    job.KeepWorked = true;
    if (!bytes.isEmpty())
        job.Kept.append({version, result == TKeepResult::Kept});
    return true;
}

bool TTextDocument::InPrimary(TJob &job)
{
    // A saved text is safe only while the file holds the version Nudger
    // last wrote or read there: looked at, and read when it was touched.
    const TSeenFile &file = job.Primary;
    if (file.State != TSeenFile::TState::Seen || file.Name.isEmpty() ||
        file.Digest != job.FileDigest())
        return false;
    if (FileSignature(file.Name) == file.Signature)
        return true;
    QByteArray bytes;
    return ReadWholeFile(file.Name, bytes) && VersionDigest(bytes) == file.Digest;
}

void TTextDocument::KeepTimeline(TJob &job, THistory &history)
{
    const QDateTime last = history.LastTimelineKept();
    if (last.isValid() && last.secsTo(job.Now) < TimelineEverySecs)
        return;
    // Best kept, not needed: the text is in the file already.
    Keep(job, history, job.FileBytes(), job.FileDigest(), TVersionReason::SavedEarlier);
}

TSaveResult TTextDocument::WriteFile(TJob &job, TSeenFile &file, TRole role)
{
    TFileSignature signature;
    // Where the name became a link since Nudger last saw a file of its own
    // there, the link itself is replaced: the text goes where the writer's
    // file was, never into the file some other program pointed it to.
    const TLinkRule links =
        file.State == TSeenFile::TState::Seen && file.Signature.Exists && !file.Signature.IsLink
            ? TLinkRule::ReplaceLink
            : TLinkRule::FollowLink;
    if (!WriteWholeFile(file.Name, job.FileBytes(), &signature, links))
        return TSaveResult::Failed;
    Remember(file, signature, job.Digest);
    file.Unreadable = false;
    if (role == TRole::Primary)
        file.KeepFirst = false;
    return TSaveResult::Saved;
}

TSaveResult TTextDocument::Save(TJob &job, TSeenFile &file, TRole role, TOverwrite overwrite,
                                THistory &history)
{
    switch (FileKind(file.Name)) {
    case TFileKind::Other:
        return TSaveResult::Failed;
    case TFileKind::Missing:
        // Nothing there to lose: the save creates the file.
        file.Unreadable = false;
        return WriteFile(job, file, role);
    case TFileKind::Regular:
        break;
    }
    // The version seen, about to be replaced by other content, is kept
    // first when a rule asks for it.
    const bool keepSeen =
        file.State == TSeenFile::TState::Seen && file.KeepFirst && job.FileDigest() != file.Digest;
    const TFileSignature now = FileSignature(file.Name);
    if (file.State == TSeenFile::TState::Seen && now == file.Signature && !keepSeen)
        return WriteFile(job, file, role);
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
    if (digest == job.FileDigest()) {
        // It holds the text already.
        Remember(file, read, digest);
        return WriteFile(job, file, role);
    }
    if (file.State == TSeenFile::TState::Seen && digest == file.Digest) {
        // The version seen, perhaps with only its time touched.
        Remember(file, read, digest);
        if (keepSeen && !Keep(job, history, bytes, digest, file.KeepFirstReason) &&
            file.KeepFirstRequired)
            return TSaveResult::NotKept;
        return WriteFile(job, file, role);
    }
    return ReplaceOther(job, file, role, overwrite, history, std::move(bytes), read);
}

TSaveResult TTextDocument::ReplaceOther(TJob &job, TSeenFile &file, TRole role,
                                        TOverwrite overwrite, THistory &history, QByteArray bytes,
                                        const TFileSignature &read)
{
    // A version the writer's text did not grow from.
    TVersionReason reason = TVersionReason::ChangedOutside;
    if (role == TRole::Primary) {
        if (overwrite == TOverwrite::Never) {
            if (!job.Modified)
                return FollowPrimary(job, std::move(bytes), read, history);
            file.Contested = read;
            job.PrimaryConflict = true;
            return TSaveResult::Conflict;
        }
        if (file.FailedRead)
            reason = TVersionReason::Unreadable;
        else if (file.State == TSeenFile::TState::Unknown)
            reason = TVersionReason::BeforeSaveAs;
    } else {
        // An untouched empty editor has nothing to put in a backup's place.
        if (job.Blank)
            return TSaveResult::Nothing;
        // The primary file's version the text grew from is no loss there.
        const QByteArray digest = VersionDigest(bytes);
        if (job.Primary.State == TSeenFile::TState::Seen && digest == job.Primary.Digest)
            return WriteFile(job, file, role);
        reason = file.State == TSeenFile::TState::Unknown ? TVersionReason::FoundInBackup
                                                          : TVersionReason::BackupChangedOutside;
    }
    if (!Keep(job, history, bytes, VersionDigest(bytes), reason))
        return TSaveResult::NotKept;
    return WriteFile(job, file, role);
}

TSaveResult TTextDocument::FollowPrimary(TJob &job, QByteArray bytes,
                                         const TFileSignature &signature, THistory &history)
{
    // The editor's saved text makes way for another program's version: it
    // is kept first, whatever it was, so that nothing of it is only in the
    // editor's undo history.
    const QByteArray &old = job.FileBytes();
    if (!old.isEmpty()) {
        if (!Keep(job, history, old, job.Digest, TVersionReason::ReadAgain)) {
            // Kept nowhere: the writer chooses, as for unsaved text.
            job.Primary.Contested = signature;
            job.PrimaryConflict = true;
            return TSaveResult::NotKept;
        }
        job.TextKept = job.Digest;
    }
    job.FollowedDigest = VersionDigest(bytes);
    job.FollowedSignature = signature;
    DecodeTextFile(std::move(bytes), job.Followed);
    job.Follow = true;
    Remember(job.Primary, signature, job.FollowedDigest);
    // The backup, written next, gets the text the editor takes.
    job.Bytes = EncodeTextFile(job.Followed.Text, job.Followed.Encoding);
    job.Digest = VersionDigest(job.Bytes);
    return TSaveResult::ReadAgain;
}

// ---------------------------------------------------------------------------
// Writing: on this thread

void TTextDocument::Post(TJob job)
{
    FInFlight = true;
    FWorker.Post([this, job = std::move(job)]() mutable {
        Run(job, *FHistory);
        {
            const TCountedLocker locker(&FDoneMutex);
            FDone = std::make_unique<TJob>(std::move(job));
        }
        QMetaObject::invokeMethod(
            &FReceiver, [this] { Finish(); }, Qt::QueuedConnection);
    });
}

void TTextDocument::Finish()
{
    std::unique_ptr<TJob> done;
    {
        const TCountedLocker locker(&FDoneMutex);
        done = std::move(FDone);
    }
    if (!done)
        return;
    FInFlight = false;
    Apply(*done);
    if (done->NotifyTick && TickDone)
        TickDone({done->WritePrimary, done->PrimaryResult, done->BackupResult});
    FLastResults = {done->PrimaryResult, done->BackupResult, done->KeepsDone};
    if (FJobApplied)
        FJobApplied();
    // A tick asked for meanwhile, unless a save that waits comes first.
    StartWantedTick();
}

void TTextDocument::Apply(TJob &job)
{
    // Whether the editor still holds the text the job wrote.
    const bool current = job.Generation == FGeneration;
    // A tick tells of its own keeps; a step of a longer operation adds its.
    if (job.NotifyTick)
        FKept = job.Kept;
    else
        FKept += job.Kept;
    if (!job.TextKept.isEmpty())
        FTextKept = job.TextKept;
    ApplyHistoryNews(job);
    if (job.WriteBackup)
        FBackup = job.Backup;
    if (!job.WritePrimary) {
        if (current && !job.Follow && !FFileBytesValid && !job.Digest.isEmpty()) {
            FFileBytes = job.Bytes;
            FFileBytesDigest = job.Digest;
            FFileBytesValid = true;
        }
        return;
    }
    if (job.Follow) {
        if (current) {
            FPrimary = job.Primary;
            TakeDecoded(std::move(job.Followed), job.FollowedSignature, job.FollowedDigest,
                        TReplace::Follow);
            return;
        }
        // The writer typed meanwhile: their text is unsaved now, and the
        // other version waits for their choice. What the file held before
        // that version is still the one the text grew from.
        job.Primary.Contested = job.FollowedSignature;
        job.PrimaryResult = TSaveResult::Conflict;
        FPrimaryConflict = true;
        FPrimary.Contested = job.FollowedSignature;
        FPrimary.Unreadable = false;
        return;
    }
    FPrimary = job.Primary;
    FPrimaryConflict = job.PrimaryConflict;
    if (current && !FFileBytesValid && !job.Digest.isEmpty()) {
        FFileBytes = job.Bytes;
        FFileBytesDigest = job.Digest;
        FFileBytesValid = true;
    }
    if (job.PrimaryResult == TSaveResult::Saved && current)
        Saved();
}

void TTextDocument::ApplyHistoryNews(const TJob &job)
{
    THistoryNews news = FHistoryNews;
    // Failing while keeps fail, until one works again.
    if (job.KeepFailed)
        news.Failing = true;
    else if (job.KeepWorked)
        news.Failing = false;
    if (job.HistoryState == THistory::TState::Unusable && !job.Keeps.isEmpty())
        news.Failing = true;
    news.Full = job.HistoryState == THistory::TState::Full;
    if (!job.HistorySetAside.isEmpty())
        news.SetAside = job.HistorySetAside;
    if (news == FHistoryNews)
        return;
    FHistoryNews = news;
    if (HistoryNewsChanged)
        HistoryNewsChanged();
}

void TTextDocument::WaitForWrites(TWait wait)
{
    if (!Busy())
        return;
    if (wait == TWait::Block || !QCoreApplication::instance()) {
        // A tick still taking its snapshot, or wanted after the one in
        // flight, is dropped: what follows writes the text anyway.
        if (FSnapshotting) {
            FSnapshotting = false;
            ++FSnapshotEpoch;
        }
        FTickWanted = false;
        while (FInFlight) {
            FWorker.WaitForDone();
            Finish();
        }
        return;
    }
    ++FWaiting;
    while (Busy()) {
        QEventLoop loop;
        // A wait begun inside another one's loop (a posted call that
        // waits too) ends that one's loop as well, or it would run on with
        // nothing left to end it.
        const std::function<void()> outer = FJobApplied;
        FJobApplied = [&loop, outer] {
            loop.quit();
            if (outer)
                outer();
        };
        // The job may have finished before the loop runs.
        QMetaObject::invokeMethod(
            &FReceiver, [this] { Finish(); }, Qt::QueuedConnection);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        FJobApplied = outer;
    }
    --FWaiting;
    // A tick asked for meanwhile, once no wait is left.
    StartWantedTick();
}

TTextDocument::TResults TTextDocument::RunSync(TJob job)
{
    WaitForWrites();
    Post(std::move(job));
    ++FWaiting;
    WaitForWrites();
    --FWaiting;
    StartWantedTick();
    return FLastResults;
}

void TTextDocument::RunOnWorker(std::function<void(THistory &)> work)
{
    TJob job = MakeJob(false, false, TOverwrite::Never);
    job.Work = std::move(work);
    RunSync(std::move(job));
}

void TTextDocument::StartWantedTick()
{
    if (!FTickWanted || FWaiting != 0 || Busy())
        return;
    FTickWanted = false;
    // Whoever asked for it decides afresh: the settings may have changed.
    if (TickDue)
        TickDue();
    else
        Tick(FTickWantedPrimary);
}

void TTextDocument::Tick(TTickPrimary primary)
{
    if (Busy()) {
        // Coalesced: one more tick once this one is done.
        if (!FTickWanted)
            FTickWantedPrimary = TTickPrimary::Skip;
        FTickWanted = true;
        if (primary == TTickPrimary::Save)
            FTickWantedPrimary = TTickPrimary::Save;
        return;
    }
    const bool savePrimary = primary == TTickPrimary::Save;
    if (FFileBytesValid) {
        TJob job = MakeJob(savePrimary, true, TOverwrite::Never, QString());
        job.NotifyTick = true;
        Post(std::move(job));
        return;
    }
    // The text is taken in steps between the window's events, then written.
    FSnapshotting = true;
    FText.Snapshot([this, savePrimary, epoch = FSnapshotEpoch](const QString &snapshot) {
        if (epoch != FSnapshotEpoch)
            return;
        FSnapshotting = false;
        TJob job = MakeJob(savePrimary, true, TOverwrite::Never, snapshot);
        job.NotifyTick = true;
        Post(std::move(job));
    });
}

TSaveResult TTextDocument::SavePrimary(TOverwrite overwrite)
{
    WaitForWrites();
    FKept.clear();
    TJob job = MakeJob(true, false, overwrite);
    if (!job.WritePrimary)
        return TSaveResult::Failed;
    return RunSync(std::move(job)).Primary;
}

TSaveResult TTextDocument::SaveBackup()
{
    WaitForWrites();
    FKept.clear();
    if (FBackup.Name.isEmpty())
        return TSaveResult::Saved;
    return RunSync(MakeJob(false, true, TOverwrite::Never)).Backup;
}

TSaveResult TTextDocument::KeepMyText()
{
    return SavePrimary(TOverwrite::Allowed);
}

TSaveResult TTextDocument::SaveAs(const QString &fileName)
{
    WaitForWrites();
    FKept.clear();
    if (IsExistingFile(fileName)) {
        TSaveResult before = TSaveResult::Saved;
        TJob job = MakeJob(false, false, TOverwrite::Never);
        job.Work = [&before, &fileName, now = job.Now](THistory &history) {
            QByteArray bytes;
            if (!ReadWholeFile(fileName, bytes)) {
                before = TSaveResult::Unreadable;
                return;
            }
            const QString primary = history.PrimaryFile();
            history.SetPrimaryFile(fileName);
            if (history.Keep(bytes, VersionDigest(bytes), TVersionReason::BeforeSaveAs, now) ==
                TKeepResult::Failed)
                before = TSaveResult::NotKept;
            history.SetPrimaryFile(primary);
        };
        RunSync(std::move(job));
        if (before != TSaveResult::Saved)
            return before;
    }
    // The unsaved text is the new file's now.
    SetPrimaryFile(fileName, TUnsavedText::GoesAlong);
    return SavePrimary(TOverwrite::Allowed);
}

void TTextDocument::Saved()
{
    FPrimaryConflict = false;
    if (FModified)
        FRecovery->Discard();
    SetModified(false);
}

// ---------------------------------------------------------------------------
// The writer's choices, the session's end and recovered words

bool TTextDocument::Restore(const QString &text)
{
    WaitForWrites();
    FKept.clear();
    // A saved text is safe only where the primary file still holds it.
    if (!FBlank && !KeepEditorText(TVersionReason::BeforeRestore,
                                   FModified ? TKeepWhen::Always : TKeepWhen::UnlessInPrimary))
        return false;
    // Through the editor's change, as a keystroke: unsaved, and in the
    // recovery copy.
    FText.Follow(text);
    return true;
}

TTextDocument::TTaken TTextDocument::TakeFileText()
{
    WaitForWrites();
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
    // Nothing may wait for the event loop now: the worker is waited for
    // as it is.
    WaitForWrites(TWait::Block);
    FKept.clear();
    TSessionEndSaves saves;
    const bool unsaved = FModified;
    TJob job = MakeJob(primary == TPrimaryAtEnd::Save, true, TOverwrite::Never);
    Post(std::move(job));
    WaitForWrites(TWait::Block);
    saves.Primary = FLastResults.Primary == TSaveResult::Saved && primary == TPrimaryAtEnd::Save &&
                    !FPrimary.Name.isEmpty();
    saves.Backup = FLastResults.Backup == TSaveResult::Saved && !FBackup.Name.isEmpty();
    if (FModified) {
        FRecovery->WriteNow();
        if (unsaved && !saves.Primary) {
            TJob keep = MakeJob(false, false, TOverwrite::Never);
            keep.Keeps.append({TVersionReason::SessionEnd, TKeepWhen::Always, QByteArray()});
            Post(std::move(keep));
            WaitForWrites(TWait::Block);
        }
    }
    return saves;
}

bool TTextDocument::RecoveredText(TRecoveryOffer &offer)
{
    WaitForWrites();
    const bool offered = LeftRecoveredText(offer);
    // From now on a keystroke finds the copy's place taken.
    FRecovery->TakeSlot();
    return offered;
}

bool TTextDocument::LeftRecoveredText(TRecoveryOffer &offer)
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
    offer.Cursor = left.Cursor;
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
    WaitForWrites();
    KeepEditorText(offer.FileChanged ? TVersionReason::NewerAtRecovery
                                     : TVersionReason::BeforeFirstSave);
    const qsizetype cursor = offer.Cursor >= 0 && offer.Cursor <= offer.Text.size()
                                 ? offer.Cursor
                                 : EndOfChange(FText.Text(), offer.Text);
    Replace(offer.Text, TReplace::Follow);
    // The writer goes on where they stopped.
    FText.PlaceCursor(cursor);
    FBlank = false;
    FLetGo = false;
    SetModified(true);
    FRecovery->TextChanged();
}

void TTextDocument::DeclineRecoveredText(const TRecoveryOffer &offer)
{
    WaitForWrites();
    FKept.clear();
    if (KeepBytes(EncodeTextFile(offer.Text, FEncoding), TVersionReason::RecoveryDeclined))
        FRecovery->Discard();
    else
        FRecovery->SetAside();
}

// ---------------------------------------------------------------------------
// The history, from the worker

QVector<TVersion> TTextDocument::Versions()
{
    QVector<TVersion> versions;
    RunOnWorker([&versions](THistory &history) { versions = history.Versions(); });
    return versions;
}

bool TTextDocument::ReadVersion(const TVersion &version, QByteArray &bytes)
{
    bool read = false;
    RunOnWorker([&](THistory &history) { read = history.Read(version, bytes); });
    return read;
}

void TTextDocument::ListVersions(QObject *context, std::function<void(QVector<TVersion>)> done)
{
    FWorker.Post([history = FHistory.get(), primary = FPrimary.Name,
                  context = QPointer<QObject>(context), done = std::move(done)]() mutable {
        history->SetPrimaryFile(primary);
        QVector<TVersion> versions = history->Versions();
        QMetaObject::invokeMethod(
            context.data(),
            [done = std::move(done), versions = std::move(versions)] { done(versions); },
            Qt::QueuedConnection);
    });
}

void TTextDocument::ReadVersion(const TVersion &version, QObject *context,
                                std::function<void(bool, QByteArray)> done)
{
    FWorker.Post([history = FHistory.get(), primary = FPrimary.Name, version,
                  context = QPointer<QObject>(context), done = std::move(done)]() mutable {
        history->SetPrimaryFile(primary);
        QByteArray bytes;
        const bool read = history->Read(version, bytes);
        QMetaObject::invokeMethod(
            context.data(),
            [done = std::move(done), read, bytes = std::move(bytes)] { done(read, bytes); },
            Qt::QueuedConnection);
    });
}

TSaveResult TTextDocument::WriteVersionAs(const QString &fileName, const QByteArray &bytes,
                                          int permissions)
{
    TSaveResult result = TSaveResult::Saved;
    WaitForWrites();
    FKept.clear();
    TJob job = MakeJob(false, false, TOverwrite::Never);
    job.Work = [&result, &fileName, &bytes, permissions, now = job.Now](THistory &history) {
        // What the chosen file holds goes into the history first, where the
        // writer finds it beside the version.
        if (IsExistingFile(fileName)) {
            QByteArray before;
            if (!ReadWholeFile(fileName, before)) {
                result = TSaveResult::Unreadable;
                return;
            }
            if (before != bytes &&
                history.Keep(before, VersionDigest(before), TVersionReason::BeforeSaveAs, now) ==
                    TKeepResult::Failed) {
                result = TSaveResult::NotKept;
                return;
            }
            if (!WriteWholeFile(fileName, bytes))
                result = TSaveResult::Failed;
            return;
        }
        // A file that appeared meanwhile is not written over unkept.
        if (WriteNewFile(fileName, bytes, permissions) != TNewFileResult::Written)
            result = TSaveResult::Failed;
    };
    RunSync(std::move(job));
    return result;
}

// ---------------------------------------------------------------------------
// What was seen of a file

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
