#include "windows/Settings_Unit.h"

#include "storage/Conversions_Unit.h"
#include "windows/FileBox_Unit.h"
#include "windows/Prompts_Unit.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

namespace {

constexpr int FormWidth = 344;
constexpr int FormHeight = 245;
constexpr int ButtonPanelHeight = 41;

const char SameFileMessage[] = "You can not have the same file for the primary and backup file.  "
                               "Please choose another backup file.";

QLabel *NewLabel(const QString &text, QWidget *parent, const char *objectName)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(objectName));
    return label;
}

QPushButton *NewButton(const QString &text, const QString &accessibleName, QWidget *parent,
                       const char *objectName)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(objectName));
    button->setAccessibleName(accessibleName);
    return button;
}

} // namespace

TSettings_Form::TSettings_Form(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Settings_Form"));
    setWindowTitle(QStringLiteral("Settings"));
    setModal(true);
    CreateControls();
    LayOutMainPanel();
    CreateButtonPanel();
    auto *formLayout = new QVBoxLayout(this);
    formLayout->setContentsMargins(0, 0, 0, 0);
    formLayout->setSpacing(0);
    formLayout->addWidget(Main_Panel, 1);
    formLayout->addWidget(Button_Panel);
    ConnectControls();
    SetTabOrder();
    resize(FormWidth, FormHeight);
    FormCreate();
}

void TSettings_Form::CreateControls()
{
    Main_Panel = new QWidget(this);
    Main_Panel->setObjectName(QStringLiteral("Main_Panel"));

    Interval_Label = NewLabel(QStringLiteral("Interval"), Main_Panel, "Interval_Label");
    Interval_SpinEdit = new QSpinBox(Main_Panel);
    Interval_SpinEdit->setObjectName(QStringLiteral("Interval_SpinEdit"));
    Interval_SpinEdit->setRange(MinimumInterval, MaximumInterval);
    Interval_SpinEdit->setValue(DefaultInterval);
    Interval_SpinEdit->setSuffix(QStringLiteral(" Sec."));
    Interval_SpinEdit->setButtonSymbols(QAbstractSpinBox::PlusMinus);
    Interval_SpinEdit->setAccessibleName(Interval_Label->text());
    Interval_Label->setBuddy(Interval_SpinEdit);

    NewFileRow(
        Main_Panel,
        {"PrimaryFile_Label", QStringLiteral("Primary File"), "PrimaryFileBrowse_Button",
         QStringLiteral("Browse Primary File"), "PrimaryFile_Edit",
         QStringLiteral("Click here or press a key to choose the primary file.")},
        PrimaryFile_Label, PrimaryFileBrowse_Button, PrimaryFile_Edit,
        [this] { PrimaryFileBrowse_ButtonClick(); }, [this] { PrimaryFile_EditKeyDown(); });

    EnableBackupFile_Label =
        NewLabel(QStringLiteral("Enable Backup File"), Main_Panel, "EnableBackupFile_Label");
    EnableBackupFile_CheckBox = new QCheckBox(Main_Panel);
    EnableBackupFile_CheckBox->setObjectName(QStringLiteral("EnableBackupFile_CheckBox"));
    EnableBackupFile_CheckBox->setAccessibleName(EnableBackupFile_Label->text());
    EnableBackupFile_Label->setBuddy(EnableBackupFile_CheckBox);

    NewFileRow(
        Main_Panel,
        {"BackupFile_Label", QStringLiteral("Backup File"), "BackupFileBrowse_Button",
         QStringLiteral("Browse Backup File"), "BackupFile_Edit",
         QStringLiteral("Click here or press a key to choose the backup file.")},
        BackupFile_Label, BackupFileBrowse_Button, BackupFile_Edit,
        [this] { BackupFileBrowse_ButtonClick(); }, [this] { BackupFile_EditKeyDown(); });
}

// Labels above their controls, each Browse button level with and left of its
// box, the boxes taking the remaining width.
void TSettings_Form::LayOutMainPanel()
{
    FMainLayout = new QGridLayout(Main_Panel);
    auto *intervalRow = new QHBoxLayout;
    intervalRow->addWidget(Interval_Label);
    intervalRow->addWidget(Interval_SpinEdit);
    intervalRow->addStretch(1);
    FMainLayout->addLayout(intervalRow, 0, 0, 1, 2);
    FMainLayout->addWidget(PrimaryFile_Label, 1, 0, 1, 2);
    FMainLayout->addWidget(PrimaryFileBrowse_Button, 2, 0);
    FMainLayout->addWidget(PrimaryFile_Edit, 2, 1);
    auto *enableRow = new QHBoxLayout;
    enableRow->addWidget(EnableBackupFile_Label);
    enableRow->addWidget(EnableBackupFile_CheckBox);
    enableRow->addStretch(1);
    FMainLayout->addLayout(enableRow, 3, 0, 1, 2);
    FMainLayout->addWidget(BackupFile_Label, 4, 0, 1, 2);
    FMainLayout->addWidget(BackupFileBrowse_Button, 5, 0);
    FMainLayout->addWidget(BackupFile_Edit, 5, 1);
    FMainLayout->setColumnStretch(1, 1);
    FMainLayout->setRowStretch(6, 1);
}

// Save and Cancel on a strip below the panel.
void TSettings_Form::CreateButtonPanel()
{
    Button_Panel = new QWidget(this);
    Button_Panel->setObjectName(QStringLiteral("Button_Panel"));
    Button_Panel->setFixedHeight(ButtonPanelHeight);
    Button1 = NewButton(QStringLiteral("Save"), QStringLiteral("Save"), Button_Panel, "Button1");
    Button1->setDefault(true);
    Cancel_Button = NewButton(QStringLiteral("Cancel"), QStringLiteral("Cancel"), Button_Panel,
                              "Cancel_Button");
    auto *buttonRow = new QHBoxLayout(Button_Panel);
    buttonRow->setContentsMargins(FileEditGap, 0, FileEditGap, 0);
    buttonRow->addWidget(Button1);
    buttonRow->addWidget(Cancel_Button);
    buttonRow->addStretch(1);
}

