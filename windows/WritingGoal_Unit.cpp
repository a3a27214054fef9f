#include "windows/WritingGoal_Unit.h"

#include "storage/WriterSettings_Unit.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

const QString GoalKindKey = QStringLiteral("Goal/Kind");
const QString GoalAmountKey = QStringLiteral("Goal/Amount");
constexpr int DefaultWords = 500;
constexpr int DefaultMinutes = 30;

QSpinBox *NewSpin(const char *name, int maximum, int value, const QString &suffix)
{
    auto *spin = new QSpinBox;
    spin->setObjectName(QString::fromLatin1(name));
    spin->setRange(1, maximum);
    spin->setValue(value);
    spin->setSuffix(suffix);
    return spin;
}

} // namespace

TWritingGoal_Form::TWritingGoal_Form(const TWritingGoal &goal, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("WritingGoal_Form"));
    setWindowTitle(QStringLiteral("Writing Goal"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Each day's goal:"), this));
    auto *grid = new QGridLayout;
    None_Radio = new QRadioButton(QStringLiteral("&No goal"), this);
    Words_Radio = new QRadioButton(QStringLiteral("&Words written:"), this);
    Minutes_Radio = new QRadioButton(QStringLiteral("&Minutes of writing:"), this);
    const bool words = goal.Set() && goal.Kind == TGoalKind::Words;
    const bool minutes = goal.Set() && goal.Kind == TGoalKind::Minutes;
    Words_Spin =
        NewSpin("Words_Spin", 100000, words ? goal.Amount : DefaultWords, QStringLiteral(" words"));
    Minutes_Spin = NewSpin("Minutes_Spin", 1440, minutes ? goal.Amount : DefaultMinutes,
                           QStringLiteral(" minutes"));
    Words_Spin->setAccessibleName(QStringLiteral("Words a day"));
    Minutes_Spin->setAccessibleName(QStringLiteral("Minutes a day"));
    grid->addWidget(None_Radio, 0, 0, 1, 2);
    grid->addWidget(Words_Radio, 1, 0);
    grid->addWidget(Words_Spin, 1, 1);
    grid->addWidget(Minutes_Radio, 2, 0);
    grid->addWidget(Minutes_Spin, 2, 1);
    layout->addLayout(grid);
    (words ? Words_Radio : minutes ? Minutes_Radio : None_Radio)->setChecked(true);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    for (QRadioButton *radio : {None_Radio, Words_Radio, Minutes_Radio})
        connect(radio, &QRadioButton::toggled, this, &TWritingGoal_Form::FollowChoice);
    FollowChoice();
}

void TWritingGoal_Form::FollowChoice()
{
    Words_Spin->setEnabled(Words_Radio->isChecked());
    Minutes_Spin->setEnabled(Minutes_Radio->isChecked());
}

TWritingGoal TWritingGoal_Form::Goal() const
{
    TWritingGoal goal;
    if (Words_Radio->isChecked())
        goal = {TGoalKind::Words, Words_Spin->value()};
    else if (Minutes_Radio->isChecked())
        goal = {TGoalKind::Minutes, Minutes_Spin->value()};
    return goal;
}

bool ExecuteWritingGoalDialog(TWritingGoal &goal)
{
    TWritingGoal_Form form(goal, QApplication::activeWindow());
    if (form.exec() != QDialog::Accepted)
        return false;
    goal = form.Goal();
    return true;
}

TWritingGoal ReadWritingGoal()
{
    const TWriterSettings settings;
    const QString kind = settings.Value(GoalKindKey);
    TWritingGoal goal;
    goal.Amount = settings.IntValue(GoalAmountKey, 0);
    if (kind == QLatin1String("words"))
        goal.Kind = TGoalKind::Words;
    else if (kind == QLatin1String("minutes"))
        goal.Kind = TGoalKind::Minutes;
    return goal.Set() ? goal : TWritingGoal();
}

bool SaveWritingGoal(const TWritingGoal &goal)
{
    TWriterSettings settings;
    const QString kind = !goal.Set()                     ? QStringLiteral("none")
                         : goal.Kind == TGoalKind::Words ? QStringLiteral("words")
                                                         : QStringLiteral("minutes");
    return settings.SetValue(GoalKindKey, kind) &&
           settings.SetIntValue(GoalAmountKey, goal.Set() ? goal.Amount : 0);
}
