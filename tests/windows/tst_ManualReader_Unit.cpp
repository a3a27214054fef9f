// The Manual window: showing the manual from the start directory, following
// its internal links, the message when it cannot be shown, and the shipped
// manual itself.

#include "app/PlatformDependence_Unit.h"
#include "support/DarkScheme.h"
#include "support/FileBytes.h"
#include "support/ScriptedPrompts.h"
#include "windows/AreaColours_Unit.h"
#include "windows/ManualReader_Unit.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <memory>

namespace {

// A short manual whose contents link to a section far below.
QByteArray SampleManual()
{
    QByteArray html = "<html><head><title>Sample manual</title></head><body>"
                      "<h1>Sample manual</h1><p><a href=\"#far\">Go to the far section</a></p>";
    for (int i = 0; i < 200; ++i)
        html += "<p>Filler paragraph " + QByteArray::number(i) + ".</p>";
    html += "<h2><a name=\"far\"></a>Far section</h2><p>The end.</p></body></html>";
    return html;
}

struct TLinks
{
    QStringList Hrefs;
    QSet<QString> Anchors;
};

TLinks LinksOf(const QTextDocument *document)
{
    TLinks links;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isAnchor())
                continue;
            if (!format.anchorHref().isEmpty())
                links.Hrefs << format.anchorHref();
            for (const QString &name : format.anchorNames())
                links.Anchors.insert(name);
        }
    return links;
}

} // namespace

class tst_ManualReader_Unit : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> FDirectory;

    QString ManualFile() const { return FDirectory->filePath(QStringLiteral("Manual.html")); }

