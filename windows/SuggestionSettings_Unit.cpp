#include "windows/SuggestionSettings_Unit.h"

#include "storage/ReservedFileGuard_Unit.h"
#include "windows/Prompts_Unit.h"

#include <QCheckBox>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

namespace {

const QString CanNotOpenMessage = QStringLiteral("I can not open the user suggestion file!");
const QString CanNotOpenSelectedMessage =
    QStringLiteral("I can not open the selected user suggestion file.");
const QString CanNotSaveMessage =
    QStringLiteral("I can not save your suggestions.  Please choose a new user suggestions file.");
const QString SaveFirstQuestion = QStringLiteral("Do you want to save your suggestions first?");
const QString LoseChangesQuestion =
    QStringLiteral("You have made changes to your suggestions, which will be lost if you "
                   "cancel.  Are you sure you want to cancel?");

// Positions inside the top area, which has no layout so that the file box can
// follow the area's width.
constexpr int Margin = 8;
constexpr int CheckBoxIndent = 16;
constexpr int FileRowTop = 112;
constexpr int BrowseWidth = 57;
constexpr int FileRowHeight = 21;
constexpr int FileBoxRightGap = 5;

template <typename T> T *Named(T *widget, const char *name, const QString &accessibleName)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setAccessibleName(accessibleName);
    return widget;
}

void PlaceAt(QWidget *widget, int left, int top)
{
    widget->adjustSize();
    widget->move(left, top);
}

bool ProducesCharacter(const QKeyEvent *event)
{
    if (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete)
        return true;
    const QString text = event->text();
    return !text.isEmpty() && text.at(0).isPrint();
}

bool NamedFileExists(const QString &fileName)
{
    return !fileName.isEmpty() && QFileInfo::exists(fileName);
}

} // namespace