void TSettings_Form::ConnectControls()
{
    // The file rows' controls are wired as they are built.
    Main_Panel->installEventFilter(this);
    connect(EnableBackupFile_CheckBox, &QCheckBox::toggled, this,
            &TSettings_Form::EnableBackupFile_CheckBoxClick);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Cancel_Button, &QPushButton::clicked, this, &QDialog::reject);
}

void TSettings_Form::SetTabOrder()
{
    // The check box comes after the backup controls, then the two buttons.
    QWidget::setTabOrder(Interval_SpinEdit, PrimaryFileBrowse_Button);
    QWidget::setTabOrder(PrimaryFileBrowse_Button, PrimaryFile_Edit);
    QWidget::setTabOrder(PrimaryFile_Edit, BackupFileBrowse_Button);
    QWidget::setTabOrder(BackupFileBrowse_Button, BackupFile_Edit);
    QWidget::setTabOrder(BackupFile_Edit, EnableBackupFile_CheckBox);
    QWidget::setTabOrder(EnableBackupFile_CheckBox, Button1);
    QWidget::setTabOrder(Button1, Cancel_Button);
    Interval_SpinEdit->setFocus();
}

void TSettings_Form::FormCreate()
{
    FitFileEdits();
    // Already unticked, so the backup controls stay enabled until the box
    // first changes.
    SetEnableBackup(false);
}

void TSettings_Form::Main_PanelResize()
{
    FitFileEdits();
}

void TSettings_Form::FitFileEdits()
{
    // The layout stretches both boxes to end FileEditGap pixels short of the
    // panel's right edge; setting an unchanged margin costs nothing.
    const QMargins margins = FMainLayout->contentsMargins();
    if (margins.right() != FileEditGap)
        FMainLayout->setContentsMargins(margins.left(), margins.top(), FileEditGap,
                                        margins.bottom());
}

int TSettings_Form::Interval() const
{
    bool ok = false;
    const int seconds = Interval_SpinEdit->locale().toInt(Interval_SpinEdit->cleanText(), &ok);
    if (!ok)
        return MinimumInterval;
    return std::clamp(seconds, MinimumInterval, MaximumInterval);
}

void TSettings_Form::SetInterval(int seconds)
{
    Interval_SpinEdit->setValue(seconds);
}

QString TSettings_Form::PrimaryFile() const
{
    return PrimaryFile_Edit->text();
}

void TSettings_Form::SetPrimaryFile(const QString &fileName)
{
    PrimaryFile_Edit->setText(fileName);
}

QString TSettings_Form::BackupFile() const
{
    return BackupFile_Edit->text();
}

void TSettings_Form::SetBackupFile(const QString &fileName)
{
    BackupFile_Edit->setText(fileName);
    SetEnableBackup(!fileName.isEmpty());
}

bool TSettings_Form::EnableBackup() const
{
    return EnableBackupFile_CheckBox->isChecked();
}

void TSettings_Form::SetEnableBackup(bool enable)
{
    EnableBackupFile_CheckBox->setChecked(enable);
}

void TSettings_Form::PrimaryFileBrowse_ButtonClick()
{
    QString fileName = PrimaryFile();
    if (ChooseUsableFile(QStringLiteral("Primary File"), fileName))
        SetPrimaryFile(fileName);
    CheckSameFile();
}

void TSettings_Form::BackupFileBrowse_ButtonClick()
{
    QString fileName = BackupFile();
    if (ChooseUsableFile(QStringLiteral("Backup File"), fileName))
        SetBackupFile(fileName);
    CheckSameFile();
}

void TSettings_Form::EnableBackupFile_CheckBoxClick()
{
    const bool enabled = EnableBackupFile_CheckBox->isChecked();
    if (!enabled)
        BackupFile_Edit->clear();
    BackupFileBrowse_Button->setEnabled(enabled);
    BackupFile_Edit->setEnabled(enabled);
}

void TSettings_Form::CheckSameFile()
{
    const QString primary = UpperCaseAToZ(PrimaryFile());
    if (primary.isEmpty() || primary != UpperCaseAToZ(BackupFile()))
        return;
    Prompts().ShowMessage(QString::fromLatin1(SameFileMessage));
    SetBackupFile(QString());
}

void TSettings_Form::PrimaryFile_EditKeyDown()
{
    PrimaryFileBrowse_ButtonClick();
}

void TSettings_Form::BackupFile_EditKeyDown()
{
    BackupFileBrowse_ButtonClick();
}

bool TSettings_Form::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Main_Panel && event->type() == QEvent::Resize)
        Main_PanelResize();
    return QDialog::eventFilter(watched, event);
}

bool ExecuteSettingsDialog(int &interval, QString &primaryFile, QString &backupFile)
{
    try {
        // No parent: the dialog centres itself on the screen and is
        // application-modal.
        auto form = std::make_unique<TSettings_Form>();
        form->SetInterval(interval / 1000);
        form->SetPrimaryFile(primaryFile);
        form->SetBackupFile(backupFile);
        if (form->exec() != QDialog::Accepted)
            return false;
        const int seconds = form->Interval();
        const QString primary = form->PrimaryFile();
        const QString backup = form->BackupFile();
        interval = seconds * 1000;
        primaryFile = primary;
        backupFile = backup;
        return true;
    } catch (...) {
        return false;
    }
}
