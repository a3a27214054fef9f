// TMain_Form, continued: the writing goal and the record of the days, as the
// window counts the words typed, shows the day's progress beside the text's
// caption and sends the figures to the record's worker. Nothing of it runs
// before the window's first picture.

#include "windows/Main_Unit.h"

#include "app/PlatformDependence_Unit.h"
#include "storage/Worker_Unit.h"
#include "windows/ConflictBar_Unit.h"
#include "windows/Suppression_Unit.h"
#include "windows/TextLayout_Unit.h"
#include "windows/WritingCount_Unit.h"
#include "windows/WritingGoal_Unit.h"
#include "windows/WritingRecordWindow_Unit.h"

#include <QAccessible>
#include <QBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>

namespace {

// A crash costs at most this much of the record.
constexpr int RecordEveryMs = 60000;
// A writer who lets this pass between keys is idle, when the nudge has no
// interval of its own.
constexpr qint64 IdleWithoutNudgeMs = 60000;
constexpr int GoalBarWidth = 220;
constexpr qint64 KeystrokeGrainMs = 1000;
// A year of days, for the record's window.
constexpr int RecordDays = 366;

const QString CannotRecord =
    QStringLiteral("I cannot write your record of the days (%1). I will try again in a minute; "
                   "nothing of it is lost while I run.");

QString GoalProgressText(const TDayRecord &today, const TWritingGoal &goal, bool &met)
{
    const bool words = goal.Kind == TGoalKind::Words;
    const qint64 done = words ? today.Words : today.WritingSeconds / 60;
    const QString unit = words ? QStringLiteral("words") : QStringLiteral("minutes");
    met = today.Met || done >= goal.Amount;
    if (met)
        return QStringLiteral("Today's goal is met: %1 %2").arg(done).arg(unit);
    return QStringLiteral("%1 of %2 %3 today").arg(done).arg(goal.Amount).arg(unit);
}

} // namespace

void TMain_Form::StartRecord()
{
    if (FRecordWorker)
        return;
    FTally.SetGoal(ReadWritingGoal());
    FRecord = std::make_unique<TWritingRecord>();
    FRecordWorker = std::make_unique<TWorker>();
    auto *editor = static_cast<TTextEditor *>(Text_Memo);
    FWritingCount = std::make_unique<TWritingCount>(Text_Memo->document(),
                                                    [editor] { return editor->Typing(); });
    FWritingCount->Keystroke = [this] {
        // The clock is asked at most once a second: the time between is
        // counted all the same, from the keystroke before.
        if (FKeystrokeClock.isValid() && FKeystrokeClock.elapsed() < KeystrokeGrainMs)
            return;
        FKeystrokeClock.start();
        FTally.Typed(Now(), Interval() > 0 ? Interval() : IdleWithoutNudgeMs);
        if (FTally.Goal().Kind == TGoalKind::Minutes)
            ShowGoalProgress();
    };
    FWritingCount->Written = [this](qint64 delta) {
        FTally.AddWords(delta, Now());
        ShowGoalProgress();
    };
    Record_Timer = new QTimer(this);
    Record_Timer->setObjectName(QStringLiteral("Record_Timer"));
    Record_Timer->setInterval(RecordEveryMs);
    connect(Record_Timer, &QTimer::timeout, this, &TMain_Form::WriteRecord);
    Record_Timer->start();
    // What the record holds of today, under what this session adds.
    TWritingRecord *record = FRecord.get();
    const QDate today = Now().date();
    FRecordWorker->Post([this, record, today] {
        QList<TDayRecord> days;
        const bool read = record->Read(today, days);
        QMetaObject::invokeMethod(
            this,
            [this, read, days] {
                if (read && !days.isEmpty())
                    FTally.AddStored(days.constFirst());
                ShowGoalProgress();
            },
            Qt::QueuedConnection);
    });
    ShowGoalProgress();
}

TDayRecord TMain_Form::WrittenToday()
{
    return FTally.Today(Now());
}

void TMain_Form::SetWritingGoal(const TWritingGoal &goal)
{
    FTally.SetGoal(goal.Set() ? goal : TWritingGoal());
    SaveWritingGoal(FTally.Goal());
    FGoalMetTold = false;
    ShowGoalProgress();
}

void TMain_Form::WritingGoal_MenuItemClick()
{
    {
        const TSuppression suppression(*this);
        TWritingGoal goal = FTally.Goal();
        if (FDialogs.ExecuteWritingGoal && FDialogs.ExecuteWritingGoal(goal))
            SetWritingGoal(goal);
    }
    BringToFront();
}

