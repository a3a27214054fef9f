#include "app/PlatformDependence_Unit.h"
#include "storage/ReservedFileGuard_Unit.h"
#include "support/ScriptedPrompts.h"
#include "windows/Settings_Unit.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <climits>
#include <functional>
#include <memory>

namespace {

const QString SameFileMessage =
    QStringLiteral("You can not have the same file for the primary and backup file.  "
                   "Please choose another backup file.");

enum class TClose
{
    Save,
    Cancel,
    Escape,
    Window
};

// What a test saw of the dialog while it was up.
struct TSeen
{
    bool Shown = false;
    bool ClosedAsAsked = false;
    int Interval = 0;
    QString SpinText;
    QString PrimaryFile;
    QString BackupFile;
    bool EnableBackup = false;
    QSize Size;
    QPoint CentreOffset;
};

} // namespace

Q_DECLARE_METATYPE(TClose)

class tst_Settings_Unit : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> FDir;
    QString Path(const QString &name) const { return FDir->filePath(name); }

    // Once the settings dialog is up modally: records what it shows, runs
    // action on it, then closes it the way asked.
    std::shared_ptr<TSeen> WhenSettingsShown(TClose close,
                                             std::function<void(TSettings_Form &)> action = {})
    {
        auto seen = std::make_shared<TSeen>();
        auto *timer = new QTimer(this);
        timer->setInterval(5);
        connect(timer, &QTimer::timeout, timer, [=] {
            auto *form = qobject_cast<TSettings_Form *>(QApplication::activeModalWidget());
            if (!form || !form->isVisible())
                return;
            timer->stop();
            timer->deleteLater();
            seen->Shown = true;
            seen->Interval = form->Interval();
            seen->SpinText = form->Interval_SpinEdit->text();
            seen->PrimaryFile = form->PrimaryFile();
            seen->BackupFile = form->BackupFile();
            seen->EnableBackup = form->EnableBackup();
            seen->Size = form->size();
            seen->CentreOffset =
                form->frameGeometry().center() - form->screen()->availableGeometry().center();
            if (action)
                action(*form);
            switch (close) {
            case TClose::Save:
                QTest::mouseClick(form->Button1, Qt::LeftButton);
                break;
            case TClose::Cancel:
                QTest::mouseClick(form->Cancel_Button, Qt::LeftButton);
                break;
            case TClose::Escape:
                QTest::keyClick(form->Interval_SpinEdit, Qt::Key_Escape);
                break;
            case TClose::Window:
                form->close();
                break;
            }
            seen->ClosedAsAsked = !form->isVisible();
            if (!seen->ClosedAsAsked)
                form->reject(); // never leave the test hanging in the dialog
        });
        timer->start();
        return seen;
    }

