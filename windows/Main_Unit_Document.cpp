// TMain_Form, continued: the writer's document as the window wires it to
// its commands, its timer and the writer's questions. The files themselves
// are TTextDocument's.

#include "windows/Main_Unit.h"

#include "app/PlatformDependence_Unit.h"
#include "storage/ReservedFileGuard_Unit.h"
#include "storage/TextDiff_Unit.h"
#include "storage/TextFile_Unit.h"
#include "windows/ConflictBar_Unit.h"
#include "windows/EarlierVersions_Unit.h"
#include "windows/MainMessages_Unit.h"
#include "windows/Prompts_Unit.h"
#include "windows/Suppression_Unit.h"
#include "windows/TextLayout_Unit.h"
#include "windows/TextSnapshot_Unit.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSessionManager>
#include <QTimer>

#include <stdexcept>

// ---------------------------------------------------------------------------
// The document
// ---------------------------------------------------------------------------

QString TMain_Form::Text() const
{
    return EditorText(Text_Memo);
}

void TMain_Form::Snapshot(std::function<void(const QString &)> done)
{
    if (!FTextSnapshot) {
        done(Text());
        return;
    }
    FTextSnapshot->Take(std::move(done));
}

void TMain_Form::Load(const QString &text)
{
    Text_Memo->setPlainText(text);
    Text_Memo->moveCursor(QTextCursor::End);
}

void TMain_Form::Follow(const QString &text)
{
    // The cursor keeps its place rather than going to the end as for a file
    // opened: the writer was reading or writing there, and another
    // program's version is most often the same text with a few changes.
    FollowEditorText(Text_Memo, text);
}

qsizetype TMain_Form::CursorPosition() const
{
    return Text_Memo->textCursor().position();
}

void TMain_Form::PlaceCursor(qsizetype position)
{
    const qsizetype end = Text_Memo->document()->characterCount() - 1;
    QTextCursor cursor = Text_Memo->textCursor();
    cursor.setPosition(int(qBound(qsizetype(0), position, end)));
    Text_Memo->setTextCursor(cursor);
    Text_Memo->ensureCursorVisible();
}

bool TMain_Form::WritePrimaryFile(TOverwrite overwrite)
{
    return ShowPrimaryResult(FDocument.SavePrimary(overwrite));
}

bool TMain_Form::ShowPrimaryResult(TSaveResult result)
{
    ShowConflict();
    switch (result) {
    case TSaveResult::Saved:
    case TSaveResult::Nothing:
        SetStatusPath(PrimaryFile());
        ShowKept();
        return true;
    case TSaveResult::ReadAgain:
        SetStatusPath(PrimaryFile());
        ShowReadAgain();
        return true;
    case TSaveResult::Conflict:
    case TSaveResult::Unreadable:
        return false;
    case TSaveResult::NotKept:
        // The bar tells of the history while it fails (ShowHistoryNews).
        return false;
    case TSaveResult::Failed:
        break;
    }
    ShowFailureOnce(Message::CannotSaveText);
    return false;
}

bool TMain_Form::SavePrimaryFile()
{
    if (PrimaryFile().isEmpty())
        return SavePrimaryFileAs();
    return WritePrimaryFile();
}

void TMain_Form::SaveBackupFile()
{
    ShowBackupResult(FDocument.SaveBackup());
}

void TMain_Form::ShowBackupResult(TSaveResult result)
{
    ShowConflict();
    switch (result) {
    case TSaveResult::Saved:
        ShowKept();
        break;
    case TSaveResult::NotKept:
        break;
    case TSaveResult::Failed:
        ShowFailureOnce(Message::CannotSaveBackup);
        break;
    case TSaveResult::Nothing:
    case TSaveResult::ReadAgain:
    case TSaveResult::Conflict:
    case TSaveResult::Unreadable:
        break;
    }
}