void TMain_Form::ShowGoalProgress()
{
    const TWritingGoal &goal = FTally.Goal();
    if (!goal.Set()) {
        delete Goal_Bar;
        Goal_Bar = nullptr;
        return;
    }
    if (!Goal_Bar) {
        // Between the caption and its font buttons, which keep their place.
        QWidget *caption = YourText_Label->parentWidget();
        Goal_Bar = new QProgressBar(caption);
        Goal_Bar->setObjectName(QStringLiteral("Goal_Bar"));
        Goal_Bar->setAccessibleName(QStringLiteral("Today's writing goal"));
        Goal_Bar->setMaximumWidth(GoalBarWidth);
        Goal_Bar->setMaximumHeight(caption->height() - 2);
        Goal_Bar->setTextVisible(true);
        Goal_Bar->setFocusPolicy(Qt::NoFocus);
        auto *layout = static_cast<QBoxLayout *>(caption->layout());
        layout->insertWidget(layout->indexOf(YourText_Label) + 1, Goal_Bar);
        Goal_Bar->show();
    }
    bool met = false;
    const QString text = GoalProgressText(FTally.Today(Now()), goal, met);
    if (Goal_Bar->format() == text)
        return;
    const TDayRecord today = FTally.Today(Now());
    const qint64 done = goal.Kind == TGoalKind::Words ? today.Words : today.WritingSeconds / 60;
    Goal_Bar->setRange(0, goal.Amount);
    Goal_Bar->setValue(int(std::min<qint64>(done, goal.Amount)));
    Goal_Bar->setFormat(text);
    Goal_Bar->setToolTip(text);
    Goal_Bar->setAccessibleDescription(text);
    // A screen reader hears of the goal once, when it is met.
    if (met && !FGoalMetTold) {
        FGoalMetTold = true;
        QAccessibleEvent event(Goal_Bar, QAccessible::Alert);
        QAccessible::updateAccessibility(&event);
    }
}

void TMain_Form::WriteRecord()
{
    if (!FRecordWorker || !FTally.HasUnwritten())
        return;
    const QList<TDayRecord> rows = FTally.TakeUnwritten();
    TWritingRecord *record = FRecord.get();
    FRecordWorker->Post([this, record, rows] {
        const bool written = record->Add(rows);
        const QString error = written ? QString() : record->Error();
        QMetaObject::invokeMethod(
            this, [this, written, rows, error] { RecordWritten(written, rows, error); },
            Qt::QueuedConnection);
    });
}

void TMain_Form::RecordWritten(bool written, const QList<TDayRecord> &rows, const QString &error)
{
    if (written) {
        FRecordFailing = false;
        return;
    }
    // Kept for the next write; told once while the writes fail.
    FTally.PutBack(rows);
    if (!FRecordFailing && !FQuiet)
        ConflictBar()->ShowNotice(CannotRecord.arg(error));
    FRecordFailing = true;
}

void TMain_Form::FinishRecord()
{
    if (!FRecordWorker)
        return;
    WriteRecord();
    FRecordWorker->WaitForDone();
}

void TMain_Form::EndRecord()
{
    FinishRecord();
    FWritingCount.reset();
    delete Record_Timer;
    Record_Timer = nullptr;
    FRecordWorker.reset();
    FRecord.reset();
    FTally = TWritingTally();
    ShowGoalProgress();
}

void TMain_Form::SetRecordForTesting(const QString &database)
{
    StartRecord();
    FRecordWorker->WaitForDone();
    FRecord = std::make_unique<TWritingRecord>(database);
}

void TMain_Form::WaitForRecord()
{
    if (FRecordWorker)
        FRecordWorker->WaitForDone();
}

TWritingRecord_Form *TMain_Form::OpenWritingRecord()
{
    auto *form = new TWritingRecord_Form(this);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();
    StartRecord();
    // What this session counted goes first, so that the days read hold it.
    WriteRecord();
    TWritingRecord *record = FRecord.get();
    const QDate today = Now().date();
    const QPointer<TWritingRecord_Form> shown(form);
    FRecordWorker->Post([this, record, today, shown] {
        QList<TDayRecord> days;
        const bool read = record->Read(today.addDays(1 - RecordDays), days);
        const QString error = read ? QString() : record->Error();
        QMetaObject::invokeMethod(
            this,
            [this, shown, days, today, read, error] {
                if (!shown)
                    return;
                if (read)
                    shown->SetDays(days, today, FTally.Goal());
                else
                    shown->ShowUnreadable(error);
            },
            Qt::QueuedConnection);
    });
    return form;
}
