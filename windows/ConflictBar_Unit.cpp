#include "windows/ConflictBar_Unit.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

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
    Notice_Label = new QLabel(this);
    Notice_Label->setObjectName(QStringLiteral("ConflictNotice_Label"));
    Notice_Label->setWordWrap(true);
    Notice_Label->setForegroundRole(QPalette::ToolTipText);
    Problem_Label = new QLabel(this);
    Problem_Label->setObjectName(QStringLiteral("ConflictProblem_Label"));
    Problem_Label->setWordWrap(true);
    Problem_Label->setForegroundRole(QPalette::ToolTipText);
    KeepMine_Button =
        NewButton(QStringLiteral("Keep My Text"), QStringLiteral("KeepMine_Button"), this);
    TakeFile_Button =
        NewButton(QStringLiteral("Take the File's Text"), QStringLiteral("TakeFile_Button"), this);
    SaveAs_Button =
        NewButton(QStringLiteral("Save As"), QStringLiteral("ConflictSaveAs_Button"), this);
    Compare_Button =
        NewButton(QStringLiteral("Compare"), QStringLiteral("ConflictCompare_Button"), this);
    Versions_Button = NewButton(QStringLiteral("Earlier Versions"),
                                QStringLiteral("NoticeVersions_Button"), this);
    Dismiss_Button =
        NewButton(QStringLiteral("Dismiss"), QStringLiteral("ProblemDismiss_Button"), this);
    LayOut();
    connect(KeepMine_Button, &QPushButton::clicked, this, &TConflictBar::KeepMineClicked);
    connect(TakeFile_Button, &QPushButton::clicked, this, &TConflictBar::TakeFileClicked);
    connect(SaveAs_Button, &QPushButton::clicked, this, &TConflictBar::SaveAsClicked);
    connect(Compare_Button, &QPushButton::clicked, this, &TConflictBar::CompareClicked);
    connect(Versions_Button, &QPushButton::clicked, this, &TConflictBar::VersionsClicked);
    connect(Dismiss_Button, &QPushButton::clicked, this, [this] {
        FProblemsDismissed = true;
        Update();
    });
    Message_Label->hide();
    Notice_Label->hide();
    Versions_Button->hide();
    Problem_Label->hide();
    Dismiss_Button->hide();
    HideConflict();
}

void TConflictBar::LayOut()
{
    // The question and its buttons, the notice, the problems: one row each.
    auto *question = new QHBoxLayout;
    question->addWidget(Message_Label, 1);
    question->addWidget(Compare_Button);
    question->addWidget(KeepMine_Button);
    question->addWidget(TakeFile_Button);
    question->addWidget(SaveAs_Button);
    auto *notice = new QHBoxLayout;
    notice->addWidget(Notice_Label, 1);
    notice->addWidget(Versions_Button);
    auto *problem = new QHBoxLayout;
    problem->addWidget(Problem_Label, 1);
    problem->addWidget(Dismiss_Button);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 3, 3, 3);
    layout->addLayout(question);
    layout->addLayout(notice);
    layout->addLayout(problem);
}

void TConflictBar::ShowChanged(TChange change)
{
    Compare_Button->show();
    KeepMine_Button->show();
    TakeFile_Button->show();
    SaveAs_Button->show();
    const bool unread = change == TChange::UnreadBefore;
    ShowQuestion((unread ? QStringLiteral("Your primary file holds a text I could not read before.")
                         : QStringLiteral("Another program has changed your primary file.")) +
                     QStringLiteral(" I have not saved your text over it. Which text do you want "
                                    "to keep?"),
                 unread ? QStringLiteral("Could not be read before")
                        : QStringLiteral("Changed by another program"));
}

void TConflictBar::ShowUnreadable(TFiles files)
{
    const QString file = files.Primary && files.Backup
                             ? QStringLiteral("your primary and backup files")
                         : files.Primary ? QStringLiteral("your primary file")
                                         : QStringLiteral("your backup file");
    const QString over =
        files.Primary && files.Backup ? QStringLiteral("them") : QStringLiteral("it");
    Compare_Button->hide();
    KeepMine_Button->hide();
    TakeFile_Button->hide();
    SaveAs_Button->setVisible(files.Primary);
    ShowQuestion(QStringLiteral("I cannot read ") + file +
                     QStringLiteral(", so I cannot keep what it holds, and I have not saved "
                                    "your text over ") +
                     over + QLatin1Char('.') +
                     (files.Primary ? QStringLiteral(" You can save your text under another name.")
                                    : QString()),
                 QStringLiteral("Cannot be read"));
}

void TConflictBar::HideConflict()
{
    Compare_Button->hide();
    KeepMine_Button->hide();
    TakeFile_Button->hide();
    SaveAs_Button->hide();
    Message_Label->hide();
    FQuestionName.clear();
    Update();
}

void TConflictBar::ShowNotice(const QString &text, bool offerVersions)
{
    Notice_Label->setText(text);
    Notice_Label->show();
    Versions_Button->setVisible(offerVersions);
    Update();
}

void TConflictBar::HideNotice()
{
    if (Notice_Label->isHidden())
        return;
    Notice_Label->hide();
    Notice_Label->clear();
    Versions_Button->hide();
    Update();
}

void TConflictBar::SetProblem(TProblem problem, const QString &text)
{
    if (FProblems.value(problem) == text)
        return;
    if (text.isEmpty()) {
        FProblems.remove(problem);
    } else {
        FProblems.insert(problem, text);
        FProblemsDismissed = false;
    }
    Update();
}

bool TConflictBar::ShowsProblem() const
{
    return !FProblems.isEmpty() && !FProblemsDismissed;
}

void TConflictBar::ShowQuestion(const QString &text, const QString &name)
{
    Message_Label->setText(text);
    Message_Label->show();
    FQuestionName = name;
    Update();
}

void TConflictBar::Update()
{
    const bool question = !FQuestionName.isEmpty();
    const bool notice = !Notice_Label->text().isEmpty() && !Notice_Label->isHidden();
    const bool problem = ShowsProblem();
    const QStringList problems = FProblems.values();
    Problem_Label->setText(problems.join(QLatin1Char(' ')));
    Problem_Label->setVisible(problem);
    Dismiss_Button->setVisible(problem);
    QStringList texts;
    if (question)
        texts << Message_Label->text();
    if (notice)
        texts << Notice_Label->text();
    if (problem)
        texts << Problem_Label->text();
    setAccessibleName(question ? FQuestionName : QStringLiteral("Notice"));
    setAccessibleDescription(texts.join(QLatin1Char(' ')));
    setVisible(question || notice || problem);
}
