// The recovery copy: written a little after the typing, private, ordered with
// its removal, and offered back only once the Nudger that wrote it has ended.

#include "storage/RecoveryCopy_Unit.h"

#include "app/PlatformDependence_Unit.h"

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
                return FText;
            },
            Folder());
        copy->SetDelays(20, 100);
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
        QCOMPARE(Mode(Folder()), 0700);
        const QString text = QStringLiteral("first line\nzweite Zeile \u2013 \u00fc\n");
        QVERIFY(TypeAndWait(*copy, text));
        QCOMPARE(Mode(copy->CopyPath()), 0600);
        QFile file(copy->CopyPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(),
                 "Nudger recovery copy 1\n" + Primary().toUtf8() + "\n\n" + text.toUtf8());
    }

    void changesThatGoOnAreCopiedWithinTheMaxDelay()
    {
        auto copy = MakeCopy(Primary());
        copy->SetDelays(60000, 50);
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
        QVERIFY(second->CopyPath() != first->CopyPath());
        auto other = MakeCopy(FDir->filePath(QStringLiteral("other.txt")));
        QString text;
        QVERIFY(!second->LeftText(text));
        QVERIFY(!other->LeftText(text));

        first.reset();
        auto third = MakeCopy(Primary());
        QVERIFY(third->LeftText(text));
        QCOMPARE(text, QStringLiteral("left behind"));
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
        QString text;
        QVERIFY(second->LeftText(text));
        second->SetAside();
        QVERIFY(!second->LeftText(text));
        QVERIFY(!MakeCopy(Primary())->LeftText(text));
        const QStringList asides = {QStringLiteral("*.aside-*")};
        QCOMPARE(QDir(Folder()).entryList(asides, QDir::Files).size(), 1);

        SetClockForTesting([] { return QDateTime::currentDateTime().addDays(31); });
        MakeCopy(Primary())->WaitForWrites();
        QVERIFY(QDir(Folder()).entryList(asides, QDir::Files).isEmpty());
    }
};

QTEST_GUILESS_MAIN(tst_RecoveryCopy_Unit)

#include "tst_RecoveryCopy_Unit.moc"