void TMain_Form::AutoSaveTickDone(const TTextDocument::TTickOutcome &outcome)
{
    // The tick, written on the worker, as Save would have shown it: the
    // primary file's outcome first, then the backup's.
    if (outcome.WrotePrimary)
        ShowPrimaryResult(outcome.Primary);
    ShowBackupResult(outcome.Backup);
}

void TMain_Form::ShowConflict()
{
    TConflictBar::TFiles unreadable;
    unreadable.Primary = FDocument.PrimaryUnreadable();
    unreadable.Backup = FDocument.BackupUnreadable();
    if (FDocument.PrimaryConflict())
        ConflictBar()->ShowChanged(FDocument.PrimaryNeverRead()
                                       ? TConflictBar::TChange::UnreadBefore
                                       : TConflictBar::TChange::ChangedOutside);
    else if (unreadable.Primary || unreadable.Backup)
        ConflictBar()->ShowUnreadable(unreadable);
    else if (Conflict_Bar)
        Conflict_Bar->HideConflict();
}

void TMain_Form::ShowReadAgain()
{
    bool kept = false;
    for (const TKeptVersion &version : FDocument.Kept()) {
        if (version.Version.Reason == TVersionReason::ReadAgain) {
            kept = true;
            FNoticeVersion = version.Version.Digest;
        }
    }
    ConflictBar()->ShowNotice(
        Message::ReadAgain + (kept ? Message::EarlierTextKept : Message::UndoBringsItBack), kept);
}

void TMain_Form::ShowKept()
{
    QStringList notes;
    for (const TKeptVersion &version : FDocument.Kept()) {
        const qsizetype before = notes.size();
        switch (version.Version.Reason) {
        case TVersionReason::ChangedOutside:
            notes << Message::OtherVersionKept;
            break;
        case TVersionReason::Unreadable:
            notes << Message::UnreadVersionKept;
            break;
        case TVersionReason::BeforeSaveAs:
            notes << Message::ReplacedFileKept;
            break;
        case TVersionReason::BackupChangedOutside:
            notes << Message::BackupVersionKept;
            break;
        case TVersionReason::FoundInBackup:
            notes << Message::BackupFoundKept;
            break;
        case TVersionReason::TookFilesText:
            notes << Message::TextKept;
            break;
        default:
            // The writer's own versions, kept as a matter of course.
            break;
        }
        // The notice's button opens the first version it names.
        if (before == 0 && notes.size() > 0)
            FNoticeVersion = version.Version.Digest;
    }
    if (!notes.isEmpty())
        ConflictBar()->ShowNotice(notes.join(QLatin1Char(' ')), true);
}

void TMain_Form::ShowHistoryNews()
{
    const THistoryNews &news = FDocument.HistoryNews();
    if (!Conflict_Bar && !news.Failing && !news.Full && news.SetAside.isEmpty())
        return;
    TConflictBar *bar = ConflictBar();
    bar->SetProblem(TConflictBar::TProblem::History,
                    news.Failing ? Message::HistoryFailing : QString());
    bar->SetProblem(TConflictBar::TProblem::HistoryFull,
                    news.Full ? Message::HistoryFull : QString());
    if (!news.SetAside.isEmpty() && news.SetAside != FToldSetAside) {
        FToldSetAside = news.SetAside;
        bar->ShowNotice(Message::HistorySetAside.arg(QDir::toNativeSeparators(news.SetAside)));
    }
}

void TMain_Form::KeepMyText()
{
    const TSuppression suppression(*this);
    const TSaveResult result = FDocument.KeepMyText();
    ShowConflict();
    switch (result) {
    case TSaveResult::Saved:
    case TSaveResult::Nothing:
    case TSaveResult::ReadAgain:
        SetStatusPath(PrimaryFile());
        ShowKept();
        break;
    case TSaveResult::NotKept:
        break;
    case TSaveResult::Failed:
        ShowFailureOnce(Message::CannotSaveText);
        break;
    case TSaveResult::Conflict:
    case TSaveResult::Unreadable:
        break;
    }
}