TSuggestionSettings_Form::TSuggestionSettings_Form(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SuggestionSettings_Form"));
    setWindowTitle(QStringLiteral("Suggestion Settings"));
    setAccessibleName(QStringLiteral("Suggestion Settings"));
    setSizeGripEnabled(true);
    resize(696, 480);

    // Top area: sources, order and the user suggestions file.
    Top_Panel = Named(new QWidget(this), "Top_Panel", QStringLiteral("Suggestion control"));
    Top_Panel->setFixedHeight(145);
    SuggestionControl_Label =
        Named(new QLabel(QStringLiteral("Suggestion Control"), Top_Panel),
              "SuggestionControl_Label", QStringLiteral("Suggestion Control"));
    RandomizeSuggestions_CheckBox =
        Named(new QCheckBox(QStringLiteral("Randomize Suggestions"), Top_Panel),
              "RandomizeSuggestions_CheckBox", QStringLiteral("Randomize Suggestions"));
    UseTovrinSuggestions_CheckBox =
        Named(new QCheckBox(QStringLiteral("Use Tovrin Suggestions"), Top_Panel),
              "UseTovrinSuggestions_CheckBox", QStringLiteral("Use Tovrin Suggestions"));
    UseUserSuggestionsFile_CheckBox =
        Named(new QCheckBox(QStringLiteral("Use User Suggestions File"), Top_Panel),
              "UseUserSuggestionsFile_CheckBox", QStringLiteral("Use User Suggestions File"));
    UserSuggestionFile_Label =
        Named(new QLabel(QStringLiteral("User Suggestion File"), Top_Panel),
              "UserSuggestionFile_Label", QStringLiteral("User Suggestion File"));
    UserSuggestionBrowse_Button =
        Named(new QPushButton(QStringLiteral("Browse"), Top_Panel), "UserSuggestionBrowse_Button",
              QStringLiteral("Browse for the user suggestion file"));
    UserSuggestionFile_Edit = Named(new QLineEdit(Top_Panel), "UserSuggestionFile_Edit",
                                    QStringLiteral("User Suggestion File"));
    UserSuggestionFile_Edit->setReadOnly(true);
    const QString fileBoxHint =
        QStringLiteral("Click here or type any key to choose the user suggestion file.");
    UserSuggestionFile_Edit->setToolTip(fileBoxHint);
    UserSuggestionFile_Edit->setAccessibleDescription(fileBoxHint);
    UserSuggestionFile_Label->setBuddy(UserSuggestionFile_Edit);

    PlaceAt(SuggestionControl_Label, Margin, 6);
    PlaceAt(RandomizeSuggestions_CheckBox, CheckBoxIndent, 26);
    PlaceAt(UseTovrinSuggestions_CheckBox, CheckBoxIndent, 46);
    PlaceAt(UseUserSuggestionsFile_CheckBox, CheckBoxIndent, 66);
    PlaceAt(UserSuggestionFile_Label, Margin, 92);
    UserSuggestionBrowse_Button->setGeometry(Margin, FileRowTop, BrowseWidth, FileRowHeight);
    UserSuggestionFile_Edit->setGeometry(Margin + BrowseWidth + 5, FileRowTop, 200, FileRowHeight);
    Top_Panel->installEventFilter(this);

    // Middle area: the editor of the user suggestions file.
    UserSuggestion_Panel =
        Named(new QWidget(this), "UserSuggestion_Panel", QStringLiteral("User suggestions"));
    UserSuggestions_Label = Named(new QLabel(QStringLiteral("User Suggestions")),
                                  "UserSuggestions_Label", QStringLiteral("User Suggestions"));
    UserSuggestions_Memo =
        Named(new QPlainTextEdit, "UserSuggestions_Memo", QStringLiteral("User Suggestions"));
    UserSuggestions_Memo->setAccessibleDescription(QStringLiteral("One suggestion on each line."));
    UserSuggestions_Label->setBuddy(UserSuggestions_Memo);
    auto *middleLayout = new QVBoxLayout(UserSuggestion_Panel);
    middleLayout->setContentsMargins(Margin, 0, Margin, 0);
    middleLayout->addWidget(UserSuggestions_Label);
    middleLayout->addWidget(UserSuggestions_Memo, 1);

    // Bottom bar.
    Button_Panel = Named(new QWidget(this), "Button_Panel", QStringLiteral("Buttons"));
    Button_Panel->setFixedHeight(41);
    Save_Button =
        Named(new QPushButton(QStringLiteral("Save")), "Save_Button", QStringLiteral("Save"));
    Cancel_Button =
        Named(new QPushButton(QStringLiteral("Cancel")), "Cancel_Button", QStringLiteral("Cancel"));
    for (QPushButton *button : {Save_Button, Cancel_Button}) {
        button->setMinimumSize(75, 25);
        button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }
    auto *buttonLayout = new QHBoxLayout(Button_Panel);
    buttonLayout->setContentsMargins(Margin, 8, Margin, 8);
    buttonLayout->addStretch(1);
    buttonLayout->addWidget(Save_Button);
    buttonLayout->addWidget(Cancel_Button);

    auto *formLayout = new QVBoxLayout(this);
    formLayout->setContentsMargins(0, 0, 0, 0);
    formLayout->setSpacing(0);
    formLayout->addWidget(Top_Panel);
    formLayout->addWidget(UserSuggestion_Panel, 1);
    formLayout->addWidget(Button_Panel);

    setTabOrder(RandomizeSuggestions_CheckBox, UseTovrinSuggestions_CheckBox);
    setTabOrder(UseTovrinSuggestions_CheckBox, UseUserSuggestionsFile_CheckBox);
    setTabOrder(UseUserSuggestionsFile_CheckBox, UserSuggestionBrowse_Button);
    setTabOrder(UserSuggestionBrowse_Button, UserSuggestionFile_Edit);
    setTabOrder(UserSuggestionFile_Edit, UserSuggestions_Memo);
    setTabOrder(UserSuggestions_Memo, Save_Button);
    setTabOrder(Save_Button, Cancel_Button);
    UserSuggestions_Memo->setTabChangesFocus(true);

    UserSuggestionFile_Edit->installEventFilter(this);
    connect(UserSuggestionBrowse_Button, &QPushButton::clicked, this,
            [this] { UserSuggestionBrowse_ButtonClick(); });
    connect(UseUserSuggestionsFile_CheckBox, &QCheckBox::clicked, this,
            [this] { UseUserSuggestionsFile_CheckBoxClick(); });
    connect(UserSuggestions_Memo, &QPlainTextEdit::textChanged, this,
            [this] { UserSuggestions_MemoChange(); });
    connect(Save_Button, &QPushButton::clicked, this, [this] { Save_ButtonClick(); });
    connect(Cancel_Button, &QPushButton::clicked, this, [this] { reject(); });

    Cancel_Button->setFocus();
}

