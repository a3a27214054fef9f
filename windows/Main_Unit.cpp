#include "windows/Main_Unit.h"

#include "app/PlatformDependence_Unit.h"
#include "sound/WavePlay.h"
#include "storage/ConfigurationFile_Unit.h"
#include "storage/MainWindowSettings_Unit.h"
#include "storage/ReservedFileGuard_Unit.h"
#include "storage/WholeFile_Unit.h"
#include "windows/About_Unit.h"
#include "windows/AreaColours_Unit.h"
#include "windows/CaptionButton_Unit.h"
#include "windows/FontBridge_Unit.h"
#include "windows/ManualReader_Unit.h"
#include "windows/Prompts_Unit.h"
#include "windows/Settings_Unit.h"
#include "windows/Splash_Unit.h"
#include "windows/SuggestionSettings_Unit.h"
#include "windows/TextLayout_Unit.h"
#include "windows/WindowPlacement_Unit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include <stdexcept>

namespace {

constexpr int StatusPanel1Width = 75;

namespace Message {
const QString ConfigurationLoad = QStringLiteral("I am not able to load your configuration.");
const QString ConfigurationSave =
    QStringLiteral("I was not able to save your configuration.\rMaybe the file has been made "
                   "read only?");
const QString CannotSaveText = QStringLiteral("I cannot save your text!");
const QString CannotSaveBackup = QStringLiteral("I cannot save your text to the Backup file!");
const QString PrimaryFileSet = QStringLiteral("Your primary file has been set to ");
const QString CannotOpenSelected = QStringLiteral("I can not open the file you selected!");
const QString CannotOpenPrimary = QStringLiteral("I can not open the primary file!");
const QString SaveChanges = QStringLiteral("Do you want to save your changes?");
const QString SelectPrimary =
    QStringLiteral("You must select a primary file to save your text to.");
const QString RetryOrAbort =
    QStringLiteral("Choose Retry to enter a valid primary file, or Abort to exit the application.");
// By TSuggestionFault.
const QString SuggestionFaults[] = {
    QStringLiteral("I can not load my suggestions file!"),
    QStringLiteral("No user suggestions file selected.  Use suggestions will not be loaded."),
    QStringLiteral("The user suggestion file can not be found."),
    QStringLiteral(
        "I can not load your user suggestions file!  Please verify that it is correct.")};
static_assert(sizeof SuggestionFaults / sizeof SuggestionFaults[0] == SuggestionFaultCount);
} // namespace Message

void ShowMessage(const QString &text)
{
    Prompts().ShowMessage(text);
}

// Enables or disables a timer. Enabling a running timer leaves its countdown
// alone, and a timer with no interval never runs (it would fire on every
// pass of the event loop).
void EnableTimer(QTimer *timer, bool enabled)
{
    if (enabled && timer->interval() > 0) {
        if (!timer->isActive())
            timer->start();
    } else {
        timer->stop();
    }
}

// Keeps the nudge (and, when asked, auto-save) suppressed for one scope,
// however the scope ends. At its end the flags are cleared, or with Restore
// set back to what they were.
class TSuppression
{
public:
    enum TEnd
    {
        Clear,
        Restore
    };

    explicit TSuppression(TMain_Form &form, bool autoSave = false, TEnd end = Clear)
        : FForm(form), FAutoSave(autoSave), FEnd(end), FNudgeBefore(form.NudgeSuppressed()),
          FAutoSaveBefore(form.AutoSaveSuppressed())
    {
        // Through the setter, which stops a running nudge sound.
        if (!FNudgeBefore)
            FForm.SetNudgeSuppressed(true);
        if (FAutoSave)
            FForm.SetAutoSaveSuppressed(true);
    }
    ~TSuppression()
    {
        if (FAutoSave)
            FForm.SetAutoSaveSuppressed(FEnd == Restore && FAutoSaveBefore);
        FForm.SetNudgeSuppressed(FEnd == Restore && FNudgeBefore);
    }
    TSuppression(const TSuppression &) = delete;
    TSuppression &operator=(const TSuppression &) = delete;

private:
    TMain_Form &FForm;
    const bool FAutoSave;
    const TEnd FEnd;
    const bool FNudgeBefore;
    const bool FAutoSaveBefore;
};

} // namespace

