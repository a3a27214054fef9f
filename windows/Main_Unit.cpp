#include "windows/Main_Unit.h"

#include "windows/MainMessages_Unit.h"
#include "windows/Suppression_Unit.h"

#include "app/PlatformDependence_Unit.h"
#include "desktop/Attention_Unit.h"
#include "sound/WavePlay.h"
#include "storage/ConfigurationFile_Unit.h"
#include "storage/RecoveryCopy_Unit.h"
#include "storage/SpellChecker_Unit.h"
#include "storage/Worker_Unit.h"
#include "windows/About_Unit.h"
#include "windows/AreaColours_Unit.h"
#include "windows/CaptionButton_Unit.h"
#include "windows/ConflictBar_Unit.h"
#include "windows/EarlierVersions_Unit.h"
#include "windows/FindBar_Unit.h"
#include "windows/FontBridge_Unit.h"
#include "windows/ManualReader_Unit.h"
#include "windows/Prompts_Unit.h"
#include "windows/Settings_Unit.h"
#include "windows/SpellMarks_Unit.h"
#include "windows/Splash_Unit.h"
#include "windows/SuggestionSettings_Unit.h"
#include "windows/TextLayout_Unit.h"
#include "windows/TextSnapshot_Unit.h"
#include "windows/WindowPlacement_Unit.h"
#include "windows/WritingCount_Unit.h"
#include "windows/WritingGoal_Unit.h"

#include <QApplication>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSessionManager>
#include <QStatusBar>
#include <QTextDocument>
#include <QTimer>

#include <stdexcept>

namespace {

constexpr int StatusPanel1Width = 75;

} // namespace

TMainFormDialogs TMainFormDialogs::Real()
{
    return {&::ExecuteSettingsDialog,   &::ExecuteSuggestionSettingsDialog,
            &::StartSplashCheck,        &::ShowSplashIfDue,
            &::ShowAboutWindow,         &::ShowManualWindow,
            &::ExecuteWritingGoalDialog};
}

// ---------------------------------------------------------------------------
// Creation
// ---------------------------------------------------------------------------

TMain_Form::TMain_Form(QWidget *parent, const TMainFormDialogs &dialogs)
    : QMainWindow(parent), FDialogs(dialogs), FDocument(*this)
{
    // The splash step's file work goes on while the window is built; the
    // step itself still comes first, in FormCreate.
    if (FDialogs.StartSplashCheck)
        FDialogs.StartSplashCheck();
    // Until the configuration is read, no source of suggestions, in order.
    FSettings.UseTovrinSuggestions = false;
    FSettings.RandomizeSuggestions = false;
    SetupControls(this);
    FTextSnapshot = std::make_unique<TTextSnapshot>(Text_Memo->document());
    ApplySuggestionColour(clBlack);
    ApplyTextColour(clBlack);
    ConnectControls();
    ConnectMenus();
    CentreOnScreen(this);
    FormCreate();
}

TMain_Form::~TMain_Form()
{
    // Nothing is saved here. A copy of the text still being taken is
    // dropped with the editor. Earlier Versions, which reads the document's
    // history on a thread of its own, goes before the document.
    qDeleteAll(findChildren<TEarlierVersions_Form *>(Qt::FindDirectChildrenOnly));
    FDocument.WaitForWrites(TTextDocument::TWait::Block);
    // What the record has not written yet goes now; its last jobs run
    // before the store they write goes.
    FinishRecord();
    FRecordWorker.reset();
    FRecord.reset();
    FWritingCount.reset();
    FTextSnapshot.reset();
    FWavePlayer.reset();
}

