// The history: each content kept once in the private store, read back whole
// and checked, pruned by the rules the manual gives, a damaged database set
// aside, and the plain-file histories of earlier Nudgers taken in.

#include "storage/History_Unit.h"

#include "storage/PrivateFolder_Unit.h"
#include "storage/Sqlite_Unit.h"
#include "support/FileBytes.h"
#include "support/FullDisk.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <set>

#include <sys/stat.h>
#include <time.h>

namespace {

int Mode(const QString &path)
{
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

const QDateTime Now = QDateTime(QDate(2026, 12, 9), QTime(14, 5, 9), Qt::UTC);

TKeepResult KeepBytes(THistory &history, const QByteArray &bytes, TVersionReason reason,
                      const QDateTime &when, TVersion *version = nullptr)
{
    return history.Keep(bytes, VersionDigest(bytes), reason, when, version);
}

// A manuscript that grows and changes a little at each version.
QByteArray Manuscript(int version)
{
    QByteArray text;
    for (int line = 0; line < 300; ++line)
        text += "Line " + QByteArray::number(line) + " of the story, " +
                QByteArray::number((line * 7 + (line % 13 == version % 13 ? version : 0)) % 97) +
                " words and more.\r\n";
    for (int added = 0; added < version; ++added)
        text += "An added sentence number " + QByteArray::number(added) + ".\r\n";
    return text;
}

} // namespace

class tst_History_Unit : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> FDir;

    QString Database() const { return FDir->filePath(QStringLiteral("private/nudger.db")); }
    QString OldRoot() const { return FDir->filePath(QStringLiteral("private/history")); }
    QString Primary(const char *name = "text.txt") const
    {
        return FDir->filePath(QString::fromLatin1(name));
    }
    std::unique_ptr<THistory> Open(const char *primary = "text.txt",
                                   qint64 bound = THistory::DefaultBound)
    {
        auto history = std::make_unique<THistory>(Database(), OldRoot(), bound);
        history->SetPrimaryFile(Primary(primary));
        return history;
    }
    // Runs SQL on the store as another program would.
    bool Tamper(const char *sql)
    {
        TSqliteDatabase database;
        return database.Open(Database(), 1000) && database.Exec(sql);
    }

private Q_SLOTS:
    void initTestCase()
    {
        // The days of pruning are local days: these tests count in UTC's.
        qputenv("TZ", "UTC");
        tzset();
    }
    void init()
    {
        FDir = std::make_unique<QTemporaryDir>();
        QVERIFY2(FDir->isValid(), qPrintable(FDir->errorString()));
    }

    // Two Nudgers on one file keep one content once, in a store that is the
    // writer's alone; keeping it again renews its time.
    void eachContentIsKeptOnce()
    {
        const auto first = Open();
        const auto second = Open();
        const QByteArray bytes("one\r\ntwo words");
        TVersion kept;
        QCOMPARE(KeepBytes(*first, bytes, TVersionReason::SavedEarlier, Now, &kept),
                 TKeepResult::Kept);
        TVersion again;
        QCOMPARE(KeepBytes(*second, bytes, TVersionReason::ReadAgain, Now.addDays(3), &again),
                 TKeepResult::AlreadyKept);
        QCOMPARE(again.Id, kept.Id);
        QCOMPARE(KeepBytes(*first, QByteArray(), TVersionReason::ReadAgain, Now),
                 TKeepResult::AlreadyKept);

        const QVector<TVersion> listed = second->Versions();
        QCOMPARE(listed.size(), 1);
        // The displaced text it was kept as the second time wins over the
        // writer's own version, and its time is the later one.
        QCOMPARE(listed.constFirst().Reason, TVersionReason::ReadAgain);
        QCOMPARE(listed.constFirst().Time, Now.addDays(3));
        QCOMPARE(listed.constFirst().Words, 3);
        QCOMPARE(listed.constFirst().Size, bytes.size());
        QByteArray read;
        QVERIFY(first->Read(listed.constFirst(), read));
        QCOMPARE(read, bytes);
        QCOMPARE(Mode(Database()), 0600);
        QCOMPARE(Mode(QFileInfo(Database()).path()), 0700);
        QCOMPARE(Mode(Database() + QStringLiteral("-wal")), 0600);
        QCOMPARE(first->LastTimelineKept(), QDateTime());
    }

