#include "storage/WritingRecord_Unit.h"

#include "storage/PrivateFolder_Unit.h"
#include "storage/Sqlite_Unit.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

// Another Nudger's write is waited for this long.
constexpr int BusyMs = 10000;
const QString DayFormat = QStringLiteral("yyyy-MM-dd");

const char *const TableSql = R"(
CREATE TABLE IF NOT EXISTS days (
    day TEXT PRIMARY KEY,
    words INTEGER NOT NULL DEFAULT 0,
    writing_seconds INTEGER NOT NULL DEFAULT 0,
    idle_seconds INTEGER NOT NULL DEFAULT 0,
    nudges INTEGER NOT NULL DEFAULT 0,
    goal_kind INTEGER NOT NULL DEFAULT 0,
    goal INTEGER NOT NULL DEFAULT 0,
    met INTEGER NOT NULL DEFAULT 0
)
)";

// What a session counted goes on top of what the others did; a day's words
// never go below zero.
const char *const AddSql = R"(
INSERT INTO days (day, words, writing_seconds, idle_seconds, nudges, goal_kind, goal)
VALUES (?1, max(0, ?2), ?3, ?4, ?5, ?6, ?7)
ON CONFLICT(day) DO UPDATE SET
    words = max(0, words + excluded.words),
    writing_seconds = writing_seconds + excluded.writing_seconds,
    idle_seconds = idle_seconds + excluded.idle_seconds,
    nudges = nudges + excluded.nudges,
    goal_kind = excluded.goal_kind,
    goal = excluded.goal
)";

// Once met, a day stays met.
const char *const MetSql = R"(
UPDATE days SET met = 1 WHERE day = ?1 AND goal > 0 AND
    ((goal_kind = 1 AND words >= goal) OR (goal_kind = 2 AND writing_seconds >= goal * 60))
)";

const char *const ReadSql = R"(
SELECT day, words, writing_seconds, idle_seconds, nudges, goal_kind, goal, met
FROM days WHERE day >= ?1 ORDER BY day
)";

TGoalKind KindOf(std::int64_t code)
{
    return code == 1 ? TGoalKind::Words : code == 2 ? TGoalKind::Minutes : TGoalKind::None;
}

} // namespace

bool TDayRecord::Reaches(const TWritingGoal &goal) const
{
    switch (goal.Set() ? goal.Kind : TGoalKind::None) {
    case TGoalKind::Words:
        return Words >= goal.Amount;
    case TGoalKind::Minutes:
        return WritingSeconds >= qint64(goal.Amount) * 60;
    case TGoalKind::None:
        break;
    }
    return false;
}

int Streak(const QList<TDayRecord> &days, QDate today)
{
    QMap<QDate, const TDayRecord *> byDay;
    for (const TDayRecord &day : days)
        byDay.insert(day.Day, &day);
    int streak = 0;
    for (QDate day = today; !byDay.isEmpty() && day >= byDay.firstKey(); day = day.addDays(-1)) {
        const TDayRecord *record = byDay.value(day);
        if (record && !record->Goal.Set())
            continue;
        if (record && record->Met)
            ++streak;
        else if (day != today)
            break;
    }
    return streak;
}

// ---------------------------------------------------------------------------
// The session's tally

void TWritingTally::MoveToDay(QDate day)
{
    if (FToday.Day == day)
        return;
    FToday = TDayRecord();
    FToday.Day = day;
}

TDayRecord &TWritingTally::Unwritten(QDate day)
{
    TDayRecord &row = FUnwritten[day];
    row.Day = day;
    return row;
}

void TWritingTally::AddWords(qint64 delta, const QDateTime &now)
{
    MoveToDay(now.date());
    const qint64 counted = std::max(delta, -FToday.Words);
    if (counted == 0)
        return;
    FToday.Words += counted;
    Unwritten(FToday.Day).Words += counted;
}

void TWritingTally::AddSpan(QDateTime from, const QDateTime &to, qint64 TDayRecord::*field)
{
    while (from < to) {
        const QDateTime midnight(from.date().addDays(1), QTime(0, 0));
        const QDateTime end = std::min(midnight, to);
        const qint64 seconds = from.secsTo(end);
        Unwritten(from.date()).*field += seconds;
        if (from.date() == FToday.Day)
            FToday.*field += seconds;
        from = end;
    }
}

void TWritingTally::Typed(const QDateTime &now, qint64 idleMs)
{
    MoveToDay(now.date());
    if (FNudgedAt.isValid()) {
        AddSpan(FNudgedAt, now, &TDayRecord::IdleSeconds);
        FNudgedAt = QDateTime();
    } else if (FLastTyped.isValid() && FLastTyped.msecsTo(now) <= idleMs) {
        AddSpan(FLastTyped, now, &TDayRecord::WritingSeconds);
    }
    FLastTyped = now;
}

void TWritingTally::Nudged(const QDateTime &now)
{
    MoveToDay(now.date());
    ++FToday.Nudges;
    ++Unwritten(FToday.Day).Nudges;
    if (!FNudgedAt.isValid())
        FNudgedAt = now;
}