private Q_SLOTS:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("Nudger")); }
    void init()
    {
        FDirectory = std::make_unique<QTemporaryDir>();
        QVERIFY2(FDirectory->isValid(), qPrintable(FDirectory->errorString()));
        SetStartDirectoryForTesting(FDirectory->path());
    }
    void cleanup()
    {
        SetStartDirectoryForTesting(QString());
        FDirectory.reset();
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void showsTheManual()
    {
        QVERIFY(WriteAll(ManualFile(), SampleManual()));
        TManualReader_Form manual;
        QVERIFY(manual.ManualExists);
        QCOMPARE(manual.windowTitle(), QStringLiteral("Manual"));
        QCOMPARE(manual.size(), QSize(696, 480));
        QCOMPARE(manual.Manual_TextBrowser->source(), QUrl::fromLocalFile(ManualFile()));
        QVERIFY(manual.Manual_TextBrowser->toPlainText().contains(QStringLiteral("Far section")));
        manual.show();
        QVERIFY(QTest::qWaitForWindowExposed(&manual));
        QCOMPARE(manual.focusWidget(), manual.Close_Button);
    }

    void followsInternalLinks()
    {
        QVERIFY(WriteAll(ManualFile(), SampleManual()));
        TManualReader_Form manual;
        manual.show();
        QVERIFY(QTest::qWaitForWindowExposed(&manual));
        QTextBrowser *browser = manual.Manual_TextBrowser;
        QCOMPARE(browser->verticalScrollBar()->value(), 0);

        const QTextCursor found = browser->document()->find(QStringLiteral("Go to the far"));
        QVERIFY(!found.isNull());
        QTextCursor inside(browser->document());
        inside.setPosition(found.selectionStart() + 3);
        const QPoint onLink = browser->cursorRect(inside).center();
        QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, onLink);

        QTRY_COMPARE(browser->source().fragment(), QStringLiteral("far"));
        QTRY_VERIFY(browser->verticalScrollBar()->value() > 0);
        QVERIFY(browser->toPlainText().contains(QStringLiteral("The end.")));
    }

    // The page is written in black (and dark headings) for a light ground.
    void pageReadableUnderDarkScheme()
    {
        const QPalette light = QApplication::palette();
        const auto restore = qScopeGuard([&] { QApplication::setPalette(light); });
        QApplication::setPalette(DarkScheme());
        QVERIFY(WriteAll(ManualFile(), SampleManual()));
        TManualReader_Form manual;
        manual.show();
        QVERIFY(QTest::qWaitForWindowExposed(&manual));
        const QImage page = manual.Manual_TextBrowser->viewport()->grab().toImage();
        const QColor ground = page.pixelColor(page.width() - 2, page.height() - 2);
        QVERIFY2(ContrastRatio(Qt::black, ground) >= ReadableContrast, qPrintable(ground.name()));
    }

    void showManualWindowShowsItModally()
    {
        QVERIFY(WriteAll(ManualFile(), SampleManual()));
        TScriptedPrompts prompts;
        bool shown = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&shown] {
            if (auto *manual =
                    qobject_cast<TManualReader_Form *>(QApplication::activeModalWidget())) {
                shown = true;
                QTest::mouseClick(manual->Close_Button, Qt::LeftButton);
            }
        });
        poll.start(5);
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, this, [] {
            if (QWidget *modal = QApplication::activeModalWidget())
                modal->close();
        });
        guard.start(10000);
        ShowManualWindow();
        QVERIFY(shown);
        QVERIFY(prompts.Records.isEmpty());
    }

    void missingManual_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::newRow("no file") << QStringLiteral("none");
        QTest::newRow("a folder of that name") << QStringLiteral("folder");
        QTest::newRow("empty file") << QStringLiteral("empty");
        QTest::newRow("start directory gone") << QStringLiteral("gone");
    }
    void missingManual()
    {
        QFETCH(QString, situation);
        if (situation == QLatin1String("folder"))
            QVERIFY(QDir(FDirectory->path()).mkdir(QStringLiteral("Manual.html")));
        else if (situation == QLatin1String("empty"))
            QVERIFY(WriteAll(ManualFile(), QByteArray()));
        else if (situation == QLatin1String("gone"))
            SetStartDirectoryForTesting(FDirectory->filePath(QStringLiteral("missing")));

        TScriptedPrompts prompts;
        int windowsShown = 0;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&windowsShown] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                ++windowsShown;
                modal->close();
            }
        });
        poll.start(5);
        ShowManualWindow();
        QCOMPARE(windowsShown, 0);
        QCOMPARE(prompts.Records.size(), 1);
        QCOMPARE(prompts.Records.first().Kind, QStringLiteral("message"));
        QCOMPARE(prompts.Records.first().Text, QStringLiteral("The manual is missing!"));
    }

    // The manual that ships with the program: it loads, and every link in it
    // leads to a place in it.
    void shippedManualLinksResolve()
    {
        const QString resources =
            QDir(qEnvironmentVariable("NUDGER_SOURCE_DIR")).filePath(QStringLiteral("resources"));
        if (!QFile::exists(QDir(resources).filePath(QStringLiteral("Manual.html"))))
            QSKIP("NUDGER_SOURCE_DIR does not lead to resources/Manual.html");
        SetStartDirectoryForTesting(resources);
        TManualReader_Form manual;
        QVERIFY(manual.ManualExists);
        const TLinks links = LinksOf(manual.Manual_TextBrowser->document());
        QVERIFY(links.Hrefs.size() >= 10);
        for (const QString &href : links.Hrefs) {
            QVERIFY2(href.startsWith(QLatin1Char('#')),
                     qPrintable(QStringLiteral("link leaves the manual: ") + href));
            QVERIFY2(links.Anchors.contains(href.mid(1)),
                     qPrintable(QStringLiteral("no anchor for ") + href));
        }
    }

    // Every message the program can show is explained in the manual.
    void shippedManualExplainsMessages_data()
    {
        QTest::addColumn<QString>("message");
        const QStringList messages = {
            QStringLiteral("Do you want to save your changes?"),
            QStringLiteral("I cannot save your text!"),
            QStringLiteral("I cannot save your text to the Backup file!"),
            QStringLiteral("Your primary file has been set to"),
            QStringLiteral("I can not open the file you selected!"),
            QStringLiteral("I can not open the primary file!"),
            QStringLiteral("You must select a primary file to save your text to."),
            QStringLiteral("Choose Retry to enter a valid primary file, or Abort to exit the "
                           "application."),
            QStringLiteral("You can not have the same file for the primary and backup file."),
            QStringLiteral("You can not use this file because I need it to run correctly!"),
            QStringLiteral("I am not able to load your configuration."),
            QStringLiteral("I was not able to save your configuration."),
            QStringLiteral("I can not load my suggestions file!"),
            QStringLiteral("No user suggestions file selected."),
            QStringLiteral("The user suggestion file can not be found."),
            QStringLiteral("I can not load your user suggestions file!"),
            QStringLiteral("I can not open the user suggestion file!"),
            QStringLiteral("I can not open the selected user suggestion file."),
            QStringLiteral("I can not save your suggestions."),
            QStringLiteral("Do you want to save your suggestions first?"),
            QStringLiteral("You have made changes to your suggestions, which will be lost if you "
                           "cancel."),
            QStringLiteral("The manual is missing!"),
            QStringLiteral("I cannot keep your text in Earlier Versions, so I have not replaced "
                           "anything."),
        };
        for (const QString &message : messages)
            QTest::newRow(qPrintable(message)) << message;
    }
    void shippedManualExplainsMessages()
    {
        QFETCH(QString, message);
        QFile file(QDir(qEnvironmentVariable("NUDGER_SOURCE_DIR"))
                       .filePath(QStringLiteral("resources/Manual.html")));
        if (!file.open(QIODevice::ReadOnly))
            QSKIP("NUDGER_SOURCE_DIR does not lead to resources/Manual.html");
        QTextDocument document;
        document.setHtml(QString::fromUtf8(file.readAll()));
        const QString text = document.toPlainText().simplified();
        QVERIFY2(text.contains(message), qPrintable(message));
    }
};

QTEST_MAIN(tst_ManualReader_Unit)
#include "tst_ManualReader_Unit.moc"
