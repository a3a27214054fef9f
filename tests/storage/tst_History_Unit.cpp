// The history of a primary file: each content kept once, in a private plain
// text file, listed by its index, pruned by age and by size, and never
// half-made.

#include "storage/History_Unit.h"

#include "storage/PrivateFolder_Unit.h"
#include "support/FileBytes.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

int Mode(const QString &path)
{
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

const QDateTime Now = QDateTime(QDate(2026, 12, 9), QTime(14, 5, 9), Qt::UTC);

} // namespace

class tst_History_Unit : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> FDir;

    QString Root() const { return FDir->filePath(QStringLiteral("history")); }
    QString Primary(const char *name = "text.txt") const
    {
        return FDir->filePath(QString::fromLatin1(name));
    }

private Q_SLOTS:
    void init()
    {
        FDir = std::make_unique<QTemporaryDir>();
        QVERIFY2(FDir->isValid(), qPrintable(FDir->errorString()));
    }
    void cleanup() { THistory::SetMaxTotalBytesForTesting(0); }

    // Two Nudgers on one file keep one content once: one private file, named
    // by its date and reason, holding exactly the bytes, listed by both.
    void eachContentIsKeptOnce()
    {
        THistory first(Root());
        THistory second(Root());
        first.SetPrimaryFile(Primary());
        second.SetPrimaryFile(Primary());
        const QByteArray bytes("one\r\ntwo words");
        TVersion kept;
        QCOMPARE(first.Keep(bytes, TVersionReason::ChangedOutside, Now, &kept), TKeepResult::Kept);
        TVersion again;
        QCOMPARE(second.Keep(bytes, TVersionReason::ReadAgain, Now.addSecs(5), &again),
                 TKeepResult::AlreadyKept);
        QCOMPARE(again.FileName, kept.FileName);
        QCOMPARE(first.Keep(QByteArray(), TVersionReason::ReadAgain, Now),
                 TKeepResult::AlreadyKept);

        QCOMPARE(second.Versions().size(), 1);
        const TVersion listed = second.Versions().constFirst();
        QCOMPARE(listed.Reason, TVersionReason::ChangedOutside);
        QCOMPARE(listed.Words, 3);
        QCOMPARE(listed.Size, bytes.size());
        QCOMPARE(listed.Time, Now);
        QCOMPARE(listed.FileName,
                 Now.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh.mm.ss")) +
                     QStringLiteral(" changed by another program.txt"));
        const QString file = first.Folder() + QLatin1Char('/') + listed.FileName;
        QCOMPARE(ReadAll(file), bytes);
        QCOMPARE(Mode(file), 0600);
        QCOMPARE(Mode(first.Folder()), 0700);
        QCOMPARE(QDir(first.Folder()).entryList(QDir::Files).size(), 2); // and the index
        QByteArray read;
        QVERIFY(second.Read(listed, read));
        QCOMPARE(read, bytes);
        QVERIFY(second.Holds(VersionDigest(bytes)));
        QCOMPARE(second.LastKept(), Now);
    }

    // Versions of the last 30 days all stay, and the newest of a history
    // always; past a bound on all histories together the oldest go first.
    void pruning_data()
    {
        QTest::addColumn<QList<int>>("ages");   // days before now, of text.txt's versions
        QTest::addColumn<QList<int>>("others"); // of other.txt's versions
        QTest::addColumn<qint64>("bound");
        QTest::addColumn<QList<int>>("left");       // of text.txt's
        QTest::addColumn<QList<int>>("othersLeft"); // of other.txt's
        QTest::newRow("past 30 days") << QList<int>{40, 35, 29, 1} << QList<int>{} << qint64(0)
                                      << QList<int>{29, 1} << QList<int>{};
        QTest::newRow("the newest, however old")
            << QList<int>{60, 50} << QList<int>{} << qint64(0) << QList<int>{50} << QList<int>{};
        // Each version is 10 bytes.
        QTest::newRow("past the bound, oldest first, across histories")
            << QList<int>{9, 7, 3} << QList<int>{8, 6} << qint64(30) << QList<int>{7, 3}
            << QList<int>{6};
        QTest::newRow("past the bound, never a newest")
            << QList<int>{9, 7} << QList<int>{8} << qint64(10) << QList<int>{7} << QList<int>{8};
    }
    void pruning()
    {
        QFETCH(QList<int>, ages);
        QFETCH(QList<int>, others);
        QFETCH(qint64, bound);
        QFETCH(QList<int>, left);
        QFETCH(QList<int>, othersLeft);
        THistory text(Root());
        text.SetPrimaryFile(Primary());
        THistory other(Root());
        other.SetPrimaryFile(Primary("other.txt"));
        for (const auto &[history, days] : {std::pair(&text, ages), std::pair(&other, others)}) {
            for (const int age : days) {
                const QByteArray bytes = QByteArray::number(age).rightJustified(10, '-');
                QCOMPARE(history->Keep(bytes, TVersionReason::SavedEarlier, Now.addDays(-age)),
                         TKeepResult::Kept);
            }
        }
        THistory::SetMaxTotalBytesForTesting(bound);
        text.Prune(Now);
        for (const auto &[history, expected] :
             {std::pair(&text, left), std::pair(&other, othersLeft)}) {
            QList<int> found;
            for (const TVersion &version : history->Versions())
                found.append(int(version.Time.daysTo(Now)));
            std::sort(found.begin(), found.end(), std::greater<int>());
            QCOMPARE(found, expected);
            // The files go with their rows.
            QCOMPARE(
                QDir(history->Folder()).entryList({QStringLiteral("*.txt")}, QDir::Files).size(),
                expected.size());
        }
    }

    // A history that cannot be used keeps nothing, and leaves nothing.
    void unusableHistory_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("a file where the folder should be") << "file in the way";
        QTest::newRow("an index naming another file") << "another file";
    }
    void unusableHistory()
    {
        QFETCH(QString, way);
        THistory history(Root());
        history.SetPrimaryFile(Primary());
        if (way == QLatin1String("file in the way")) {
            QVERIFY(WriteAll(Root(), "not a folder"));
        } else {
            QVERIFY(MakePrivateFolder(Root()) && MakePrivateFolder(history.Folder()));
            QVERIFY(WriteAll(history.Folder() + QStringLiteral("/index"),
                             "Nudger history 1\n/elsewhere/text.txt\n"));
        }
        QCOMPARE(history.Keep("words", TVersionReason::ChangedOutside, Now), TKeepResult::Failed);
        QVERIFY(history.Versions().isEmpty());
        if (way == QLatin1String("another file"))
            QCOMPARE(QDir(history.Folder()).entryList(QDir::Files),
                     QStringList{QStringLiteral("index")});
    }

    // An index line that does not parse is left out; the rest is listed and
    // kept on.
    void malformedIndexLineIsSkipped()
    {
        THistory history(Root());
        history.SetPrimaryFile(Primary());
        QCOMPARE(history.Keep("first", TVersionReason::ChangedOutside, Now), TKeepResult::Kept);
        const QString index = history.Folder() + QStringLiteral("/index");
        QVERIFY(WriteAll(index, ReadAll(index) + "garbage\tline\nzz\t\t\t\t\t\n"));
        QCOMPARE(history.Versions().size(), 1);
        QCOMPARE(history.Keep("second", TVersionReason::ChangedOutside, Now.addSecs(1)),
                 TKeepResult::Kept);
        QCOMPARE(history.Versions().size(), 2);
    }

    // Whether the newer text still holds the older one but for an edit going
    // on: only then is the older one no loss.
    void stillHolds_data()
    {
        QTest::addColumn<QByteArray>("older");
        QTest::addColumn<QByteArray>("newer");
        QTest::addColumn<bool>("holds");
        const QByteArray sentence = "It was the best of times, it was the worst of times, it was "
                                    "the age of wisdom, it was the age of foolishness, it was the "
                                    "epoch of belief.";
        const QByteArray text = "Chapter one.\r\n" + sentence + "\r\nThe end.";
        QTest::newRow("the same text") << text << text << true;
        QTest::newRow("words added") << text << text + " And more words after." << true;
        QTest::newRow("a word being typed")
            << text << QByteArray(text).replace("end.", "en") << true;
        QTest::newRow("a paragraph moved")
            << text << "The end.\r\n" + sentence + "\r\nChapter one." << true;
        QTest::newRow("emptied") << text << QByteArray() << false;
        QTest::newRow("a sentence of 30 words cut")
            << text << QByteArray(text).replace(sentence, QByteArray()) << false;
    }
    void stillHolds()
    {
        QFETCH(QByteArray, older);
        QFETCH(QByteArray, newer);
        QFETCH(bool, holds);
        QCOMPARE(StillHolds(older, newer), holds);
    }
};

QTEST_GUILESS_MAIN(tst_History_Unit)
#include "tst_History_Unit.moc"