TMainFormDialogs TMainFormDialogs::Real()
{
    return {&::ExecuteSettingsDialog, &::ExecuteSuggestionSettingsDialog, &::ShowSplashIfDue,
            &::ShowAboutWindow, &::ShowManualWindow};
}

// ---------------------------------------------------------------------------
// Creation
// ---------------------------------------------------------------------------

TMain_Form::TMain_Form(QWidget *parent, const TMainFormDialogs &dialogs)
    : QMainWindow(parent), FDialogs(dialogs)
{
    SetupControls(this);
    ApplySuggestionColour(clBlack);
    ApplyTextColour(clBlack);
    ConnectControls();
    ConnectMenus();
    CentreOnScreen(this);
    FormCreate();
}

TMain_Form::~TMain_Form()
{
    // Nothing is saved here.
    FWavePlayer.reset();
}

void TMain_Form::ConnectControls()
{
    Main_StatusBar->installEventFilter(this);
    Text_Memo->installEventFilter(this);
    connect(Text_Memo, &QPlainTextEdit::textChanged, this, &TMain_Form::Text_MemoChange);
    // Any change to the document, whatever makes it, outdates the encoded text.
    connect(Text_Memo->document(), &QTextDocument::contentsChange, this, [this] {
        FTextFileBytesValid = false;
        FTextFileBytes = QByteArray();
    });
    const std::pair<TCaptionButton *, void (TMain_Form::*)()> panels[] = {
        {MakeSuggestion_Panel, &TMain_Form::MakeSuggestion_PanelClick},
        {AdjustSuggestionFont_Panel, &TMain_Form::AdjustSuggestionFont_PanelClick},
        {ResetSuggestionFont_Panel, &TMain_Form::ResetSuggestionFont_PanelClick},
        {AdjustTextFont_Panel, &TMain_Form::AdjustTextFont_PanelClick},
        {ResetTextFont_Panel, &TMain_Form::ResetTextFont_PanelClick}};
    for (const auto &[panel, handler] : panels)
        connect(panel, &QAbstractButton::clicked, this, handler);
    const std::pair<QTimer *, void (TMain_Form::*)()> timers[] = {
        {Nudge_Timer, &TMain_Form::Nudge_TimerTimer},
        {AutoSave_Timer, &TMain_Form::AutoSave_TimerTimer},
        {Suggestion_Timer, &TMain_Form::Suggestion_TimerTimer},
        {Privacy_Timer, &TMain_Form::Privacy_TimerTimer}};
    for (const auto &[timer, handler] : timers)
        connect(timer, &QTimer::timeout, this, handler);
}

void TMain_Form::ConnectMenus()
{
    const std::pair<QAction *, void (TMain_Form::*)()> items[] = {
        {Save_MenuItem, &TMain_Form::Save_MenuItemClick},
        {SaveAs_MenuItem, &TMain_Form::SaveAs_MenuItemClick},
        {Open_MenuItem, &TMain_Form::Open_MenuItemClick},
        {Exit_MenuItem, &TMain_Form::Exit_MenuItemClick},
        {InsertCurrentDate_MenuItem, &TMain_Form::InsertCurrentDate_MenuItemClick},
        {MakeSuggestion_MenuItem, &TMain_Form::MakeSuggestion_MenuItemClick},
        {PriorSuggestion_MenuItem, &TMain_Form::PriorSuggestion_MenuItemClick},
        {FirstSuggestion_MenuItem, &TMain_Form::FirstSuggestion_MenuItemClick},
        {LastSuggestion_MenuItem, &TMain_Form::LastSuggestion_MenuItemClick},
        {AlwaysSuggest_MenuItem, &TMain_Form::AlwaysSuggest_MenuItemClick},
        {SuggestionSettings_MenuItem, &TMain_Form::SuggestionSettings_MenuItemClick},
        {Nudge_MenuItem, &TMain_Form::Nudge_MenuItemClick},
        {Sound_MenuItem, &TMain_Form::Sound_MenuItemClick},
        {AutoSave_MenuItem, &TMain_Form::AutoSave_MenuItemClick},
        {Privacy_MenuItem, &TMain_Form::Privacy_MenuItemClick},
        {Settings_MenuItem, &TMain_Form::Settings_MenuItemClick},
        {About_MenuItem, &TMain_Form::About_MenuItemClick},
        {Manual_MenuItem, &TMain_Form::Manual_MenuItemClick}};
    for (const auto &[action, handler] : items) {
        connect(action, &QAction::triggered, this, [this, item = action, run = handler] {
            // A checkable item has already flipped its own check mark; the
            // handler sets it through its setting, from the state before.
            if (item->isCheckable())
                item->setChecked(!item->isChecked());
            (this->*run)();
        });
    }
}

