// Nudger's main window: the suggestion area above the writer's text, the
// menus, the four timers and the status bar (built by TMainControls), wired
// to the nudge sound, the writer's files, the suggestion store and the stored
// settings, and every question the window asks the writer.
#pragma once

#include "storage/Conversions_Unit.h"
#include "storage/MainWindowSettings_Unit.h"
#include "storage/SuggestionStore_Unit.h"
#include "storage/TextDocument_Unit.h"
#include "storage/WritingRecord_Unit.h"
#include "windows/MainControls_Unit.h"

#include <QAction>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QSet>
#include <QStringList>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>

class QPlainTextEdit;
class QProgressBar;
class QSessionManager;
class TConflictBar;
class TEarlierVersions_Form;
class TFindBar;
class TSpellChecker;
class TSpellMarks;
class TTextSnapshot;
class TWavePlayer;
class TWorker;
class TWritingCount;
class TWritingRecord_Form;

// The secondary windows the main window opens. Tests replace them.
struct TMainFormDialogs
{
    std::function<bool(int &, QString &, QString &)> ExecuteSettings;
    std::function<bool(bool &, bool &, bool &, QString &)> ExecuteSuggestionSettings;
    // Called first of all, before the window is built: starts what the
    // splash step reads and writes, for ShowSplashIfDue to take.
    std::function<void()> StartSplashCheck;
    std::function<void()> ShowSplashIfDue;
    std::function<void()> ShowAbout;
    std::function<void()> ShowManual;
    std::function<bool(TWritingGoal &)> ExecuteWritingGoal;

    static TMainFormDialogs Real();
};

