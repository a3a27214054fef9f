// Nudger's main window: the suggestion area above the writer's text, the
// menus, the four timers and the status bar, and everything the window does
// with them: the nudge, the writer's files, the suggestions, the fonts and
// the stored settings.
#pragma once

#include "storage/Conversions_Unit.h"
#include "storage/TextFile_Unit.h"

#include <QMainWindow>
#include <QSet>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QStatusBar;
class QTimer;
class TCaptionButton;
class TWavePlayer;

// The secondary windows the main window opens. Tests replace them.
struct TMainFormDialogs
{
    std::function<bool(int &, QString &, QString &)> ExecuteSettings;
    std::function<bool(bool &, bool &, bool &, QString &)> ExecuteSuggestionSettings;
    std::function<void()> ShowSplashIfDue;
    std::function<void()> ShowAbout;
    std::function<void()> ShowManual;

    static TMainFormDialogs Real();
};

class TMain_Form : public QMainWindow
{
    Q_OBJECT
    Q_PROPERTY(QString PrimaryFile READ PrimaryFile WRITE SetPrimaryFile)
    Q_PROPERTY(QString BackupFile READ BackupFile WRITE SetBackupFile)
    Q_PROPERTY(int Interval READ Interval WRITE SetInterval)
    Q_PROPERTY(bool SoundEnabled READ SoundEnabled WRITE SetSoundEnabled)
    Q_PROPERTY(bool NudgeEnabled READ NudgeEnabled WRITE SetNudgeEnabled)
    Q_PROPERTY(bool NudgeSuppressed READ NudgeSuppressed WRITE SetNudgeSuppressed)
    Q_PROPERTY(bool AutoSaveSuppressed READ AutoSaveSuppressed WRITE SetAutoSaveSuppressed)
    Q_PROPERTY(bool AutoSaveEnabled READ AutoSaveEnabled WRITE SetAutoSaveEnabled)
    Q_PROPERTY(bool AlwaysSuggest READ AlwaysSuggest WRITE SetAlwaysSuggest)
    Q_PROPERTY(bool UseTovrinSuggestions READ UseTovrinSuggestions WRITE SetUseTovrinSuggestions)
    Q_PROPERTY(
        bool UseUserSuggestionsFile READ UseUserSuggestionsFile WRITE SetUseUserSuggestionsFile)
    Q_PROPERTY(bool RandomizeSuggestions READ RandomizeSuggestions WRITE SetRandomizeSuggestions)
    Q_PROPERTY(QString UserSuggestionsFile READ UserSuggestionsFile WRITE SetUserSuggestionsFile)
    Q_PROPERTY(int SuggestionNumber READ SuggestionNumber WRITE SetSuggestionNumber)
    Q_PROPERTY(bool Privacy READ Privacy WRITE SetPrivacy)

public:
    // Builds the window and runs the start-up steps (splash, settings, files).
    explicit TMain_Form(QWidget *parent = nullptr,
                        const TMainFormDialogs &dialogs = TMainFormDialogs::Real());
    ~TMain_Form() override;

    // True when the writer chose Abort in the settings step; the program
    // then ends as soon as its event loop runs.
    bool TerminateRequested() const { return FTerminateRequested; }

    // --- Published settings ---------------------------------------------
    QString PrimaryFile() const { return FPrimaryFile; }
    void SetPrimaryFile(const QString &fileName) { FPrimaryFile = fileName; }
    QString BackupFile() const { return FBackupFile; }
    void SetBackupFile(const QString &fileName) { FBackupFile = fileName; }
    int Interval() const;
    void SetInterval(int milliseconds); // throws std::range_error when negative
    bool SoundEnabled() const;
    void SetSoundEnabled(bool enabled);
    bool NudgeEnabled() const;
    void SetNudgeEnabled(bool enabled);
    bool NudgeSuppressed() const { return FNudgeSuppressed; }
    void SetNudgeSuppressed(bool suppressed);
    bool AutoSaveSuppressed() const { return FAutoSaveSuppressed; }
    void SetAutoSaveSuppressed(bool suppressed) { FAutoSaveSuppressed = suppressed; }
    bool AutoSaveEnabled() const;
    void SetAutoSaveEnabled(bool enabled);
    bool AlwaysSuggest() const { return FAlwaysSuggest; }
    void SetAlwaysSuggest(bool always);
    bool UseTovrinSuggestions() const { return FUseTovrinSuggestions; }
    void SetUseTovrinSuggestions(bool use) { FUseTovrinSuggestions = use; }
    bool UseUserSuggestionsFile() const { return FUseUserSuggestionsFile; }
    void SetUseUserSuggestionsFile(bool use) { FUseUserSuggestionsFile = use; }
    bool RandomizeSuggestions() const { return FRandomizeSuggestions; }
    void SetRandomizeSuggestions(bool randomize) { FRandomizeSuggestions = randomize; }
    QString UserSuggestionsFile() const { return FUserSuggestionsFile; }
    void SetUserSuggestionsFile(const QString &fileName) { FUserSuggestionsFile = fileName; }
    // Reading wraps the number into the store and saves the configuration.
    int SuggestionNumber();
    void SetSuggestionNumber(int number) { FSuggestionNumber = number; }
    bool Privacy() const;
    void SetPrivacy(bool privacy);

