// The writer's record of the days: for each local day the words they wrote,
// the time they spent writing and idle after a nudge, the nudges, and the
// goal of the day and whether it was met. It lives in the private store the
// history uses (nudger.db), in a table of its own:
//   days(day TEXT PRIMARY KEY  -- local date, yyyy-MM-dd
//        words, writing_seconds, idle_seconds, nudges INTEGER,
//        goal_kind INTEGER (0 none, 1 words, 2 minutes), goal INTEGER,
//        met INTEGER (1 once the day's figures reached its goal))
// Every running Nudger adds what it counted to the day's row, so that two
// copies writing on the same day both count. TWritingTally keeps a session's
// figures until they are written; TWritingRecord writes and reads them, on
// one thread at a time (the record's worker).
#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>

#include <memory>

class TSqliteDatabase;

enum class TGoalKind
{
    None = 0,
    Words = 1,
    Minutes = 2
};

struct TWritingGoal
{
    TGoalKind Kind = TGoalKind::None;
    int Amount = 0;

    bool Set() const { return Kind != TGoalKind::None && Amount > 0; }
    bool operator==(const TWritingGoal &other) const
    {
        return Kind == other.Kind && Amount == other.Amount;
    }
};

struct TDayRecord
{
    QDate Day;
    qint64 Words = 0;
    qint64 WritingSeconds = 0;
    qint64 IdleSeconds = 0;
    qint64 Nudges = 0;
    TWritingGoal Goal;
    bool Met = false;

    // The figures reach the goal (none is never reached).
    bool Reaches(const TWritingGoal &goal) const;
};

// The days in a row, up to today, on which the goal was met. A day recorded
// with no goal neither breaks nor adds to it; a day not recorded at all, or
// recorded with a goal not met, breaks it; today breaks nothing while its
// goal is still to be met. `days` in any order.
int Streak(const QList<TDayRecord> &days, QDate today);

// What one session counts, split by local day, until it is written.
class TWritingTally
{
public:
    // Words typed (or, negative, taken off). Today's figure never goes below
    // zero: what would take it there is not counted.
    void AddWords(qint64 delta, const QDateTime &now);
    // A keystroke. The time since the one before counts as writing unless it
    // is longer than idleMs (the nudge's interval); the time since a nudge
    // that came meanwhile counts as idle.
    void Typed(const QDateTime &now, qint64 idleMs);
    void Nudged(const QDateTime &now);
    // A new goal is met once the figures reach it.
    void SetGoal(const TWritingGoal &goal)
    {
        FGoal = goal;
        FToday.Met = false;
    }
    const TWritingGoal &Goal() const { return FGoal; }
    // What the store held of today when the session began: added under
    // what the session counted.
    void AddStored(const TDayRecord &stored);

    // Today's figures, the stored ones with the session's.
    TDayRecord Today(const QDateTime &now);
    // The figures not yet written, one row per day, each with the goal;
    // the tally then holds none.
    QList<TDayRecord> TakeUnwritten();
    // A write that failed: its figures wait for the next.
    void PutBack(const QList<TDayRecord> &rows);
    bool HasUnwritten() const { return !FUnwritten.isEmpty(); }

private:
    void MoveToDay(QDate day);
    TDayRecord &Unwritten(QDate day);
    // Adds the seconds from..to to `field` of each day they cross.
    void AddSpan(QDateTime from, const QDateTime &to, qint64 TDayRecord::*field);

    TWritingGoal FGoal;
    TDayRecord FToday;
    QMap<QDate, TDayRecord> FUnwritten;
    QDateTime FLastTyped;
    QDateTime FNudgedAt;
};

class TWritingRecord
{
public:
    // The database file; empty: the private store's nudger.db.
    explicit TWritingRecord(const QString &database = QString());
    ~TWritingRecord();
    TWritingRecord(const TWritingRecord &) = delete;
    TWritingRecord &operator=(const TWritingRecord &) = delete;

    // Adds the rows' figures to their days in one transaction; the goal and
    // whether it is met follow the latest. False (Error() says why) when
    // nothing was written.
    bool Add(const QList<TDayRecord> &rows);
    // The days from `from` on, oldest first; false when the store cannot be
    // read. A store not made yet holds no days, and is not made here.
    bool Read(QDate from, QList<TDayRecord> &days);
    QString Error() const { return FError; }

private:
    bool Ready();
    bool Open();

    QString FPath;
    std::unique_ptr<TSqliteDatabase> FDatabase;
    QString FError;
};
