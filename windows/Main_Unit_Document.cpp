// TMain_Form, continued: the writer's document as the window wires it to
// its commands, its timer and the writer's questions. The files themselves
// are TTextDocument's.

#include "windows/Main_Unit.h"

#include "app/PlatformDependence_Unit.h"
#include "storage/ReservedFileGuard_Unit.h"
#include "windows/ConflictBar_Unit.h"
#include "windows/MainMessages_Unit.h"
#include "windows/Prompts_Unit.h"
#include "windows/Suppression_Unit.h"
#include "windows/TextLayout_Unit.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSessionManager>

#include <stdexcept>

// ---------------------------------------------------------------------------
// The document
// ---------------------------------------------------------------------------

void TMain_Form::SetTextChanged(bool changed)
{
    if (changed == FTextChanged)
        return;
    FTextChanged = changed;
    Q_EMIT UnsavedTextChanged(changed);
}

bool TMain_Form::WritePrimaryFile(bool overwrite)
{
    switch (FDocument.SavePrimary(FTextChanged, overwrite)) {
    case TSaveResult::Saved:
        SetTextChanged(false);
        SetStatusPath(PrimaryFile());
        FPrimaryConflict = false;
        ShowConflict();
        return true;
    case TSaveResult::ReadAgain:
        TakeOutsideText(FDocument.OutsideText(), Message::ReadAgain + PrimaryFile());
        return true;
    case TSaveResult::Conflict:
        FPrimaryConflict = true;
        ShowConflict();
        return false;
    case TSaveResult::Held:
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

void TMain_Form::SaveBackupFile(bool overwrite)
{
    switch (FDocument.SaveBackup(overwrite)) {
    case TSaveResult::Saved:
        FBackupConflict = false;
        ShowConflict();
        break;
    case TSaveResult::Failed:
        ShowFailureOnce(Message::CannotSaveBackup);
        break;
    case TSaveResult::Conflict:
        // A saved text is in the primary file already: nothing to ask.
        FBackupConflict = FTextChanged;
        ShowConflict();
        break;
    case TSaveResult::Held:
    case TSaveResult::ReadAgain:
        break;
    }
}

void TMain_Form::ShowConflict()
{
    Conflict_Bar->ShowFor(FPrimaryConflict, FBackupConflict);
}

void TMain_Form::TakeOutsideText(const QString &text, const QString &status)
{
    ReplaceEditorText(Text_Memo, text);
    SetTextChanged(false);
    FPrimaryConflict = false;
    ShowConflict();
    SetStatusPath(status);
}

void TMain_Form::KeepMyText()
{
    const TSuppression suppression(*this);
    if (FPrimaryConflict)
        WritePrimaryFile(true);
    if (FBackupConflict)
        SaveBackupFile(true);
}

void TMain_Form::TakeFileText()
{
    const TSuppression suppression(*this);
    // The writer's own text first goes where they can find it again.
    const QString keptIn = FDocument.KeepWritersText(FBackupConflict, Now());
    if (keptIn.isEmpty()) {
        ShowFailureOnce(Message::CannotSaveText);
        return;
    }
    QString text;
    if (FDocument.ReadPrimary(text) != TReadResult::Read) {
        ShowMessage(Message::CannotOpenPrimary);
        return;
    }
    FBackupConflict = false;
    TakeOutsideText(text, PrimaryFile());
    ShowMessage(Message::TextKeptIn + keptIn);
}

void TMain_Form::CommitSessionData(QSessionManager &manager)
{
    if (!FTextChanged)
        return;
    if (!manager.allowsInteraction()) {
        LastTick();
        FQuiet = false;
        return;
    }
    const bool mayEnd = ConfirmSaveChanges();
    manager.release();
    if (mayEnd)
        FSessionAnswered = true;
    else
        manager.cancel();
}

void TMain_Form::LastTick()
{
    FQuiet = true;
    FDocument.SaveForSessionEnd(!FAutoSaveSuppressed && AutoSaveEnabled(), FTextChanged, Now());
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
    SetPrimaryFile(options.FileName);
    // The writer chose this file, and said whether it may be replaced.
    const bool saved = WritePrimaryFile(true);
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
    Text_Memo->clear();
    // Emptying the editor for the file to come is no change of the writer's.
    SetTextChanged(false);
    SetPrimaryFile(options.FileName);
    OpenPrimaryFile();
    ShowMessage(Message::PrimaryFileSet + PrimaryFile());
}

void TMain_Form::OpenPrimaryFile()
{
    QString text;
    switch (FDocument.ReadPrimary(text)) {
    case TReadResult::Missing:
        return;
    case TReadResult::Failed:
        ShowMessage(Message::CannotOpenPrimary);
        return;
    case TReadResult::Read:
        break;
    }
    Text_Memo->setPlainText(text);
    Text_Memo->moveCursor(QTextCursor::End);
    SetStatusPath(PrimaryFile());
    SetTextChanged(false);
    FPrimaryConflict = false;
    ShowConflict();
}

bool TMain_Form::ConfirmSaveChanges()
{
    if (!FTextChanged)
        return true;
    const auto answer = Prompts().Confirm(Message::SaveChanges,
                                          QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Yes)
        return SavePrimaryFile(); // the text may go only once it is really on disk
    return answer != QMessageBox::Cancel;
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
    const TSuppression suppression(*this, true, TSuppression::Restore);
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
    const TSuppression suppression(*this, true);
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
    // Held back quietly where Save would say so.
    if (AutoSaveEnabled() && FDocument.MayReplacePrimaryFile())
        SavePrimaryFile();
    SaveBackupFile();
}

void TMain_Form::Text_MemoChange()
{
    RestoreTextColour();
    SetTextChanged(true);
    FSessionAnswered = false;
    FDocument.TextEdited();
    StopNudge();
    RestartNudgeTimer();
}