void TMain_Form::TakeFileText()
{
    const TSuppression suppression(*this);
    // The writer's own text first goes into the history, where they can
    // find it again; only then does the editor take the file's.
    const TTextDocument::TTaken taken = FDocument.TakeFileText();
    ShowConflict();
    switch (taken) {
    case TTextDocument::TTaken::NotKept:
        ConflictBar()->ShowNotice(Message::CannotKeepYours);
        return;
    case TTextDocument::TTaken::NotRead:
        ShowKept();
        ShowMessage(Message::CannotOpenPrimary);
        return;
    case TTextDocument::TTaken::Taken:
        SetStatusPath(PrimaryFile());
        ShowKept();
        return;
    }
}

void TMain_Form::CommitSessionData(QSessionManager &manager)
{
    if (!TextChanged())
        return;
    if (!manager.allowsInteraction()) {
        // Nothing may be asked: the last tick saves what it can, and the
        // close that follows asks nothing.
        LastTick();
        FQuiet = false;
        RememberSessionAnswer();
        return;
    }
    const bool mayEnd = ConfirmSaveChanges();
    manager.release();
    if (mayEnd)
        RememberSessionAnswer();
    else
        manager.cancel();
}

void TMain_Form::RememberSessionAnswer()
{
    FSessionAnswered = true;
    // A logout that was cancelled after all leaves nothing remembered for
    // long: the answer holds for the close that follows it at once.
    QTimer::singleShot(SessionAnswerMs, this, [this] { FSessionAnswered = false; });
}

void TMain_Form::LastTick()
{
    FQuiet = true;
    FinishRecord();
    const TSessionEndSaves saves = FDocument.SaveForSessionEnd(
        !FAutoSaveSuppressed && AutoSaveEnabled() ? TTextDocument::TPrimaryAtEnd::Save
                                                  : TTextDocument::TPrimaryAtEnd::Skip);
    if (saves.Primary)
        SetStatusPath(PrimaryFile());
}

bool TMain_Form::SavePrimaryFileAs()
{
    TFileChooserOptions options;
    options.Title = QStringLiteral("Save As");
    options.FileName = PrimaryFile();
    // One entry, labelled "*.txt", that lists every file.
    options.Filter = QStringLiteral("*.txt (*)");
    options.ConfirmOverwrite = true;
    if (!Prompts().ChooseSaveFile(options))
        return false;
    // The writer chose this file, and said whether it may be replaced; what
    // it held is kept first, and where it cannot be, nothing changes.
    const QString previous = PrimaryFile();
    const TSaveResult result = FDocument.SaveAs(options.FileName);
    if (result == TSaveResult::NotKept || result == TSaveResult::Unreadable) {
        ConflictBar()->ShowNotice(Message::SaveAsNotKept.arg(
            QDir::toNativeSeparators(options.FileName), QDir::toNativeSeparators(previous)));
        return false;
    }
    const bool saved = ShowPrimaryResult(result);
    ShowMessage(Message::PrimaryFileSet + PrimaryFile());
    return saved;
}

void TMain_Form::OpenTextFile()
{
    if (!ConfirmSaveChanges())
        return;
    TFileChooserOptions options;
    options.Title = QStringLiteral("Open");
    if (!Prompts().ChooseOpenFile(options))
        return;
    if (options.FileName.isEmpty()) {
        ShowMessage(Message::CannotOpenSelected);
        return;
    }
    // Emptying the editor for the file to come is no change of the writer's.
    FDocument.Clear();
    SetPrimaryFile(options.FileName);
    OpenPrimaryFile();
    ShowMessage(Message::PrimaryFileSet + PrimaryFile());
}