    // A word begins after white space; every length around the eight bytes
    // read at a time, and more words than one pass of lanes holds.
    void countsWords_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("words");
        QTest::newRow("empty") << QByteArray() << qint64(0);
        QTest::newRow("white only") << QByteArray(" \t\r\n\f\v  \n\n") << qint64(0);
        QTest::newRow("each kind of white") << QByteArray("a b\tc\rd\ne\ff\vg") << qint64(7);
        QTest::newRow("a word over the eighth byte") << QByteArray("  sevenths word") << qint64(2);
        QTest::newRow("short tail") << QByteArray("12345678 a") << qint64(2);
        QTest::newRow("no-break space and controls join")
            << QByteArray("one\xc2\xa0two\x01three\x1f \x7f") << qint64(2);
        QTest::newRow("high bytes are not white")
            << QByteArray("\xa0\x89 \x8a\x8d \xe2\x80\x83") << qint64(3);
        QTest::newRow("many passes") << QByteArray("a b ").repeated(3000) << qint64(6000);
        QTest::newRow("one long word") << QByteArray(5000, 'x') << qint64(1);
    }
    void countsWords()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, words);
        QCOMPARE(CountWords(bytes), words);
        // Every alignment of the same bytes against a byte-at-a-time count.
        const auto plain = [](const QByteArray &text) {
            qint64 count = 0;
            bool white = true;
            for (const char c : text) {
                const bool now = c == ' ' || (c >= '\t' && c <= '\r');
                count += white && !now;
                white = now;
            }
            return count;
        };
        for (int cut = 1; cut < 9 && cut < bytes.size(); ++cut)
            QCOMPARE(CountWords(bytes.mid(cut)), plain(bytes.mid(cut)));
    }

    // Versions are kept as frames against anchors, chained back to a whole
    // text; every one comes back whole, past the chain's bound, after
    // versions (anchors, whole texts) in the middle went, and as the
    // chains go on after that.
    void chainsReadBack_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("minutesApart");
        QTest::addColumn<int>("daysOld"); // of the first version
        const int pastBound = THistory::AnchorEvery * (THistory::AnchorChain + 2) + 5;
        QTest::newRow("past the chain's bound, none going") << pastBound << 1 << 2;
        QTest::newRow("the old ones thinned to a day each") << pastBound << 60 << 60;
        QTest::newRow("all but the newest of a day each") << 300 << 10 << 80;
        QTest::newRow("a few a day, some days going") << 200 << 400 << 75;
    }
    void chainsReadBack()
    {
        QFETCH(int, count);
        QFETCH(int, minutesApart);
        QFETCH(int, daysOld);
        const auto history = Open();
        const QDateTime first = Now.addDays(-daysOld);
        int recentKept = THistory::AnchorEvery + 3; // those kept after the pruning
        for (int version = 0; version < count; ++version) {
            const QDateTime when = first.addSecs(qint64(version) * minutesApart * 60);
            recentKept += when >= Now.addDays(-THistory::KeepDays);
            QCOMPARE(KeepBytes(*history, Manuscript(version), TVersionReason::SavedEarlier, when),
                     TKeepResult::Kept);
        }
        TSqliteDatabase database;
        QVERIFY(database.Open(Database(), 1000));
        // Frames take little room: all of them less than a fiftieth of the
        // texts kept whole.
        QVERIFY(database.IntOf("SELECT sum(length(data)) FROM versions") * 50 <
                count * Manuscript(count).size());
        QVERIFY(database.IntOf("SELECT max(depth) FROM versions") <= THistory::MaxDepth);
        history->Prune(Now);
        QVERIFY(database.IntOf("SELECT max(depth) FROM versions") <= THistory::MaxDepth);
        // The chains go on from what stayed.
        for (int version = count; version < count + THistory::AnchorEvery + 3; ++version)
            QCOMPARE(KeepBytes(*history, Manuscript(version), TVersionReason::SavedEarlier,
                               Now.addSecs(version - count)),
                     TKeepResult::Kept);
        const QVector<TVersion> left = Open()->Versions();
        const auto reopened = Open();
        for (const TVersion &version : left) {
            QByteArray bytes;
            QVERIFY(reopened->Read(version, bytes));
            QCOMPARE(VersionDigest(bytes), version.Digest);
        }
        // Every version of the last 30 days stayed, and one a day before.
        std::set<QDate> days;
        int recent = 0;
        for (const TVersion &version : left) {
            if (version.Time >= Now.addDays(-THistory::KeepDays))
                ++recent;
            else
                QVERIFY(days.insert(version.Time.date()).second);
        }
        QCOMPARE(recent, recentKept);
        QByteArray newest;
        QVERIFY(reopened->Read(left.constFirst(), newest));
        QCOMPARE(newest, Manuscript(count + THistory::AnchorEvery + 2));
    }

    // What stays, by the manual's rule. Each version: its age in hours and
    // whether it is the writer's own (timeline) or a text something else
    // displaced; 100 bytes a frame, about.
    void pruning_data()
    {
        QTest::addColumn<QList<int>>("hours");
        QTest::addColumn<QList<bool>>("timeline");
        QTest::addColumn<qint64>("bound");
        QTest::addColumn<QList<int>>("left");
        QTest::addColumn<bool>("full");
        const qint64 none = THistory::DefaultBound;
        // 990 and 980 hours back are one day (UTC), 1000 and 960 others.
        QTest::newRow("the last 30 days all stay; older, the newest of each day")
            << QList<int>{1000, 990, 980, 960, 100, 2}
            << QList<bool>{true, true, false, true, true, true} << none
            << QList<int>{1000, 980, 960, 100, 2} << false;
        QTest::newRow("the newest of a day, however old")
            << QList<int>{1502, 1500} << QList<bool>{false, false} << none << QList<int>{1500}
            << false;
        QTest::newRow("past the bound, the writer's own versions older than a day go")
            << QList<int>{200, 1} << QList<bool>{true, false} << qint64(100) << QList<int>{1}
            << false;
        QTest::newRow("past the bound, and then the days past those kept")
            << QList<int>{800, 200, 150, 100, 50, 10, 1}
            << QList<bool>{false, true, false, true, false, true, true} << qint64(1)
            << QList<int>{150, 50, 10, 1} << true;
        QTest::newRow("past the bound, never a displaced text of the last 30 days")
            << QList<int>{300, 200, 100, 1} << QList<bool>{false, false, false, false} << qint64(1)
            << QList<int>{300, 200, 100, 1} << true;
    }
    void pruning()
    {
        QFETCH(QList<int>, hours);
        QFETCH(QList<bool>, timeline);
        QFETCH(qint64, bound);
        QFETCH(QList<int>, left);
        QFETCH(bool, full);
        const auto history = Open("text.txt", bound);
        for (int i = 0; i < hours.size(); ++i) {
            // Texts unlike each other, so that each frame is whole.
            QByteArray bytes;
            for (int word = 0; word < 12; ++word)
                bytes += QByteArray::number((hours[i] * 7919 + word * 104729) % 1000003) + ' ';
            QCOMPARE(KeepBytes(*history, bytes,
                               timeline[i] ? TVersionReason::SavedEarlier
                                           : TVersionReason::ChangedOutside,
                               Now.addSecs(-3600LL * hours[i])),
                     TKeepResult::Kept);
        }
        history->Prune(Now);
        QList<int> found;
        for (const TVersion &version : history->Versions())
            found.prepend(int(version.Time.secsTo(Now) / 3600));
        QCOMPARE(found, left);
        QCOMPARE(history->State() == THistory::TState::Full, full);
    }

    // A version whose bytes are not what its digest says is reported, never
    // given out; the same content kept again is stored anew.
    void damagedVersionIsReported()
    {
        {
            const auto history = Open();
            QCOMPARE(KeepBytes(*history, "the only copy", TVersionReason::ChangedOutside, Now),
                     TKeepResult::Kept);
        }
        QVERIFY(Tamper("UPDATE versions SET data = X'28b52ffd2000050000616263'"));
        const auto history = Open();
        const QVector<TVersion> versions = history->Versions();
        QCOMPARE(versions.size(), 1);
        QByteArray bytes = "untouched";
        QVERIFY(!history->Read(versions.constFirst(), bytes));
        QCOMPARE(bytes, QByteArray("untouched"));
        QCOMPARE(KeepBytes(*history, "the only copy", TVersionReason::ChangedOutside, Now),
                 TKeepResult::Kept);
        QCOMPARE(history->Versions().size(), 2);
    }

    // A database that fails its check is set aside whole, under another
    // name, and a new one begins; one that cannot be made keeps nothing.
    void damagedOrUnusableDatabase_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("damaged") << "damaged";
        QTest::newRow("a file where the folder should be") << "file in the way";
    }
    void damagedOrUnusableDatabase()
    {
        QFETCH(QString, way);
        const QByteArray garbage(8192, '\x5a');
        if (way == QLatin1String("damaged")) {
            QVERIFY(MakePrivateFolder(QFileInfo(Database()).path()));
            QVERIFY(WriteAll(Database(), garbage));
        } else {
            QVERIFY(WriteAll(FDir->filePath(QStringLiteral("private")), "not a folder"));
        }
        const auto history = Open();
        const TKeepResult kept = KeepBytes(*history, "words", TVersionReason::ChangedOutside, Now);
        if (way == QLatin1String("damaged")) {
            QCOMPARE(kept, TKeepResult::Kept);
            QVERIFY(!history->SetAside().isEmpty());
            QCOMPARE(ReadAll(history->SetAside()), garbage);
            QCOMPARE(history->State(), THistory::TState::Working);
        } else {
            QCOMPARE(kept, TKeepResult::Failed);
            QCOMPARE(history->State(), THistory::TState::Unusable);
            QVERIFY(history->Versions().isEmpty());
        }
    }

    // The histories an earlier Nudger kept as plain files are taken in with
    // their times and reasons, each file gone once it reads back from the
    // store; a folder whose index cannot be read waits for its own file.
    // On a disk that fills, a keep fails as a whole and says so: nothing is
    // listed that is not there, what was kept before reads back, and the
    // next keep after room is made works.
    void fullDiskKeepsNothingHalf_data()
    {
        QTest::addColumn<int>("bytes");
        QTest::newRow("a short version") << 200;
        QTest::newRow("a long version") << 3 * 1024 * 1024;
    }
    void fullDiskKeepsNothingHalf()
    {
        QFETCH(int, bytes);
        const QString folder = Primary("disk");
        QVERIFY(QDir().mkpath(folder));
        TFullDisk disk(folder, 2048);
        if (!disk.Mounted())
            QSKIP(qPrintable(QStringLiteral("no tmpfs: ") + disk.Error()));
        THistory history(folder + QStringLiteral("/private/nudger.db"));
        history.SetPrimaryFile(Primary());
        TVersion first;
        QCOMPARE(KeepBytes(history, Manuscript(1), TVersionReason::ChangedOutside, Now, &first),
                 TKeepResult::Kept);
        QVERIFY(disk.Fill());
        QByteArray other(bytes, 'x');
        for (int at = 0; at < bytes; at += 97)
            other[at] = char('a' + at % 23);
        QCOMPARE(KeepBytes(history, other, TVersionReason::ChangedOutside, Now.addSecs(60)),
                 TKeepResult::Failed);
        const QVector<TVersion> listed = history.Versions();
        QCOMPARE(listed.size(), 1);
        QByteArray read;
        QVERIFY(history.Read(listed.constFirst(), read));
        QCOMPARE(read, Manuscript(1));
    }

    void olderHistoriesAreTakenIn()
    {
        const QString data = QFINDTESTDATA("data/history-1");
        QVERIFY(!data.isEmpty());
        QVERIFY(QDir().mkpath(OldRoot()));
        for (QDirIterator entry(data, QDir::Files, QDirIterator::Subdirectories);
             entry.hasNext();) {
            const QString file = entry.next();
            const QString copy = OldRoot() + file.mid(data.size());
            QVERIFY(QDir().mkpath(QFileInfo(copy).path()) && QFile::copy(file, copy));
        }
        THistory history(Database(), OldRoot());
        history.SetPrimaryFile(QStringLiteral("/home/writer/novel.txt"));
        const QVector<TVersion> novel = history.Versions();
        QStringList reasons;
        for (const TVersion &version : novel)
            reasons << VersionReasonText(version.Reason);
        QCOMPARE(reasons, (QStringList{QStringLiteral("your saved text"),
                                       QStringLiteral("your text when you took the file's"),
                                       QStringLiteral("your text before another program's "
                                                      "version was read"),
                                       QStringLiteral("changed by another program"),
                                       QStringLiteral("before the session's first save")}));
        QCOMPARE(novel.at(3).Time, QDateTime(QDate(2026, 11, 20), QTime(9, 30), Qt::UTC));
        QByteArray bytes;
        QVERIFY(history.Read(novel.at(1), bytes));
        QCOMPARE(bytes, QByteArray("Only the sea.\r\n"));
        QVERIFY(!QFileInfo::exists(OldRoot() + QStringLiteral("/744ce456ffacdbbf")));
        // The other folder's index names no file: it waits.
        QVERIFY(QFileInfo::exists(OldRoot() + QStringLiteral("/d47b25e6fad6957f")));
        history.SetPrimaryFile(QStringLiteral("/home/writer/letters.txt"));
        QCOMPARE(history.Versions().size(), 2);
        QVERIFY(!QFileInfo::exists(OldRoot()));
    }
};

QTEST_GUILESS_MAIN(tst_History_Unit)
#include "tst_History_Unit.moc"