void TMain_Form::ConnectControls()
{
    Main_StatusBar->installEventFilter(this);
    Text_Memo->installEventFilter(this);
    connect(Text_Memo, &QPlainTextEdit::textChanged, this, &TMain_Form::Text_MemoChange);
    // The document is told of every change of the text, whoever makes it.
    connect(Text_Memo->document(), &QTextDocument::contentsChanged, this,
            [this] { FDocument.Changed(); });
    FDocument.ModifiedChanged = [this](bool modified) { Q_EMIT UnsavedTextChanged(modified); };
    FDocument.TickDone = [this](const TTextDocument::TTickOutcome &outcome) {
        AutoSaveTickDone(outcome);
    };
    // A safety net that is off is something the writer must know, in the
    // bar above the text while it lasts: a box would take their next keys.
    connect(&FDocument.Recovery(), &TRecoveryCopy::WorkingChanged, this, [this](bool working) {
        if (!working || Conflict_Bar)
            ConflictBar()->SetProblem(TConflictBar::TProblem::Recovery,
                                      working ? QString() : Message::RecoveryFailing);
    });
    FDocument.HistoryNewsChanged = [this] { ShowHistoryNews(); };
    // A tick held over while another wrote asks afresh, under the settings
    // of its own time.
    FDocument.TickDue = [this] { AutoSave_TimerTimer(); };
    connect(qApp, &QGuiApplication::commitDataRequest, this, &TMain_Form::CommitSessionData,
            Qt::DirectConnection);
    // Nothing of the spelling is read or loaded before the window is drawn.
    connect(this, &TMain_Form::Started, this, &TMain_Form::StartSpelling);
    // Nor of the record of the days.
    connect(this, &TMain_Form::Started, this, &TMain_Form::StartRecord);
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

TConflictBar *TMain_Form::ConflictBar()
{
    if (Conflict_Bar)
        return Conflict_Bar;
    // Above the text, where the writer looks, and never in the keyboard's way.
    Conflict_Bar = new TConflictBar(Text_Memo->parentWidget());
    static_cast<QBoxLayout *>(Text_Memo->parentWidget()->layout())->insertWidget(0, Conflict_Bar);
    connect(Conflict_Bar, &TConflictBar::KeepMineClicked, this, &TMain_Form::KeepMyText);
    connect(Conflict_Bar, &TConflictBar::TakeFileClicked, this, &TMain_Form::TakeFileText);
    connect(Conflict_Bar, &TConflictBar::SaveAsClicked, this, [this] {
        const TSuppression suppression(*this);
        SavePrimaryFileAs();
    });
    connect(Conflict_Bar, &TConflictBar::CompareClicked, this, &TMain_Form::CompareWithFile);
    connect(Conflict_Bar, &TConflictBar::VersionsClicked, this,
            [this] { OpenEarlierVersions(FNoticeVersion); });
    return Conflict_Bar;
}

TFindBar *TMain_Form::FindBar()
{
    if (Find_Bar)
        return Find_Bar;
    // Right above the text, under the conflict bar, which goes first.
    QWidget *panel = Text_Memo->parentWidget();
    auto *layout = static_cast<QBoxLayout *>(panel->layout());
    Find_Bar = new TFindBar(Text_Memo, panel);
    layout->insertWidget(layout->indexOf(Text_Memo), Find_Bar);
    Find_Bar->KeepBeforeReplaceAll = [this] { return KeepBeforeReplaceAll(); };
    connect(Find_Bar, &TFindBar::VersionsClicked, this,
            [this] { OpenEarlierVersions(FReplacedVersion); });
    return Find_Bar;
}

void TMain_Form::Find_MenuItemClick()
{
    FindBar()->Open(false);
}

void TMain_Form::FindNext_MenuItemClick()
{
    FindBar()->FindNext();
}

void TMain_Form::FindPrevious_MenuItemClick()
{
    FindBar()->FindPrevious();
}

void TMain_Form::Replace_MenuItemClick()
{
    FindBar()->Open(true);
}

void TMain_Form::ConnectMenus()
{
    const std::pair<QAction *, void (TMain_Form::*)()> items[] = {
        {Save_MenuItem, &TMain_Form::Save_MenuItemClick},
        {SaveAs_MenuItem, &TMain_Form::SaveAs_MenuItemClick},
        {Open_MenuItem, &TMain_Form::Open_MenuItemClick},
        {EarlierVersions_MenuItem, &TMain_Form::EarlierVersions_MenuItemClick},
        {WritingRecord_MenuItem, &TMain_Form::WritingRecord_MenuItemClick},
        {Exit_MenuItem, &TMain_Form::Exit_MenuItemClick},
        {InsertCurrentDate_MenuItem, &TMain_Form::InsertCurrentDate_MenuItemClick},
        {Find_MenuItem, &TMain_Form::Find_MenuItemClick},
        {FindNext_MenuItem, &TMain_Form::FindNext_MenuItemClick},
        {FindPrevious_MenuItem, &TMain_Form::FindPrevious_MenuItemClick},
        {Replace_MenuItem, &TMain_Form::Replace_MenuItemClick},
        {NextMisspelling_MenuItem, &TMain_Form::NextMisspelling_MenuItemClick},
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
        {CheckSpelling_MenuItem, &TMain_Form::CheckSpelling_MenuItemClick},
        {WritingGoal_MenuItem, &TMain_Form::WritingGoal_MenuItemClick},
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
    FSettings.AlwaysSuggest = false;

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

    FDocument.SetUnmodified();
    FNudgeSuppressed = false;
    FAutoSaveSuppressed = false;
    FSuggestions.SetNumber(0);
    FOfferPending = true;
}

void TMain_Form::Exit_MenuItemClick()
{
    // The writer's own command: an answer given for a logout that did not
    // happen does not answer it.
    FSessionAnswered = false;
    close();
}

void TMain_Form::closeEvent(QCloseEvent *event)
{
    if (!FSessionAnswered && !FormCloseQuery()) {
        event->ignore();
        return;
    }
    event->accept();
    FinishRecord();
    FDocument.Close();
}

void TMain_Form::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!FOfferPending)
        return;
    FOfferPending = false;
    // Once the window is drawn on the screen, so that the question comes over
    // it and nothing of the recovery copy holds up its first picture; at the
    // latest after a moment, should it never be drawn (minimised at start).
    FOfferAfterPaint = true;
    Text_Memo->viewport()->installEventFilter(this);
    QTimer::singleShot(OfferLatestMs, this, &TMain_Form::OfferOnceShown);
}

