#include "windows/Main_Unit.h"

#include "app/PlatformDependence_Unit.h"
#include "sound/WavePlay.h"
#include "storage/ConfigurationFile_Unit.h"
#include "storage/ReservedFileGuard_Unit.h"
#include "storage/TovrinDataEncode_Unit.h"
#include "windows/About_Unit.h"
#include "windows/AreaColours_Unit.h"
#include "windows/CaptionButton_Unit.h"
#include "windows/ManualReader_Unit.h"
#include "windows/Prompts_Unit.h"
#include "windows/Settings_Unit.h"
#include "windows/Splash_Unit.h"
#include "windows/SuggestionSettings_Unit.h"
#include "windows/TextLayout_Unit.h"
#include "windows/WindowPlacement_Unit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>
#include <QVarLengthArray>

#include <stdexcept>

namespace {

const QString CaptionText = QStringLiteral("Nudger");
constexpr int StatusPanel1Width = 75;
constexpr int CaptionBarHeight = 16;
constexpr int AutoSaveInterval = 30000;
constexpr int DefaultInterval = 10000;

// The value names of the stored settings.
namespace Key {
const QString Interval = QStringLiteral("Interval");
const QString SoundEnabled = QStringLiteral("SoundEnabled");
const QString AutoSaveEnabled = QStringLiteral("AutoSaveEnabled");
const QString TextFont = QStringLiteral("TextFont");
const QString SuggestionFont = QStringLiteral("SuggestionFont");
const QString PrimaryFile = QStringLiteral("PrimaryFile");
const QString BackupFile = QStringLiteral("BackupFile");
const QString NudgeEnabled = QStringLiteral("NudgeEnabled");
const QString AlwaysSuggest = QStringLiteral("AlwaysSuggest");
const QString UseTovrinSuggestions = QStringLiteral("UseTovrinSuggestions");
const QString UseUserSuggestionsFile = QStringLiteral("UseUserSuggestionsFile");
const QString RandomizeSuggestions = QStringLiteral("RandomizeSuggestions");
const QString UserSuggestionsFile = QStringLiteral("UserSuggestionsFile");
const QString SuggestionNumber = QStringLiteral("SuggestionNumber");
const QString Privacy = QStringLiteral("Privacy");
} // namespace Key

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
const QString CannotLoadTovrin = QStringLiteral("I can not load my suggestions file!");
const QString NoUserFile =
    QStringLiteral("No user suggestions file selected.  Use suggestions will not be loaded.");
const QString UserFileNotFound = QStringLiteral("The user suggestion file can not be found.");
const QString CannotLoadUserFile =
    QStringLiteral("I can not load your user suggestions file!  Please verify that it is correct.");
} // namespace Message

void ShowMessage(const QString &text)
{
    Prompts().ShowMessage(text);
}

bool IsUsable(const QString &fileName)
{
    return IsUsableFile(fileName, [](const QString &text) { ShowMessage(text); });
}

// An existing file; a folder of that name does not count.
bool FileExists(const QString &fileName)
{
    if (fileName.isEmpty())
        return false;
    const QFileInfo info(fileName);
    return info.exists() && !info.isDir();
}

// The platform's sans-serif interface font stands in for "MS Shell Dlg".
QString ShellDialogFamily()
{
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

// Reads a whole file; false when it cannot be read.
bool ReadWholeFile(const QString &fileName, QByteArray &bytes)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bytes = file.readAll();
    return file.error() == QFileDevice::NoError;
}

// True when the bytes are valid UTF-8 (callers drop a leading byte-order
// mark first). Decodes in pieces of about 64 KB, each cut just before an
// ASCII byte (never inside a sequence), so a large file costs no full-size
// copies.
bool IsPlainUtf8(const QByteArray &bytes)
{
    constexpr qsizetype PieceSize = 64 * 1024;
    const qsizetype size = bytes.size();
    QVarLengthArray<QChar, 1> buffer;
    for (qsizetype start = 0; start < size;) {
        qsizetype end = qMin(size, start + PieceSize);
        while (end < size && static_cast<uchar>(bytes.at(end)) >= 0x80)
            ++end;
        const QByteArrayView piece(bytes.constData() + start, end - start);
        // Stateless: a sequence cut off at the piece's end is an error, as
        // it is in the whole text, because an ASCII byte or the end follows.
        QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        buffer.resize(decoder.requiredSpace(piece.size()));
        decoder.appendToBuffer(buffer.data(), piece);
        if (decoder.hasError())
            return false;
        start = end;
    }
    return true;
}

QString DecodeLine(const QByteArray &line)
{
    return QString::fromUtf8(line);
}