class TMain_Form : public QMainWindow, public TMainControls, private TDocumentText
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
    QString PrimaryFile() const { return FDocument.PrimaryFile(); }
    void SetPrimaryFile(const QString &fileName) { FDocument.SetPrimaryFile(fileName); }
    QString BackupFile() const { return FDocument.BackupFile(); }
    void SetBackupFile(const QString &fileName) { FDocument.SetBackupFile(fileName); }
    int Interval() const { return Nudge_Timer->interval(); }
    void SetInterval(int milliseconds); // throws std::range_error when negative
    bool SoundEnabled() const { return Sound_MenuItem->isChecked(); }
    void SetSoundEnabled(bool enabled);
    bool NudgeEnabled() const { return Nudge_MenuItem->isChecked(); }
    void SetNudgeEnabled(bool enabled);
    bool NudgeSuppressed() const { return FNudgeSuppressed; }
    void SetNudgeSuppressed(bool suppressed);
    bool AutoSaveSuppressed() const { return FAutoSaveSuppressed; }
    void SetAutoSaveSuppressed(bool suppressed) { FAutoSaveSuppressed = suppressed; }
    bool AutoSaveEnabled() const { return AutoSave_MenuItem->isChecked(); }
    void SetAutoSaveEnabled(bool enabled) { AutoSave_MenuItem->setChecked(enabled); }
    bool AlwaysSuggest() const { return FSettings.AlwaysSuggest; }
    void SetAlwaysSuggest(bool always);
    bool UseTovrinSuggestions() const { return FSettings.UseTovrinSuggestions; }
    void SetUseTovrinSuggestions(bool use) { FSettings.UseTovrinSuggestions = use; }
    bool UseUserSuggestionsFile() const { return FSettings.UseUserSuggestionsFile; }
    void SetUseUserSuggestionsFile(bool use) { FSettings.UseUserSuggestionsFile = use; }
    bool RandomizeSuggestions() const { return FSettings.RandomizeSuggestions; }
    void SetRandomizeSuggestions(bool randomize) { FSettings.RandomizeSuggestions = randomize; }
    QString UserSuggestionsFile() const { return FSettings.UserSuggestionsFile; }
    void SetUserSuggestionsFile(const QString &fileName)
    {
        FSettings.UserSuggestionsFile = fileName;
    }
    // Reading wraps the number into the store and saves the configuration.
    int SuggestionNumber() { return FSuggestions.ReadNumber(); }
    void SetSuggestionNumber(int number) { FSuggestions.SetNumber(number); }
    bool Privacy() const { return Privacy_Timer->isActive(); }
    void SetPrivacy(bool privacy);

    // --- State that is not published ------------------------------------
    bool TextChanged() const { return FDocument.Modified(); }
    TTextDocument &Document() { return FDocument; }
    int SuggestionCount() const { return FSuggestions.Count(); }
    const QStringList &SuggestionList() const { return FSuggestions.Lines(); }

    // Seeds the random order's source.
    void SetRandomSeed(std::uint32_t seed) { FRandom.SetSeed(seed); }

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

    // --- Files changed by other programs, and the end of the session -----
    // The bar above the text that asks which text to keep and tells what
    // was kept or read again; made when it first has something to say, and
    // hidden while it has nothing.
    TConflictBar *ConflictBar();
    void KeepMyText();
    void TakeFileText();
    // The session ends (a signal, the display gone): one last auto-save tick
    // as AutoSave_TimerTimer makes it, with no box and no chooser; unsaved
    // text also goes into the recovery copy and the history. Once the
    // primary file holds the text, closing asks nothing more.
    void LastTick();
    // At start, once the window shows, a recovery copy left by a Nudger
    // that ended with unsaved text is offered back: the file, when the words
    // were written and how many differ, and Compare to see them.
    void OfferRecoveredText();
    // An X11 session manager asks before the session ends: the close
    // button's question, and Cancel holds the logout.
    void CommitSessionData(QSessionManager &manager);

    // --- Find and Replace -------------------------------------------------
    // The find bar, directly above the text and below the other bars; made
    // when the writer first asks for it.
    TFindBar *FindBar();

    // --- Earlier versions ------------------------------------------------
    // Opens the Earlier Versions window over this one, at the version with
    // that digest (the newest when empty), and returns it; it stays open
    // until closed, the nudge held back meanwhile.
    TEarlierVersions_Form *OpenEarlierVersions(const QByteArray &digest = QByteArray());
    // Restore: the version's text replaces the editor's, undoably.
    void RestoreVersion(const QString &text);
    // The bar's Compare: the primary file's version against the editor's text.
    void CompareWithFile();

    // --- The nudge ------------------------------------------------------
    void FireNudge();
    void StopNudge();
    void RestartNudgeTimer();

    // --- Suggestions ----------------------------------------------------
    void LoadSuggestions();
    QString PickSuggestion() { return FSuggestions.Pick(FSettings.RandomizeSuggestions, FRandom); }
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
    const TFont &DefaultTextFont() const { return FDefaultTextFont; }
    const TFont &TextDialogStartFont() const { return FTextDialogStartFont; }
    const TFont &DefaultSuggestionFont() const { return FDefaultSuggestionFont; }

    // --- Spelling ---------------------------------------------------------
    // Once the window has been drawn (at Started): reads the writer's
    // choices and starts the checker, which loads its library and the
    // dictionary on a worker; nothing is marked until it is ready.
    void StartSpelling();
    // The writer's choice; on by default where a dictionary for the
    // locale's language is installed. Kept in the writer's own settings.
    bool CheckSpelling() const { return FSpellEnabled; }
    void SetCheckSpelling(bool check);
    // Opens the dictionary for `language` and turns checking on.
    void SetSpellingLanguage(const QString &language);
    TSpellChecker *SpellChecker() const { return FSpellChecker.get(); }
    TSpellMarks *SpellMarks() const { return FSpellMarks.get(); }

    // --- The writing goal and the record of the days ---------------------
    // Once the window has been drawn (at Started): reads the goal, begins
    // counting the words typed and reads what the record holds of today.
    void StartRecord();
    const TWritingGoal &WritingGoal() const { return FTally.Goal(); }
    // Sets the goal and keeps it in the writer's own settings.
    void SetWritingGoal(const TWritingGoal &goal);
    // Today's figures: the record's with this session's.
    TDayRecord WrittenToday();
    // Beside the "Your Text" caption while a goal is set; null otherwise.
    QProgressBar *GoalBar() const { return Goal_Bar; }
    // Sends the figures not yet written to the record's worker.
    void WriteRecord();
    // Writes what is left and stops counting, until StartRecord again.
    void EndRecord();
    // Opens the Writing Record window, which fills once the days are read.
    TWritingRecord_Form *OpenWritingRecord();
    TWritingCount *WritingCount() const { return FWritingCount.get(); }
    // Tests: the record in another database file, and a wait for its jobs.
    void SetRecordForTesting(const QString &database);
    void WaitForRecord();

    // --- Commands and event handlers --------------------------------------
    void Save_MenuItemClick();
    void SaveAs_MenuItemClick();
    void Open_MenuItemClick();
    void EarlierVersions_MenuItemClick() { OpenEarlierVersions(); }
    void WritingRecord_MenuItemClick() { OpenWritingRecord(); }
    void WritingGoal_MenuItemClick();
    void Exit_MenuItemClick();
    void InsertCurrentDate_MenuItemClick() { InsertDateStamp(); }
    void Find_MenuItemClick();
    void FindNext_MenuItemClick();
    void FindPrevious_MenuItemClick();
    void Replace_MenuItemClick();
    void NextMisspelling_MenuItemClick();
    void MakeSuggestion_MenuItemClick() { ShowSuggestion(); }
    void NextSuggestion_MenuItemClick() { ShowSuggestion(); }
    void PriorSuggestion_MenuItemClick() { PriorSuggestion(); }
    void FirstSuggestion_MenuItemClick() { FirstSuggestion(); }
    void LastSuggestion_MenuItemClick() { LastSuggestion(); }
    void AlwaysSuggest_MenuItemClick();
    void SuggestionSettings_MenuItemClick();
    void Nudge_MenuItemClick();
    void Sound_MenuItemClick();
    void AutoSave_MenuItemClick();
    void Privacy_MenuItemClick();
    void Settings_MenuItemClick();
    void CheckSpelling_MenuItemClick();
    void About_MenuItemClick();
    void Manual_MenuItemClick();
    void MakeSuggestion_PanelClick() { ShowSuggestion(); }
    void AdjustSuggestionFont_PanelClick();
    void ResetSuggestionFont_PanelClick();
    void AdjustTextFont_PanelClick();
    void ResetTextFont_PanelClick();
    void Text_MemoChange();
    void Nudge_TimerTimer() { FireNudge(); }
    void AutoSave_TimerTimer();
    void Suggestion_TimerTimer();
    void Privacy_TimerTimer() {}
    void Main_StatusBarResize();