private Q_SLOTS:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("Nudger")); }

    void init()
    {
        FDir = std::make_unique<QTemporaryDir>();
        QVERIFY2(FDir->isValid(), qPrintable(FDir->errorString()));
        SetStartDirectoryForTesting(FDir->path() + QLatin1Char('/'));
    }

    void cleanup()
    {
        qDeleteAll(findChildren<QTimer *>());
        SetStartDirectoryForTesting(QString());
        FDir.reset();
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void executeConvertsInterval_data()
    {
        QTest::addColumn<int>("milliseconds");
        QTest::addColumn<int>("shownSeconds");
        QTest::newRow("10000 ms opens as 10") << 10000 << 10;
        QTest::newRow("remainder dropped") << 7999 << 7;
        QTest::newRow("below the minimum") << 4999 << 5;
        QTest::newRow("zero") << 0 << 5;
        QTest::newRow("negative") << -20000 << 5;
        QTest::newRow("the maximum") << 300000 << 300;
        QTest::newRow("above the maximum") << 301000 << 300;
        QTest::newRow("largest integer") << INT_MAX << 300;
    }

    void executeConvertsInterval()
    {
        QFETCH(int, milliseconds);
        QFETCH(int, shownSeconds);
        TScriptedPrompts prompts;
        const auto seen = WhenSettingsShown(TClose::Save);
        int interval = milliseconds;
        QString primary = Path(QStringLiteral("a.txt"));
        QString backup;
        QVERIFY(ExecuteSettingsDialog(interval, primary, backup));
        QVERIFY(seen->Shown);
        QCOMPARE(seen->Interval, shownSeconds);
        QCOMPARE(seen->SpinText, QString::number(shownSeconds) + QStringLiteral(" Sec."));
        QCOMPARE(interval, shownSeconds * 1000);
        QCOMPARE(primary, Path(QStringLiteral("a.txt")));
        QCOMPARE(backup, QString());
        QVERIFY(prompts.Records.isEmpty());
    }

    void executeShowsValuesAndReturnsEdits()
    {
        TScriptedPrompts prompts;
        const QString newPrimary = Path(QStringLiteral("new primary.txt"));
        const QString newBackup = Path(QStringLiteral("new backup.txt"));
        prompts.AnswerFile(newPrimary);
        prompts.AnswerFile(newBackup);
        const auto seen = WhenSettingsShown(TClose::Save, [](TSettings_Form &form) {
            form.Interval_SpinEdit->setValue(300);
            QTest::mouseClick(form.PrimaryFileBrowse_Button, Qt::LeftButton);
            QTest::mouseClick(form.BackupFileBrowse_Button, Qt::LeftButton);
        });
        int interval = 10000;
        QString primary = Path(QStringLiteral("a.txt"));
        QString backup = Path(QStringLiteral("b.txt"));
        QVERIFY(ExecuteSettingsDialog(interval, primary, backup));
        QVERIFY(seen->ClosedAsAsked);
        QCOMPARE(seen->PrimaryFile, Path(QStringLiteral("a.txt")));
        QCOMPARE(seen->BackupFile, Path(QStringLiteral("b.txt")));
        QVERIFY(seen->EnableBackup);
        QCOMPARE(seen->Size, QSize(344, 245));
        QVERIFY2(seen->CentreOffset.manhattanLength() <= 4,
                 qPrintable(QStringLiteral("off centre by %1,%2")
                                .arg(seen->CentreOffset.x())
                                .arg(seen->CentreOffset.y())));
        QCOMPARE(interval, 300000);
        QCOMPARE(primary, newPrimary);
        QCOMPARE(backup, newBackup);
        QCOMPARE(prompts.Pending(), 0);
        // The dialog only chose names; it wrote no text file.
        QVERIFY(!QFile::exists(newPrimary));
        QVERIFY(!QFile::exists(newBackup));
    }

    void executeUntickedBackupReturnsEmptyName()
    {
        TScriptedPrompts prompts;
        WhenSettingsShown(TClose::Save,
                          [](TSettings_Form &form) { form.EnableBackupFile_CheckBox->click(); });
        int interval = 10000;
        QString primary = Path(QStringLiteral("a.txt"));
        QString backup = Path(QStringLiteral("b.txt"));
        QVERIFY(ExecuteSettingsDialog(interval, primary, backup));
        QCOMPARE(backup, QString());
    }

    void executeWithoutSaveChangesNothing_data()
    {
        QTest::addColumn<TClose>("close");
        QTest::newRow("Cancel button") << TClose::Cancel;
        QTest::newRow("Escape key") << TClose::Escape;
        QTest::newRow("window closed") << TClose::Window;
    }

    void executeWithoutSaveChangesNothing()
    {
        QFETCH(TClose, close);
        TScriptedPrompts prompts;
        prompts.AnswerFile(Path(QStringLiteral("other primary.txt")));
        const auto seen = WhenSettingsShown(close, [](TSettings_Form &form) {
            form.Interval_SpinEdit->setValue(42);
            QTest::mouseClick(form.PrimaryFileBrowse_Button, Qt::LeftButton);
            form.EnableBackupFile_CheckBox->click();
        });
        int interval = 7999;
        QString primary = Path(QStringLiteral("a.txt"));
        QString backup = Path(QStringLiteral("b.txt"));
        QVERIFY(!ExecuteSettingsDialog(interval, primary, backup));
        QVERIFY(seen->ClosedAsAsked);
        QCOMPARE(interval, 7999);
        QCOMPARE(primary, Path(QStringLiteral("a.txt")));
        QCOMPARE(backup, Path(QStringLiteral("b.txt")));
    }

    void freshFormDefaults()
    {
        TSettings_Form form;
        QCOMPARE(form.size(), QSize(344, 245));
        QCOMPARE(form.Interval(), 10);
        QVERIFY(!form.EnableBackup());
        // Unticked from the start, so its handler has not run yet.
        QVERIFY(form.BackupFileBrowse_Button->isEnabled());
        QVERIFY(form.BackupFile_Edit->isEnabled());
        // Every control the keyboard reaches says what it stands for.
        for (QWidget *panel : {form.Main_Panel, form.Button_Panel}) {
            for (QWidget *control : panel->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
                if (control->focusPolicy() != Qt::NoFocus)
                    QVERIFY2(!control->accessibleName().isEmpty(),
                             qPrintable(control->objectName()));
            }
        }
        QCOMPARE(form.EnableBackupFile_CheckBox->accessibleName(),
                 QStringLiteral("Enable Backup File"));
    }

    void intervalReadsTheBox_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("seconds");
        QTest::newRow("a number") << QStringLiteral("250 Sec.") << 250;
        QTest::newRow("empty text") << QString() << 5;
        QTest::newRow("not yet in range") << QStringLiteral("3") << 5;
    }

    void intervalReadsTheBox()
    {
        QFETCH(QString, text);
        QFETCH(int, seconds);
        TSettings_Form form;
        auto *edit = form.Interval_SpinEdit->findChild<QLineEdit *>();
        QVERIFY(edit);
        edit->setText(text);
        QCOMPARE(form.Interval(), seconds);
    }

    void focusStartsAtIntervalAndTabsInOrder()
    {
        TScriptedPrompts prompts;
        TSettings_Form form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        const QList<QWidget *> order{form.Interval_SpinEdit, form.PrimaryFileBrowse_Button,
                                     form.PrimaryFile_Edit,  form.BackupFileBrowse_Button,
                                     form.BackupFile_Edit,   form.EnableBackupFile_CheckBox,
                                     form.Button1,           form.Cancel_Button,
                                     form.Interval_SpinEdit};
        const auto has = [](QWidget *expected) {
            QWidget *focus = QApplication::focusWidget();
            return focus == expected || (focus && expected->isAncestorOf(focus));
        };
        QVERIFY(has(order.first()));
        for (int i = 1; i < order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QVERIFY2(has(order[i]), qPrintable(order[i]->objectName()));
        }
        for (int i = order.size() - 2; i >= 0; --i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
            QVERIFY2(has(order[i]), qPrintable(order[i]->objectName()));
        }
        // Moving through the file boxes opened no chooser.
        QVERIFY(prompts.Records.isEmpty());
    }

    void fileBoxesEndShortOfThePanelEdge_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("as created") << QSize(344, 245);
        QTest::newRow("wider") << QSize(700, 245);
        QTest::newRow("taller") << QSize(344, 500);
    }

    void fileBoxesEndShortOfThePanelEdge()
    {
        QFETCH(QSize, size);
        TSettings_Form form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.resize(size);
        QTRY_COMPARE(form.size(), size);
        QTRY_COMPARE(form.Button_Panel->height(), 41);
        for (QLineEdit *edit : {form.PrimaryFile_Edit, form.BackupFile_Edit}) {
            QTRY_COMPARE(edit->geometry().x() + edit->width(), form.Main_Panel->width() - 10);
            QVERIFY(edit->x() > form.PrimaryFileBrowse_Button->geometry().right());
        }
        QCOMPARE(form.Main_Panel->height() + form.Button_Panel->height(), form.height());
    }

    void checkSameFile_data()
    {
        QTest::addColumn<QString>("primary");
        QTest::addColumn<QString>("backup");
        QTest::addColumn<bool>("caught");
        QTest::newRow("a to z differ in case")
            << QStringLiteral("C:\\Text\\a.txt") << QStringLiteral("c:\\text\\A.TXT") << true;
        QTest::newRow("identical paths")
            << QStringLiteral("/tmp/x/a.txt") << QStringLiteral("/tmp/x/a.txt") << true;
        QTest::newRow("dot folder not resolved")
            << QStringLiteral("/tmp/x/a.txt") << QStringLiteral("/tmp/x/./a.txt") << false;
        QTest::newRow("backslash dot folder not resolved")
            << QStringLiteral("C:\\Text\\a.txt") << QStringLiteral("C:\\Text\\.\\a.txt") << false;
        QTest::newRow("letters beyond z keep their case")
            << QStringLiteral("/tmp/\u00e9t\u00e9.txt") << QStringLiteral("/tmp/\u00c9T\u00c9.TXT")
            << false;
        QTest::newRow("both empty") << QString() << QString() << false;
        QTest::newRow("only a backup") << QString() << QStringLiteral("/tmp/x/b.txt") << false;
    }

    void checkSameFile()
    {
        QFETCH(QString, primary);
        QFETCH(QString, backup);
        QFETCH(bool, caught);
        TScriptedPrompts prompts;
        TSettings_Form form;
        form.SetPrimaryFile(primary);
        form.SetBackupFile(backup);
        form.CheckSameFile();
        QCOMPARE(form.PrimaryFile(), primary);
        if (caught) {
            QCOMPARE(prompts.Records.size(), 1);
            QCOMPARE(prompts.Records.first().Kind, QStringLiteral("message"));
            QCOMPARE(prompts.Records.first().Text, SameFileMessage);
            QCOMPARE(form.BackupFile(), QString());
            QVERIFY(!form.EnableBackup());
            QVERIFY(!form.BackupFileBrowse_Button->isEnabled());
            QVERIFY(!form.BackupFile_Edit->isEnabled());
        } else {
            QVERIFY(prompts.Records.isEmpty());
            QCOMPARE(form.BackupFile(), backup);
        }
    }

    void choosingTheSameBackupDropsIt()
    {
        TScriptedPrompts prompts;
        const QString name = Path(QStringLiteral("a.txt"));
        prompts.AnswerFile(name);
        TSettings_Form form;
        form.SetPrimaryFile(name);
        QTest::mouseClick(form.BackupFileBrowse_Button, Qt::LeftButton);
        QCOMPARE(prompts.Count(SameFileMessage), 1);
        QCOMPARE(form.BackupFile(), QString());
        QVERIFY(!form.EnableBackup());
        QVERIFY(!form.BackupFileBrowse_Button->isEnabled());
        QCOMPARE(form.PrimaryFile(), name);
    }

    void cancelledChooserWithEmptyNamesSaysNothing()
    {
        TScriptedPrompts prompts;
        prompts.CancelChooser();
        TSettings_Form form;
        QTest::mouseClick(form.PrimaryFileBrowse_Button, Qt::LeftButton);
        QCOMPARE(prompts.Records.size(), 1);
        QCOMPARE(prompts.Records.first().Kind, QStringLiteral("save"));
        QCOMPARE(form.PrimaryFile(), QString());
    }

    void backupTickBox()
    {
        TScriptedPrompts prompts;
        TSettings_Form form;
        QVERIFY(form.setProperty("BackupFile", Path(QStringLiteral("b.txt"))));
        QVERIFY(form.property("EnableBackup").toBool());

        // Unticking clears and disables.
        form.EnableBackupFile_CheckBox->click();
        QCOMPARE(form.BackupFile(), QString());
        QVERIFY(!form.BackupFileBrowse_Button->isEnabled());
        QVERIFY(!form.BackupFile_Edit->isEnabled());
        // A disabled box opens nothing.
        QTest::keyClick(form.BackupFile_Edit, Qt::Key_A);
        QVERIFY(prompts.Records.isEmpty());

        // Ticking enables them again with the box still empty.
        form.EnableBackupFile_CheckBox->click();
        QVERIFY(form.EnableBackup());
        QCOMPARE(form.BackupFile(), QString());
        QVERIFY(form.BackupFileBrowse_Button->isEnabled());
        QVERIFY(form.BackupFile_Edit->isEnabled());
    }

    void choosingABackupTicksTheBox()
    {
        TScriptedPrompts prompts;
        const QString chosen = Path(QStringLiteral("backup.txt"));
        prompts.AnswerFile(chosen);
        TSettings_Form form;
        QVERIFY(!form.EnableBackup());
        QTest::mouseClick(form.BackupFileBrowse_Button, Qt::LeftButton);
        QVERIFY(form.EnableBackup());
        QCOMPARE(form.BackupFile(), chosen);
        QCOMPARE(prompts.Choosers.size(), 1);
        const TFileChooserOptions &options = prompts.Choosers.first();
        QCOMPARE(options.Title, QStringLiteral("Backup File"));
        QCOMPARE(options.FileName, QString());
        QCOMPARE(options.Filter, QStringLiteral("Text files (*.txt)"));
        QCOMPARE(options.DefaultSuffix, QStringLiteral("txt"));
        QVERIFY(!options.ConfirmOverwrite);
        QVERIFY(!QFile::exists(chosen));
    }

    void fileBoxOpensItsChooser_data()
    {
        QTest::addColumn<bool>("backupBox");
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<int>("choosers");
        for (const bool backupBox : {false, true}) {
            const char *box = backupBox ? "backup" : "primary";
            const auto row = [&](const char *gesture, int choosers) {
                QTest::addRow("%s: %s", box, gesture)
                    << backupBox << QString::fromLatin1(gesture) << choosers;
            };
            row("letter key", 1);
            row("space key", 1);
            row("delete key", 1);
            row("click", 1);
            row("double-click", 1);
            row("right click", 0);
            row("tab key", 0);
            row("escape key", 0);
            row("enter key", 0);
            row("shift key alone", 0);
            row("arrow key", 0);
        }
    }

    void fileBoxOpensItsChooser()
    {
        QFETCH(bool, backupBox);
        QFETCH(QString, gesture);
        QFETCH(int, choosers);
        TScriptedPrompts prompts;
        for (int i = 0; i < choosers; ++i)
            prompts.CancelChooser();
        TSettings_Form form;
        const QString name = Path(QStringLiteral("start.txt"));
        if (backupBox)
            form.SetBackupFile(name);
        else
            form.SetPrimaryFile(name);
        QLineEdit *edit = backupBox ? form.BackupFile_Edit : form.PrimaryFile_Edit;

        if (gesture == QLatin1String("letter key"))
            QTest::keyClick(edit, Qt::Key_A);
        else if (gesture == QLatin1String("space key"))
            QTest::keyClick(edit, Qt::Key_Space);
        else if (gesture == QLatin1String("delete key"))
            QTest::keyClick(edit, Qt::Key_Delete);
        else if (gesture == QLatin1String("click"))
            QTest::mouseClick(edit, Qt::LeftButton);
        else if (gesture == QLatin1String("right click"))
            QTest::mouseClick(edit, Qt::RightButton);
        else if (gesture == QLatin1String("double-click")) {
            const QPointF at(edit->rect().center());
            QMouseEvent doubleClick(QEvent::MouseButtonDblClick, at, edit->mapToGlobal(at),
                                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(edit, &doubleClick);
        } else if (gesture == QLatin1String("tab key"))
            QTest::keyClick(edit, Qt::Key_Tab);
        else if (gesture == QLatin1String("escape key"))
            QTest::keyClick(edit, Qt::Key_Escape);
        else if (gesture == QLatin1String("enter key"))
            QTest::keyClick(edit, Qt::Key_Return);
        else if (gesture == QLatin1String("shift key alone"))
            QTest::keyClick(edit, Qt::Key_Shift, Qt::ShiftModifier);
        else if (gesture == QLatin1String("arrow key"))
            QTest::keyClick(edit, Qt::Key_Left);
        else
            QFAIL("unknown gesture");

        QCOMPARE(prompts.Choosers.size(), choosers);
        QCOMPARE(prompts.Unanswered, 0);
        for (const TFileChooserOptions &options : prompts.Choosers) {
            QCOMPARE(options.Title,
                     backupBox ? QStringLiteral("Backup File") : QStringLiteral("Primary File"));
            QCOMPARE(options.FileName, name);
        }
        // Cancelled choosers and other keys leave the names as they were.
        QCOMPARE(edit->text(), name);
    }

    void refusedNameReopensTheChooser_data()
    {
        QTest::addColumn<QString>("refused");
        QTest::addColumn<bool>("explained");
        QTest::newRow("the configuration file") << QStringLiteral("nudger.cfg") << true;
        QTest::newRow("a missing folder") << QStringLiteral("missing/a.txt") << false;
    }

    void refusedNameReopensTheChooser()
    {
        QFETCH(QString, refused);
        QFETCH(bool, explained);
        const QString refusedName = StartDirectory() + refused;
        const QString usable = Path(QStringLiteral("usable.txt"));
        for (const bool backupBox : {false, true}) {
            TScriptedPrompts prompts;
            prompts.AnswerFile(refusedName);
            if (explained)
                prompts.AnswerButton(QMessageBox::Ok);
            prompts.AnswerFile(usable);
            TSettings_Form form;
            QTest::mouseClick(backupBox ? form.BackupFileBrowse_Button
                                        : form.PrimaryFileBrowse_Button,
                              Qt::LeftButton);
            QStringList kinds;
            for (const TScriptedPrompts::Record &record : prompts.Records)
                kinds << record.Kind;
            const QStringList expectedKinds =
                explained ? QStringList{"save", "message", "save"} : QStringList{"save", "save"};
            QCOMPARE(kinds, expectedKinds);
            if (explained)
                QCOMPARE(prompts.Records[1].Text, QString::fromLatin1(ReservedFileMessage));
            QCOMPARE(prompts.Choosers[1].FileName, refusedName);
            QCOMPARE(prompts.Choosers[1].Title, prompts.Choosers[0].Title);
            QCOMPARE(backupBox ? form.BackupFile() : form.PrimaryFile(), usable);
            QCOMPARE(prompts.Pending(), 0);
            QCOMPARE(prompts.Unanswered, 0);
        }
    }

    void cancelAfterRefusalKeepsTheOldName()
    {
        TScriptedPrompts prompts;
        prompts.AnswerFile(StartDirectory() + QStringLiteral("nudger.cfg"));
        prompts.AnswerButton(QMessageBox::Ok);
        prompts.CancelChooser();
        TSettings_Form form;
        const QString old = Path(QStringLiteral("old.txt"));
        form.SetPrimaryFile(old);
        QTest::mouseClick(form.PrimaryFileBrowse_Button, Qt::LeftButton);
        QCOMPARE(prompts.Choosers.size(), 2);
        QCOMPARE(prompts.Unanswered, 0);
        QCOMPARE(form.PrimaryFile(), old);
    }
};

QTEST_MAIN(tst_Settings_Unit)
#include "tst_Settings_Unit.moc"