bool TSuggestionSettings_Form::UseTovrinSuggestions() const
{
    return UseTovrinSuggestions_CheckBox->isChecked();
}

void TSuggestionSettings_Form::SetUseTovrinSuggestions(bool value)
{
    UseTovrinSuggestions_CheckBox->setChecked(value);
}

bool TSuggestionSettings_Form::UseUserSuggestionsFile() const
{
    return UseUserSuggestionsFile_CheckBox->isChecked();
}

void TSuggestionSettings_Form::SetUseUserSuggestionsFile(bool value)
{
    UseUserSuggestionsFile_CheckBox->setChecked(value);
    EnableUserSuggestionControls(value);
}

bool TSuggestionSettings_Form::RandomizeSuggestions() const
{
    return RandomizeSuggestions_CheckBox->isChecked();
}

void TSuggestionSettings_Form::SetRandomizeSuggestions(bool value)
{
    RandomizeSuggestions_CheckBox->setChecked(value);
}

QString TSuggestionSettings_Form::UserSuggestionsFile() const
{
    return UserSuggestionFile_Edit->text();
}

void TSuggestionSettings_Form::SetUserSuggestionsFile(const QString &fileName)
{
    UserSuggestionFile_Edit->setText(fileName);
    UserSuggestionFile_Edit->setCursorPosition(0);
    FUnreadableFileNamed = false;
    if (!NamedFileExists(fileName))
        return;
    if (!ReadIntoEditor(fileName)) {
        Prompts().ShowMessage(CanNotOpenMessage);
        // The file stays as it is: nothing may be saved over it until a file
        // has been read or another one chosen.
        FUnreadableFileNamed = true;
        UserSuggestions_Memo->clear();
    }
}

void TSuggestionSettings_Form::EnableUserSuggestionControls(bool enabled)
{
    UserSuggestionBrowse_Button->setEnabled(enabled);
    UserSuggestionFile_Edit->setEnabled(enabled);
    UserSuggestions_Memo->setEnabled(enabled);
}