Q_SIGNALS:
    // The editor now holds text that is in no file, or no longer does.
    void UnsavedTextChanged(bool unsaved);
    // The start is over: the window has been drawn, and a recovery copy a
    // Nudger left was offered (or there was none).
    void Started();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void ConnectControls();
    void ConnectMenus();
    void FormCreate();
    void InitialiseMainWindow();
    bool FormCloseQuery() { return ConfirmSaveChanges(); }
    void BringToFront();
    // Shows a save-failure message unless the same message is still open.
    void ShowFailureOnce(const QString &text);
    void ApplySettings(const TMainWindowSettings &settings);
    TMainWindowSettings CollectSettings() const;
    void ApplyTextColour(TColor colour);
    void ApplySuggestionColour(TColor colour);
    bool WritePrimaryFile(TOverwrite overwrite = TOverwrite::Never);
    // What the writer is told of a write's outcome; true when the primary
    // file holds the text.
    bool ShowPrimaryResult(TSaveResult result);
    void ShowBackupResult(TSaveResult result);
    // An auto-save tick written on the worker is done.
    void AutoSaveTickDone(const TTextDocument::TTickOutcome &outcome);
    // The editor took the primary file's new version: the bar tells so, and
    // where the earlier text is.
    void ShowReadAgain();
    // The bar tells what the document just put into the history.
    void ShowKept();
    void ShowConflict();
    void SetStatusPath(const QString &path);
    // The checker told of its dictionaries: the menus follow.
    void SpellingChanged();
    void FillLanguageMenu();
    QString WantedLanguage() const;

    // The editor as the document sees it.
    QString Text() const override;
    void Snapshot(std::function<void(const QString &)> done) override;
    void Load(const QString &text) override;
    void Follow(const QString &text) override;
    qsizetype CursorPosition() const override;
    void PlaceCursor(qsizetype position) override;

    TMainFormDialogs FDialogs;
    TConflictBar *Conflict_Bar = nullptr;
    TFindBar *Find_Bar = nullptr;
    // Replace All keeps the text first, as this version.
    bool KeepBeforeReplaceAll();
    QByteArray FReplacedVersion;

    TTextDocument FDocument;
    // Copies of the editor's text taken in steps, for the writes on the
    // worker; made with the editor, gone before the document.
    std::unique_ptr<TTextSnapshot> FTextSnapshot;
    // While true no box is shown: the session is ending.
    bool FQuiet = false;
    // The writer answered the save question for the session's end, and has
    // not typed since: the close that follows asks no more.
    bool FSessionAnswered = false;
    static constexpr int SessionAnswerMs = 60000;
    // Where a damaged history was set aside, once told.
    QString FToldSetAside;
    // The bar tells what goes wrong with the history while it lasts.
    void ShowHistoryNews();
    // The version the notice on show names, which its button opens.
    QByteArray FNoticeVersion;
    // A recovery copy is offered once the window shows, over it: after its
    // first picture, or OfferLatestMs after it shows.
    bool FOfferPending = false;
    bool FOfferAfterPaint = false;
    static constexpr int OfferLatestMs = 1000;
    void OfferOnceShown();
    // The nudge as it was before Earlier Versions opened.
    bool FNudgeBeforeVersions = false;
    // A window made for the Earlier Versions (not yet shown), with the
    // editor's text and the history's rows.
    TEarlierVersions_Form *NewVersionsForm();
    void RememberSessionAnswer();
    bool FNudgeSuppressed = false;
    bool FAutoSaveSuppressed = false;
    // The settings that live in no control: the suggestion sources and
    // order, Always Suggest. (The rest of the record goes unused here: the
    // files are the document's, the others live in the controls.)
    TMainWindowSettings FSettings;
    TSuggestionStore FSuggestions;
    TRandomSource FRandom;
    TColor FSavedTextColour = clBlack;
    TColor FTextColour = clBlack;
    TColor FSuggestionColour = clBlack;
    bool FTerminateRequested = false;
    QSet<QString> FOpenFailureMessages;

    std::unique_ptr<TWavePlayer> FWavePlayer;
    // Made at StartSpelling; the marks go before the checker they ask.
    std::unique_ptr<TSpellChecker> FSpellChecker;
    std::unique_ptr<TSpellMarks> FSpellMarks;
    bool FSpellEnabled = false;
    // The writer chose (or the first answer of the checker chose for them).
    bool FSpellChosen = false;
    // A dictionary was asked for.
    bool FSpellOpened = false;
    // The language the writer chose; empty: the locale's.
    QString FSpellLanguage;
    QStringList FSpellLanguages;
    // The goal and the record: the bar, the count, the session's figures,
    // and the store, which only the record's worker touches.
    void ShowGoalProgress();
    void RecordWritten(bool written, const QList<TDayRecord> &rows, const QString &error);
    void FinishRecord();
    QProgressBar *Goal_Bar = nullptr;
    QTimer *Record_Timer = nullptr;
    std::unique_ptr<TWritingCount> FWritingCount;
    TWritingTally FTally;
    bool FGoalMetTold = false;
    QElapsedTimer FKeystrokeClock;
    bool FRecordFailing = false;
    std::unique_ptr<TWritingRecord> FRecord;
    std::unique_ptr<TWorker> FRecordWorker;
    TFont FDefaultTextFont;
    TFont FTextDialogStartFont;
    TFont FDefaultSuggestionFont;
};
