#include "windows/SuggestionSettings_Unit.h"

#include "windows/FileBox_Unit.h"
#include "windows/Prompts_Unit.h"
#include "windows/TextLayout_Unit.h"

#include <QCheckBox>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
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

constexpr int Margin = 8;
constexpr int CheckBoxIndent = 16;
constexpr int BrowseWidth = 57;
constexpr int FileRowHeight = 21;
constexpr int FileBoxRightGap = 5;

// A file or a folder of that name: a folder is refused when it is read.
bool NamedFileExists(const QString &fileName)
{
    return !fileName.isEmpty() && QFileInfo::exists(fileName);
}

template <typename T> T *Named(T *widget, const char *name, const QString &accessibleName)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setAccessibleName(accessibleName);
    return widget;
}

} // namespace

TSuggestionSettings_Form::TSuggestionSettings_Form(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SuggestionSettings_Form"));
    setWindowTitle(QStringLiteral("Suggestion Settings"));
    setAccessibleName(QStringLiteral("Suggestion Settings"));
    setSizeGripEnabled(true);
    resize(696, 480);
    CreateTopArea();
    CreateSuggestionsArea();
    CreateButtonBar();
    auto *formLayout = new QVBoxLayout(this);
    formLayout->setContentsMargins(0, 0, 0, 0);
    formLayout->setSpacing(0);
    formLayout->addWidget(Top_Panel);
    formLayout->addWidget(UserSuggestion_Panel, 1);
    formLayout->addWidget(Button_Panel);
    SetTabOrder();
    ConnectControls();
    Cancel_Button->setFocus();
}

// Sources, order and the user suggestions file.
void TSuggestionSettings_Form::CreateTopArea()
{
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
    NewFileRow(
        Top_Panel,
        {"UserSuggestionFile_Label", QStringLiteral("User Suggestion File"),
         "UserSuggestionBrowse_Button", QStringLiteral("Browse for the user suggestion file"),
         "UserSuggestionFile_Edit",
         QStringLiteral("Click here or type any key to choose the user suggestion file.")},
        UserSuggestionFile_Label, UserSuggestionBrowse_Button, UserSuggestionFile_Edit,
        [this] { UserSuggestionBrowse_ButtonClick(); },
        [this] { UserSuggestionFile_EditKeyPress(); });
    UserSuggestionBrowse_Button->setFixedSize(BrowseWidth, FileRowHeight);
    UserSuggestionFile_Edit->setFixedHeight(FileRowHeight);
    LayOutTopArea();
}

// The caption and the check boxes one under the other at the top, the file
// row at the bottom, the file box reaching to 5 pixels from the right edge.
void TSuggestionSettings_Form::LayOutTopArea()
{
    auto *checkBoxes = new QVBoxLayout;
    checkBoxes->setContentsMargins(CheckBoxIndent - Margin, 0, 0, 0);
    checkBoxes->setSpacing(0);
    for (QCheckBox *box : {RandomizeSuggestions_CheckBox, UseTovrinSuggestions_CheckBox,
                           UseUserSuggestionsFile_CheckBox})
        checkBoxes->addWidget(box);
    auto *fileRow = new QHBoxLayout;
    fileRow->setSpacing(5);
    fileRow->addWidget(UserSuggestionBrowse_Button);
    fileRow->addWidget(UserSuggestionFile_Edit, 1);
    FTopLayout = new QVBoxLayout(Top_Panel);
    FTopLayout->setContentsMargins(Margin, 6, FileBoxRightGap, 12);
    FTopLayout->setSpacing(0);
    FTopLayout->addWidget(SuggestionControl_Label);
    FTopLayout->addSpacing(6);
    FTopLayout->addLayout(checkBoxes);
    FTopLayout->addStretch(1);
    FTopLayout->addWidget(UserSuggestionFile_Label);
    FTopLayout->addSpacing(6);
    FTopLayout->addLayout(fileRow);
}

// The editor of the user suggestions file under its caption.
void TSuggestionSettings_Form::CreateSuggestionsArea()
{
    UserSuggestion_Panel =
        Named(new QWidget(this), "UserSuggestion_Panel", QStringLiteral("User suggestions"));
    UserSuggestions_Label = Named(new QLabel(QStringLiteral("User Suggestions")),
                                  "UserSuggestions_Label", QStringLiteral("User Suggestions"));
    UserSuggestions_Memo =
        Named(new QPlainTextEdit, "UserSuggestions_Memo", QStringLiteral("User Suggestions"));
    UserSuggestions_Memo->setAccessibleDescription(QStringLiteral("One suggestion on each line."));
    UserSuggestions_Memo->setTabChangesFocus(true);
    UserSuggestions_Label->setBuddy(UserSuggestions_Memo);
    auto *middleLayout = new QVBoxLayout(UserSuggestion_Panel);
    middleLayout->setContentsMargins(Margin, 0, Margin, 0);
    middleLayout->addWidget(UserSuggestions_Label);
    middleLayout->addWidget(UserSuggestions_Memo, 1);
}

