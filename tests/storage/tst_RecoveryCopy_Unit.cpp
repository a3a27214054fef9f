// The recovery copy: written a little after the typing, private, ordered with
// its removal, and offered back only once the Nudger that wrote it has ended.

#include "storage/RecoveryCopy_Unit.h"
#include "support/RecoveryCopyTesting.h"

#include "app/PlatformDependence_Unit.h"
#include "storage/WholeFile_Unit.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <sys/stat.h>

namespace {

int Mode(const QString &path)
{
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

} // namespace

class tst_RecoveryCopy_Unit : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> FDir;
    QString FText;
    QByteArray FBase; // the digest of the version the text grew from
    qsizetype FCursor = -1;
    int FSnapshots = 0;

    QString Folder() const { return FDir->filePath(QStringLiteral("recovery")); }
    QString Primary() const { return FDir->filePath(QStringLiteral("text.txt")); }
    QStringList Copies() const
    {
        return QDir(Folder()).entryList({QStringLiteral("*.recovery")}, QDir::Files);
    }

    std::unique_ptr<TRecoveryCopy> MakeCopy(const QString &primary)
    {
        auto copy = std::make_unique<TRecoveryCopy>(
            [this] {
                ++FSnapshots;
                TRecoverySnapshot snapshot;
                snapshot.Text = FText;
                snapshot.BaseDigest = FBase;
                snapshot.Cursor = FCursor;
                return snapshot;
            },
            Folder());
        TRecoveryCopyTesting::SetDelays(*copy, 20, 100);
        copy->SetPrimaryFile(primary);
        return copy;
    }

    bool TypeAndWait(TRecoveryCopy &copy, const QString &text)
    {
        FText = text;
        QSignalSpy written(&copy, &TRecoveryCopy::Written);
        copy.TextChanged();
        return written.wait(5000);
    }

private Q_SLOTS:
    void init()
    {
        FBase.clear();
        FCursor = -1;
        FDir = std::make_unique<QTemporaryDir>();
        QVERIFY2(FDir->isValid(), qPrintable(FDir->errorString()));
    }
    void cleanup()
    {
        SetClockForTesting({});
        FDir.reset();
    }