void TMain_Form::OpenPrimaryFile()
{
    switch (FDocument.ReadPrimary()) {
    case TReadResult::Missing:
        return;
    case TReadResult::Failed:
        ShowMessage(Message::CannotOpenPrimary);
        return;
    case TReadResult::Read:
        break;
    }
    SetStatusPath(PrimaryFile());
    ShowConflict();
}

void TMain_Form::OfferRecoveredText()
{
    TRecoveryOffer offer;
    if (!FDocument.RecoveredText(offer))
        return;
    const TSuppression suppression(*this, TSuppression::NudgeAndAutoSave, TSuppression::Restore);
    // The editor holds the file's text: the words are told against it.
    const QString fileText = Text();
    const qint64 words = TEarlierVersions_Form::ChangedWords(DiffTexts(fileText, offer.Text, 0));
    // When the copy cannot say when it was written, the offer says so.
    const QString written =
        offer.Written.isValid()
            ? QStringLiteral("Written %1.").arg(TEarlierVersions_Form::WhenText(offer.Written))
            : QStringLiteral("When they were written is not known.");
    QString details = QDir::toNativeSeparators(PrimaryFile()) + QLatin1Char('\n') + written +
                      QLatin1Char('\n') +
                      (words == 1 ? QStringLiteral("1 word differs from the file.")
                                  : QStringLiteral("%1 words differ from the file.").arg(words));
    if (offer.FileChanged)
        details += QLatin1Char('\n') + Message::NewerAtRecovery;
    const auto compare = [&] {
        TEarlierVersions_Form *form = NewVersionsForm();
        form->AddText(TEarlierVersions_Form::WhenText(offer.Written),
                      QStringLiteral("your unsaved words"), offer.Text);
        form->SelectVersion();
        form->exec();
    };
    if (Prompts().ConfirmWithCompare(Message::TakeRecovered, details, compare) == QMessageBox::Yes)
        FDocument.TakeRecoveredText(offer);
    else
        FDocument.DeclineRecoveredText(offer);
}

TEarlierVersions_Form *TMain_Form::NewVersionsForm()
{
    auto *form = new TEarlierVersions_Form(Text(), this);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->setWindowModality(Qt::WindowModal);
    form->ListHistory(FDocument);
    connect(form, &TEarlierVersions_Form::RestoreRequested, this, &TMain_Form::RestoreVersion);
    // No nudge while the writer reads.
    FNudgeBeforeVersions = NudgeSuppressed();
    SetNudgeSuppressed(true);
    connect(form, &QDialog::finished, this, [this] { SetNudgeSuppressed(FNudgeBeforeVersions); });
    return form;
}

TEarlierVersions_Form *TMain_Form::OpenEarlierVersions(const QByteArray &digest)
{
    TEarlierVersions_Form *form = NewVersionsForm();
    form->SelectVersion(digest);
    form->show();
    return form;
}

bool TMain_Form::KeepBeforeReplaceAll()
{
    // Replace All changes the text all over: it goes into the history first,
    // where Earlier Versions finds it. The find bar tells what came of it;
    // no box takes the keyboard from the writer.
    if (!FDocument.KeepText(TVersionReason::BeforeReplaceAll))
        return false;
    // The version kept, or the one that held the same text already.
    FReplacedVersion =
        FDocument.Kept().isEmpty() ? QByteArray() : FDocument.Kept().constFirst().Version.Digest;
    return true;
}

void TMain_Form::RestoreVersion(const QString &text)
{
    if (!FDocument.Restore(text)) {
        ConflictBar()->ShowNotice(Message::CannotKeepRestore);
        return;
    }
    Text_Memo->setFocus();
}

void TMain_Form::CompareWithFile()
{
    TTextFileContent content;
    if (!ReadTextFile(PrimaryFile(), content)) {
        ShowMessage(Message::CannotOpenPrimary);
        return;
    }
    TEarlierVersions_Form *form = NewVersionsForm();
    form->AddText(TEarlierVersions_Form::WhenText(QFileInfo(PrimaryFile()).lastModified()),
                  QStringLiteral("your primary file now"), content.Text);
    form->SelectVersion();
    form->show();
}