// The time separator of the user's locale, taken from its time format.
QString LocaleTimeSeparator()
{
    const QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    const qsizetype hour = format.indexOf(QLatin1Char('h'), 0, Qt::CaseInsensitive);
    if (hour >= 0) {
        qsizetype i = hour;
        while (i < format.size() && format.at(i).toLower() == QLatin1Char('h'))
            ++i;
        if (i < format.size() && !format.at(i).isLetterOrNumber() &&
            format.at(i) != QLatin1Char(' '))
            return format.at(i);
    }
    return QStringLiteral(":");
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
    setObjectName(QStringLiteral("Main_Form"));
    setWindowTitle(CaptionText);
    CreateControls();
    CreateMenus();
    CreateTimers();
    resize(718, 480);
    CentreOnScreen(this);
    FormCreate();
}

TMain_Form::~TMain_Form()
{
    // The owned objects go in this order; nothing is saved here.
    FDefaultTextFont.reset();
    FTextDialogStartFont.reset();
    FDefaultSuggestionFont.reset();
    FSuggestionList.clear();
    FWavePlayer.reset();
}

void TMain_Form::CreateControls()
{
    auto *suggestionPanel = new QWidget(this);
    suggestionPanel->setObjectName(QStringLiteral("Suggestion_Panel"));
    setCentralWidget(suggestionPanel);
    auto *outer = new QVBoxLayout(suggestionPanel);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    const auto captionBar = [](const QString &name, QLabel *&label, const QString &caption,
                               const QList<TCaptionButton *> &buttons) {
        auto *bar = new QFrame;
        bar->setObjectName(name);
        bar->setFixedHeight(CaptionBarHeight);
        bar->setFrameShape(QFrame::NoFrame);
        auto *layout = new QHBoxLayout(bar);
        layout->setContentsMargins(2, 1, 0, 1);
        layout->setSpacing(0);
        label = new QLabel(caption, bar);
        label->setObjectName(name == QLatin1String("SuggestionCaption_Panel")
                                 ? QStringLiteral("Suggestion_Label")
                                 : QStringLiteral("YourText_Label"));
        layout->addWidget(label, 1);
        for (TCaptionButton *button : buttons)
            layout->addWidget(button);
        return bar;
    };

    MakeSuggestion_Panel =
        new TCaptionButton(QStringLiteral("S"), QPalette::Mid, QStringLiteral("Make Suggestion"));
    MakeSuggestion_Panel->setObjectName(QStringLiteral("MakeSuggestion_Panel"));
    AdjustSuggestionFont_Panel = new TCaptionButton(QStringLiteral("F"), QPalette::HighlightedText,
                                                    QStringLiteral("Adjust Suggestion Font"));
    AdjustSuggestionFont_Panel->setObjectName(QStringLiteral("AdjustSuggestionFont_Panel"));
    ResetSuggestionFont_Panel = new TCaptionButton(QStringLiteral("R"), QPalette::Button,
                                                   QStringLiteral("Reset Suggestion Font"));
    ResetSuggestionFont_Panel->setObjectName(QStringLiteral("ResetSuggestionFont_Panel"));
    AdjustTextFont_Panel = new TCaptionButton(QStringLiteral("F"), QPalette::HighlightedText,
                                              QStringLiteral("Adjust Text Font"));
    AdjustTextFont_Panel->setObjectName(QStringLiteral("AdjustTextFont_Panel"));
    ResetTextFont_Panel = new TCaptionButton(QStringLiteral("R"), QPalette::Button,
                                             QStringLiteral("Reset Text Font"));
    ResetTextFont_Panel->setObjectName(QStringLiteral("ResetTextFont_Panel"));

    QFrame *suggestionCaption =
        captionBar(QStringLiteral("SuggestionCaption_Panel"), Suggestion_Label,
                   QStringLiteral("Nudger Suggestion"),
                   {MakeSuggestion_Panel, AdjustSuggestionFont_Panel, ResetSuggestionFont_Panel});
    outer->addWidget(suggestionCaption);

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
    ApplySuggestionColour(clBlack);

    auto *textPart = new QWidget;
    textPart->setObjectName(QStringLiteral("TextPart"));
    auto *textLayout = new QVBoxLayout(textPart);
    textLayout->setContentsMargins(0, 0, 0, 0);
    textLayout->setSpacing(0);
    textLayout->addWidget(captionBar(QStringLiteral("YourTextCaption_Panel"), YourText_Label,
                                     QStringLiteral("Your Text"),
                                     {AdjustTextFont_Panel, ResetTextFont_Panel}));
    auto *textPanel = new QWidget;
    textPanel->setObjectName(QStringLiteral("Text_Panel"));
    auto *textPanelLayout = new QVBoxLayout(textPanel);
    textPanelLayout->setContentsMargins(0, 0, 0, 0);
    Text_Memo = new QPlainTextEdit;
    Text_Memo->document()->setDocumentLayout(new TTextDocumentLayout(Text_Memo->document()));
    Text_Memo->setObjectName(QStringLiteral("Text_Memo"));
    Text_Memo->setAccessibleName(QStringLiteral("Your Text"));
    Text_Memo->setAccessibleDescription(QStringLiteral("The text you are writing"));
    Text_Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Text_Memo->setTabChangesFocus(false);
    ApplyTextColour(clBlack);
    textPanelLayout->addWidget(Text_Memo);
    textLayout->addWidget(textPanel, 1);

    Splitter1 = new QSplitter(Qt::Vertical);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(8);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->addWidget(Suggestion_Memo);
    Splitter1->addWidget(textPart);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({79, 360});
    outer->addWidget(Splitter1, 1);

    Suggestion_Label->setBuddy(Suggestion_Memo);
    YourText_Label->setBuddy(Text_Memo);

    Main_StatusBar = new QStatusBar;
    Main_StatusBar->setObjectName(QStringLiteral("Main_StatusBar"));
    Main_StatusBar->setSizeGripEnabled(false);
    Main_StatusBar->setFixedHeight(19);
    StatusPanel0 = new QLabel(Main_StatusBar);
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setAccessibleName(QStringLiteral("Primary file"));
    StatusPanel0->setFrameShape(QFrame::Panel);
    StatusPanel0->setFrameShadow(QFrame::Sunken);
    StatusPanel1 = new QLabel(Main_StatusBar);
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    StatusPanel1->setFrameShape(QFrame::Panel);
    StatusPanel1->setFrameShadow(QFrame::Sunken);
    setStatusBar(Main_StatusBar);
    Main_StatusBar->installEventFilter(this);
    Text_Memo->installEventFilter(this);

    connect(Text_Memo, &QPlainTextEdit::textChanged, this, &TMain_Form::Text_MemoChange);
    // Any change to the document, whatever makes it, outdates the encoded text.
    connect(Text_Memo->document(), &QTextDocument::contentsChange, this, [this] {
        FTextFileBytesValid = false;
        FTextFileBytes = QByteArray();
    });
    connect(MakeSuggestion_Panel, &QAbstractButton::clicked, this,
            &TMain_Form::MakeSuggestion_PanelClick);
    connect(AdjustSuggestionFont_Panel, &QAbstractButton::clicked, this,
            &TMain_Form::AdjustSuggestionFont_PanelClick);
    connect(ResetSuggestionFont_Panel, &QAbstractButton::clicked, this,
            &TMain_Form::ResetSuggestionFont_PanelClick);
    connect(AdjustTextFont_Panel, &QAbstractButton::clicked, this,
            &TMain_Form::AdjustTextFont_PanelClick);
    connect(ResetTextFont_Panel, &QAbstractButton::clicked, this,
            &TMain_Form::ResetTextFont_PanelClick);

    setTabOrder(Text_Memo, Suggestion_Memo);
    setTabOrder(Suggestion_Memo, MakeSuggestion_Panel);
    setTabOrder(MakeSuggestion_Panel, AdjustSuggestionFont_Panel);
    setTabOrder(AdjustSuggestionFont_Panel, ResetSuggestionFont_Panel);
    setTabOrder(ResetSuggestionFont_Panel, AdjustTextFont_Panel);
    setTabOrder(AdjustTextFont_Panel, ResetTextFont_Panel);
    Text_Memo->setFocus();
}