    void copyIsPrivateAndHoldsTheText()
    {
        QVERIFY(QDir().mkpath(Folder()));
        QVERIFY(QFile::setPermissions(Folder(), QFile::ReadOwner | QFile::WriteOwner |
                                                    QFile::ExeOwner | QFile::ReadOther |
                                                    QFile::ExeOther));
        auto copy = MakeCopy(Primary());
        const QString text = QStringLiteral("first line\nzweite Zeile \u2013 \u00fc\n");
        QVERIFY(TypeAndWait(*copy, text));
        QCOMPARE(Mode(Folder()), 0700);
        QCOMPARE(Mode(TRecoveryCopyTesting::CopyPath(*copy)), 0600);
        QFile file(TRecoveryCopyTesting::CopyPath(*copy));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(),
                 "Nudger recovery copy 3\n" + Primary().toUtf8() + "\n-\n-\n\n" + text.toUtf8());
    }

    // What a Nudger left is read back with the version of the primary file
    // it grew from and the cursor's place, also from a copy an older Nudger
    // wrote without them.
    void leftCopyTellsItsBase_data()
    {
        QTest::addColumn<QByteArray>("copy");
        QTest::addColumn<QByteArray>("base");
        QTest::addColumn<qsizetype>("cursor");
        QTest::newRow("with its base and cursor")
            << QByteArray() << QByteArray(20, '\x5a') << qsizetype(5);
        QTest::newRow("an older Nudger's copy")
            << QByteArray("Nudger recovery copy 1\n\n") << QByteArray() << qsizetype(-1);
        QTest::newRow("a copy with its base and no cursor")
            << QByteArray("Nudger recovery copy 2\n-\n\n") << QByteArray() << qsizetype(-1);
    }
    void leftCopyTellsItsBase()
    {
        QFETCH(QByteArray, copy);
        QFETCH(QByteArray, base);
        QFETCH(qsizetype, cursor);
        FBase = base;
        FCursor = cursor;
        {
            auto first = MakeCopy(Primary());
            QVERIFY(TypeAndWait(*first, QStringLiteral("words\nmore")));
            if (!copy.isEmpty()) {
                // The form's mark, the file, and what follows the file's line.
                const qsizetype mark = copy.indexOf('\n') + 1;
                QVERIFY(WriteWholeFile(TRecoveryCopyTesting::CopyPath(*first),
                                       copy.left(mark) + Primary().toUtf8() + '\n' +
                                           copy.mid(mark) + "words\nmore"));
            }
        }
        TLeftCopy left;
        QVERIFY(MakeCopy(Primary())->LeftText(left));
        QCOMPARE(left.Text, QStringLiteral("words\nmore"));
        QCOMPARE(left.BaseDigest, base);
        QCOMPARE(left.Cursor, cursor);
        QVERIFY(left.Written.isValid());
    }

    // Save As: the text's copy is the new file's at once, and the old
    // file's goes only once that is on disk.
    void movedTextIsCopiedAtOnce()
    {
        auto copy = MakeCopy(Primary());
        TRecoveryCopyTesting::SetDelays(*copy, 60000, 60000);
        FText = QStringLiteral("unsaved");
        copy->TextChanged();
        copy->WriteNow();
        const QString old = TRecoveryCopyTesting::CopyPath(*copy);
        QVERIFY(QFile::exists(old));
        copy->MoveTo(FDir->filePath(QStringLiteral("elsewhere.txt")));
        copy->WaitForWrites();
        QVERIFY(!QFile::exists(old));
        TLeftCopy left;
        copy.reset();
        QVERIFY(MakeCopy(FDir->filePath(QStringLiteral("elsewhere.txt")))->LeftText(left));
        QCOMPARE(left.Text, QStringLiteral("unsaved"));
    }

    // A safety net that is off is told, and tried again until it works.
    void copyThatCannotBeMadeIsToldAndRetried()
    {
        // A regular file where the folder should be.
        QVERIFY(WriteWholeFile(Folder(), "in the way"));
        auto copy = MakeCopy(Primary());
        QSignalSpy working(copy.get(), &TRecoveryCopy::WorkingChanged);
        FText = QStringLiteral("unsaved");
        copy->TextChanged();
        QCOMPARE(working.size(), 1);
        QCOMPARE(working.at(0).at(0).toBool(), false);
        QVERIFY(QFile::remove(Folder()));
        SetClockForTesting([] { return QDateTime::currentDateTime().addSecs(10); });
        QVERIFY(TypeAndWait(*copy, QStringLiteral("unsaved, and more")));
        QCOMPARE(working.size(), 2);
        QCOMPARE(working.at(1).at(0).toBool(), true);
    }

    void changesThatGoOnAreCopiedWithinTheMaxDelay()
    {
        auto copy = MakeCopy(Primary());
        TRecoveryCopyTesting::SetDelays(*copy, 60000, 50);
        QTimer typing;
        typing.setInterval(5);
        connect(&typing, &QTimer::timeout, copy.get(), [&] {
            FText += QLatin1Char('a');
            copy->TextChanged();
        });
        QSignalSpy written(copy.get(), &TRecoveryCopy::Written);
        typing.start();
        QVERIFY(written.wait(5000));
    }

    void discardIsNotUndoneByAWriteInFlight()
    {
        auto copy = MakeCopy(Primary());
        QVERIFY(TypeAndWait(*copy, QStringLiteral("small")));
        // Large enough that its write is still going on at Discard.
        FText = QString(8000000, QLatin1Char('x'));
        const int before = FSnapshots;
        copy->TextChanged();
        QTRY_VERIFY(FSnapshots > before);
        copy->Discard();
        copy->WaitForWrites();
        QVERIFY(Copies().isEmpty());
        // The next change is copied again.
        QVERIFY(TypeAndWait(*copy, QStringLiteral("again")));
        QCOMPARE(Copies().size(), 1);
    }

    void leftTextOnlyFromAnEndedNudger()
    {
        auto first = MakeCopy(Primary());
        QVERIFY(TypeAndWait(*first, QStringLiteral("left behind")));
        auto second = MakeCopy(Primary());
        QVERIFY(TRecoveryCopyTesting::CopyPath(*second) != TRecoveryCopyTesting::CopyPath(*first));
        auto other = MakeCopy(FDir->filePath(QStringLiteral("other.txt")));
        TLeftCopy left;
        QVERIFY(!second->LeftText(left));
        QVERIFY(!other->LeftText(left));

        first.reset();
        auto third = MakeCopy(Primary());
        QVERIFY(third->LeftText(left));
        QCOMPARE(left.Text, QStringLiteral("left behind"));
        // Taken back: the next copy replaces the left one, and Discard
        // removes it.
        QVERIFY(TypeAndWait(*third, QStringLiteral("left behind, and more")));
        QCOMPARE(Copies().size(), 1);
        third->Discard();
        third->WaitForWrites();
        QVERIFY(Copies().isEmpty());
    }

    void setAsideKeepsTheCopyOutOfReachForThirtyDays()
    {
        auto first = MakeCopy(Primary());
        QVERIFY(TypeAndWait(*first, QStringLiteral("declined")));
        first.reset();
        auto second = MakeCopy(Primary());
        TLeftCopy left;
        QVERIFY(second->LeftText(left));
        second->SetAside();
        QVERIFY(!second->LeftText(left));
        QVERIFY(!MakeCopy(Primary())->LeftText(left));
        const QStringList asides = {QStringLiteral("*.aside-*")};
        QCOMPARE(QDir(Folder()).entryList(asides, QDir::Files).size(), 1);

        SetClockForTesting([] { return QDateTime::currentDateTime().addDays(31); });
        const auto later = MakeCopy(Primary());
        later->TakeSlot();
        later->WaitForWrites();
        QVERIFY(QDir(Folder()).entryList(asides, QDir::Files).isEmpty());
    }
};

QTEST_GUILESS_MAIN(tst_RecoveryCopy_Unit)

#include "tst_RecoveryCopy_Unit.moc"