void TMain_Form::FormCreate()
{
    if (FDialogs.ShowSplashIfDue)
        FDialogs.ShowSplashIfDue();
    InitialiseMainWindow();
}

void TMain_Form::InitialiseMainWindow()
{
    Main_StatusBarResize();

    // Nothing may nudge or save while the window is being set up.
    FNudgeSuppressed = true;
    FAutoSaveSuppressed = true;
    FAlwaysSuggest = false;

    SetPrivacy(false);

    const QTime utc = QDateTime::currentDateTimeUtc().time();
    SetRandomSeed(static_cast<std::uint32_t>(
        ((utc.hour() * 60 + utc.minute()) * 60 + utc.second()) * 1000 + utc.msec()));

    FWavePlayer = std::make_unique<TWavePlayer>();
    FWavePlayer->SetResourceWave(QStringLiteral("NUDGE_WAVE"));

    FDefaultTextFont = TextFont();
    FTextDialogStartFont = TextFont();
    RememberTextColour();
    FDefaultSuggestionFont = SuggestionFont();
    // Every read of the suggestion number saves the settings.
    FSuggestions.NumberRead = [this] { SaveConfiguration(); };

    LoadConfiguration();
    LoadSuggestions();
    OpenAtStart();

    EnableTimer(Nudge_Timer, NudgeEnabled());

    FTextChanged = false;
    FNudgeSuppressed = false;
    FAutoSaveSuppressed = false;
    FSuggestions.SetNumber(0);
}

void TMain_Form::closeEvent(QCloseEvent *event)
{
    if (FormCloseQuery())
        event->accept();
    else
        event->ignore();
}

