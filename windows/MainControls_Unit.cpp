#include "windows/MainControls_Unit.h"

#include "storage/MainWindowSettings_Unit.h"
#include "windows/CaptionButton_Unit.h"
#include "windows/TextLayout_Unit.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int CaptionBarHeight = 16;
constexpr int AutoSaveInterval = 30000;

// The platform's sans-serif interface font stands in for "MS Shell Dlg".
QString ShellDialogFamily()
{
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

// A caption bar: the caption at the left, the panel buttons at the right.
QFrame *NewCaptionBar(const QString &name, const QString &labelName, QLabel *&label,
                      const QString &caption, const QList<TCaptionButton *> &buttons)
{
    auto *bar = new QFrame;
    bar->setObjectName(name);
    bar->setFixedHeight(CaptionBarHeight);
    bar->setFrameShape(QFrame::NoFrame);
    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(2, 1, 0, 1);
    layout->setSpacing(0);
    label = new QLabel(caption, bar);
    label->setObjectName(labelName);
    layout->addWidget(label, 1);
    for (TCaptionButton *button : buttons)
        layout->addWidget(button);
    return bar;
}

TCaptionButton *NewCaptionButton(const char *name, const QString &letter,
                                 QPalette::ColorRole colour, const QString &hint)
{
    auto *button = new TCaptionButton(letter, colour, hint);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

QLabel *NewStatusPanel(QStatusBar *bar, const char *name)
{
    auto *panel = new QLabel(bar);
    panel->setObjectName(QString::fromLatin1(name));
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    return panel;
}

QTimer *NewTimer(QObject *owner, const char *name, int interval)
{
    auto *timer = new QTimer(owner);
    timer->setObjectName(QString::fromLatin1(name));
    timer->setInterval(interval);
    return timer;
}

QMenu *NewMenu(QMainWindow *window, const char *name, const QString &caption)
{
    QMenu *menu = window->menuBar()->addMenu(caption);
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
}

} // namespace

void TMainControls::SetupControls(QMainWindow *window)
{
    window->setObjectName(QStringLiteral("Main_Form"));
    window->setWindowTitle(QStringLiteral("Nudger"));
    CreateCaptionButtons();
    CreateSuggestionArea(window);
    CreateStatusBar(window);
    SetTabOrders();
    window->menuBar()->setObjectName(QStringLiteral("Main_MainMenu"));
    CreateFileMenu(window);
    CreateEditMenu(window);
    CreateSuggestionsMenu(window);
    CreateConfigureMenu(window);
    CreateHelpMenu(window);
    CreateTimers(window);
    window->resize(718, 480);
}

void TMainControls::CreateCaptionButtons()
{
    MakeSuggestion_Panel = NewCaptionButton("MakeSuggestion_Panel", QStringLiteral("S"),
                                            QPalette::Mid, QStringLiteral("Make Suggestion"));
    AdjustSuggestionFont_Panel =
        NewCaptionButton("AdjustSuggestionFont_Panel", QStringLiteral("F"),
                         QPalette::HighlightedText, QStringLiteral("Adjust Suggestion Font"));
    ResetSuggestionFont_Panel =
        NewCaptionButton("ResetSuggestionFont_Panel", QStringLiteral("R"), QPalette::Button,
                         QStringLiteral("Reset Suggestion Font"));
    AdjustTextFont_Panel =
        NewCaptionButton("AdjustTextFont_Panel", QStringLiteral("F"), QPalette::HighlightedText,
                         QStringLiteral("Adjust Text Font"));
    ResetTextFont_Panel = NewCaptionButton("ResetTextFont_Panel", QStringLiteral("R"),
                                           QPalette::Button, QStringLiteral("Reset Text Font"));
}

// The suggestion's caption bar and text above the splitter, the writer's
// text below it.
void TMainControls::CreateSuggestionArea(QMainWindow *window)
{
    auto *suggestionPanel = new QWidget(window);
    suggestionPanel->setObjectName(QStringLiteral("Suggestion_Panel"));
    window->setCentralWidget(suggestionPanel);
    auto *outer = new QVBoxLayout(suggestionPanel);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->addWidget(NewCaptionBar(
        QStringLiteral("SuggestionCaption_Panel"), QStringLiteral("Suggestion_Label"),
        Suggestion_Label, QStringLiteral("Nudger Suggestion"),
        {MakeSuggestion_Panel, AdjustSuggestionFont_Panel, ResetSuggestionFont_Panel}));

    Suggestion_Memo = new QPlainTextEdit;
    Suggestion_Memo->setObjectName(QStringLiteral("Suggestion_Memo"));
    Suggestion_Memo->setReadOnly(true);
    Suggestion_Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Suggestion_Memo->setAccessibleName(QStringLiteral("Nudger Suggestion"));
    Suggestion_Memo->setAccessibleDescription(QStringLiteral("The current writing suggestion"));
    Suggestion_Memo->setTextInteractionFlags(Qt::TextSelectableByKeyboard |
                                             Qt::TextSelectableByMouse);
    QFont suggestionFont(ShellDialogFamily());
    suggestionFont.setPointSize(14);
    suggestionFont.setBold(true);
    Suggestion_Memo->setFont(suggestionFont);

    Splitter1 = new QSplitter(Qt::Vertical);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(8);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->addWidget(Suggestion_Memo);
    Splitter1->addWidget(CreateTextArea());
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({79, 360});
    outer->addWidget(Splitter1, 1);
    Suggestion_Label->setBuddy(Suggestion_Memo);
}

// The "Your Text" caption bar above the writer's editor.
QWidget *TMainControls::CreateTextArea()
{
    auto *textPart = new QWidget;
    textPart->setObjectName(QStringLiteral("TextPart"));
    auto *textLayout = new QVBoxLayout(textPart);
    textLayout->setContentsMargins(0, 0, 0, 0);
    textLayout->setSpacing(0);
    textLayout->addWidget(NewCaptionBar(
        QStringLiteral("YourTextCaption_Panel"), QStringLiteral("YourText_Label"), YourText_Label,
        QStringLiteral("Your Text"), {AdjustTextFont_Panel, ResetTextFont_Panel}));
    auto *textPanel = new QWidget;
    textPanel->setObjectName(QStringLiteral("Text_Panel"));
    auto *textPanelLayout = new QVBoxLayout(textPanel);
    textPanelLayout->setContentsMargins(0, 0, 0, 0);
    Text_Memo = new TTextEditor;
    Text_Memo->document()->setDocumentLayout(new TTextDocumentLayout(Text_Memo->document()));
    Text_Memo->setObjectName(QStringLiteral("Text_Memo"));
    Text_Memo->setAccessibleName(QStringLiteral("Your Text"));
    Text_Memo->setAccessibleDescription(QStringLiteral("The text you are writing"));
    Text_Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Text_Memo->setTabChangesFocus(false);
    textPanelLayout->addWidget(Text_Memo);
    textLayout->addWidget(textPanel, 1);
    YourText_Label->setBuddy(Text_Memo);
    return textPart;
}

void TMainControls::CreateStatusBar(QMainWindow *window)
{
    Main_StatusBar = new QStatusBar;
    Main_StatusBar->setObjectName(QStringLiteral("Main_StatusBar"));
    Main_StatusBar->setSizeGripEnabled(false);
    Main_StatusBar->setFixedHeight(19);
    StatusPanel0 = NewStatusPanel(Main_StatusBar, "StatusPanel0");
    StatusPanel0->setAccessibleName(QStringLiteral("Primary file"));
    StatusPanel1 = NewStatusPanel(Main_StatusBar, "StatusPanel1");
    window->setStatusBar(Main_StatusBar);
}

void TMainControls::SetTabOrders()
{
    QWidget::setTabOrder(Text_Memo, Suggestion_Memo);
    QWidget::setTabOrder(Suggestion_Memo, MakeSuggestion_Panel);
    QWidget::setTabOrder(MakeSuggestion_Panel, AdjustSuggestionFont_Panel);
    QWidget::setTabOrder(AdjustSuggestionFont_Panel, ResetSuggestionFont_Panel);
    QWidget::setTabOrder(ResetSuggestionFont_Panel, AdjustTextFont_Panel);
    QWidget::setTabOrder(AdjustTextFont_Panel, ResetTextFont_Panel);
    Text_Memo->setFocus();
}

QAction *TMainControls::AddMenuItem(QMenu *menu, const char *name, const QString &caption,
                                    bool checkable, bool checked)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    action->setCheckable(checkable);
    action->setChecked(checked);
    return action;
}