void TMain_Form::CreateMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("Main_MainMenu"));
    const auto item = [this](QMenu *menu, const char *name, const QString &caption,
                             void (TMain_Form::*handler)(), bool checkable = false) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        action->setCheckable(checkable);
        connect(action, &QAction::triggered, this, [this, action, handler] {
            // A checkable action has already flipped its own check mark; the
            // handler sets it through its setting, from the state before.
            if (action->isCheckable())
                action->setChecked(!action->isChecked());
            (this->*handler)();
        });
        return action;
    };

    QMenu *file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File_MenuItem"));
    Save_MenuItem =
        item(file, "Save_MenuItem", QStringLiteral("&Save"), &TMain_Form::Save_MenuItemClick);
    SaveAs_MenuItem = item(file, "SaveAs_MenuItem", QStringLiteral("Save &As"),
                           &TMain_Form::SaveAs_MenuItemClick);
    Open_MenuItem =
        item(file, "Open_MenuItem", QStringLiteral("&Open"), &TMain_Form::Open_MenuItemClick);
    file->addSeparator();
    Exit_MenuItem =
        item(file, "Exit_MenuItem", QStringLiteral("E&xit"), &TMain_Form::Exit_MenuItemClick);

    QMenu *edit = bar->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("Edit_MenuItem"));
    InsertCurrentDate_MenuItem =
        item(edit, "InsertCurrentDate_MenuItem", QStringLiteral("Insert Current &Date"),
             &TMain_Form::InsertCurrentDate_MenuItemClick);
    InsertCurrentDate_MenuItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));

    QMenu *suggestions = bar->addMenu(QStringLiteral("&Suggestions"));
    suggestions->setObjectName(QStringLiteral("Suggestions_MenuItem"));
    MakeSuggestion_MenuItem =
        item(suggestions, "MakeSuggestion_MenuItem", QStringLiteral("Make &Suggestion"),
             &TMain_Form::MakeSuggestion_MenuItemClick);
    MakeSuggestion_MenuItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    PriorSuggestion_MenuItem =
        item(suggestions, "PriorSuggestion_MenuItem", QStringLiteral("&Prior Suggestion"),
             &TMain_Form::PriorSuggestion_MenuItemClick);
    FirstSuggestion_MenuItem =
        item(suggestions, "FirstSuggestion_MenuItem", QStringLiteral("&First Suggestion"),
             &TMain_Form::FirstSuggestion_MenuItemClick);
    LastSuggestion_MenuItem =
        item(suggestions, "LastSuggestion_MenuItem", QStringLiteral("&Last Suggestion"),
             &TMain_Form::LastSuggestion_MenuItemClick);
    AlwaysSuggest_MenuItem =
        item(suggestions, "AlwaysSuggest_MenuItem", QStringLiteral("&Always Suggest"),
             &TMain_Form::AlwaysSuggest_MenuItemClick, true);
    SuggestionSettings_MenuItem =
        item(suggestions, "SuggestionSettings_MenuItem", QStringLiteral("Suggestion S&ettings..."),
             &TMain_Form::SuggestionSettings_MenuItemClick);

    QMenu *configure = bar->addMenu(QStringLiteral("&Configure"));
    configure->setObjectName(QStringLiteral("Configure_MenuItem"));
    Nudge_MenuItem = item(configure, "Nudge_MenuItem", QStringLiteral("&Nudge"),
                          &TMain_Form::Nudge_MenuItemClick, true);
    Nudge_MenuItem->setChecked(true);
    Sound_MenuItem = item(configure, "Sound_MenuItem", QStringLiteral("S&ound"),
                          &TMain_Form::Sound_MenuItemClick, true);
    Sound_MenuItem->setChecked(true);
    AutoSave_MenuItem = item(configure, "AutoSave_MenuItem", QStringLiteral("&Auto-Save"),
                             &TMain_Form::AutoSave_MenuItemClick, true);
    AutoSave_MenuItem->setChecked(true);
    Privacy_MenuItem = item(configure, "Privacy_MenuItem", QStringLiteral("&Privacy"),
                            &TMain_Form::Privacy_MenuItemClick, true);
    Privacy_MenuItem->setEnabled(false);
    Privacy_MenuItem->setVisible(false);
    Settings_MenuItem = item(configure, "Settings_MenuItem", QStringLiteral("S&ettings..."),
                             &TMain_Form::Settings_MenuItemClick);

    QMenu *help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help_MenuItem"));
    About_MenuItem =
        item(help, "About_MenuItem", QStringLiteral("&About"), &TMain_Form::About_MenuItemClick);
    Manual_MenuItem =
        item(help, "Manual_MenuItem", QStringLiteral("&Manual"), &TMain_Form::Manual_MenuItemClick);
}