bool TMain_Form::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Main_StatusBar && event->type() == QEvent::Resize)
        Main_StatusBarResize();
    if (watched == Text_Memo && event->type() == QEvent::KeyPress) {
        // Tab types a tab into the text; Ctrl+Tab and Ctrl+Shift+Tab leave
        // it for the other controls, so the keyboard is never trapped there.
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->modifiers().testFlag(Qt::ControlModifier) &&
            (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)) {
            focusNextPrevChild(key->key() == Qt::Key_Tab &&
                               !key->modifiers().testFlag(Qt::ShiftModifier));
            return true;
        }
        // Shift+Enter would put a Unicode line separator into the text, which
        // is saved as such and is no line break in a plain text file: make it
        // an ordinary line break.
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            key->modifiers().testFlag(Qt::ShiftModifier) && !Text_Memo->isReadOnly()) {
            Text_Memo->textCursor().insertBlock();
            Text_Memo->ensureCursorVisible();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMain_Form::Main_StatusBarResize()
{
    const int width = Main_StatusBar->width();
    const int height = Main_StatusBar->height();
    StatusPanel1->setGeometry(width - StatusPanel1Width, 0, StatusPanel1Width, height);
    StatusPanel0->setGeometry(0, 0, qMax(0, width - StatusPanel1Width), height);
}

void TMain_Form::SetStatusPath(const QString &path)
{
    StatusPanel0->setText(path);
    // The panel's fixed accessible name hides its text from screen readers.
    StatusPanel0->setAccessibleDescription(path);
}

void TMain_Form::BringToFront()
{
    show();
    if (CompositorPlacesWindows())
        return;
    raise();
    activateWindow();
}

void TMain_Form::ShowFailureOnce(const QString &text)
{
    if (FOpenFailureMessages.contains(text))
        return;
    FOpenFailureMessages.insert(text);
    ShowMessage(text);
    FOpenFailureMessages.remove(text);
}

// ---------------------------------------------------------------------------
// Settings persistence
// ---------------------------------------------------------------------------

void TMain_Form::LoadConfiguration()
{
    TConfigurationFile configuration;
    configuration.Load();
    TMainWindowSettings settings;
    settings.Read(configuration, TextFont(), SuggestionFont(), ShowMessage);
    ApplySettings(settings);
    if (!settings.Complete())
        ShowMessage(Message::ConfigurationLoad);
}

// Applies the keys that were read, in reading order, through the properties;
// the ones after a key that did not convert keep the window's state.
void TMain_Form::ApplySettings(const TMainWindowSettings &settings)
{
    using TKey = TMainWindowSettings::TKey;
    const std::pair<TKey, std::function<void()>> steps[] = {
        {TKey::Interval, [&] { SetInterval(settings.Interval); }},
        {TKey::SoundEnabled, [&] { SetSoundEnabled(settings.SoundEnabled); }},
        {TKey::AutoSaveEnabled, [&] { SetAutoSaveEnabled(settings.AutoSaveEnabled); }},
        {TKey::TextFont,
         [&] {
             if (settings.TextFont)
                 SetTextFont(*settings.TextFont);
             RememberTextColour();
         }},
        {TKey::SuggestionFont,
         [&] {
             if (settings.SuggestionFont)
                 SetSuggestionFont(*settings.SuggestionFont);
         }},
        {TKey::PrimaryFile, [&] { SetPrimaryFile(settings.PrimaryFile); }},
        {TKey::BackupFile, [&] { SetBackupFile(settings.BackupFile); }},
        {TKey::NudgeEnabled, [&] { SetNudgeEnabled(settings.NudgeEnabled); }},
        {TKey::AlwaysSuggest, [&] { SetAlwaysSuggest(settings.AlwaysSuggest); }},
        {TKey::UseTovrinSuggestions,
         [&] { SetUseTovrinSuggestions(settings.UseTovrinSuggestions); }},
        {TKey::UseUserSuggestionsFile,
         [&] { SetUseUserSuggestionsFile(settings.UseUserSuggestionsFile); }},
        {TKey::RandomizeSuggestions,
         [&] { SetRandomizeSuggestions(settings.RandomizeSuggestions); }},
        {TKey::UserSuggestionsFile, [&] { SetUserSuggestionsFile(settings.UserSuggestionsFile); }},
        {TKey::SuggestionNumber, [&] { SetSuggestionNumber(settings.SuggestionNumber); }},
        {TKey::Privacy, [&] { SetPrivacy(settings.Privacy); }},
    };
    for (const auto &[key, apply] : steps) {
        if (!settings.WasRead(key))
            return;
        apply();
    }
}

TMainWindowSettings TMain_Form::CollectSettings() const
{
    TMainWindowSettings settings;
    settings.Interval = Interval();
    settings.SoundEnabled = SoundEnabled();
    settings.NudgeEnabled = NudgeEnabled();
    settings.AutoSaveEnabled = AutoSaveEnabled();
    settings.PrimaryFile = FPrimaryFile;
    settings.BackupFile = FBackupFile;
    settings.TextFont = TextFont();
    settings.SuggestionFont = SuggestionFont();
    settings.AlwaysSuggest = FAlwaysSuggest;
    settings.UseTovrinSuggestions = FUseTovrinSuggestions;
    settings.UseUserSuggestionsFile = FUseUserSuggestionsFile;
    settings.RandomizeSuggestions = FRandomizeSuggestions;
    settings.UserSuggestionsFile = FUserSuggestionsFile;
    // The stored number, not the property, whose reading would save again.
    settings.SuggestionNumber = FSuggestions.Number();
    settings.Privacy = Privacy();
    return settings;
}

void TMain_Form::SaveConfiguration()
{
    bool saved = false;
    try {
        TConfigurationFile configuration;
        configuration.Load();
        CollectSettings().Write(configuration);
        saved = configuration.Save();
    } catch (const std::exception &) {
        saved = false;
    }
    if (!saved)
        ShowFailureOnce(Message::ConfigurationSave);
    RememberTextColour();
}

// ---------------------------------------------------------------------------
// The document
// ---------------------------------------------------------------------------

const QByteArray &TMain_Form::TextFileBytes()
{
    if (!FTextFileBytesValid || FTextFileBytesEncoding != FPrimaryEncoding) {
        FTextFileBytes = EncodeTextFile(EditorText(Text_Memo), FPrimaryEncoding);
        FTextFileBytesEncoding = FPrimaryEncoding;
        FTextFileBytesValid = true;
    }
    return FTextFileBytes;
}

bool TMain_Form::MayReplacePrimaryFile() const
{
    return FHeldPrimaryFile.isEmpty() || FHeldPrimaryFile != FPrimaryFile;
}

bool TMain_Form::WritePrimaryFile()
{
    if (!MayReplacePrimaryFile() || !WriteWholeFile(FPrimaryFile, TextFileBytes())) {
        ShowFailureOnce(Message::CannotSaveText);
        return false;
    }
    FTextChanged = false;
    FHeldPrimaryFile.clear();
    SetStatusPath(FPrimaryFile);
    return true;
}

bool TMain_Form::SavePrimaryFile()
{
    if (FPrimaryFile.isEmpty())
        return SavePrimaryFileAs();
    return WritePrimaryFile();
}

void TMain_Form::SaveBackupFile()
{
    // Nor does the backup, perhaps the one readable copy of that file, get
    // text that is not the writer's.
    if (FBackupFile.isEmpty() || !MayReplacePrimaryFile())
        return;
    if (!WriteWholeFile(FBackupFile, TextFileBytes()))
        ShowFailureOnce(Message::CannotSaveBackup);
}

bool TMain_Form::SavePrimaryFileAs()
{
    TFileChooserOptions options;
    options.Title = QStringLiteral("Save As");
    options.FileName = FPrimaryFile;
    // One entry, labelled "*.txt", that lists every file.
    options.Filter = QStringLiteral("*.txt (*)");
    options.ConfirmOverwrite = true;
    if (!Prompts().ChooseSaveFile(options))
        return false;
    SetPrimaryFile(options.FileName);
    const bool saved = WritePrimaryFile();
    ShowMessage(Message::PrimaryFileSet + FPrimaryFile);
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
    FTextChanged = false;
    SetPrimaryFile(options.FileName);
    OpenPrimaryFile();
    ShowMessage(Message::PrimaryFileSet + FPrimaryFile);
}

void TMain_Form::OpenPrimaryFile()
{
    if (!IsExistingFile(FPrimaryFile)) {
        FHeldPrimaryFile.clear();
        return;
    }
    TTextFileContent content;
    if (!ReadTextFile(FPrimaryFile, content)) {
        // The editor holds nothing of this file (Open has emptied it, the
        // settings step has left the text there was): until the writer
        // types, no save may put that in the file's place.
        FHeldPrimaryFile = FPrimaryFile;
        ShowMessage(Message::CannotOpenPrimary);
        return;
    }
    FPrimaryEncoding = content.Encoding;
    FHeldPrimaryFile.clear();
    Text_Memo->setPlainText(content.Text);
    Text_Memo->moveCursor(QTextCursor::End);
    SetStatusPath(FPrimaryFile);
    FTextChanged = false;
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
        QString primary = FPrimaryFile;
        QString backup = FBackupFile;
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
            if (!IsUsableFile(FPrimaryFile, ShowMessage))
                aborted = Prompts().ShowError(Message::RetryOrAbort) == QMessageBox::Abort;
        } while (FPrimaryFile.isEmpty() && !aborted);
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
    if (FPrimaryFile.isEmpty())
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
    if (AutoSaveEnabled() && MayReplacePrimaryFile())
        SavePrimaryFile();
    SaveBackupFile();
}

