#include "windows/ConflictBar_Unit.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace {

QPushButton *NewButton(const QString &caption, const QString &name, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

} // namespace

TConflictBar::TConflictBar(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("Conflict_Bar"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::ToolTipBase);
    setForegroundRole(QPalette::ToolTipText);
    Message_Label = new QLabel(this);
    Message_Label->setObjectName(QStringLiteral("ConflictMessage_Label"));
    Message_Label->setWordWrap(true);
    Message_Label->setForegroundRole(QPalette::ToolTipText);
    KeepMine_Button =
        NewButton(QStringLiteral("Keep My Text"), QStringLiteral("KeepMine_Button"), this);
    TakeFile_Button =
        NewButton(QStringLiteral("Take the File's Text"), QStringLiteral("TakeFile_Button"), this);
    SaveAs_Button =
        NewButton(QStringLiteral("Save As"), QStringLiteral("ConflictSaveAs_Button"), this);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 3, 3, 3);
    layout->addWidget(Message_Label, 1);
    layout->addWidget(KeepMine_Button);
    layout->addWidget(TakeFile_Button);
    layout->addWidget(SaveAs_Button);
    connect(KeepMine_Button, &QPushButton::clicked, this, &TConflictBar::KeepMineClicked);
    connect(TakeFile_Button, &QPushButton::clicked, this, &TConflictBar::TakeFileClicked);
    connect(SaveAs_Button, &QPushButton::clicked, this, &TConflictBar::SaveAsClicked);
    hide();
}

void TConflictBar::ShowFor(TFiles files)
{
    const QString changed = files.Primary && files.Backup
                                ? QStringLiteral("your primary and backup files")
                            : files.Primary ? QStringLiteral("your primary file")
                                            : QStringLiteral("your backup file");
    const QString over =
        files.Primary && files.Backup ? QStringLiteral("them") : QStringLiteral("it");
    FNotice = false;
    KeepMine_Button->show();
    SaveAs_Button->show();
    TakeFile_Button->setVisible(files.Primary);
    ShowText(QStringLiteral("Another program has changed ") + changed +
                 QStringLiteral(". I have not saved your text over ") + over +
                 QStringLiteral(". Which text do you want to keep?"),
             QStringLiteral("Changed by another program"));
}

void TConflictBar::HideConflict()
{
    if (!FNotice)
        hide();
}

void TConflictBar::ShowNotice(const QString &text)
{
    FNotice = true;
    KeepMine_Button->hide();
    TakeFile_Button->hide();
    SaveAs_Button->hide();
    ShowText(text, QStringLiteral("Read again"));
}

void TConflictBar::HideNotice()
{
    if (FNotice) {
        FNotice = false;
        hide();
    }
}

void TConflictBar::ShowText(const QString &text, const QString &name)
{
    Message_Label->setText(text);
    setAccessibleName(name);
    setAccessibleDescription(text);
    show();
}