void TMain_Form::OfferOnceShown()
{
    if (!FOfferAfterPaint)
        return;
    FOfferAfterPaint = false;
    Text_Memo->viewport()->removeEventFilter(this);
    OfferRecoveredText();
    Q_EMIT Started();
}

bool TMain_Form::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Main_StatusBar && event->type() == QEvent::Resize)
        Main_StatusBarResize();
    if (FOfferAfterPaint && event->type() == QEvent::Paint && watched == Text_Memo->viewport())
        QMetaObject::invokeMethod(this, &TMain_Form::OfferOnceShown, Qt::QueuedConnection);
    if (watched == Text_Memo && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (HandleEditorKey(Text_Memo, key))
            return true;
        // Esc closes the find bar from the text too.
        if (key->key() == Qt::Key_Escape && Find_Bar && Find_Bar->isVisible() &&
            key->modifiers() == Qt::NoModifier) {
            Find_Bar->Close();
            return true;
        }
        // Ctrl+Tab and Ctrl+Shift+Tab leave the text for the other controls,
        // so the keyboard is never trapped there.
        if (key->modifiers().testFlag(Qt::ControlModifier) &&
            (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)) {
            focusNextPrevChild(key->key() == Qt::Key_Tab &&
                               !key->modifiers().testFlag(Qt::ShiftModifier));
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
    if (FQuiet || FOpenFailureMessages.contains(text))
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
    TMainWindowSettings settings = FSettings;
    settings.Interval = Interval();
    settings.SoundEnabled = SoundEnabled();
    settings.NudgeEnabled = NudgeEnabled();
    settings.AutoSaveEnabled = AutoSaveEnabled();
    settings.PrimaryFile = PrimaryFile();
    settings.BackupFile = BackupFile();
    settings.TextFont = TextFont();
    settings.SuggestionFont = SuggestionFont();
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
    if (FRecordWorker)
        FTally.Nudged(Now());
    if (SoundEnabled())
        FWavePlayer->Play();
    AskForAttention(windowHandle());
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
        FSuggestions.Load(FSettings.UseTovrinSuggestions, FSettings.UseUserSuggestionsFile,
                          FSettings.UserSuggestionsFile);
    MakeSuggestion_MenuItem->setText(FSettings.RandomizeSuggestions
                                         ? QStringLiteral("Make Suggestion")
                                         : QStringLiteral("Next Suggestion"));
    PriorSuggestion_MenuItem->setVisible(!FSettings.RandomizeSuggestions);
    FirstSuggestion_MenuItem->setVisible(!FSettings.RandomizeSuggestions);
    LastSuggestion_MenuItem->setVisible(!FSettings.RandomizeSuggestions);
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
    FSettings.AlwaysSuggest = always;
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
    SetAlwaysSuggest(!FSettings.AlwaysSuggest);
    SaveConfiguration();
}

void TMain_Form::SuggestionSettings_MenuItemClick()
{
    {
        const TSuppression suppression(*this);
        bool useTovrin = FSettings.UseTovrinSuggestions;
        bool useUser = FSettings.UseUserSuggestionsFile;
        bool randomize = FSettings.RandomizeSuggestions;
        QString userFile = FSettings.UserSuggestionsFile;
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
    AppendLine(Text_Memo, DateStampText(Now()));
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
    // An underline would show the shapes of the words.
    if (FSpellMarks)
        FSpellMarks->SetHidden(privacy);
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