void TMain_Form::Text_MemoChange()
{
    RestoreTextColour();
    FTextChanged = true;
    FHeldPrimaryFile.clear();
    StopNudge();
    RestartNudgeTimer();
}

// ---------------------------------------------------------------------------
// The nudge
// ---------------------------------------------------------------------------

void TMain_Form::SetInterval(int milliseconds)
{
    if (milliseconds < 0)
        throw std::range_error("The nudge interval cannot be negative.");
    Nudge_Timer->setInterval(milliseconds);
    if (NudgeEnabled())
        RestartNudgeTimer();
}

void TMain_Form::SetNudgeEnabled(bool enabled)
{
    Nudge_MenuItem->setChecked(enabled);
    if (!enabled)
        StopNudge();
    EnableTimer(Nudge_Timer, enabled);
}

void TMain_Form::SetSoundEnabled(bool enabled)
{
    Sound_MenuItem->setChecked(enabled);
    if (!enabled && FWavePlayer)
        FWavePlayer->Stop();
}

void TMain_Form::SetNudgeSuppressed(bool suppressed)
{
    FNudgeSuppressed = suppressed;
    if (suppressed)
        StopNudge();
}

void TMain_Form::FireNudge()
{
    if (FNudgeSuppressed || !NudgeEnabled())
        return;
    ShowSuggestion();
    if (SoundEnabled())
        FWavePlayer->Play();
}

