// The record of the days: its place beside the history in one store, the
// streak, the split of a session's time at midnight, and a failed write that
// loses nothing.

#include "storage/History_Unit.h"
#include "storage/VersionCodec_Unit.h"
#include "storage/WritingRecord_Unit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_WritingRecord_Unit : public QObject
{
    Q_OBJECT

private:
    static TDayRecord Day(const char *date, qint64 words, TGoalKind kind, int goal, bool met)
    {
        TDayRecord day;
        day.Day = QDate::fromString(QString::fromLatin1(date), Qt::ISODate);
        day.Words = words;
        day.Goal = {kind, goal};
        day.Met = met;
        return day;
    }

private Q_SLOTS:
    // Whichever opens the store first, the other finds its own tables there.
    void sharesTheStoreWithTheHistory_data()
    {
        QTest::addColumn<bool>("recordFirst");
        QTest::newRow("the record first") << true;
        QTest::newRow("the history first") << false;
    }
    void sharesTheStoreWithTheHistory()
    {
        QFETCH(bool, recordFirst);
        QTemporaryDir dir;
        QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
        const QString database = dir.filePath(QStringLiteral("private/nudger.db"));
        const QString primary = dir.filePath(QStringLiteral("novel.txt"));
        const QByteArray bytes("Only the sea.");
        TDayRecord day;
        day.Day = QDate(2026, 12, 10);
        day.Words = 25;
        if (recordFirst) {
            TWritingRecord record(database);
            QVERIFY2(record.Add({day}), qPrintable(record.Error()));
        }
        {
            THistory history(database, dir.filePath(QStringLiteral("old")));
            history.SetPrimaryFile(primary);
            QCOMPARE(history.Keep(bytes, VersionDigest(bytes), TVersionReason::SavedEarlier,
                                  QDateTime::currentDateTimeUtc()),
                     TKeepResult::Kept);
        }
        if (!recordFirst) {
            TWritingRecord record(database);
            QVERIFY2(record.Add({day}), qPrintable(record.Error()));
        }
        THistory again(database, dir.filePath(QStringLiteral("old")));
        again.SetPrimaryFile(primary);
        QCOMPARE(again.Versions().size(), 1);
        QCOMPARE(again.State(), THistory::TState::Working);
        TWritingRecord record(database);
        QList<TDayRecord> days;
        QVERIFY(record.Read(QDate(2026, 1, 1), days));
        QCOMPARE(days.size(), 1);
        QCOMPARE(days.constFirst().Words, qint64(25));
        QCOMPARE(QFile::permissions(database) & (QFile::ReadGroup | QFile::ReadOther),
                 QFile::Permissions());
    }

    void streak_data()
    {
        QTest::addColumn<QList<TDayRecord>>("days");
        QTest::addColumn<int>("streak");
        const TGoalKind words = TGoalKind::Words;
        const TGoalKind none = TGoalKind::None;
        QTest::newRow("nothing recorded") << QList<TDayRecord>{} << 0;
        QTest::newRow("three days met")
            << QList<TDayRecord>{Day("2026-12-08", 600, words, 500, true),
                                 Day("2026-12-09", 500, words, 500, true),
                                 Day("2026-12-10", 700, words, 500, true)}
            << 3;
        QTest::newRow("today still to be met")
            << QList<TDayRecord>{Day("2026-12-09", 500, words, 500, true),
                                 Day("2026-12-10", 20, words, 500, false)}
            << 1;
        QTest::newRow("a day missed breaks it")
            << QList<TDayRecord>{Day("2026-12-07", 500, words, 500, true),
                                 Day("2026-12-08", 10, words, 500, false),
                                 Day("2026-12-09", 500, words, 500, true)}
            << 1;
        QTest::newRow("a day with no goal neither breaks nor adds")
            << QList<TDayRecord>{Day("2026-12-08", 500, words, 500, true),
                                 Day("2026-12-09", 3, none, 0, false),
                                 Day("2026-12-10", 500, words, 500, true)}
            << 2;
        QTest::newRow("a day not opened breaks it")
            << QList<TDayRecord>{Day("2026-12-07", 500, words, 500, true),
                                 Day("2026-12-09", 500, words, 500, true)}
            << 1;
    }
    void streak()
    {
        QFETCH(QList<TDayRecord>, days);
        QFETCH(int, streak);
        QCOMPARE(Streak(days, QDate(2026, 12, 10)), streak);
    }

    // Writing and idle time, and nudges, go to the day they happened on.
    void timeIsSplitAtMidnight()
    {
        TWritingTally tally;
        const QDateTime late(QDate(2026, 12, 10), QTime(23, 59, 50));
        tally.Typed(late, 10000);
        tally.Typed(late.addSecs(8), 10000);
        tally.Typed(late.addSecs(16), 10000);  // 00:00:06
        tally.Typed(late.addSecs(40), 10000);  // a pause longer than the nudge's
        tally.Nudged(late.addSecs(50));        // 00:00:40
        tally.Typed(late.addSecs(110), 10000); // idle 60 s
        const QList<TDayRecord> rows = tally.TakeUnwritten();
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].WritingSeconds, qint64(10));
        QCOMPARE(rows[1].WritingSeconds, qint64(6));
        QCOMPARE(rows[1].IdleSeconds, qint64(60));
        QCOMPARE(rows[1].Nudges, qint64(1));
    }

    // A store that cannot be written keeps nothing, and the tally keeps
    // the figures for the next try, which then counts them once.
    void failedWriteLosesNothing()
    {
        QTemporaryDir dir;
        QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
        // A folder where the store's file should be: not even root opens it.
        const QString database = dir.filePath(QStringLiteral("nudger.db"));
        QVERIFY(QDir().mkpath(database));
        TWritingRecord record(database);
        TWritingTally tally;
        tally.AddWords(12, QDateTime(QDate(2026, 12, 10), QTime(9, 0)));
        const QList<TDayRecord> rows = tally.TakeUnwritten();
        QVERIFY(!record.Add(rows));
        QVERIFY(!record.Error().isEmpty());
        tally.PutBack(rows);
        QVERIFY(QDir(database).removeRecursively());
        QVERIFY(record.Add(tally.TakeUnwritten()));
        QList<TDayRecord> days;
        QVERIFY(record.Read(QDate(2026, 12, 1), days));
        QCOMPARE(days.value(0).Words, qint64(12));
    }
};

QTEST_MAIN(tst_WritingRecord_Unit)
#include "tst_WritingRecord_Unit.moc"