void TMain_Form::CreateTimers()
{
    const auto timer = [this](const char *name, int interval, bool active,
                              void (TMain_Form::*handler)()) {
        auto *t = new QTimer(this);
        t->setObjectName(QString::fromLatin1(name));
        t->setInterval(interval);
        connect(t, &QTimer::timeout, this, [this, handler] { (this->*handler)(); });
        if (active)
            t->start();
        return t;
    };
    Nudge_Timer = timer("Nudge_Timer", DefaultInterval, false, &TMain_Form::Nudge_TimerTimer);
    AutoSave_Timer =
        timer("AutoSave_Timer", AutoSaveInterval, true, &TMain_Form::AutoSave_TimerTimer);
    Suggestion_Timer = timer("Suggestion_Timer", 5000, false, &TMain_Form::Suggestion_TimerTimer);
    Privacy_Timer = timer("Privacy_Timer", 1000, false, &TMain_Form::Privacy_TimerTimer);
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

    FDefaultTextFont = std::make_unique<TFont>(TextFont());
    FTextDialogStartFont = std::make_unique<TFont>(TextFont());
    RememberTextColour();
    FDefaultSuggestionFont = std::make_unique<TFont>(SuggestionFont());

    FSuggestionList.clear();
    FSuggestionCount = 0;

    LoadConfiguration();
    LoadSuggestions();
    OpenAtStart();

    EnableTimer(Nudge_Timer, NudgeEnabled());

    FTextChanged = false;
    FNudgeSuppressed = false;
    FAutoSaveSuppressed = false;
    FSuggestionNumber = 0;
}