    // --- State that is not published ------------------------------------
    bool TextChanged() const { return FTextChanged; }
    int SuggestionCount() const { return FSuggestionCount; }
    const QStringList &SuggestionList() const { return FSuggestionList; }
    int StoredSuggestionNumber() const { return FSuggestionNumber; }
    TColor SavedTextColour() const { return FSavedTextColour; }
    TWavePlayer &WavePlayer() { return *FWavePlayer; }

    // The random source: a 32-bit linear congruential generator.
    void SetRandomSeed(std::uint32_t seed) { FRandomState = seed; }
    std::uint32_t RandomSeed() const { return FRandomState; }
    std::uint32_t Random(std::uint32_t range);

    // --- Settings persistence -------------------------------------------
    void LoadConfiguration();
    void SaveConfiguration();

    // --- The document ---------------------------------------------------
    bool SavePrimaryFile();
    void SaveBackupFile();
    bool SavePrimaryFileAs();
    void OpenTextFile();
    void OpenPrimaryFile();
    bool ConfirmSaveChanges();
    bool RunSettings();
    void OpenAtStart();

    // --- The nudge ------------------------------------------------------
    void FireNudge();
    void StopNudge();
    void RestartNudgeTimer();

    // --- Suggestions ----------------------------------------------------
    void LoadSuggestions();
    void LoadTovrinSuggestions();
    void LoadUserSuggestions();
    QString PickSuggestion();
    void WrapSuggestionNumber();
    void ShowSuggestion();
    void FirstSuggestion();
    void PriorSuggestion();
    void LastSuggestion();

    // --- Fonts, date stamp and privacy -----------------------------------
    void InsertDateStamp();
    void RememberTextColour();
    void RestoreTextColour();
    TFont TextFont() const;
    void SetTextFont(const TFont &font);
    TFont SuggestionFont() const;
    void SetSuggestionFont(const TFont &font);
    const TFont &DefaultTextFont() const { return *FDefaultTextFont; }
    const TFont &TextDialogStartFont() const { return *FTextDialogStartFont; }
    const TFont &DefaultSuggestionFont() const { return *FDefaultSuggestionFont; }

    // --- Commands and event handlers --------------------------------------
    void Save_MenuItemClick();
    void SaveAs_MenuItemClick();
    void Open_MenuItemClick();
    void Exit_MenuItemClick();
    void InsertCurrentDate_MenuItemClick();
    void MakeSuggestion_MenuItemClick();
    void NextSuggestion_MenuItemClick();
    void PriorSuggestion_MenuItemClick();
    void FirstSuggestion_MenuItemClick();
    void LastSuggestion_MenuItemClick();
    void AlwaysSuggest_MenuItemClick();
    void SuggestionSettings_MenuItemClick();
    void Nudge_MenuItemClick();
    void Sound_MenuItemClick();
    void AutoSave_MenuItemClick();
    void Privacy_MenuItemClick();
    void Settings_MenuItemClick();
    void About_MenuItemClick();
    void Manual_MenuItemClick();
    void MakeSuggestion_PanelClick();
    void AdjustSuggestionFont_PanelClick();
    void ResetSuggestionFont_PanelClick();
    void AdjustTextFont_PanelClick();
    void ResetTextFont_PanelClick();
    void Text_MemoChange();
    void Nudge_TimerTimer();
    void AutoSave_TimerTimer();
    void Suggestion_TimerTimer();
    void Privacy_TimerTimer();
    void Main_StatusBarResize();