bool TMain_Form::ConfirmSaveChanges()
{
    // A tick in flight may have saved the text already.
    FDocument.WaitForWrites();
    if (!TextChanged())
        return true;
    const auto answer = Prompts().Confirm(Message::SaveChanges,
                                          QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Yes)
        return SavePrimaryFile(); // the text may go only once it is really on disk
    if (answer == QMessageBox::Cancel)
        return false;
    // No: the writer lets the unsaved text go, once the window closes or a
    // file takes its place; the history keeps it all the same.
    FDocument.LetGo();
    return true;
}

bool TMain_Form::RunSettings()
{
    bool aborted = false;
    const bool proceeded = ConfirmSaveChanges();
    if (proceeded) {
        int interval = Interval();
        QString primary = PrimaryFile();
        QString backup = BackupFile();
        if (primary.isEmpty())
            Prompts().ShowInformation(Message::SelectPrimary);
        do {
            if (FDialogs.ExecuteSettings && FDialogs.ExecuteSettings(interval, primary, backup)) {
                try {
                    SetInterval(interval);
                } catch (const std::range_error &) {
                }
                SetPrimaryFile(primary);
                SetBackupFile(backup);
            }
            if (!IsUsableFile(PrimaryFile(), ShowMessage))
                aborted = Prompts().ShowError(Message::RetryOrAbort) == QMessageBox::Abort;
        } while (PrimaryFile().isEmpty() && !aborted);
    }
    if (aborted) {
        FTerminateRequested = true;
        // The request must reach the event loop even when it is not running
        // yet, as during start-up.
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    }
    SaveConfiguration();
    return proceeded;
}

void TMain_Form::OpenAtStart()
{
    const TSuppression suppression(*this, TSuppression::NudgeAndAutoSave, TSuppression::Restore);
    if (PrimaryFile().isEmpty())
        RunSettings();
    OpenPrimaryFile();
}

void TMain_Form::Save_MenuItemClick()
{
    const TSuppression suppression(*this);
    SavePrimaryFile();
    SaveBackupFile();
}

void TMain_Form::SaveAs_MenuItemClick()
{
    const TSuppression suppression(*this);
    SavePrimaryFileAs();
}

void TMain_Form::Open_MenuItemClick()
{
    const TSuppression suppression(*this);
    OpenTextFile();
}

void TMain_Form::Settings_MenuItemClick()
{
    const TSuppression suppression(*this, TSuppression::NudgeAndAutoSave);
    // After Cancel at the save question the writer's unsaved text stays.
    if (RunSettings())
        OpenPrimaryFile();
}

void TMain_Form::AutoSave_MenuItemClick()
{
    SetAutoSaveEnabled(!AutoSaveEnabled());
    SaveConfiguration();
}

void TMain_Form::AutoSave_TimerTimer()
{
    if (FAutoSaveSuppressed)
        return;
    // Without a primary file the tick asks for one, as Save does.
    if (AutoSaveEnabled() && PrimaryFile().isEmpty()) {
        SavePrimaryFile();
        SaveBackupFile();
        return;
    }
    // Written on the worker: the window goes on drawing and taking keys
    // while a long text goes to disk; AutoSaveTickDone shows the outcome.
    FDocument.Tick(AutoSaveEnabled() ? TTextDocument::TTickPrimary::Save
                                     : TTextDocument::TTickPrimary::Skip);
}

void TMain_Form::Text_MemoChange()
{
    RestoreTextColour();
    // The document marks the text as changed itself (it is told of every
    // change of the editor's text); a notice of a re-read goes with the
    // next keystroke.
    FSessionAnswered = false;
    if (Conflict_Bar)
        Conflict_Bar->HideNotice();
    StopNudge();
    RestartNudgeTimer();
}