void TMain_Form::StopNudge()
{
    if (FWavePlayer)
        FWavePlayer->Stop();
}

void TMain_Form::RestartNudgeTimer()
{
    Nudge_Timer->stop();
    EnableTimer(Nudge_Timer, true);
}

void TMain_Form::Nudge_MenuItemClick()
{
    SetNudgeEnabled(!NudgeEnabled());
    SaveConfiguration();
}

void TMain_Form::Sound_MenuItemClick()
{
    SetSoundEnabled(!SoundEnabled());
    SaveConfiguration();
}

// ---------------------------------------------------------------------------
// Suggestions
// ---------------------------------------------------------------------------

void TMain_Form::LoadSuggestions()
{
    const QList<TSuggestionFault> faults =
        FSuggestions.Load(FUseTovrinSuggestions, FUseUserSuggestionsFile, FUserSuggestionsFile);
    MakeSuggestion_MenuItem->setText(FRandomizeSuggestions ? QStringLiteral("Make Suggestion")
                                                           : QStringLiteral("Next Suggestion"));
    PriorSuggestion_MenuItem->setVisible(!FRandomizeSuggestions);
    FirstSuggestion_MenuItem->setVisible(!FRandomizeSuggestions);
    LastSuggestion_MenuItem->setVisible(!FRandomizeSuggestions);
    for (const TSuggestionFault fault : faults)
        ShowMessage(Message::SuggestionFaults[int(fault)]);
}

void TMain_Form::ShowSuggestion()
{
    const QString text = PickSuggestion();
    Suggestion_Memo->setPlainText(text);
    // Screen readers hear of the new suggestion through the description.
    Suggestion_Memo->setAccessibleDescription(text);
}

void TMain_Form::FirstSuggestion()
{
    FSuggestions.MoveToFirst();
    ShowSuggestion();
}

void TMain_Form::PriorSuggestion()
{
    FSuggestions.MoveToPrior();
    ShowSuggestion();
}

void TMain_Form::LastSuggestion()
{
    FSuggestions.MoveToLast();
    ShowSuggestion();
}

void TMain_Form::SetAlwaysSuggest(bool always)
{
    FAlwaysSuggest = always;
    Suggestion_Timer->setInterval(Interval());
    EnableTimer(Suggestion_Timer, always);
    if (always)
        ShowSuggestion();
    AlwaysSuggest_MenuItem->setChecked(always);
}

void TMain_Form::Suggestion_TimerTimer()
{
    if (!NudgeEnabled())
        ShowSuggestion();
}

void TMain_Form::AlwaysSuggest_MenuItemClick()
{
    SetAlwaysSuggest(!FAlwaysSuggest);
    SaveConfiguration();
}

void TMain_Form::SuggestionSettings_MenuItemClick()
{
    {
        const TSuppression suppression(*this);
        bool useTovrin = FUseTovrinSuggestions;
        bool useUser = FUseUserSuggestionsFile;
        bool randomize = FRandomizeSuggestions;
        QString userFile = FUserSuggestionsFile;
        if (FDialogs.ExecuteSuggestionSettings &&
            FDialogs.ExecuteSuggestionSettings(useTovrin, useUser, randomize, userFile)) {
            SetUseTovrinSuggestions(useTovrin);
            SetUseUserSuggestionsFile(useUser);
            SetRandomizeSuggestions(randomize);
            SetUserSuggestionsFile(userFile);
            FirstSuggestion();
        }
        SaveConfiguration();
        LoadSuggestions();
    }
    BringToFront();
}

