// The main window's controls, menus and timers, built the way the classes
// Qt Designer generates build a form: the window inherits the pointers, and
// its own code wires them to its handlers.
#pragma once

class QAction;
class QLabel;
class QMainWindow;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QStatusBar;
class QString;
class QTimer;
class QWidget;
class TCaptionButton;

struct TMainControls
{
    // Builds everything into window as designed: names, captions, fonts and
    // sizes, the menus with their check marks and shortcuts, the timers with
    // their intervals (only AutoSave_Timer running), the tab order and the
    // focus. Connects nothing.
    void SetupControls(QMainWindow *window);

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
    QAction *EarlierVersions_MenuItem = nullptr;
    QAction *WritingRecord_MenuItem = nullptr;
    QAction *Exit_MenuItem = nullptr;
    QAction *InsertCurrentDate_MenuItem = nullptr;
    QAction *Find_MenuItem = nullptr;
    QAction *FindNext_MenuItem = nullptr;
    QAction *FindPrevious_MenuItem = nullptr;
    QAction *Replace_MenuItem = nullptr;
    QAction *NextMisspelling_MenuItem = nullptr;
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
    QAction *CheckSpelling_MenuItem = nullptr;
    // The installed dictionaries, one checkable item each, filled once
    // they are known.
    QMenu *SpellingLanguage_MenuItem = nullptr;
    QAction *WritingGoal_MenuItem = nullptr;
    QAction *About_MenuItem = nullptr;
    QAction *Manual_MenuItem = nullptr;

private:
    void CreateCaptionButtons();
    void CreateSuggestionArea(QMainWindow *window);
    QWidget *CreateTextArea();
    void CreateStatusBar(QMainWindow *window);
    void SetTabOrders();
    static QAction *AddMenuItem(QMenu *menu, const char *name, const QString &caption,
                                bool checkable = false, bool checked = false);
    void CreateFileMenu(QMainWindow *window);
    void CreateEditMenu(QMainWindow *window);
    void CreateSuggestionsMenu(QMainWindow *window);
    void CreateConfigureMenu(QMainWindow *window);
    void CreateHelpMenu(QMainWindow *window);
    void CreateTimers(QMainWindow *window);
};

// Enables or disables a timer. Enabling a running timer leaves its countdown
// alone, and a timer with no interval never runs (it would fire on every
// pass of the event loop).
void EnableTimer(QTimer *timer, bool enabled);