    // --- Controls, for the tests and the accessibility layer ---------------
    QPlainTextEdit *Text_Memo = nullptr;
    QPlainTextEdit *Suggestion_Memo = nullptr;
    QLabel *Suggestion_Label = nullptr;
    QLabel *YourText_Label = nullptr;
    TCaptionButton *MakeSuggestion_Panel = nullptr;
    TCaptionButton *AdjustSuggestionFont_Panel = nullptr;
    TCaptionButton *ResetSuggestionFont_Panel = nullptr;
    TCaptionButton *AdjustTextFont_Panel = nullptr;
    TCaptionButton *ResetTextFont_Panel = nullptr;
    QSplitter *Splitter1 = nullptr;
    QStatusBar *Main_StatusBar = nullptr;
    QLabel *StatusPanel0 = nullptr;
    QLabel *StatusPanel1 = nullptr;
    QTimer *Nudge_Timer = nullptr;
    QTimer *AutoSave_Timer = nullptr;
    QTimer *Suggestion_Timer = nullptr;
    QTimer *Privacy_Timer = nullptr;
    QAction *Save_MenuItem = nullptr;
    QAction *SaveAs_MenuItem = nullptr;
    QAction *Open_MenuItem = nullptr;
    QAction *Exit_MenuItem = nullptr;
    QAction *InsertCurrentDate_MenuItem = nullptr;
    QAction *MakeSuggestion_MenuItem = nullptr;
    QAction *PriorSuggestion_MenuItem = nullptr;
    QAction *FirstSuggestion_MenuItem = nullptr;
    QAction *LastSuggestion_MenuItem = nullptr;
    QAction *AlwaysSuggest_MenuItem = nullptr;
    QAction *SuggestionSettings_MenuItem = nullptr;
    QAction *Nudge_MenuItem = nullptr;
    QAction *Sound_MenuItem = nullptr;
    QAction *AutoSave_MenuItem = nullptr;
    QAction *Privacy_MenuItem = nullptr;
    QAction *Settings_MenuItem = nullptr;
    QAction *About_MenuItem = nullptr;
    QAction *Manual_MenuItem = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void CreateControls();
    void CreateMenus();
    void CreateTimers();
    void FormCreate();
    void InitialiseMainWindow();
    bool FormCloseQuery();
    void BringToFront();
    // Shows a save-failure message unless the same message is still open.
    void ShowFailureOnce(const QString &text);
    void ApplyTextColour(TColor colour);
    void ApplySuggestionColour(TColor colour);
    bool WritePrimaryFile();
    // The editor's text in its file form, encoded once and kept until the
    // text next changes, so that the timer's saves of an unchanged text
    // (every tick, primary and backup) do not copy and encode it again.
    const QByteArray &TextFileBytes();
    void SetStatusPath(const QString &path);

    TMainFormDialogs FDialogs;

    QString FPrimaryFile;
    QString FBackupFile;
    bool FTextChanged = false;
    bool FNudgeSuppressed = false;
    bool FAutoSaveSuppressed = false;
    bool FAlwaysSuggest = false;
    bool FUseTovrinSuggestions = false;
    bool FUseUserSuggestionsFile = false;
    bool FRandomizeSuggestions = false;
    QString FUserSuggestionsFile;
    int FSuggestionNumber = 0;
    int FSuggestionCount = 0;
    QStringList FSuggestionList;
    TColor FSavedTextColour = clBlack;
    TColor FTextColour = clBlack;
    TColor FSuggestionColour = clBlack;
    std::uint32_t FRandomState = 0;
    bool FTerminateRequested = false;

    // The primary file's 8-bit form as last read, kept for the next write.
    TTextEncoding FPrimaryEncoding = TTextEncoding::Utf8;
    // The primary file exists but could not be read: the timer must not
    // write text over it that did not come from it.
    bool FPrimaryUnread = false;
    QSet<QString> FOpenFailureMessages;
    // TextFileBytes' store: emptied by every change to the editor's document.
    QByteArray FTextFileBytes;
    bool FTextFileBytesValid = false;
    TTextEncoding FTextFileBytesEncoding = TTextEncoding::Utf8;

    std::unique_ptr<TWavePlayer> FWavePlayer;
    std::unique_ptr<TFont> FDefaultTextFont;
    std::unique_ptr<TFont> FTextDialogStartFont;
    std::unique_ptr<TFont> FDefaultSuggestionFont;
};
