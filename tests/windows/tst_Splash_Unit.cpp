// The splash window: when it is due, how it renews its stamp, and that it
// closes by itself.

#include "app/PlatformDependence_Unit.h"
#include "storage/ConfigurationFile_Unit.h"
#include "storage/Conversions_Unit.h"
#include "windows/Splash_Unit.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

class tst_Splash_Unit : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> FDirectory;
    QDateTime FClock;

    void SetClock(const QDateTime &now)
    {
        FClock = now;
        SetClockForTesting([this] { return FClock; });
    }
    static QDateTime Morning() { return QDateTime(QDate(2024, 3, 5), QTime(9, 30, 0)); }
    static QString StoredStamp()
    {
        TConfigurationFile configuration;
        configuration.Load();
        return configuration.ReadValue(QStringLiteral("FLastSplashScreen"));
    }
    static QString StampOf(const QDateTime &moment)
    {
        return DateTimeToText(DateTimeFromQDateTime(moment));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(QStringLiteral("Nudger"));
        SetUserNameForTesting([] { return QStringLiteral("writer"); });
    }
    void init()
    {
        FDirectory = std::make_unique<QTemporaryDir>();
        QVERIFY2(FDirectory->isValid(), qPrintable(FDirectory->errorString()));
        SetStartDirectoryForTesting(FDirectory->path());
        SetClock(Morning());
    }
    void cleanup()
    {
        SetClockForTesting({});
        SetStartDirectoryForTesting(QString());
        TSplash_Form::SetCloseIntervalForTesting(0);
        FDirectory.reset();
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }
    void cleanupTestCase() { SetUserNameForTesting({}); }

    void firstStartIsDueAndStamps()
    {
        QVERIFY(SplashIsDue());
        QCOMPARE(StoredStamp(), StampOf(Morning()));
    }

    void secondStart_data()
    {
        QTest::addColumn<qint64>("secondsLater");
        QTest::addColumn<bool>("due");
        QTest::newRow("2 hours later") << qint64(2 * 3600) << false;
        QTest::newRow("3 hours later") << qint64(3 * 3600) << true;
        QTest::newRow("exactly a tenth of a day") << qint64(8640) << false;
        QTest::newRow("a second past a tenth of a day") << qint64(8641) << true;
        QTest::newRow("a week later") << qint64(7 * 86400) << true;
        QTest::newRow("clock set back a day") << qint64(-86400) << false;
        QTest::newRow("same second") << qint64(0) << false;
    }
    void secondStart()
    {
        QFETCH(qint64, secondsLater);
        QFETCH(bool, due);
        QVERIFY(SplashIsDue());
        const QDateTime later = Morning().addSecs(secondsLater);
        SetClock(later);
        QCOMPARE(SplashIsDue(), due);
        // Renewed at every start, shown or not.
        QCOMPARE(StoredStamp(), StampOf(later));
    }

    void startsEveryTwoHoursNeverShowAgain()
    {
        QVERIFY(SplashIsDue());
        for (int start = 1; start < 12; ++start) {
            SetClock(Morning().addSecs(start * 2 * 3600));
            QVERIFY2(!SplashIsDue(), qPrintable(QStringLiteral("start %1").arg(start)));
        }
    }

    void unreadableStampIsDue_data()
    {
        QTest::addColumn<QString>("stamp");
        QTest::newRow("garbled") << QStringLiteral("not a date at all");
        QTest::newRow("empty") << QString();
    }
    void unreadableStampIsDue()
    {
        QFETCH(QString, stamp);
        {
            TConfigurationFile configuration;
            configuration.Load();
            configuration.WriteValue(QStringLiteral("FLastSplashScreen"), stamp);
            QVERIFY(configuration.Save());
        }
        QVERIFY(SplashIsDue());
        QCOMPARE(StoredStamp(), StampOf(Morning()));
    }

    void otherValuesSurvive()
    {
        {
            TConfigurationFile configuration;
            configuration.Load();
            configuration.WriteValue(QStringLiteral("Interval"), QStringLiteral("20000"));
            QVERIFY(configuration.Save());
        }
        SplashIsDue();
        TConfigurationFile configuration;
        QVERIFY(configuration.Load());
        QCOMPARE(configuration.ReadValue(QStringLiteral("Interval")), QStringLiteral("20000"));
    }

    void unwritableConfigurationShowsEveryTime()
    {
        // A start directory that does not exist: nothing can be stored, so
        // there is never a stamp to hold the splash back.
        SetStartDirectoryForTesting(FDirectory->filePath(QStringLiteral("missing")));
        QVERIFY(SplashIsDue());
        SetClock(Morning().addSecs(3600));
        QVERIFY(SplashIsDue());
    }

    void splashWindowLooksRight()
    {
        TSplash_Form splash;
        QCOMPARE(splash.size(), QSize(390, 126));
        QVERIFY(splash.windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(splash.palette().color(QPalette::Window), QColor(Qt::black));
        const QPixmap picture = splash.Tovrin_Image->pixmap();
        QCOMPARE(picture.size(), QSize(324, 71));
        QCOMPARE(splash.Close_Timer->interval(), 1000);
        QVERIFY(splash.Close_Timer->isActive());
    }

    void splashPictureHasAtMost256Colours()
    {
        const QImage picture(QStringLiteral(":/splash.png"));
        QCOMPARE(picture.size(), QSize(324, 71));
        QCOMPARE(picture.format(), QImage::Format_Indexed8);
        QVERIFY(picture.colorCount() <= 256);
        QVERIFY(picture.colorCount() > 16);
    }

    void splashClosesByItself()
    {
        TSplash_Form::SetCloseIntervalForTesting(20);
        TSplash_Form splash;
        QSignalSpy finished(&splash, &QDialog::finished);
        splash.open();
        QVERIFY(finished.wait(5000));
        QCOMPARE(finished.first().first().toInt(), int(QDialog::Accepted));
        QVERIFY(!splash.isVisible());
    }

    void showSplashReturnsOnItsOwn()
    {
        TSplash_Form::SetCloseIntervalForTesting(20);
        bool forced = false;
        // Only a guard against hanging: the splash should be long gone.
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, this, [&forced] {
            forced = true;
            if (QWidget *modal = QApplication::activeModalWidget())
                modal->close();
        });
        guard.start(10000);
        ShowSplash();
        QVERIFY(!forced);
    }

    void showSplashIfDueShowsOnlyWhenDue()
    {
        TSplash_Form::SetCloseIntervalForTesting(20);
        int shown = 0;
        QTimer watcher;
        connect(&watcher, &QTimer::timeout, this, [&shown] {
            if (qobject_cast<TSplash_Form *>(QApplication::activeModalWidget()))
                ++shown;
        });
        watcher.start(1);
        ShowSplashIfDue(); // first start: due
        QVERIFY(shown > 0);
        shown = 0;
        SetClock(Morning().addSecs(3600));
        ShowSplashIfDue(); // an hour later: not due, returns at once
        QCOMPARE(shown, 0);
    }
};

QTEST_MAIN(tst_Splash_Unit)
#include "tst_Splash_Unit.moc"
