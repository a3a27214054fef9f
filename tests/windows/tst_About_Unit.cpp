// The About window: what it shows, how it closes, and the web address
// handed to the desktop.

#include "app/PlatformDependence_Unit.h"
#include "support/DarkScheme.h"
#include "support/ScriptedPrompts.h"
#include "windows/About_Unit.h"
#include "windows/AreaColours_Unit.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

// Runs action on the About window once ShowAboutWindow has it on screen.
void WhenAboutIsUp(QObject *context, const std::function<void(TAbout_Form *)> &action)
{
    auto *poll = new QTimer(context);
    QObject::connect(poll, &QTimer::timeout, context, [poll, action] {
        if (auto *about = qobject_cast<TAbout_Form *>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            action(about);
        }
    });
    poll->start(5);
}

} // namespace

class tst_About_Unit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("Nudger")); }
    void cleanup()
    {
        SetRunCommandForTesting({});
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void showsProductVersionAndCopyright()
    {
        TAbout_Form about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About"));
        QCOMPARE(about.size(), QSize(263, 146));
        QCOMPARE(about.ProductName_Label->text(), QStringLiteral("Nudger"));
        QVERIFY(about.ProductName_Label->font().bold());
        QCOMPARE(about.ProductVersion_Label->text(), QStringLiteral("1.1.1"));
        QCOMPARE(about.Copyright_Label->text(),
                 QStringLiteral("Copyright © 2026 The Nudger developers"));
        QCOMPARE(about.Message1_Label->text(),
                 QStringLiteral("Visit https://nudger.example.org for updates"));
        QCOMPARE(about.Message2_Label->text(), QStringLiteral("and other useful software."));
        QCOMPARE(about.Close_Button->text(), QStringLiteral("Close"));
        QVERIFY(about.Close_Button->isDefault());
        QVERIFY(!about.ProgramIcon_Image->pixmap().isNull());

        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QCOMPARE(about.focusWidget(), about.Close_Button);
    }

    void labelsReadableUnderDarkScheme()
    {
        const QPalette light = QApplication::palette();
        const auto restore = qScopeGuard([&] { QApplication::setPalette(light); });
        QApplication::setPalette(DarkScheme());
        TAbout_Form about;
        for (const QLabel *label : about.Main_Panel->findChildren<QLabel *>()) {
            const QPalette &colours = label->palette();
            QVERIFY2(ContrastRatio(colours.color(QPalette::WindowText),
                                   colours.color(QPalette::Window)) >= ReadableContrast,
                     qPrintable(label->objectName()));
        }
    }

    void programIconHasAtMost16Colours()
    {
        const QImage icon(QStringLiteral(":/app_bitmap.png"));
        QCOMPARE(icon.size(), QSize(32, 32));
        QCOMPARE(icon.format(), QImage::Format_Indexed8);
        QVERIFY(icon.colorCount() <= 16);
    }

    void closes_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Close button") << QStringLiteral("click");
        QTest::newRow("Enter") << QStringLiteral("enter");
        QTest::newRow("Return") << QStringLiteral("return");
    }
    void closes()
    {
        QFETCH(QString, how);
        bool acted = false;
        WhenAboutIsUp(this, [&acted, how](TAbout_Form *about) {
            acted = true;
            if (how == QLatin1String("click"))
                QTest::mouseClick(about->Close_Button, Qt::LeftButton);
            else
                QTest::keyClick(about->focusWidget() ? about->focusWidget() : about,
                                how == QLatin1String("enter") ? Qt::Key_Enter : Qt::Key_Return);
        });
        // Guard against a window that does not close.
        QTimer guard;
        guard.setSingleShot(true);
        bool forced = false;
        connect(&guard, &QTimer::timeout, this, [&forced] {
            forced = true;
            if (QWidget *modal = QApplication::activeModalWidget())
                modal->close();
        });
        guard.start(10000);
        ShowAboutWindow();
        QVERIFY(acted);
        QVERIFY(!forced);
    }

    void messageLabelsOpenTheWebAddress_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("started");
        QTest::newRow("invitation line") << QStringLiteral("Message1_Label") << true;
        QTest::newRow("second line") << QStringLiteral("Message2_Label") << true;
        QTest::newRow("opener fails silently") << QStringLiteral("Message2_Label") << false;
    }
    void messageLabelsOpenTheWebAddress()
    {
        QFETCH(QString, label);
        QFETCH(bool, started);
        QStringList commands;
        QList<int> modes;
        SetRunCommandForTesting([&](const QString &command, int mode) {
            commands << command;
            modes << mode;
            return started;
        });
        TScriptedPrompts prompts;
        TAbout_Form about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QSignalSpy finished(&about, &QDialog::finished);

        QTest::mouseClick(about.findChild<QLabel *>(label), Qt::LeftButton);

        QCOMPARE(commands, QStringList{QStringLiteral("xdg-open https://nudger.example.org")});
        QCOMPARE(modes, QList<int>{3});
        QVERIFY(prompts.Records.isEmpty());
        QCOMPARE(finished.count(), 0);
        QVERIFY(about.isVisible());
    }

    void otherLabelsOpenNothing()
    {
        int runs = 0;
        SetRunCommandForTesting([&runs](const QString &, int) {
            ++runs;
            return true;
        });
        TAbout_Form about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QTest::mouseClick(about.ProductName_Label, Qt::LeftButton);
        QTest::mouseClick(about.Copyright_Label, Qt::LeftButton);
        QCOMPARE(runs, 0);
    }
};

QTEST_MAIN(tst_About_Unit)
#include "tst_About_Unit.moc"