void TMainControls::CreateFileMenu(QMainWindow *window)
{
    QMenu *file = NewMenu(window, "File_MenuItem", QStringLiteral("&File"));
    Save_MenuItem = AddMenuItem(file, "Save_MenuItem", QStringLiteral("&Save"));
    SaveAs_MenuItem = AddMenuItem(file, "SaveAs_MenuItem", QStringLiteral("Save &As"));
    Open_MenuItem = AddMenuItem(file, "Open_MenuItem", QStringLiteral("&Open"));
    EarlierVersions_MenuItem =
        AddMenuItem(file, "EarlierVersions_MenuItem", QStringLiteral("&Earlier Versions..."));
    WritingRecord_MenuItem =
        AddMenuItem(file, "WritingRecord_MenuItem", QStringLiteral("Writing &Record..."));
    file->addSeparator();
    Exit_MenuItem = AddMenuItem(file, "Exit_MenuItem", QStringLiteral("E&xit"));
}

void TMainControls::CreateEditMenu(QMainWindow *window)
{
    QMenu *edit = NewMenu(window, "Edit_MenuItem", QStringLiteral("&Edit"));
    InsertCurrentDate_MenuItem =
        AddMenuItem(edit, "InsertCurrentDate_MenuItem", QStringLiteral("Insert Current &Date"));
    InsertCurrentDate_MenuItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    edit->addSeparator();
    Find_MenuItem = AddMenuItem(edit, "Find_MenuItem", QStringLiteral("&Find..."));
    Find_MenuItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    FindNext_MenuItem = AddMenuItem(edit, "FindNext_MenuItem", QStringLiteral("Find &Next"));
    FindNext_MenuItem->setShortcut(QKeySequence(Qt::Key_F3));
    FindPrevious_MenuItem =
        AddMenuItem(edit, "FindPrevious_MenuItem", QStringLiteral("Find &Previous"));
    FindPrevious_MenuItem->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));
    Replace_MenuItem = AddMenuItem(edit, "Replace_MenuItem", QStringLiteral("&Replace..."));
    Replace_MenuItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    edit->addSeparator();
    NextMisspelling_MenuItem =
        AddMenuItem(edit, "NextMisspelling_MenuItem", QStringLiteral("Next &Misspelling"));
    NextMisspelling_MenuItem->setShortcut(QKeySequence(Qt::Key_F7));
    NextMisspelling_MenuItem->setEnabled(false);
}