QString TSuggestionSettings_Form::EditorText() const
{
    // toPlainText() would also turn non-breaking spaces into spaces; only the
    // block separators are wanted as line breaks.
    QString text = UserSuggestions_Memo->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

bool TSuggestionSettings_Form::ReadIntoEditor(const QString &fileName)
{
    TTextFileContent content;
    if (!ReadTextFile(fileName, content))
        return false;
    FEncoding = content.Encoding;
    UserSuggestions_Memo->setPlainText(content.Text);
    FUserSuggestionsChanged = false;
    FUnreadableFileNamed = false;
    return true;
}

bool TSuggestionSettings_Form::SaveUserSuggestions()
{
    const QString fileName = UserSuggestionsFile();
    if (FUnreadableFileNamed || fileName.isEmpty() ||
        !WriteTextFile(fileName, EditorText(), FEncoding)) {
        Prompts().ShowMessage(CanNotSaveMessage);
        return false;
    }
    FUserSuggestionsChanged = false;
    return true;
}

bool TSuggestionSettings_Form::ReloadUserSuggestions()
{
    const QString fileName = UserSuggestionsFile();
    if (NamedFileExists(fileName)) {
        if (!ReadIntoEditor(fileName)) {
            Prompts().ShowMessage(CanNotOpenSelectedMessage);
            FUnreadableFileNamed = true;
            return false;
        }
        return true;
    }
    // A new file: the editor's text goes into it at the next save.
    FUserSuggestionsChanged = false;
    FUnreadableFileNamed = false;
    return true;
}

void TSuggestionSettings_Form::UserSuggestionBrowse_ButtonClick()
{
    if (FUserSuggestionsChanged &&
        Prompts().Confirm(SaveFirstQuestion, QMessageBox::Yes | QMessageBox::No,
                          QMessageBox::Yes) == QMessageBox::Yes)
        SaveUserSuggestions();

    TFileChooserOptions options;
    options.Title = QStringLiteral("User Suggestion File");
    options.FileName = UserSuggestionsFile();
    options.Filter = QStringLiteral("Text files (*.txt)");
    options.DefaultSuffix = QStringLiteral("txt");
    options.ConfirmOverwrite = false;
    const auto refuse = [](const QString &message) { Prompts().ShowMessage(message); };
    do {
        if (!Prompts().ChooseSaveFile(options))
            return;
    } while (!IsUsableFile(options.FileName, refuse));

    SetUserSuggestionsFile(options.FileName);
    ReloadUserSuggestions();
}

void TSuggestionSettings_Form::UseUserSuggestionsFile_CheckBoxClick()
{
    EnableUserSuggestionControls(UseUserSuggestionsFile_CheckBox->isChecked());
}

void TSuggestionSettings_Form::UserSuggestions_MemoChange()
{
    if (UserSuggestionsFile().isEmpty())
        UserSuggestionBrowse_ButtonClick();
    FUserSuggestionsChanged = true;
}

void TSuggestionSettings_Form::Save_ButtonClick()
{
    SaveUserSuggestions();
    accept();
}

bool TSuggestionSettings_Form::FormClose()
{
    if (!FUserSuggestionsChanged)
        return true;
    return Prompts().Confirm(LoseChangesQuestion, QMessageBox::Yes | QMessageBox::No,
                             QMessageBox::Yes) == QMessageBox::Yes;
}

void TSuggestionSettings_Form::Top_PanelResize()
{
    const int left = UserSuggestionFile_Edit->x();
    UserSuggestionFile_Edit->resize(qMax(0, Top_Panel->width() - left - FileBoxRightGap),
                                    UserSuggestionFile_Edit->height());
}

void TSuggestionSettings_Form::done(int result)
{
    if (!FormClose())
        return;
    QDialog::done(result);
}

bool TSuggestionSettings_Form::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Top_Panel && event->type() == QEvent::Resize) {
        Top_PanelResize();
    } else if (watched == UserSuggestionFile_Edit) {
        if (event->type() == QEvent::KeyPress &&
            ProducesCharacter(static_cast<QKeyEvent *>(event))) {
            UserSuggestionBrowse_ButtonClick();
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            if (mouse->button() == Qt::LeftButton &&
                UserSuggestionFile_Edit->rect().contains(mouse->position().toPoint()))
                UserSuggestionBrowse_ButtonClick();
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool ExecuteSuggestionSettingsDialog(bool &useTovrinSuggestions, bool &useUserSuggestionsFile,
                                     bool &randomizeSuggestions, QString &userSuggestionsFile)
{
    try {
        const QString fileName = userSuggestionsFile.isEmpty()
                                     ? QString::fromLatin1(DefaultUserSuggestionsFile)
                                     : userSuggestionsFile;
        // Owned here rather than by a window, and gone before returning.
        auto form = std::make_unique<TSuggestionSettings_Form>();
        form->SetUseTovrinSuggestions(useTovrinSuggestions);
        form->SetUseUserSuggestionsFile(useUserSuggestionsFile);
        form->SetRandomizeSuggestions(randomizeSuggestions);
        form->SetUserSuggestionsFile(fileName);
        form->Cancel_Button->setFocus();
        if (form->exec() != QDialog::Accepted)
            return false;
        useTovrinSuggestions = form->UseTovrinSuggestions();
        useUserSuggestionsFile = form->UseUserSuggestionsFile();
        randomizeSuggestions = form->RandomizeSuggestions();
        userSuggestionsFile = form->UserSuggestionsFile();
        return true;
    } catch (...) {
        return false;
    }
}