// ---------------------------------------------------------------------------
// Fonts and the date stamp
// ---------------------------------------------------------------------------

TFont TMain_Form::TextFont() const
{
    return QFontToFont(Text_Memo->font(), FTextColour);
}

void TMain_Form::SetTextFont(const TFont &font)
{
    Text_Memo->setFont(FontToQFont(font, Text_Memo->font()));
    ApplyTextColour(font.Color);
}

TFont TMain_Form::SuggestionFont() const
{
    return QFontToFont(Suggestion_Memo->font(), FSuggestionColour);
}

void TMain_Form::SetSuggestionFont(const TFont &font)
{
    Suggestion_Memo->setFont(FontToQFont(font, Suggestion_Memo->font()));
    ApplySuggestionColour(font.Color);
}

void TMain_Form::ApplyTextColour(TColor colour)
{
    FTextColour = colour;
    SetAreaTextColour(Text_Memo, colour);
}

void TMain_Form::ApplySuggestionColour(TColor colour)
{
    FSuggestionColour = colour;
    SetAreaTextColour(Suggestion_Memo, colour);
}

void TMain_Form::AdjustTextFont_PanelClick()
{
    const TSuppression suppression(*this);
    QFont font = FontToQFont(FTextDialogStartFont, Text_Memo->font());
    if (Prompts().ChooseFont(font)) {
        SetTextFont(QFontToFont(font, FTextDialogStartFont.Color));
        SaveConfiguration();
    }
}

void TMain_Form::AdjustSuggestionFont_PanelClick()
{
    const TSuppression suppression(*this);
    QFont font = Suggestion_Memo->font();
    if (Prompts().ChooseFont(font)) {
        SetSuggestionFont(QFontToFont(font, FSuggestionColour));
        SaveConfiguration();
    }
}

void TMain_Form::ResetTextFont_PanelClick()
{
    const TSuppression suppression(*this);
    SetTextFont(FDefaultTextFont);
    SaveConfiguration();
}

void TMain_Form::ResetSuggestionFont_PanelClick()
{
    const TSuppression suppression(*this);
    SetSuggestionFont(FDefaultSuggestionFont);
    SaveConfiguration();
}

void TMain_Form::InsertDateStamp()
{
    const QString stamp = DateStampText(Now());
    QTextCursor cursor(Text_Memo->document());
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    if (!Text_Memo->document()->isEmpty() && !cursor.block().text().isEmpty())
        cursor.insertBlock();
    cursor.insertText(stamp);
    cursor.insertBlock();
    cursor.endEditBlock();
    Text_Memo->setTextCursor(cursor);
}

// ---------------------------------------------------------------------------
// Privacy
// ---------------------------------------------------------------------------

void TMain_Form::SetPrivacy(bool privacy)
{
    EnableTimer(Privacy_Timer, privacy);
    Privacy_MenuItem->setChecked(privacy);
    if (!privacy)
        RestoreTextColour();
}

void TMain_Form::RememberTextColour()
{
    FSavedTextColour = FTextColour;
}

void TMain_Form::RestoreTextColour()
{
    // Runs on every keystroke: nothing to do when the colour is already right.
    if (FTextColour == FSavedTextColour)
        return;
    ApplyTextColour(FSavedTextColour);
}

void TMain_Form::Privacy_MenuItemClick()
{
    SetPrivacy(!Privacy());
    SaveConfiguration();
}

// ---------------------------------------------------------------------------
// Help
// ---------------------------------------------------------------------------

void TMain_Form::About_MenuItemClick()
{
    {
        const TSuppression suppression(*this);
        if (FDialogs.ShowAbout)
            FDialogs.ShowAbout();
    }
    BringToFront();
}

void TMain_Form::Manual_MenuItemClick()
{
    {
        const TSuppression suppression(*this);
        if (FDialogs.ShowManual)
            FDialogs.ShowManual();
    }
    BringToFront();
}