void TMainControls::CreateSuggestionsMenu(QMainWindow *window)
{
    QMenu *suggestions = NewMenu(window, "Suggestions_MenuItem", QStringLiteral("&Suggestions"));
    MakeSuggestion_MenuItem =
        AddMenuItem(suggestions, "MakeSuggestion_MenuItem", QStringLiteral("Make &Suggestion"));
    MakeSuggestion_MenuItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    PriorSuggestion_MenuItem =
        AddMenuItem(suggestions, "PriorSuggestion_MenuItem", QStringLiteral("&Prior Suggestion"));
    FirstSuggestion_MenuItem =
        AddMenuItem(suggestions, "FirstSuggestion_MenuItem", QStringLiteral("&First Suggestion"));
    LastSuggestion_MenuItem =
        AddMenuItem(suggestions, "LastSuggestion_MenuItem", QStringLiteral("&Last Suggestion"));
    AlwaysSuggest_MenuItem =
        AddMenuItem(suggestions, "AlwaysSuggest_MenuItem", QStringLiteral("&Always Suggest"), true);
    SuggestionSettings_MenuItem = AddMenuItem(suggestions, "SuggestionSettings_MenuItem",
                                              QStringLiteral("Suggestion S&ettings..."));
}

void TMainControls::CreateConfigureMenu(QMainWindow *window)
{
    QMenu *configure = NewMenu(window, "Configure_MenuItem", QStringLiteral("&Configure"));
    Nudge_MenuItem = AddMenuItem(configure, "Nudge_MenuItem", QStringLiteral("&Nudge"), true, true);
    Sound_MenuItem = AddMenuItem(configure, "Sound_MenuItem", QStringLiteral("S&ound"), true, true);
    AutoSave_MenuItem =
        AddMenuItem(configure, "AutoSave_MenuItem", QStringLiteral("&Auto-Save"), true, true);
    Privacy_MenuItem = AddMenuItem(configure, "Privacy_MenuItem", QStringLiteral("&Privacy"), true);
    Privacy_MenuItem->setEnabled(false);
    Privacy_MenuItem->setVisible(false);
    Settings_MenuItem = AddMenuItem(configure, "Settings_MenuItem", QStringLiteral("S&ettings..."));
    // Greyed until the dictionaries are known, once the window shows.
    CheckSpelling_MenuItem =
        AddMenuItem(configure, "CheckSpelling_MenuItem", QStringLiteral("Check &Spelling"), true);
    CheckSpelling_MenuItem->setEnabled(false);
    SpellingLanguage_MenuItem = configure->addMenu(QStringLiteral("Spelling &Language"));
    SpellingLanguage_MenuItem->setObjectName(QStringLiteral("SpellingLanguage_MenuItem"));
    SpellingLanguage_MenuItem->setEnabled(false);
    WritingGoal_MenuItem =
        AddMenuItem(configure, "WritingGoal_MenuItem", QStringLiteral("Writing &Goal..."));
    configure->setToolTipsVisible(true);
}

void TMainControls::CreateHelpMenu(QMainWindow *window)
{
    QMenu *help = NewMenu(window, "Help_MenuItem", QStringLiteral("&Help"));
    About_MenuItem = AddMenuItem(help, "About_MenuItem", QStringLiteral("&About"));
    Manual_MenuItem = AddMenuItem(help, "Manual_MenuItem", QStringLiteral("&Manual"));
}

void TMainControls::CreateTimers(QMainWindow *window)
{
    Nudge_Timer = NewTimer(window, "Nudge_Timer", TMainWindowSettings::DefaultInterval);
    // A coarse timer may fire up to 5% of the interval early or late (250 ms
    // at 5 s); a nudge comes on time.
    Nudge_Timer->setTimerType(Qt::PreciseTimer);
    AutoSave_Timer = NewTimer(window, "AutoSave_Timer", AutoSaveInterval);
    AutoSave_Timer->start();
    Suggestion_Timer = NewTimer(window, "Suggestion_Timer", 5000);
    Privacy_Timer = NewTimer(window, "Privacy_Timer", 1000);
}

void EnableTimer(QTimer *timer, bool enabled)
{
    if (enabled && timer->interval() > 0) {
        if (!timer->isActive())
            timer->start();
    } else {
        timer->stop();
    }
}