bool TMain_Form::FormCloseQuery()
{
    return ConfirmSaveChanges();
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

void TMain_Form::Exit_MenuItemClick()
{
    close();
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
    try {
        // "Interval": anything unreadable or refused falls back to the default.
        if (configuration.ValueExists(Key::Interval)) {
            bool ok = false;
            const int interval = configuration.ReadValue(Key::Interval).trimmed().toInt(&ok);
            try {
                SetInterval(ok ? interval : 0);
            } catch (const std::range_error &) {
                SetInterval(0);
            }
            if (Interval() == 0)
                SetInterval(DefaultInterval);
        } else {
            SetInterval(DefaultInterval);
        }

        const auto readBool = [&configuration](const QString &name, bool fallback) {
            return configuration.ValueExists(name) ? TextToBool(configuration.ReadValue(name))
                                                   : fallback;
        };
        SetSoundEnabled(readBool(Key::SoundEnabled, true));
        SetAutoSaveEnabled(readBool(Key::AutoSaveEnabled, true));

        if (configuration.ValueExists(Key::TextFont)) {
            TFont font = TextFont();
            try {
                TextToFont(configuration.ReadValue(Key::TextFont), font);
            } catch (...) {
                SetTextFont(font); // what was read before the fault stays applied
                throw;
            }
            SetTextFont(font);
        }
        RememberTextColour();

        if (configuration.ValueExists(Key::SuggestionFont)) {
            TFont font = SuggestionFont();
            try {
                TextToFont(configuration.ReadValue(Key::SuggestionFont), font);
            } catch (...) {
                SetSuggestionFont(font);
                throw;
            }
            SetSuggestionFont(font);
        }

        SetPrimaryFile(configuration.ReadValue(Key::PrimaryFile));
        if (!IsUsable(FPrimaryFile))
            SetPrimaryFile(QString());
        SetBackupFile(configuration.ReadValue(Key::BackupFile));
        if (!IsUsable(FBackupFile))
            SetBackupFile(QString());

        SetNudgeEnabled(readBool(Key::NudgeEnabled, true));
        SetAlwaysSuggest(readBool(Key::AlwaysSuggest, false));
        SetUseTovrinSuggestions(readBool(Key::UseTovrinSuggestions, true));
        SetUseUserSuggestionsFile(readBool(Key::UseUserSuggestionsFile, false));
        SetRandomizeSuggestions(readBool(Key::RandomizeSuggestions, true));
        SetUserSuggestionsFile(configuration.ReadValue(Key::UserSuggestionsFile));
        bool ok = false;
        const int number = configuration.ReadValue(Key::SuggestionNumber).trimmed().toInt(&ok);
        SetSuggestionNumber(ok ? number : 0);
        SetPrivacy(readBool(Key::Privacy, false));
    } catch (const std::exception &) {
        ShowMessage(Message::ConfigurationLoad);
    }
}

void TMain_Form::SaveConfiguration()
{
    bool saved = false;
    try {
        TConfigurationFile configuration;
        configuration.Load();
        configuration.WriteValue(Key::Interval, QString::number(Interval()));
        configuration.WriteValue(Key::SoundEnabled, BoolToText(SoundEnabled()));
        configuration.WriteValue(Key::NudgeEnabled, BoolToText(NudgeEnabled()));
        configuration.WriteValue(Key::AutoSaveEnabled, BoolToText(AutoSaveEnabled()));
        configuration.WriteValue(Key::PrimaryFile, FPrimaryFile);
        configuration.WriteValue(Key::BackupFile, FBackupFile);
        configuration.WriteValue(Key::TextFont, FontToText(TextFont()));
        configuration.WriteValue(Key::SuggestionFont, FontToText(SuggestionFont()));
        configuration.WriteValue(Key::AlwaysSuggest, BoolToText(FAlwaysSuggest));
        configuration.WriteValue(Key::UseTovrinSuggestions, BoolToText(FUseTovrinSuggestions));
        configuration.WriteValue(Key::UseUserSuggestionsFile, BoolToText(FUseUserSuggestionsFile));
        configuration.WriteValue(Key::RandomizeSuggestions, BoolToText(FRandomizeSuggestions));
        configuration.WriteValue(Key::UserSuggestionsFile, FUserSuggestionsFile);
        configuration.WriteValue(Key::SuggestionNumber, QString::number(FSuggestionNumber));
        configuration.WriteValue(Key::Privacy, BoolToText(Privacy()));
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
        // toPlainText() would also turn non-breaking spaces into spaces; only
        // the block separators are wanted as line breaks.
        QString text = Text_Memo->document()->toRawText();
        text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
        FTextFileBytes = EncodeTextFile(text, FPrimaryEncoding);
        FTextFileBytesEncoding = FPrimaryEncoding;
        FTextFileBytesValid = true;
    }
    return FTextFileBytes;
}

bool TMain_Form::WritePrimaryFile()
{
    if (!WriteTextFileBytes(FPrimaryFile, TextFileBytes())) {
        ShowFailureOnce(Message::CannotSaveText);
        return false;
    }
    FTextChanged = false;
    FPrimaryUnread = false;
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
    if (FBackupFile.isEmpty())
        return;
    if (!WriteTextFileBytes(FBackupFile, TextFileBytes()))
        ShowFailureOnce(Message::CannotSaveBackup);
}

bool TMain_Form::SavePrimaryFileAs()
{
    TFileChooserOptions options;
    options.Title = QStringLiteral("Save As");
    options.FileName = FPrimaryFile;
    options.Filter = QStringLiteral("Text files (*.txt);;All files (*)");
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
    options.FileName = FPrimaryFile;
    options.Filter = QStringLiteral("Text files (*.txt);;All files (*)");
    if (!Prompts().ChooseOpenFile(options))
        return;
    if (options.FileName.isEmpty()) {
        ShowMessage(Message::CannotOpenSelected);
        return;
    }
    Text_Memo->clear();
    SetPrimaryFile(options.FileName);
    OpenPrimaryFile();
    ShowMessage(Message::PrimaryFileSet + FPrimaryFile);
}

void TMain_Form::OpenPrimaryFile()
{
    if (!FileExists(FPrimaryFile)) {
        FPrimaryUnread = false;
        return;
    }
    TTextFileContent content;
    if (!ReadTextFile(FPrimaryFile, content)) {
        // Keep the editor as it is, and keep the timer from writing text over
        // a file it never read.
        FPrimaryUnread = true;
        ShowMessage(Message::CannotOpenPrimary);
        return;
    }
    FPrimaryEncoding = content.Encoding;
    FPrimaryUnread = false;
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
            if (!IsUsable(FPrimaryFile))
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
    const bool nudgeSuppressed = FNudgeSuppressed;
    const bool autoSaveSuppressed = FAutoSaveSuppressed;
    FNudgeSuppressed = true;
    FAutoSaveSuppressed = true;
    if (FPrimaryFile.isEmpty())
        RunSettings();
    OpenPrimaryFile();
    FAutoSaveSuppressed = autoSaveSuppressed;
    SetNudgeSuppressed(nudgeSuppressed);
}

void TMain_Form::Save_MenuItemClick()
{
    SetNudgeSuppressed(true);
    SavePrimaryFile();
    SaveBackupFile();
    SetNudgeSuppressed(false);
}

void TMain_Form::SaveAs_MenuItemClick()
{
    SetNudgeSuppressed(true);
    SavePrimaryFileAs();
    SetNudgeSuppressed(false);
}

void TMain_Form::Open_MenuItemClick()
{
    SetNudgeSuppressed(true);
    OpenTextFile();
    SetNudgeSuppressed(false);
}

void TMain_Form::Settings_MenuItemClick()
{
    SetNudgeSuppressed(true);
    FAutoSaveSuppressed = true;
    // After Cancel at the save question the writer's unsaved text stays.
    if (RunSettings())
        OpenPrimaryFile();
    FAutoSaveSuppressed = false;
    SetNudgeSuppressed(false);
}

void TMain_Form::AutoSave_MenuItemClick()
{
    SetAutoSaveEnabled(!AutoSaveEnabled());
    SaveConfiguration();
}

bool TMain_Form::AutoSaveEnabled() const
{
    return AutoSave_MenuItem->isChecked();
}

void TMain_Form::SetAutoSaveEnabled(bool enabled)
{
    AutoSave_MenuItem->setChecked(enabled);
}

void TMain_Form::AutoSave_TimerTimer()
{
    if (FAutoSaveSuppressed)
        return;
    if (AutoSaveEnabled() && !FPrimaryUnread)
        SavePrimaryFile();
    SaveBackupFile();
}

void TMain_Form::Text_MemoChange()
{
    RestoreTextColour();
    FTextChanged = true;
    StopNudge();
    RestartNudgeTimer();
}

// ---------------------------------------------------------------------------
// The nudge
// ---------------------------------------------------------------------------

int TMain_Form::Interval() const
{
    return Nudge_Timer->interval();
}

void TMain_Form::SetInterval(int milliseconds)
{
    if (milliseconds < 0)
        throw std::range_error("The nudge interval cannot be negative.");
    Nudge_Timer->setInterval(milliseconds);
    if (NudgeEnabled())
        RestartNudgeTimer();
}

bool TMain_Form::NudgeEnabled() const
{
    return Nudge_MenuItem->isChecked();
}

void TMain_Form::SetNudgeEnabled(bool enabled)
{
    Nudge_MenuItem->setChecked(enabled);
    if (!enabled)
        StopNudge();
    EnableTimer(Nudge_Timer, enabled);
}

bool TMain_Form::SoundEnabled() const
{
    return Sound_MenuItem->isChecked();
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

void TMain_Form::Nudge_TimerTimer()
{
    FireNudge();
}

void TMain_Form::Nudge_MenuItemClick()
{
    SetNudgeEnabled(!NudgeEnabled());
    EnableTimer(Nudge_Timer, NudgeEnabled());
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

std::uint32_t TMain_Form::Random(std::uint32_t range)
{
    FRandomState = FRandomState * 134775813u + 1u;
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(FRandomState) * range) >> 32);
}

int TMain_Form::SuggestionNumber()
{
    WrapSuggestionNumber();
    SaveConfiguration();
    return FSuggestionNumber;
}

void TMain_Form::WrapSuggestionNumber()
{
    if (FSuggestionNumber > FSuggestionCount - 1)
        FSuggestionNumber = 0;
    else if (FSuggestionNumber < 0)
        FSuggestionNumber = FSuggestionCount - 1;
}

void TMain_Form::LoadSuggestions()
{
    FSuggestionList.clear();
    if (FUseTovrinSuggestions)
        LoadTovrinSuggestions();
    if (FUseUserSuggestionsFile)
        LoadUserSuggestions();
    FSuggestionCount = static_cast<int>(qMin<qsizetype>(FSuggestionList.size(), INT_MAX));
    MakeSuggestion_MenuItem->setText(FRandomizeSuggestions ? QStringLiteral("Make Suggestion")
                                                           : QStringLiteral("Next Suggestion"));
    PriorSuggestion_MenuItem->setVisible(!FRandomizeSuggestions);
    FirstSuggestion_MenuItem->setVisible(!FRandomizeSuggestions);
    LastSuggestion_MenuItem->setVisible(!FRandomizeSuggestions);
}

void TMain_Form::LoadTovrinSuggestions()
{
    QByteArray bytes;
    if (!ReadWholeFile(StartDirectory() + QStringLiteral("nudger.dat"), bytes)) {
        ShowMessage(Message::CannotLoadTovrin);
        return;
    }
    const QByteArrayList rawLines = SplitLines(bytes);
    QStringList lines;
    lines.reserve(rawLines.size());
    for (const QByteArray &line : rawLines)
        lines << DecodeLine(line);
    try {
        const QByteArray plain = UnscrambleText(TovrinKeys::Product, TovrinKeys::Version,
                                                TovrinKeys::SuggestionsKey, JoinLines(rawLines));
        const QByteArrayList plainLines = SplitLines(plain);
        lines.clear();
        lines.reserve(plainLines.size());
        for (const QByteArray &line : plainLines)
            lines << DecodeLine(line);
    } catch (const std::exception &) {
        // The file's own lines stay in the store.
        FSuggestionList += lines;
        ShowMessage(Message::CannotLoadTovrin);
        return;
    }
    FSuggestionList += lines;
}

void TMain_Form::LoadUserSuggestions()
{
    if (FUserSuggestionsFile.isEmpty()) {
        ShowMessage(Message::NoUserFile);
        return;
    }
    if (!FileExists(FUserSuggestionsFile)) {
        ShowMessage(Message::UserFileNotFound);
        return;
    }
    QByteArray bytes;
    if (!ReadWholeFile(FUserSuggestionsFile, bytes)) {
        ShowMessage(Message::CannotLoadUserFile);
        return;
    }
    // A byte-order mark, as some editors write, only says the file is UTF-8.
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    const bool utf8 = IsPlainUtf8(bytes);
    // The lines are decoded straight from the file's bytes, cut by the same
    // rule as SplitLines, without a byte copy of each line.
    FSuggestionList.reserve(FSuggestionList.size() + bytes.count('\n') + 1);
    ForEachLine(bytes, [this, utf8](QByteArrayView line) {
        FSuggestionList << (utf8 ? QString::fromUtf8(line) : QString::fromLatin1(line));
    });
}

QString TMain_Form::PickSuggestion()
{
    if (FSuggestionCount <= 0)
        return QString();
    if (FRandomizeSuggestions)
        return FSuggestionList.value(
            static_cast<qsizetype>(Random(static_cast<std::uint32_t>(FSuggestionCount))));
    const int number = SuggestionNumber();
    const QString text = FSuggestionList.value(number);
    SetSuggestionNumber(SuggestionNumber() + 1);
    return text;
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
    SetSuggestionNumber(0);
    ShowSuggestion();
}

void TMain_Form::PriorSuggestion()
{
    SetSuggestionNumber(FSuggestionNumber - 2);
    ShowSuggestion();
}

void TMain_Form::LastSuggestion()
{
    SetSuggestionNumber(FSuggestionCount - 1);
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

void TMain_Form::MakeSuggestion_MenuItemClick()
{
    ShowSuggestion();
}

void TMain_Form::NextSuggestion_MenuItemClick()
{
    ShowSuggestion();
}

void TMain_Form::MakeSuggestion_PanelClick()
{
    ShowSuggestion();
}

void TMain_Form::PriorSuggestion_MenuItemClick()
{
    PriorSuggestion();
}

void TMain_Form::FirstSuggestion_MenuItemClick()
{
    FirstSuggestion();
}

void TMain_Form::LastSuggestion_MenuItemClick()
{
    LastSuggestion();
}

void TMain_Form::AlwaysSuggest_MenuItemClick()
{
    SetAlwaysSuggest(!FAlwaysSuggest);
    SaveConfiguration();
}

void TMain_Form::SuggestionSettings_MenuItemClick()
{
    SetNudgeSuppressed(true);
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
    SetNudgeSuppressed(false);
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
    SetNudgeSuppressed(true);
    QFont font = FontToQFont(*FTextDialogStartFont, Text_Memo->font());
    if (Prompts().ChooseFont(font)) {
        SetTextFont(QFontToFont(font, FTextDialogStartFont->Color));
        SaveConfiguration();
    }
    SetNudgeSuppressed(false);
}

void TMain_Form::AdjustSuggestionFont_PanelClick()
{
    SetNudgeSuppressed(true);
    QFont font = Suggestion_Memo->font();
    if (Prompts().ChooseFont(font)) {
        SetSuggestionFont(QFontToFont(font, FSuggestionColour));
        SaveConfiguration();
    }
    SetNudgeSuppressed(false);
}

void TMain_Form::ResetTextFont_PanelClick()
{
    SetNudgeSuppressed(true);
    SetTextFont(*FDefaultTextFont);
    SaveConfiguration();
    SetNudgeSuppressed(false);
}

void TMain_Form::ResetSuggestionFont_PanelClick()
{
    SetNudgeSuppressed(true);
    SetSuggestionFont(*FDefaultSuggestionFont);
    SaveConfiguration();
    SetNudgeSuppressed(false);
}

void TMain_Form::InsertDateStamp()
{
    const QDateTime now = Now();
    const QString separator = LocaleTimeSeparator();
    const QString stamp = now.toString(QStringLiteral("yyyy-MM-dd ")) +
                          now.toString(QStringLiteral("HH")) + separator +
                          now.toString(QStringLiteral("mm")) + separator +
                          now.toString(QStringLiteral("ss.zzz"));
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

void TMain_Form::InsertCurrentDate_MenuItemClick()
{
    InsertDateStamp();
}

// ---------------------------------------------------------------------------
// Privacy
// ---------------------------------------------------------------------------

bool TMain_Form::Privacy() const
{
    return Privacy_Timer->isActive();
}

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

void TMain_Form::Privacy_TimerTimer() {}

// ---------------------------------------------------------------------------
// Help
// ---------------------------------------------------------------------------

void TMain_Form::About_MenuItemClick()
{
    SetNudgeSuppressed(true);
    if (FDialogs.ShowAbout)
        FDialogs.ShowAbout();
    SetNudgeSuppressed(false);
    BringToFront();
}

void TMain_Form::Manual_MenuItemClick()
{
    SetNudgeSuppressed(true);
    if (FDialogs.ShowManual)
        FDialogs.ShowManual();
    SetNudgeSuppressed(false);
    BringToFront();
}
