// The platform layer: start directory, named lock, user name, command
// launcher, termination signals, clock and byte rotations.

#include "app/PlatformDependence_Unit.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <pwd.h>
#include <unistd.h>

class tst_PlatformDependence_Unit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startDirectoryIsTheWorkingDirectoryWithSeparator()
    {
        const QString expected = QDir::currentPath() + QLatin1Char('/');
        CaptureStartDirectory();
        QCOMPARE(StartDirectory(), expected);
        // Captured once: a later change of the working directory does not move it.
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        QCOMPARE(StartDirectory(), expected);
        QVERIFY(QDir::setCurrent(before));
    }

    void startDirectoryOverride()
    {
        SetStartDirectoryForTesting(QStringLiteral("/some/where"));
        QCOMPARE(StartDirectory(), QStringLiteral("/some/where/"));
        SetStartDirectoryForTesting(QString());
        QVERIFY(StartDirectory().endsWith(QLatin1Char('/')));
    }

    void userNameComesFromTheUserDatabase()
    {
        const passwd *entry = ::getpwuid(::geteuid());
        QVERIFY(entry);
        QCOMPARE(UserName(), QString::fromLocal8Bit(entry->pw_name));
        SetUserNameForTesting([] { return QStringLiteral("someone"); });
        QCOMPARE(UserName(), QStringLiteral("someone"));
        SetUserNameForTesting(nullptr);
        QVERIFY(!FallbackUserName().isEmpty());
    }

    // The lock stays held for the life of the process, whatever else takes
    // the name here, so another process cannot take it meanwhile.
    void namedLockIsHeldWhileTheProcessRuns()
    {
        const QString flock = QStandardPaths::findExecutable(QStringLiteral("flock"));
        if (flock.isEmpty())
            QSKIP("no flock to try the lock from another process");
        const QString name =
            QStringLiteral("Tovrin_Nudger_test_%1").arg(QCoreApplication::applicationPid());
        CreateNamedMutex(name);
        CreateNamedMutex(name);
        CreateNamedMutex(QStringLiteral("no/such/folder/name"));
        QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        if (folder.isEmpty())
            folder = QDir::tempPath();
        const QString lockFile = QDir(folder).filePath(name + QStringLiteral(".lock"));
        QVERIFY(QFile::exists(lockFile));
        QProcess other;
        other.start(flock, {QStringLiteral("--nonblock"), lockFile, QStringLiteral("true")});
        QVERIFY(other.waitForFinished(30000));
        QCOMPARE(other.exitCode(), 1); // taken
        QFile::remove(lockFile);
    }

    void runCommand_data()
    {
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<bool>("started");
        QTest::newRow("a program") << QStringLiteral("true") << true;
        QTest::newRow("quoted arguments") << QStringLiteral("\"true\" \"a b\" c") << true;
        QTest::newRow("no such program") << QStringLiteral("/no/such/program --x") << false;
        QTest::newRow("empty") << QString() << false;
        // Without a shell, metacharacters are plain arguments.
        QTest::newRow("no shell") << QStringLiteral("true ; false") << true;
    }
    void runCommand()
    {
        QFETCH(QString, commandLine);
        QFETCH(bool, started);
        QCOMPARE(RunCommand(commandLine, 3), started);
    }

    void runCommandDoesNotUseAShell()
    {
        // With a shell, "touch A; B" would make A and then run B; without
        // one, touch makes a file named "A;" and one named B.
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString a = dir.filePath(QStringLiteral("a"));
        const QString b = dir.filePath(QStringLiteral("b"));
        QVERIFY(RunCommand(QStringLiteral("touch ") + a + QStringLiteral("; ") + b, 3));
        QTRY_VERIFY(QFile::exists(b) && QFile::exists(a + QLatin1Char(';')));
        QVERIFY(!QFile::exists(a));
    }

    // A signal ignored at start stays ignored (nohup); any other one reaches
    // the handler. Only the first caught signal is handled, so one row raises.
    void terminationSignals_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<bool>("ignoredAtStart");
        QTest::newRow("SIGHUP ignored at start") << int(SIGHUP) << true;
        QTest::newRow("SIGTERM caught") << int(SIGTERM) << false;
    }
    void terminationSignals()
    {
        QFETCH(int, signalNumber);
        QFETCH(bool, ignoredAtStart);
        std::signal(signalNumber, ignoredAtStart ? SIG_IGN : SIG_DFL);
        CatchTerminationSignals(this, [this](int caught) { caughtSignal = caught; });
        struct sigaction now
        {
        };
        QCOMPARE(::sigaction(signalNumber, nullptr, &now), 0);
        QCOMPARE(now.sa_handler == SIG_IGN, ignoredAtStart);
        QVERIFY(now.sa_handler != SIG_DFL);
        ::raise(signalNumber);
        if (!ignoredAtStart)
            QTRY_COMPARE(caughtSignal, signalNumber);
    }

    void clockSeam()
    {
        const QDateTime fixed(QDate(2003, 3, 2), QTime(14, 5, 9, 7));
        SetClockForTesting([fixed] { return fixed; });
        QCOMPARE(Now(), fixed);
        SetClockForTesting(nullptr);
        QVERIFY(qAbs(Now().msecsTo(QDateTime::currentDateTime())) < 5000);
    }

    void rotations_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("right");
        QTest::newRow("by nothing") << 0xA5 << 0 << 0xA5 << 0xA5;
        QTest::newRow("high bit wraps") << 0x81 << 1 << 0x03 << 0xC0;
        QTest::newRow("by four") << 0x12 << 4 << 0x21 << 0x21;
        QTest::newRow("by seven") << 0x01 << 7 << 0x80 << 0x02;
        QTest::newRow("all ones") << 0xFF << 3 << 0xFF << 0xFF;
    }
    void rotations()
    {
        QFETCH(int, value);
        QFETCH(int, count);
        QFETCH(int, left);
        QFETCH(int, right);
        QCOMPARE(int(RotateByteLeft(std::uint8_t(value), count)), left);
        QCOMPARE(int(RotateByteRight(std::uint8_t(value), count)), right);
        QCOMPARE(int(RotateByteRight(RotateByteLeft(std::uint8_t(value), count), count)), value);
    }

private:
    int caughtSignal = 0;
};

QTEST_MAIN(tst_PlatformDependence_Unit)
#include "tst_PlatformDependence_Unit.moc"