void TSuggestionSettings_Form::CreateButtonBar()
{
    Button_Panel = Named(new QWidget(this), "Button_Panel", QStringLiteral("Buttons"));
    Button_Panel->setFixedHeight(41);
    Save_Button =
        Named(new QPushButton(QStringLiteral("Save")), "Save_Button", QStringLiteral("Save"));
    Cancel_Button =
        Named(new QPushButton(QStringLiteral("Cancel")), "Cancel_Button", QStringLiteral("Cancel"));
    auto *buttonLayout = new QHBoxLayout(Button_Panel);
    buttonLayout->setContentsMargins(Margin, 8, Margin, 8);
    buttonLayout->addStretch(1);
    for (QPushButton *button : {Save_Button, Cancel_Button}) {
        button->setMinimumSize(75, 25);
        button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        buttonLayout->addWidget(button);
    }
}

void TSuggestionSettings_Form::SetTabOrder()
{
    setTabOrder(RandomizeSuggestions_CheckBox, UseTovrinSuggestions_CheckBox);
    setTabOrder(UseTovrinSuggestions_CheckBox, UseUserSuggestionsFile_CheckBox);
    setTabOrder(UseUserSuggestionsFile_CheckBox, UserSuggestionBrowse_Button);
    setTabOrder(UserSuggestionBrowse_Button, UserSuggestionFile_Edit);
    setTabOrder(UserSuggestionFile_Edit, UserSuggestions_Memo);
    setTabOrder(UserSuggestions_Memo, Save_Button);
    setTabOrder(Save_Button, Cancel_Button);
}

void TSuggestionSettings_Form::ConnectControls()
{
    // The file row's controls are wired as they are built.
    Top_Panel->installEventFilter(this);
    connect(UseUserSuggestionsFile_CheckBox, &QCheckBox::clicked, this,
            [this] { UseUserSuggestionsFile_CheckBoxClick(); });
    connect(UserSuggestions_Memo, &QPlainTextEdit::textChanged, this,
            [this] { UserSuggestions_MemoChange(); });
    connect(Save_Button, &QPushButton::clicked, this, [this] { Save_ButtonClick(); });
    connect(Cancel_Button, &QPushButton::clicked, this, [this] { reject(); });
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
    if (!NamedFileExists(fileName)) {
        // The editor's text goes into a new file, in the plain form.
        FFileForm = TSuggestionsFile();
        return;
    }
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

bool TSuggestionSettings_Form::ReadIntoEditor(const QString &fileName)
{
    TSuggestionsFile file;
    if (!ReadSuggestionsFile(fileName, file))
        return false;
    // The editor shows the lines the nudges take from the file.
    UserSuggestions_Memo->setPlainText(file.Lines.join(QLatin1Char('\n')));
    file.Lines.clear();
    FFileForm = std::move(file);
    FUserSuggestionsChanged = false;
    FUnreadableFileNamed = false;
    return true;
}

bool TSuggestionSettings_Form::SaveUserSuggestions()
{
    const QString fileName = UserSuggestionsFile();
    if (FUnreadableFileNamed || fileName.isEmpty() ||
        !WriteSuggestionsFile(fileName, EditorText(UserSuggestions_Memo), FFileForm)) {
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
    FFileForm = TSuggestionsFile();
    return true;
}

void TSuggestionSettings_Form::UserSuggestionBrowse_ButtonClick()
{
    if (FUserSuggestionsChanged &&
        Prompts().Confirm(SaveFirstQuestion, QMessageBox::Yes | QMessageBox::No,
                          QMessageBox::Yes) == QMessageBox::Yes)
        SaveUserSuggestions();

    QString fileName = UserSuggestionsFile();
    if (!ChooseUsableFile(QStringLiteral("User Suggestion File"), fileName))
        return;
    SetUserSuggestionsFile(fileName);
    ReloadUserSuggestions();
}

void TSuggestionSettings_Form::UserSuggestionFile_EditKeyPress()
{
    UserSuggestionBrowse_ButtonClick();
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
    // The layout stretches the file box to end FileBoxRightGap pixels short
    // of the area's right edge; setting an unchanged margin costs nothing.
    const QMargins margins = FTopLayout->contentsMargins();
    if (margins.right() != FileBoxRightGap)
        FTopLayout->setContentsMargins(margins.left(), margins.top(), FileBoxRightGap,
                                       margins.bottom());
}

void TSuggestionSettings_Form::done(int result)
{
    if (!FormClose())
        return;
    QDialog::done(result);
}

bool TSuggestionSettings_Form::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Top_Panel && event->type() == QEvent::Resize)
        Top_PanelResize();
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