void TWritingTally::AddStored(const TDayRecord &stored)
{
    if (stored.Day != FToday.Day && FToday.Day.isValid())
        return;
    FToday.Day = stored.Day;
    FToday.Words += stored.Words;
    FToday.WritingSeconds += stored.WritingSeconds;
    FToday.IdleSeconds += stored.IdleSeconds;
    FToday.Nudges += stored.Nudges;
    FToday.Met = FToday.Met || stored.Met;
}

TDayRecord TWritingTally::Today(const QDateTime &now)
{
    MoveToDay(now.date());
    FToday.Goal = FGoal;
    FToday.Met = FToday.Met || FToday.Reaches(FGoal);
    return FToday;
}

QList<TDayRecord> TWritingTally::TakeUnwritten()
{
    QList<TDayRecord> rows = FUnwritten.values();
    for (TDayRecord &row : rows)
        row.Goal = FGoal;
    FUnwritten.clear();
    return rows;
}

void TWritingTally::PutBack(const QList<TDayRecord> &rows)
{
    for (const TDayRecord &row : rows) {
        TDayRecord &waiting = Unwritten(row.Day);
        waiting.Words += row.Words;
        waiting.WritingSeconds += row.WritingSeconds;
        waiting.IdleSeconds += row.IdleSeconds;
        waiting.Nudges += row.Nudges;
    }
}

// ---------------------------------------------------------------------------
// The store

TWritingRecord::TWritingRecord(const QString &database)
    : FPath(database.isEmpty() ? PrivateFolder(QStringLiteral("nudger.db"))
                               : QDir::cleanPath(QFileInfo(database).absoluteFilePath()))
{
}

TWritingRecord::~TWritingRecord() = default;

bool TWritingRecord::Ready()
{
    // A store that failed is tried afresh at the next write: the folder may
    // be back.
    if (FDatabase)
        return true;
    if (Open())
        return true;
    FDatabase.reset();
    return false;
}

bool TWritingRecord::Open()
{
    const QString folder = QFileInfo(FPath).absolutePath();
    if (!MakePrivateFolder(folder)) {
        FError = QStringLiteral("the folder %1 cannot be made").arg(folder);
        return false;
    }
    // Made private before SQLite first writes it, as the history does.
    if (!QFileInfo::exists(FPath) &&
        WriteNewPrivateFile(FPath, QByteArray()) == TNewFileResult::Failed) {
        FError = QStringLiteral("the file %1 cannot be made").arg(FPath);
        return false;
    }
    FDatabase = std::make_unique<TSqliteDatabase>();
    if (!FDatabase->Open(FPath, BusyMs)) {
        FError = FDatabase->Error();
        return false;
    }
    // A damaged store is the history's to set aside; the record waits.
    if (FDatabase->TextOf("PRAGMA quick_check") != QLatin1String("ok")) {
        FError = QStringLiteral("the store %1 is damaged").arg(FPath);
        return false;
    }
    if (!FDatabase->Exec("PRAGMA journal_mode = WAL; PRAGMA synchronous = FULL") ||
        !FDatabase->Exec(TableSql)) {
        FError = FDatabase->Error();
        return false;
    }
    return true;
}

bool TWritingRecord::Add(const QList<TDayRecord> &rows)
{
    if (!Ready())
        return false;
    TSqliteTransaction transaction(*FDatabase);
    TSqliteStatement add = FDatabase->Prepare(AddSql);
    TSqliteStatement met = FDatabase->Prepare(MetSql);
    bool done = transaction.Began() && add.Valid() && met.Valid();
    for (const TDayRecord &row : rows) {
        if (!done)
            break;
        const QString day = row.Day.toString(DayFormat);
        add.Bind(1, day).Bind(2, row.Words).Bind(3, row.WritingSeconds).Bind(4, row.IdleSeconds);
        add.Bind(5, row.Nudges).Bind(6, std::int64_t(row.Goal.Kind)).Bind(7, row.Goal.Amount);
        met.Bind(1, day);
        done = add.Run() && met.Run();
        add.Reset();
        met.Reset();
    }
    if (!done || !transaction.Commit()) {
        FError = FDatabase->Error();
        // The connection is made afresh at the next try.
        FDatabase.reset();
        return false;
    }
    return true;
}

bool TWritingRecord::Read(QDate from, QList<TDayRecord> &days)
{
    days.clear();
    // Nothing recorded yet: reading makes no store.
    if (!FDatabase && !QFileInfo::exists(FPath))
        return true;
    if (!Ready())
        return false;
    TSqliteStatement read = FDatabase->Prepare(ReadSql);
    if (!read.Valid()) {
        FError = FDatabase->Error();
        return false;
    }
    read.Bind(1, from.toString(DayFormat));
    TSqliteStatement::TStep step;
    while ((step = read.Step()) == TSqliteStatement::TStep::Row) {
        TDayRecord day;
        day.Day = QDate::fromString(read.Text(0), DayFormat);
        day.Words = read.Int(1);
        day.WritingSeconds = read.Int(2);
        day.IdleSeconds = read.Int(3);
        day.Nudges = read.Int(4);
        day.Goal.Kind = KindOf(read.Int(5));
        day.Goal.Amount = int(read.Int(6));
        day.Met = read.Int(7) != 0;
        days.append(day);
    }
    if (step == TSqliteStatement::TStep::Failed) {
        FError = FDatabase->Error();
        return false;
    }
    return true;
}
