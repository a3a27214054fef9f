// Configure > Writing Goal: a daily goal in words or in minutes of writing,
// or none.
#pragma once

#include "storage/WritingRecord_Unit.h"

#include <QDialog>

class QRadioButton;
class QSpinBox;

class TWritingGoal_Form : public QDialog
{
    Q_OBJECT

public:
    explicit TWritingGoal_Form(const TWritingGoal &goal, QWidget *parent = nullptr);

    TWritingGoal Goal() const;

    QRadioButton *None_Radio = nullptr;
    QRadioButton *Words_Radio = nullptr;
    QRadioButton *Minutes_Radio = nullptr;
    QSpinBox *Words_Spin = nullptr;
    QSpinBox *Minutes_Spin = nullptr;

private:
    void FollowChoice();
};

// Shows the dialog over the active window; true with `goal` changed on OK.
bool ExecuteWritingGoalDialog(TWritingGoal &goal);

// The goal as the writer's own settings keep it, and back.
TWritingGoal ReadWritingGoal();
bool SaveWritingGoal(const TWritingGoal &goal);
