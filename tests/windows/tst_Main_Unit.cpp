// The main window: start-up, the nudge, the writer's files, the suggestions,
// the fonts, the date stamp and privacy, driven through the prompt and wave
// doubles with the secondary windows replaced.

#include "app/PlatformDependence_Unit.h"
#include "storage/ConfigurationFile_Unit.h"
#include "storage/PrivateFolder_Unit.h"
#include "storage/RecoveryCopy_Unit.h"
#include "storage/SpellChecker_Unit.h"
#include "storage/TovrinDataEncode_Unit.h"
#include "storage/WriterSettings_Unit.h"
#include "support/CountingWaveService.h"
#include "support/DarkScheme.h"
#include "support/FileBytes.h"
#include "support/FileRestrictions.h"
#include "support/FullDisk.h"
#include "support/PrivateData.h"
#include "support/RecoveryCopyTesting.h"
#include "support/ScriptedPrompts.h"
#include "windows/AreaColours_Unit.h"
#include "windows/CaptionButton_Unit.h"
#include "windows/ConflictBar_Unit.h"
#include "windows/EarlierVersions_Unit.h"
#include "windows/FindBar_Unit.h"
#include "windows/MainMessages_Unit.h"
#include "windows/Main_Unit.h"
#include "windows/SpellMarks_Unit.h"
#include "windows/WritingRecordWindow_Unit.h"

#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QTreeWidget>

#include <ctime>
#include <memory>
#include <tuple>

namespace {

// Runs check on the Earlier Versions window once its comparison is all on
// show, from the event loop its exec() runs; closes it after 5 s regardless.
void WhenVersionsShown(const std::function<void(TEarlierVersions_Form *)> &check, int tries = 500)
{
    QTimer::singleShot(10, [check, tries] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *versions = qobject_cast<TEarlierVersions_Form *>(widget);
            if (!versions || !versions->isVisible())
                continue;
            if (versions->ComparisonReady()) {
                check(versions);
                return;
            }
            if (tries == 0) {
                versions->reject();
                return;
            }
        }
        WhenVersionsShown(check, tries - 1);
    });
}

const QString SelectPrimary =
    QStringLiteral("You must select a primary file to save your text to.");
const QString SaveChanges = QStringLiteral("Do you want to save your changes?");
const QString CannotSaveText = QStringLiteral("I cannot save your text!");

// The contrast between the text an area paints and its ground, read from a
// picture of its viewport: the ground is the empty bottom-right corner, the
// text the pixel that stands out from it the most.
double PaintedContrast(QPlainTextEdit *area)
{
    const QImage picture = area->viewport()->grab().toImage();
    const QColor ground = picture.pixelColor(picture.width() - 2, picture.height() - 2);
    double most = 1;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            most = qMax(most, ContrastRatio(picture.pixelColor(x, y), ground));
    return most;
}

} // namespace

class tst_Main_Unit : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> FDir;
    std::unique_ptr<TScriptedPrompts> FPrompts;
    std::unique_ptr<TCountingWaveService> FWave;
    TMainFormDialogs FDialogs;
    int FSettingsRuns = 0;
    // What the fake settings dialog answers: accepted, and the primary name.
    QList<QPair<bool, QString>> FSettingsAnswers;
    int FSuggestionSettingsRuns = 0;
    std::function<bool(bool &, bool &, bool &, QString &)> FSuggestionSettings;

    QString Path(const QString &name) const { return FDir->filePath(name); }

    // Starts a window whose configuration already names a primary file.
    std::unique_ptr<TMain_Form> MakeForm(const QStringList &values = {})
    {
        TConfigurationFile configuration;
        configuration.Load();
        configuration.WriteValue(QStringLiteral("PrimaryFile"), Path(QStringLiteral("text.txt")));
        for (const QString &value : values)
            configuration.WriteValue(value.section(QLatin1Char('='), 0, 0),
                                     value.section(QLatin1Char('='), 1));
        if (!configuration.Save())
            qWarning("could not prepare the configuration");
        return std::make_unique<TMain_Form>(nullptr, FDialogs);
    }

    // Shows the window and waits for the end of its start: its first
    // picture, and the recovery copy's offer.
    static bool ShowStarted(TMain_Form &form)
    {
        QSignalSpy started(&form, &TMain_Form::Started);
        form.show();
        return started.wait();
    }

    void WriteUserSuggestions(const QByteArray &bytes)
    {
        QVERIFY(WriteAll(Path(QStringLiteral("mine.txt")), bytes));
    }

    // A window in ordered mode over the user suggestions only.
    std::unique_ptr<TMain_Form> MakeOrderedForm(const QByteArray &suggestions)
    {
        WriteUserSuggestions(suggestions);
        return MakeForm(
            {QStringLiteral("UseTovrinSuggestions=NO"),
             QStringLiteral("UseUserSuggestionsFile=YES"),
             QStringLiteral("RandomizeSuggestions=NO"),
             QStringLiteral("UserSuggestionsFile=") + Path(QStringLiteral("mine.txt"))});
    }

    QString Shown(TMain_Form &form) const { return form.Suggestion_Memo->toPlainText(); }

    // A window over text, the find bar open on term.
    std::unique_ptr<TMain_Form> MakeFindForm(const QByteArray &text, const QString &term,
                                             bool replace = false)
    {
        if (!WriteAll(Path(QStringLiteral("text.txt")), text))
            qWarning("could not write the text");
        auto form = MakeForm();
        form->show();
        form->Text_Memo->moveCursor(QTextCursor::Start);
        (replace ? form->Replace_MenuItem : form->Find_MenuItem)->trigger();
        form->FindBar()->Find_Edit->setText(term);
        return form;
    }
    static QString Selected(TMain_Form &form)
    {
        return form.Text_Memo->textCursor().selectedText();
    }

    // An auto-save tick, to the end of its write on the worker and what the
    // window shows of it.
    static void Tick(TMain_Form &form)
    {
        form.AutoSave_TimerTimer();
        form.Document().WaitForWrites();
    }

    QString StoredValue(const QString &name) const
    {
        TConfigurationFile configuration;
        configuration.Load();
        return configuration.ReadValue(name);
    }

private Q_SLOTS:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("Nudger")); }

    void init()
    {
        FDir = std::make_unique<QTemporaryDir>();
        QVERIFY2(FDir->isValid(), qPrintable(FDir->errorString()));
        SetStartDirectoryForTesting(FDir->path());
        UsePrivateDataFolder(FDir->path());
        SetUserNameForTesting([] { return QStringLiteral("tester"); });
        FPrompts = std::make_unique<TScriptedPrompts>();
        FWave = std::make_unique<TCountingWaveService>();
        // A small built-in suggestions file, so that start-up has nothing to report.
        QVERIFY(WriteAll(StartDirectory() + QStringLiteral("nudger.dat"),
                         ScrambleText(TovrinKeys::Product, TovrinKeys::Version,
                                      TovrinKeys::SuggestionsKey,
                                      JoinLines({"built in one", "built in two"}))));
        FSettingsRuns = 0;
        FSettingsAnswers.clear();
        FSuggestionSettingsRuns = 0;
        FSuggestionSettings = nullptr;
        FDialogs = TMainFormDialogs{};
        FDialogs.ExecuteSettings = [this](int &, QString &primary, QString &) {
            ++FSettingsRuns;
            if (FSettingsAnswers.isEmpty())
                return false;
            const auto answer = FSettingsAnswers.takeFirst();
            if (answer.first)
                primary = answer.second;
            return answer.first;
        };
        FDialogs.ExecuteSuggestionSettings = [this](bool &a, bool &b, bool &c, QString &d) {
            ++FSuggestionSettingsRuns;
            return FSuggestionSettings ? FSuggestionSettings(a, b, c, d) : false;
        };
    }

    void cleanup()
    {
        FWave.reset();
        FPrompts.reset();
        SetStartDirectoryForTesting(QString());
        SetUserNameForTesting(nullptr);
        SetClockForTesting(nullptr);
        FDir.reset();
    }

    // --- Start-up ----------------------------------------------------------

    void firstStartAsksForPrimaryFile()
    {
        const QString primary = Path(QStringLiteral("story.txt"));
        FSettingsAnswers << qMakePair(true, primary);
        TMain_Form form(nullptr, FDialogs);

        QCOMPARE(FPrompts->Records.value(0).Kind, QStringLiteral("information"));
        QCOMPARE(FPrompts->Records.value(0).Text, SelectPrimary);
        QCOMPARE(FSettingsRuns, 1);
        QCOMPARE(form.PrimaryFile(), primary);
        QVERIFY(!form.TerminateRequested());
        // The defaults of a first start.
        QCOMPARE(form.Interval(), 10000);
        QVERIFY(form.SoundEnabled());
        QVERIFY(form.NudgeEnabled());
        QVERIFY(form.AutoSaveEnabled());
        QVERIFY(!form.AlwaysSuggest());
        QVERIFY(form.UseTovrinSuggestions());
        QVERIFY(!form.UseUserSuggestionsFile());
        QVERIFY(form.RandomizeSuggestions());
        QVERIFY(!form.Privacy());
        QVERIFY(!form.TextChanged());
        QVERIFY(!form.NudgeSuppressed());
        QVERIFY(!form.AutoSaveSuppressed());
        QVERIFY(form.Nudge_Timer->isActive());
        QVERIFY(form.AutoSave_Timer->isActive());
        // The settings step saved the configuration with the new file.
        QCOMPARE(StoredValue(QStringLiteral("PrimaryFile")), primary);
    }

    void abortAtFirstStartEndsTheProgram()
    {
        FPrompts->AnswerButton(QMessageBox::Ok);    // information
        FPrompts->AnswerButton(QMessageBox::Retry); // after the first cancel
        FPrompts->AnswerButton(QMessageBox::Abort); // after the second
        TMain_Form form(nullptr, FDialogs);
        QCOMPARE(FSettingsRuns, 2);
        QVERIFY(form.TerminateRequested());
        QCOMPARE(
            FPrompts->Count(QStringLiteral(
                "Choose Retry to enter a valid primary file, or Abort to exit the application.")),
            2);
        QVERIFY(QFile::exists(Path(QStringLiteral("Nudger.cfg"))));
    }

    void startReadsPrimaryFile()
    {
        QVERIFY(WriteAll(Path(QStringLiteral("text.txt")), "one\r\ntwo\nthree"));
        auto form = MakeForm({QStringLiteral("SuggestionNumber=5")});
        QCOMPARE(form->Text_Memo->toPlainText(), QStringLiteral("one\ntwo\nthree"));
        QCOMPARE(form->Text_Memo->textCursor().position(), form->Text_Memo->toPlainText().size());
        QCOMPARE(form->StatusPanel0->text(), Path(QStringLiteral("text.txt")));
        QVERIFY(!form->TextChanged());
        QCOMPARE(FSettingsRuns, 0);
        // The configuration's number is not taken: saving stores 0.
        form->SaveConfiguration();
        QCOMPARE(StoredValue(QStringLiteral("SuggestionNumber")), QStringLiteral("0"));
    }

    void storedSettingsLoad_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("interval");
        QTest::newRow("3000 taken as it is") << QStringLiteral("3000") << 3000;
        QTest::newRow("zero") << QStringLiteral("0") << 10000;
        QTest::newRow("not a number") << QStringLiteral("soon") << 10000;
        QTest::newRow("negative") << QStringLiteral("-5") << 10000;
    }
    void storedSettingsLoad()
    {
        QFETCH(QString, stored);
        QFETCH(int, interval);
        auto form = MakeForm({QStringLiteral("Interval=") + stored,
                              QStringLiteral("SoundEnabled=yes"), QStringLiteral("Privacy=YES")});
        QCOMPARE(form->Interval(), interval);
        QVERIFY(!form->SoundEnabled()); // only "YES" is true
        QVERIFY(form->Privacy());
        QVERIFY(form->Privacy_Timer->isActive());
        QVERIFY(FPrompts->Records.isEmpty());
    }

    void malformedFontStopsLoading()
    {
        auto form = MakeForm({QStringLiteral("TextFont=\"Serif\", big, [], [clBlack]"),
                              QStringLiteral("NudgeEnabled=NO")});
        QCOMPARE(FPrompts->Count(QStringLiteral("I am not able to load your configuration.")), 1);
        // Keys after the font keep the window's state from before loading.
        QVERIFY(form->NudgeEnabled());
        QVERIFY(!form->RandomizeSuggestions());
    }

    void reservedPrimaryFileIsDropped()
    {
        auto form = MakeForm();
        form.reset();
        FPrompts->Records.clear();
        TConfigurationFile configuration;
        configuration.Load();
        configuration.WriteValue(QStringLiteral("PrimaryFile"),
                                 StartDirectory() + QStringLiteral("nudger.cfg"));
        QVERIFY(configuration.Save());
        FSettingsAnswers << qMakePair(true, Path(QStringLiteral("other.txt")));
        TMain_Form second(nullptr, FDialogs);
        QCOMPARE(FPrompts->Records.value(0).Text,
                 QStringLiteral("You can not use this file because I need it to run correctly!"));
        QCOMPARE(FSettingsRuns, 1);
        QCOMPARE(second.PrimaryFile(), Path(QStringLiteral("other.txt")));
    }

    // However the window is resized, status panel 1 stays 75 pixels wide at
    // the right edge and panel 0 takes the rest.
    void statusBarKeepsRightPanel()
    {
        auto form = MakeForm();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        for (const int width : {500, 900, 300}) {
            form->resize(width, 480);
            QTRY_COMPARE(form->Main_StatusBar->width(), form->width());
            QTRY_COMPARE(form->StatusPanel1->geometry(),
                         QRect(width - 75, 0, 75, form->Main_StatusBar->height()));
            QCOMPARE(form->StatusPanel0->geometry(),
                     QRect(0, 0, width - 75, form->Main_StatusBar->height()));
        }
    }

    void menusAsDesigned()
    {
        auto form = MakeForm();
        QCOMPARE(form->windowTitle(), QStringLiteral("Nudger"));
        QCOMPARE(form->MakeSuggestion_MenuItem->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
        QCOMPARE(form->InsertCurrentDate_MenuItem->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_D));
        QCOMPARE(form->Find_MenuItem->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
        QCOMPARE(form->FindNext_MenuItem->shortcut(), QKeySequence(Qt::Key_F3));
        QCOMPARE(form->FindPrevious_MenuItem->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F3));
        QCOMPARE(form->Replace_MenuItem->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_H));
        // The find bar is made when first asked for, not at the start.
        QVERIFY(!form->findChild<TFindBar *>());
        QCOMPARE(form->NextMisspelling_MenuItem->shortcut(), QKeySequence(Qt::Key_F7));
        // The spelling's items come after the others of their menus, greyed
        // until the dictionaries are known.
        const auto itemsBeside = [](QAction *item) {
            return qobject_cast<QMenu *>(item->associatedObjects().value(0))->actions();
        };
        QCOMPARE(itemsBeside(form->InsertCurrentDate_MenuItem).constLast(),
                 form->NextMisspelling_MenuItem);
        const QList<QAction *> configure = itemsBeside(form->Settings_MenuItem);
        QCOMPARE(configure.indexOf(form->CheckSpelling_MenuItem),
                 configure.indexOf(form->Settings_MenuItem) + 1);
        QCOMPARE(configure.indexOf(form->SpellingLanguage_MenuItem->menuAction()),
                 configure.indexOf(form->CheckSpelling_MenuItem) + 1);
        // The goal after them, the record beside Earlier Versions.
        QCOMPARE(configure.constLast(), form->WritingGoal_MenuItem);
        const QList<QAction *> file = itemsBeside(form->EarlierVersions_MenuItem);
        QCOMPARE(file.indexOf(form->WritingRecord_MenuItem),
                 file.indexOf(form->EarlierVersions_MenuItem) + 1);
        QVERIFY(file.at(file.indexOf(form->WritingRecord_MenuItem) + 1)->isSeparator());
        QVERIFY(!form->CheckSpelling_MenuItem->isEnabled());
        QVERIFY(form->Save_MenuItem->shortcut().isEmpty());
        QVERIFY(!form->Privacy_MenuItem->isVisible());
        QVERIFY(!form->Privacy_MenuItem->isEnabled());
        QCOMPARE(form->Suggestion_Label->text(), QStringLiteral("Nudger Suggestion"));
        QCOMPARE(form->YourText_Label->text(), QStringLiteral("Your Text"));
        QCOMPARE(form->Suggestion_Memo->accessibleName(), QStringLiteral("Nudger Suggestion"));
        QCOMPARE(form->Text_Memo->accessibleName(), QStringLiteral("Your Text"));
        // Random order is the default: Prior, First and Last are hidden.
        QCOMPARE(form->MakeSuggestion_MenuItem->text(), QStringLiteral("Make Suggestion"));
        QVERIFY(!form->PriorSuggestion_MenuItem->isVisible());
    }

    // --- The nudge ---------------------------------------------------------

    void idleNudgesAndKeystrokeSilences()
    {
        auto form = MakeOrderedForm("first\r\nsecond\r\nthird");
        form->SetInterval(40);
        form->show();
        QTRY_COMPARE(Shown(*form), QStringLiteral("first"));
        QTRY_COMPARE(FWave->PlayCount, 1);
        QVERIFY(FWave->Sounding());
        // Further idle intervals bring further suggestions, the sound goes on.
        QTRY_COMPARE(Shown(*form), QStringLiteral("second"));
        QCOMPARE(FWave->PlayCount, 1);

        const int stops = FWave->StopCount;
        QTest::keyClick(form->Text_Memo, Qt::Key_A);
        QCOMPARE(FWave->StopCount, stops + 1);
        QVERIFY(!FWave->Sounding());
        QVERIFY(form->TextChanged());
        QTRY_COMPARE(FWave->PlayCount, 2);
    }

    void suppressionSilencesAndBlocks()
    {
        auto form = MakeOrderedForm("first\r\nsecond");
        form->SetInterval(20);
        QTRY_COMPARE(FWave->PlayCount, 1);
        form->SetNudgeSuppressed(true);
        QVERIFY(!FWave->Sounding());
        const QString shown = Shown(*form);
        QTest::qWait(100); // several periods pass while suppressed
        QCOMPARE(Shown(*form), shown);
        QCOMPARE(FWave->PlayCount, 1);
    }

    void soundAndNudgeSwitches()
    {
        auto form = MakeOrderedForm("first\r\nsecond");
        form->SetInterval(20);
        QTRY_COMPARE(FWave->PlayCount, 1);
        form->Sound_MenuItemClick();
        QVERIFY(!form->SoundEnabled());
        QVERIFY(!FWave->Sounding());
        QCOMPARE(StoredValue(QStringLiteral("SoundEnabled")), QStringLiteral("NO"));
        form->Sound_MenuItemClick();
        QVERIFY(!FWave->Sounding()); // waits for the next firing
        QTRY_COMPARE(FWave->PlayCount, 2);

        form->Nudge_MenuItemClick();
        QVERIFY(!form->NudgeEnabled());
        QVERIFY(!form->Nudge_Timer->isActive());
        QVERIFY(!FWave->Sounding());
        QCOMPARE(StoredValue(QStringLiteral("NudgeEnabled")), QStringLiteral("NO"));
    }

    // Chosen from the menu, a checkable item flips once: its check mark, the
    // setting and the stored value agree, and a second choice flips it back.
    void checkableMenuItemsFlipOnce_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("key");
        QTest::newRow("Sound") << QStringLiteral("Sound_MenuItem")
                               << QStringLiteral("SoundEnabled");
        QTest::newRow("Nudge") << QStringLiteral("Nudge_MenuItem")
                               << QStringLiteral("NudgeEnabled");
        QTest::newRow("Auto-Save")
            << QStringLiteral("AutoSave_MenuItem") << QStringLiteral("AutoSaveEnabled");
        QTest::newRow("Always Suggest")
            << QStringLiteral("AlwaysSuggest_MenuItem") << QStringLiteral("AlwaysSuggest");
    }

    void checkableMenuItemsFlipOnce()
    {
        QFETCH(QString, item);
        QFETCH(QString, key);
        auto form = MakeForm();
        auto *action = form->findChild<QAction *>(item);
        QVERIFY(action);
        const bool before = action->isChecked();
        action->trigger();
        QCOMPARE(action->isChecked(), !before);
        QCOMPARE(StoredValue(key), before ? QStringLiteral("NO") : QStringLiteral("YES"));
        action->trigger();
        QCOMPARE(action->isChecked(), before);
        QCOMPARE(StoredValue(key), before ? QStringLiteral("YES") : QStringLiteral("NO"));
    }

    // Tab is typed into the text; Ctrl+Tab leaves it and Tab then walks the
    // suggestion area and the five caption buttons; Ctrl+Shift+Tab goes back.
    void keyboardLeavesTheTextAndReachesTheButtons()
    {
        auto form = MakeForm();
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        form->Text_Memo->setFocus();
        QTRY_VERIFY(form->Text_Memo->hasFocus());
        QTest::keyClick(form->Text_Memo, Qt::Key_Tab);
        QCOMPARE(form->Text_Memo->toPlainText(), QStringLiteral("\t"));
        QTest::keyClick(form->Text_Memo, Qt::Key_Tab, Qt::ControlModifier);
        QVERIFY(form->Suggestion_Memo->hasFocus());
        const QList<QWidget *> buttons = {
            form->MakeSuggestion_Panel, form->AdjustSuggestionFont_Panel,
            form->ResetSuggestionFont_Panel, form->AdjustTextFont_Panel, form->ResetTextFont_Panel};
        for (QWidget *button : buttons) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), button);
        }
        form->Text_Memo->setFocus();
        QTest::keyClick(form->Text_Memo, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(!form->Text_Memo->hasFocus());
        QCOMPARE(form->Text_Memo->toPlainText(), QStringLiteral("\t"));
    }

    void negativeIntervalRefused()
    {
        auto form = MakeForm();
        QVERIFY_THROWS_EXCEPTION(std::range_error, form->SetInterval(-1));
        QCOMPARE(form->Interval(), 10000);
    }

    // --- The document ------------------------------------------------------

    void saveWritesPrimaryAndBackup()
    {
        auto form = MakeForm({QStringLiteral("BackupFile=") + Path(QStringLiteral("copy.txt"))});
        form->Text_Memo->setPlainText(QStringLiteral("alpha\nbeta\n"));
        form->Save_MenuItemClick();
        QCOMPARE(ReadAll(Path(QStringLiteral("text.txt"))), QByteArray("alpha\r\nbeta"));
        QCOMPARE(ReadAll(Path(QStringLiteral("copy.txt"))), QByteArray("alpha\r\nbeta"));
        QVERIFY(!form->TextChanged());
        QCOMPARE(form->StatusPanel0->text(), Path(QStringLiteral("text.txt")));
        QVERIFY(FPrompts->Records.isEmpty());
    }

    void failedSaveKeepsTextChanged()
    {
        auto form = MakeForm();
        form->SetPrimaryFile(Path(QStringLiteral("missing/folder/text.txt")));
        form->Text_Memo->setPlainText(QStringLiteral("keep me"));
        form->Save_MenuItemClick();
        QCOMPARE(FPrompts->Count(CannotSaveText), 1);
        QVERIFY(form->TextChanged());
        QVERIFY(form->StatusPanel0->text().isEmpty());
    }

    void confirmSaveChanges_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<bool>("result");
        QTest::addColumn<bool>("written");
        QTest::newRow("yes saves") << int(QMessageBox::Yes) << true << true << true;
        QTest::newRow("yes but the save fails") << int(QMessageBox::Yes) << false << false << false;
        QTest::newRow("no") << int(QMessageBox::No) << true << true << false;
        QTest::newRow("cancel") << int(QMessageBox::Cancel) << true << false << false;
    }
    void confirmSaveChanges()
    {
        QFETCH(int, answer);
        QFETCH(bool, writable);
        QFETCH(bool, result);
        QFETCH(bool, written);
        auto form = MakeForm();
        if (!writable)
            form->SetPrimaryFile(Path(QStringLiteral("missing/text.txt")));
        form->Text_Memo->setPlainText(QStringLiteral("words"));
        FPrompts->AnswerButton(QMessageBox::StandardButton(answer));
        QCOMPARE(form->ConfirmSaveChanges(), result);
        QCOMPARE(FPrompts->Records.value(0).Text, SaveChanges);
        QCOMPARE(FPrompts->Records.value(0).Buttons,
                 QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QCOMPARE(ReadAll(form->PrimaryFile()) == "words", written);
    }

    void closingKeepsTextWhenSaveFails()
    {
        auto form = MakeForm();
        form->show();
        form->SetPrimaryFile(Path(QStringLiteral("missing/text.txt")));
        form->Text_Memo->setPlainText(QStringLiteral("precious"));
        FPrompts->AnswerButton(QMessageBox::Yes);
        QVERIFY(!form->close());
        QVERIFY(form->isVisible());
        QCOMPARE(form->Text_Memo->toPlainText(), QStringLiteral("precious"));
    }

    // Another program rewrote the primary file while the writer's text was
    // unsaved: nothing is written over it until the writer chooses on the
    // bar, which keys typed into the text never reach; the backup keeps
    // receiving the text meanwhile.
    void fileChangedOutsideWhileUnsaved_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<bool>("withBackup");
        QTest::addColumn<QByteArray>("primary");
        QTest::addColumn<QString>("editor");
        QTest::newRow("typing chooses nothing")
            << "type" << true << QByteArray("theirs") << " \nmine";
        QTest::newRow("keep my text") << "keep" << true << QByteArray("mine") << "mine";
        QTest::newRow("take the file's, with a backup")
            << "take" << true << QByteArray("theirs") << "theirs";
        QTest::newRow("take the file's, without one")
            << "take" << false << QByteArray("theirs") << "theirs";
        QTest::newRow("compare first") << "compare" << true << QByteArray("theirs") << "mine";
    }
    void fileChangedOutsideWhileUnsaved()
    {
        QFETCH(QString, choice);
        QFETCH(bool, withBackup);
        QFETCH(QByteArray, primary);
        QFETCH(QString, editor);
        const QString backup = Path(QStringLiteral("copy.txt"));
        QVERIFY(WriteAll(Path(QStringLiteral("text.txt")), "old"));
        auto form = MakeForm(withBackup ? QStringList{QStringLiteral("BackupFile=") + backup}
                                        : QStringList());
        form->show();
        form->Text_Memo->setPlainText(QStringLiteral("mine"));
        QFile::remove(Path(QStringLiteral("text.txt")));
        QVERIFY(WriteAll(Path(QStringLiteral("text.txt")), "theirs"));
        Tick(*form);
        form->Save_MenuItemClick();
        QCOMPARE(ReadAll(Path(QStringLiteral("text.txt"))), QByteArray("theirs"));
        QVERIFY(form->ConflictBar()->isVisible());
        QVERIFY(FPrompts->Records.isEmpty());
        if (withBackup)
            QCOMPARE(ReadAll(backup), QByteArray("mine"));
        if (choice == QLatin1String("compare")) {
            // The file's version against the editor's, which only the bar's
            // own buttons choose between.
            QTest::mouseClick(form->ConflictBar()->Compare_Button, Qt::LeftButton);
            auto *versions = form->findChild<TEarlierVersions_Form *>();
            QVERIFY(versions);
            QTRY_VERIFY(versions->ComparisonReady());
            QCOMPARE(versions->Comparison_Memo->toPlainText(),
                     QStringLiteral("Line 1:\n- mine\n+ theirs\n"));
            QCOMPARE(versions->Comparison_Memo->accessibleDescription(),
                     QStringLiteral("1 line removed, 1 added"));
            QVERIFY(!versions->Restore_Button->isEnabled());
            versions->reject();
        } else if (choice == QLatin1String("type")) {
            form->Text_Memo->setFocus();
            QTest::keyClicks(form->Text_Memo, QStringLiteral(" "));
            QTest::keyClick(form->Text_Memo, Qt::Key_Return);
            QTest::keyClick(form.get(), Qt::Key_Space);
            QTest::keyClick(form.get(), Qt::Key_Return);
            QVERIFY(form->ConflictBar()->isVisible());
        } else {
            QTest::mouseClick(choice == QLatin1String("keep")
                                  ? form->ConflictBar()->KeepMine_Button
                                  : form->ConflictBar()->TakeFile_Button,
                              Qt::LeftButton);
            QVERIFY(!form->TextChanged());
            // The text that gave way is in the history, and the bar says so.
            QVERIFY(form->ConflictBar()->Notice_Label->text().contains(
                QStringLiteral("kept in Earlier Versions")));
            const QByteArray gaveWay =
                choice == QLatin1String("keep") ? QByteArray("theirs") : QByteArray("mine");
            TVersion named;
            for (const TVersion &version : form->Document().Versions()) {
                QByteArray kept;
                if (form->Document().ReadVersion(version, kept) && kept == gaveWay)
                    named = version;
            }
            QVERIFY(named.Id != 0);
            // The notice opens Earlier Versions at the version it names.
            QTest::mouseClick(form->ConflictBar()->Versions_Button, Qt::LeftButton);
            auto *shown = form->findChild<TEarlierVersions_Form *>();
            QVERIFY(shown);
            QTRY_VERIFY(shown->Versions_List->currentItem());
            QCOMPARE(shown->Versions_List->currentItem()->text(1), VersionReasonText(named.Reason));
            shown->reject();
        }
        if (choice == QLatin1String("take")) {
            Tick(*form);
            // One step to undo.
            form->Text_Memo->undo();
            QCOMPARE(form->Text_Memo->toPlainText(), QStringLiteral("mine"));
            form->Text_Memo->redo();
        }
        QCOMPARE(ReadAll(Path(QStringLiteral("text.txt"))), primary);
        QCOMPARE(form->Text_Memo->toPlainText(), editor);
        QVERIFY(FPrompts->Records.isEmpty());
        QCOMPARE(form->ConflictBar()->KeepMine_Button->isVisible(),
                 choice == QLatin1String("type") || choice == QLatin1String("compare"));
        // Nothing appears beside the writer's files.
        QVERIFY(QDir(FDir->path()).entryList({QStringLiteral("text (*")}, QDir::Files).isEmpty());
    }

    // While nothing can be kept in Earlier Versions (a file where the private
    // folder would be), the bar tells it and no box opens: ticks go on saving
    // the writer's text, Save As over another file changes nothing and says
    // so, and the bar's problem goes once a keep works again.
    void historyTroublesToldInTheBar_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("auto-save ticks") << QStringLiteral("ticks");
        QTest::newRow("Save As over another file") << QStringLiteral("save as");
    }
    void historyTroublesToldInTheBar()
    {
        QFETCH(QString, way);
        const QString folder = QFileInfo(PrivateFolder(QStringLiteral("nudger.db"))).path();
        QDir(folder).removeRecursively();
        QVERIFY(QDir().mkpath(QFileInfo(folder).path()));
        QVERIFY(WriteAll(folder, "in the way"));
        const QString primary = Path(QStringLiteral("text.txt"));
        QVERIFY(WriteAll(primary, "saved"));
        auto form = MakeForm();
        QVERIFY(ShowStarted(*form));
        QTest::keyClicks(form->Text_Memo, QStringLiteral("new "));
        FPrompts->Records.clear();
        if (way == QLatin1String("ticks")) {
            for (int tick = 0; tick < 3; ++tick)
                Tick(*form);
            QVERIFY(form->ConflictBar()->Problem_Label->text().startsWith(Message::HistoryFailing));
        } else {
            const QString other = Path(QStringLiteral("other.txt"));
            QVERIFY(WriteAll(other, "the other file"));
            FPrompts->AnswerFile(other);
            form->SaveAs_MenuItemClick();
            QCOMPARE(ReadAll(other), QByteArray("the other file"));
            QCOMPARE(form->PrimaryFile(), primary);
            QCOMPARE(form->ConflictBar()->Notice_Label->text(),
                     Message::SaveAsNotKept.arg(QDir::toNativeSeparators(other),
                                                QDir::toNativeSeparators(primary)));
        }
        // The chooser alone; no message box took the keyboard.
        for (const auto &record : std::as_const(FPrompts->Records))
            QCOMPARE(record.Kind, QStringLiteral("save"));
        QCOMPARE(ReadAll(primary),
                 way == QLatin1String("ticks") ? QByteArray("savednew ") : QByteArray("saved"));

        QVERIFY(QFile::remove(folder));
        QTest::keyClicks(form->Text_Memo, QStringLiteral("words"));
        Tick(*form);
        QCOMPARE(ReadAll(primary), QByteArray("savednew words"));
        // The store is opened again, and keeps the saved text.
        QVERIFY(!form->Document().Versions().isEmpty());
        QTRY_VERIFY(!form->ConflictBar()->Problem_Label->text().contains(Message::HistoryFailing));
    }

    // The window names each version's local time as WhenText does, also in
    // the hours a clock change falls in (a zone whose summer time began three
    // days ago and ended yesterday, at half past two).
    void versionTimesAcrossClockChanges()
    {
        const QByteArray zone = qgetenv("TZ");
        const auto restore = qScopeGuard([&zone] {
            zone.isNull() ? qunsetenv("TZ") : qputenv("TZ", zone);
            tzset();
        });
        const QDate today = QDate::currentDate();
        const auto julian = [](QDate day) {
            return day.dayOfYear() - (QDate::isLeapYear(day.year()) && day.month() > 2 ? 1 : 0);
        };
        if (julian(today) < 4)
            QSKIP("the zone's rule cannot reach back over a new year");
        qputenv("TZ", QStringLiteral("AST-1ADT,J%1/2:30,J%2/2:30")
                          .arg(julian(today.addDays(-3)))
                          .arg(julian(today.addDays(-1)))
                          .toLatin1());
        tzset();
        QVERIFY(WriteAll(Path(QStringLiteral("text.txt")), "saved"));
        auto form = MakeForm();
        THistory history(PrivateFolder(QStringLiteral("nudger.db")));
        history.SetPrimaryFile(Path(QStringLiteral("text.txt")));
        QList<QDateTime> times;
        for (const int daysAgo : {3, 1}) {
            const QDateTime midnight(today.addDays(-daysAgo), QTime(0, 0), Qt::LocalTime);
            for (int minutes = 0; minutes < 4 * 60; minutes += 25)
                times.prepend(midnight.addSecs(minutes * 60).toUTC());
        }
        for (const QDateTime &time : std::as_const(times)) {
            const QByteArray bytes = time.toString(Qt::ISODate).toLatin1();
            QCOMPARE(history.Keep(bytes, VersionDigest(bytes), TVersionReason::ReadAgain, time),
                     TKeepResult::Kept);
        }
        form->EarlierVersions_MenuItem->trigger();
        auto *versions = form->findChild<TEarlierVersions_Form *>();
        QVERIFY(versions);
        QTRY_COMPARE(versions->Versions_List->topLevelItemCount(), times.size());
        for (int row = 0; row < times.size(); ++row)
            QCOMPARE(versions->Versions_List->topLevelItem(row)->text(0),
                     TEarlierVersions_Form::WhenText(times.at(row)));
        versions->reject();
    }

    // File > Earlier Versions lists the history from its index, newest
    // first, and compares the chosen version with the editor's text; Restore
    // puts it back as one step Ctrl+Z undoes, keeping unsaved text first, and
    // Save As keeps what the chosen file held before writing over it.
    void earlierVersions_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("unsaved");
        QTest::newRow("restore over unsaved text") << "restore" << true;
        QTest::newRow("restore over saved text") << "restore" << false;
        QTest::newRow("save as over another file") << "save as" << true;
        QTest::newRow("save as onto a full disk") << "save as, failing" << true;
    }
    void earlierVersions()
    {
        QFETCH(QString, action);
        QFETCH(bool, unsaved);
        QVERIFY(WriteAll(Path(QStringLiteral("text.txt")), "saved"));
        auto form = MakeForm();
        form->show();
        // The history as another Nudger on the same store keeps it.
        THistory history(PrivateFolder(QStringLiteral("nudger.db")));
        history.SetPrimaryFile(Path(QStringLiteral("text.txt")));
        const QDateTime kept = QDateTime::currentDateTimeUtc();
        for (const auto &[bytes, reason, when] :
             {std::tuple(QByteArray("one\r\ntwo"), TVersionReason::ReadAgain, kept.addSecs(-60)),
              std::tuple(QByteArray("one\r\nthree"), TVersionReason::ChangedOutside, kept)})
            QCOMPARE(history.Keep(bytes, VersionDigest(bytes), reason, when), TKeepResult::Kept);
        if (unsaved)
            form->Text_Memo->setPlainText(QStringLiteral("one\nfour"));
        form->EarlierVersions_MenuItem->trigger();
        auto *versions = form->findChild<TEarlierVersions_Form *>();
        QVERIFY(versions);
        QVERIFY(versions->isModal() || versions->windowModality() == Qt::WindowModal);
        QTRY_COMPARE(versions->Versions_List->topLevelItemCount(), 2);
        QTreeWidgetItem *newest = versions->Versions_List->topLevelItem(0);
        QCOMPARE(newest->text(0), TEarlierVersions_Form::WhenText(kept));
        QCOMPARE(newest->text(1), QStringLiteral("changed by another program"));
        QCOMPARE(newest->data(0, Qt::AccessibleTextRole).toString(),
                 newest->text(0) + QStringLiteral(", changed by another program"));
        QTRY_VERIFY(versions->ComparisonReady());
        // Signs, not colour alone, say which lines went and came.
        QCOMPARE(versions->Comparison_Memo->toPlainText(),
                 unsaved ? QStringLiteral("Line 2:\n  one\n- three\n+ four\n")
                         : QStringLiteral("Line 1:\n- one\n- three\n+ saved\n"));
        QCOMPARE(versions->Comparison_Memo->accessibleDescription(),
                 unsaved ? QStringLiteral("1 line removed, 1 added")
                         : QStringLiteral("2 lines removed, 1 added"));
        QTRY_COMPARE(newest->text(3), unsaved ? QStringLiteral("three") : QStringLiteral("one"));

        const QString editorBefore = form->Text_Memo->toPlainText();
        if (action == QLatin1String("restore")) {
            QTest::mouseClick(versions->Restore_Button, Qt::LeftButton);
            QCOMPARE(form->Text_Memo->toPlainText(), QStringLiteral("one\nthree"));
            QVERIFY(form->TextChanged());
            QCOMPARE(ReadAll(Path(QStringLiteral("text.txt"))), QByteArray("saved"));
            // Unsaved text is in the history before it goes; saved text is in
            // its file.
            QCOMPARE(history.Versions().size(), unsaved ? 3 : 2);
            if (unsaved)
                QCOMPARE(history.Versions().first().Reason, TVersionReason::BeforeRestore);
            form->Text_Memo->undo();
            QCOMPARE(form->Text_Memo->toPlainText(), editorBefore);
        } else if (action == QLatin1String("save as, failing")) {
            // The write fails for real, on a full disk: the file keeps its
            // bytes, and the writer is told.
            const QString full = Path(QStringLiteral("full"));
            QVERIFY(QDir().mkpath(full));
            const QString other = full + QStringLiteral("/other.txt");
            TFullDisk disk(full, 64);
            if (!disk.Mounted())
                QSKIP(qPrintable(QStringLiteral("no tmpfs: ") + disk.Error()));
            QVERIFY(WriteAll(other, "the other file"));
            QVERIFY(disk.Fill());
            FPrompts->AnswerFile(other);
            QTest::mouseClick(versions->SaveAs_Button, Qt::LeftButton);
            QCOMPARE(ReadAll(other), QByteArray("the other file"));
            QCOMPARE(FPrompts->Texts().last(), QStringLiteral("I cannot save your text!"));
            versions->reject();
        } else {
            const QString other = Path(QStringLiteral("other.txt"));
            QVERIFY(WriteAll(other, "the other file"));
            FPrompts->AnswerFile(other);
            QTest::mouseClick(versions->SaveAs_Button, Qt::LeftButton);
            QCOMPARE(ReadAll(other), QByteArray("one\r\nthree"));
            QCOMPARE(history.Versions().first().Reason, TVersionReason::BeforeSaveAs);
            QByteArray before;
            QVERIFY(history.Read(history.Versions().first(), before));
            QCOMPARE(before, QByteArray("the other file"));
            QCOMPARE(form->Text_Memo->toPlainText(), editorBefore);
            QVERIFY(FPrompts->Records.size() == 1 && FPrompts->Records.first().Kind == "save");
            versions->reject();
        }
    }

    // The recovery copy follows unsaved typing and goes with a save or the
    // writer's No; what an abrupt end leaves is offered at the next start,
    // Yes by default, and comes back as unsaved text.
    void recoveryCopy_data()
    {
        QTest::addColumn<QString>("end");
        QTest::addColumn<bool>("offered");
        QTest::addColumn<bool>("compare");
        // The file's text, the words written into it at a place (-1: in
        // place of it all; -2: at its end), and the text once the writer
        // has taken them back and typed " and then more".
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("words");
        QTest::addColumn<int>("at");
        QTest::addColumn<QString>("typedOn");
        QTest::newRow("saved") << "save" << false << false << QByteArray("old") << "new" << -1
                               << QString();
        QTest::newRow("No at the close question")
            << "no" << false << false << QByteArray("old") << "new" << -1 << QString();
        QTest::newRow("ended abruptly")
            << "abrupt" << true << false << QByteArray("old") << "new" << -1 << QString();
        QTest::newRow("ended abruptly, compared before Yes")
            << "abrupt" << true << true << QByteArray("old") << "new" << -1 << QString();
        QTest::newRow("ended abruptly, the words at the end, typing on")
            << "abrupt" << true << false << QByteArray("alpha\r\nbeta")
            << "\nthe last words before the crash" << -2
            << "alpha\nbeta\nthe last words before the crash and then more";
        QTest::newRow("ended abruptly, the words inside, typing on")
            << "abrupt" << true << false << QByteArray("alpha\r\nbeta") << " gamma" << 5
            << "alpha gamma and then more\nbeta";
    }
    void recoveryCopy()
    {
        QFETCH(QString, end);
        QFETCH(bool, offered);
        QFETCH(bool, compare);
        QFETCH(QByteArray, file);
        QFETCH(QString, words);
        QFETCH(int, at);
        QFETCH(QString, typedOn);
        const QString offer =
            QStringLiteral("Your last words were not saved when I stopped. Do you want them back?");
        QVERIFY(WriteAll(Path(QStringLiteral("text.txt")), file));
        QString recovered;
        {
            auto form = MakeForm();
            form->show();
            TRecoveryCopy &recovery = form->Document().Recovery();
            TRecoveryCopyTesting::SetDelays(recovery, 10, 50);
            QSignalSpy written(&recovery, &TRecoveryCopy::Written);
            if (at == -1) {
                form->Text_Memo->setPlainText(words);
            } else {
                QTextCursor cursor = form->Text_Memo->textCursor();
                cursor.setPosition(at == -2 ? form->Text_Memo->document()->characterCount() - 1
                                            : at);
                form->Text_Memo->setTextCursor(cursor);
                form->Text_Memo->insertPlainText(words);
            }
            recovered = form->Text_Memo->toPlainText();
            QVERIFY(written.wait());
            if (end == QLatin1String("save")) {
                form->Save_MenuItemClick();
            } else if (end == QLatin1String("no")) {
                FPrompts->AnswerButton(QMessageBox::No);
                QVERIFY(form->close());
            }
        }
        FPrompts->Records.clear();
        QString compared;
        if (compare) {
            FPrompts->AnswerCompare();
            // Compare shows the words against the file's, over the question.
            WhenVersionsShown([&](TEarlierVersions_Form *versions) {
                compared = versions->Comparison_Memo->toPlainText();
                versions->reject();
            });
        }
        FPrompts->AnswerButton(QMessageBox::Yes);
        auto form = MakeForm();
        // The offer comes once the window shows, over it.
        QCOMPARE(FPrompts->Count(offer), 0);
        QVERIFY(ShowStarted(*form));
        QCOMPARE(FPrompts->Count(offer), offered ? 1 : 0);
        if (compare)
            QCOMPARE(compared, QStringLiteral("Line 1:\n- old\n+ new\n"));
        if (offered) {
            // The file, when the words were written, and how many differ.
            const QString details = FPrompts->Details.value(0);
            QVERIFY2(details.startsWith(Path(QStringLiteral("text.txt")) +
                                        QStringLiteral("\nWritten ")) &&
                         details.endsWith(at == -1
                                              ? QStringLiteral(".\n2 words differ from the file.")
                                              : QStringLiteral(" from the file.")),
                     qPrintable(details));
            QCOMPARE(FPrompts->Records.value(0).DefaultButton, QMessageBox::Yes);
            QCOMPARE(form->Text_Memo->toPlainText(), recovered);
            QVERIFY(form->TextChanged());
            QCOMPARE(ReadAll(Path(QStringLiteral("text.txt"))), file);
            if (!typedOn.isEmpty()) {
                // The writer goes on where they stopped, and one Ctrl+Z
                // after their own typing takes the recovery back.
                QTest::keyClicks(form->Text_Memo, QStringLiteral(" and then more"));
                QCOMPARE(form->Text_Memo->toPlainText(), typedOn);
                QVERIFY(
                    form->Text_Memo->cursorRect().intersects(form->Text_Memo->viewport()->rect()));
                form->Text_Memo->undo();
                QCOMPARE(form->Text_Memo->toPlainText(), recovered);
                form->Text_Memo->undo();
                QCOMPARE(form->Text_Memo->toPlainText(),
                         QString::fromLatin1(file).replace(QStringLiteral("\r\n"),
                                                           QStringLiteral("\n")));
            }
        }
    }

    // The words the recovery offer says differ from the file: what went and
    // what came, the words a changed line kept not among them.
    void changedWordsCountOnlyWhatDiffers_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("recovered");
        QTest::addColumn<qint64>("words");
        QTest::newRow("words typed at a line's end")
            << "The keeper climbed the stairs."
            << "The keeper climbed the stairs. The lamp was out." << qint64(4);
        QTest::newRow("words deleted from a line") << "The keeper climbed the old stairs slowly."
                                                   << "The keeper climbed the stairs." << qint64(2);
        QTest::newRow("one word replaced") << "The lamp was out."
                                           << "The lamp was lit." << qint64(2);
        QTest::newRow("a line added") << "One.\nThree."
                                      << "One.\nTwo more words.\nThree." << qint64(3);
        QTest::newRow("a line changed and the next one gone")
            << "The lamp was out.\nThe keeper slept."
            << "The lamp was lit." << qint64(5);
        QTest::newRow("the same") << "Same words."
                                  << "Same words." << qint64(0);
    }
    void changedWordsCountOnlyWhatDiffers()
    {
        QFETCH(QString, file);
        QFETCH(QString, recovered);
        QFETCH(qint64, words);
        QCOMPARE(TEarlierVersions_Form::ChangedWords(DiffTexts(file, recovered, 0)), words);
    }

    void closingUnchangedAsksNothing()
    {
        auto form = MakeForm();
        form->show();
        QVERIFY(form->close());
        QVERIFY(FPrompts->Records.isEmpty());
    }

    void openAsksThenLoads()
    {
        QVERIFY(WriteAll(Path(QStringLiteral("other.txt")), "from the other file"));
        auto form = MakeForm();
        form->Text_Memo->setPlainText(QStringLiteral("typed"));
        FPrompts->AnswerButton(QMessageBox::Cancel);
        form->Open_MenuItemClick();
        QCOMPARE(form->Text_Memo->toPlainText(), QStringLiteral("typed"));

        FPrompts->AnswerButton(QMessageBox::Yes);
        FPrompts->AnswerFile(Path(QStringLiteral("other.txt")));
        FPrompts->AnswerButton(QMessageBox::Ok);
        form->Open_MenuItemClick();
        QCOMPARE(ReadAll(Path(QStringLiteral("text.txt"))), QByteArray("typed"));
        QCOMPARE(form->Text_Memo->toPlainText(), QStringLiteral("from the other file"));
        QCOMPARE(form->PrimaryFile(), Path(QStringLiteral("other.txt")));
        QCOMPARE(FPrompts->Records.last().Text,
                 QStringLiteral("Your primary file has been set to ") +
                     Path(QStringLiteral("other.txt")));
        QVERIFY(!form->TextChanged());
        // Open does not save the configuration.
        QCOMPARE(StoredValue(QStringLiteral("PrimaryFile")), Path(QStringLiteral("text.txt")));
    }

    // A writer's novel.md is listed by both choosers; Open starts at no name.
    void choosersListEveryFile_data()
    {
        QTest::addColumn<bool>("open");
        QTest::addColumn<QString>("startName");
        QTest::newRow("Save As") << false << QStringLiteral("text.txt");
        QTest::newRow("Open") << true << QString();
    }
    void choosersListEveryFile()
    {
        QFETCH(bool, open);
        QFETCH(QString, startName);
        auto form = MakeForm();
        FPrompts->CancelChooser();
        if (open)
            form->Open_MenuItemClick();
        else
            form->SaveAs_MenuItemClick();
        QCOMPARE(FPrompts->Choosers.size(), 1);
        const TFileChooserOptions options = FPrompts->Choosers.constFirst();
        QCOMPARE(options.FileName, startName.isEmpty() ? QString() : Path(startName));
        // Qt filters "label (patterns)" separated by ";;": the first one's
        // patterns decide what the chooser lists at first.
        const QString filter = options.Filter.section(QStringLiteral(";;"), 0, 0);
        const QStringList patterns =
            filter.isEmpty() ? QStringList{QStringLiteral("*")}
                             : filter.section(QLatin1Char('('), -1).chopped(1).split(u' ');
        QVERIFY2(QDir::match(patterns, QStringLiteral("novel.md")), qPrintable(filter));
    }

    void settingsCancelKeepsUnsavedText()
    {
        QVERIFY(WriteAll(Path(QStringLiteral("text.txt")), "on disk"));
        auto form = MakeForm();
        form->Text_Memo->setPlainText(QStringLiteral("not yet saved"));
        FPrompts->AnswerButton(QMessageBox::Cancel);
        form->Settings_MenuItemClick();
        QCOMPARE(FSettingsRuns, 0);
        QCOMPARE(form->Text_Memo->toPlainText(), QStringLiteral("not yet saved"));
        QVERIFY(!form->NudgeSuppressed());
        QVERIFY(!form->AutoSaveSuppressed());
    }

    void autoSaveWritesBothFiles()
    {
        auto form = MakeForm({QStringLiteral("BackupFile=") + Path(QStringLiteral("copy.txt")),
                              QStringLiteral("AutoSaveEnabled=NO")});
        form->Text_Memo->setPlainText(QStringLiteral("draft"));
        Tick(*form);
        QVERIFY(!QFile::exists(Path(QStringLiteral("text.txt"))));
        QCOMPARE(ReadAll(Path(QStringLiteral("copy.txt"))), QByteArray("draft"));
        form->AutoSave_MenuItemClick();
        Tick(*form);
        QCOMPARE(ReadAll(Path(QStringLiteral("text.txt"))), QByteArray("draft"));
    }

    void autoSaveSparesUnreadablePrimaryFile()
    {
        // /proc/self/mem exists but cannot be read from its start, even by root.
        auto form = MakeForm();
        form->Text_Memo->setPlainText(QStringLiteral("typed"));
        form->SetPrimaryFile(QStringLiteral("/proc/self/mem"));
        form->OpenPrimaryFile();
        QCOMPARE(FPrompts->Count(QStringLiteral("I can not open the primary file!")), 1);
        QCOMPARE(form->Text_Memo->toPlainText(), QStringLiteral("typed"));
        FPrompts->Records.clear();
        Tick(*form); // must not try to write over it
        QVERIFY(FPrompts->Records.isEmpty());
    }

    // Open empties the editor and then cannot read the chosen file: nothing
    // may put that empty editor, or what the writer types next, in the
    // file's place.
    void openedUnreadableFileIsNotReplaced_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("File > Save") << QStringLiteral("save");
        QTest::newRow("auto-save") << QStringLiteral("tick");
        QTest::newRow("closing the window") << QStringLiteral("close");
        QTest::newRow("typing, then File > Save") << QStringLiteral("type");
    }
    void openedUnreadableFileIsNotReplaced()
    {
        QFETCH(QString, way);
        TOrdinaryUser writer;
        if (!writer.Valid())
            QSKIP("no ordinary user to open the file as");
        const QString locked = Path(QStringLiteral("locked.txt"));
        const QString backup = Path(QStringLiteral("copy.txt"));
        QVERIFY(WriteAll(locked, "the only copy"));
        QVERIFY(WriteAll(backup, "the only copy"));
        // The writer's own file and folder; the file may be written, not read.
        QVERIFY(writer.Give(FDir->path()) && writer.Give(locked) && writer.Give(backup));
        QVERIFY(QFile::setPermissions(locked, QFile::WriteOwner));
        auto form = MakeForm({QStringLiteral("BackupFile=") + backup});
        QVERIFY(ShowStarted(*form));
        // The private data folder is the writer's too.
        QVERIFY(writer.Give(FDir->filePath(QStringLiteral(".data"))));
        for (QDirIterator entry(FDir->filePath(QStringLiteral(".data")),
                                QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                QDirIterator::Subdirectories);
             entry.hasNext();)
            QVERIFY(writer.Give(entry.next()));
        FPrompts->AnswerFile(locked);
        writer.Begin();
        form->Open_MenuItemClick();
        QCOMPARE(FPrompts->Records.value(0).Kind, QStringLiteral("open"));
        QCOMPARE(FPrompts->Texts().mid(1),
                 QStringList({QStringLiteral("I can not open the primary file!"),
                              QStringLiteral("Your primary file has been set to ") + locked}));
        QVERIFY(!form->TextChanged());
        FPrompts->Records.clear();
        if (way == QLatin1String("save"))
            form->Save_MenuItemClick();
        else if (way == QLatin1String("tick"))
            Tick(*form);
        else if (way == QLatin1String("close"))
            QVERIFY(form->close());
        else {
            QTest::keyClicks(form->Text_Memo, QStringLiteral("new"));
            form->Save_MenuItemClick();
        }
        writer.End();
        // Typing is no licence: what cannot be read cannot be kept, so it is
        // not replaced, and the bar says so; the backup, which could be
        // kept, takes the typed text.
        QCOMPARE(ReadAll(locked), QByteArray("the only copy"));
        QCOMPARE(ReadAll(backup),
                 way == QLatin1String("type") ? QByteArray("new") : QByteArray("the only copy"));
        QVERIFY(FPrompts->Texts().isEmpty());
        QCOMPARE(form->ConflictBar()->SaveAs_Button->isVisible(), way != QLatin1String("close"));
        if (way == QLatin1String("type"))
            QVERIFY(form->TextChanged());
    }

    // The encoded text is kept between saves; every kind of change must
    // still reach the next tick.
    void eachTickWritesTheCurrentText()
    {
        QVERIFY(WriteAll(Path(QStringLiteral("text.txt")), "one\r\ntwo"));
        auto form = MakeForm();
        Tick(*form);
        QCOMPARE(ReadAll(Path(QStringLiteral("text.txt"))), QByteArray("one\r\ntwo"));
        QTest::keyClick(form->Text_Memo, Qt::Key_X);
        Tick(*form);
        QCOMPARE(ReadAll(Path(QStringLiteral("text.txt"))), QByteArray("one\r\ntwox"));
        form->Text_Memo->undo();
        Tick(*form);
        QCOMPARE(ReadAll(Path(QStringLiteral("text.txt"))), QByteArray("one\r\ntwo"));
        form->Text_Memo->document()->setPlainText(QStringLiteral("three"));
        form->Save_MenuItemClick();
        QCOMPARE(ReadAll(Path(QStringLiteral("text.txt"))), QByteArray("three"));
    }

    void shiftEnterIsAnOrdinaryLineBreak()
    {
        auto form = MakeForm();
        QTest::keyClicks(form->Text_Memo, QStringLiteral("one"));
        QTest::keyClick(form->Text_Memo, Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClicks(form->Text_Memo, QStringLiteral("two"));
        form->Save_MenuItemClick();
        QCOMPARE(ReadAll(Path(QStringLiteral("text.txt"))), QByteArray("one\r\ntwo"));
    }

    // --- Find and Replace --------------------------------------------------

    // The bar sits right above the text, under the conflict bar, and Ctrl+F
    // fills it with the selection; typing selects the first match after the
    // cursor, the count tells screen readers too, Find Next goes round the
    // end with a note, and Esc gives the keyboard back to the text.
    void findBarFindsAndCounts()
    {
        QVERIFY(WriteAll(Path(QStringLiteral("text.txt")), "Mara met Ann.\nAnnual fair: Mara."));
        auto form = MakeForm();
        form->ConflictBar()->ShowNotice(QStringLiteral("A notice."));
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        const QSize size = form->size();
        QTextCursor cursor = form->Text_Memo->textCursor();
        cursor.setPosition(1);
        cursor.setPosition(4, QTextCursor::KeepAnchor);
        form->Text_Memo->setTextCursor(cursor);
        QTest::keyClick(form->Text_Memo, Qt::Key_F, Qt::ControlModifier);
        TFindBar *bar = form->findChild<TFindBar *>();
        QVERIFY(bar && bar->isVisible());
        const auto *layout = static_cast<QBoxLayout *>(form->Text_Memo->parentWidget()->layout());
        QCOMPARE(layout->indexOf(bar), layout->indexOf(form->Text_Memo) - 1);
        QVERIFY(layout->indexOf(form->ConflictBar()) < layout->indexOf(bar));
        QVERIFY(bar->Find_Edit->hasFocus());
        QCOMPARE(bar->Find_Edit->text(), QStringLiteral("ara"));
        QCOMPARE(bar->Count_Label->text(), QStringLiteral("1 of 2"));
        // The bar fits the window as designed, replacing too.
        form->Replace_MenuItem->trigger();
        QApplication::processEvents();
        QCOMPARE(form->size(), size);

        form->Text_Memo->moveCursor(QTextCursor::Start);
        form->Text_Memo->moveCursor(QTextCursor::Right);
        bar->Find_Edit->setText(QStringLiteral("mara"));
        QCOMPARE(form->Text_Memo->textCursor().selectionStart(), 27);
        QCOMPARE(bar->Count_Label->text(), QStringLiteral("2 of 2"));
        QCOMPARE(bar->Count_Label->accessibleName(), QStringLiteral("2 of 2"));
        QCOMPARE(bar->Count_Label->accessibleDescription(), QStringLiteral("Match 2 of 2."));
        form->FindNext_MenuItem->trigger();
        QCOMPARE(form->Text_Memo->textCursor().selectionStart(), 0);
        QCOMPARE(Selected(*form), QStringLiteral("Mara"));
        QVERIFY(bar->Note_Label->isVisible());
        QCOMPARE(bar->Count_Label->accessibleDescription(),
                 QStringLiteral("Match 1 of 2. Reached the end of your text, continued from the "
                                "top."));
        form->FindPrevious_MenuItem->trigger();
        QCOMPARE(bar->Count_Label->text(), QStringLiteral("2 of 2"));

        // No match: said in words, beside the field and to a screen reader.
        bar->WholeWords_CheckBox->setChecked(true);
        bar->Find_Edit->setText(QStringLiteral("Ann"));
        QCOMPARE(bar->Count_Label->text(), QStringLiteral("1 of 1"));
        // The text stays the writer's, and the count follows it.
        form->Text_Memo->moveCursor(QTextCursor::End);
        QTest::keyClicks(form->Text_Memo, QStringLiteral(" Ann"));
        QTRY_COMPARE(bar->Count_Label->text(), QStringLiteral("2 matches"));
        bar->Find_Edit->setText(QStringLiteral("Anne"));
        QCOMPARE(bar->Count_Label->text(), QStringLiteral("Not found"));
        QCOMPARE(bar->Find_Edit->accessibleDescription(), QStringLiteral("Not found"));

        QTest::keyClick(bar->Find_Edit, Qt::Key_Escape);
        QVERIFY(!bar->isVisible());
        QVERIFY(form->Text_Memo->hasFocus());
    }

    // Only the matches on screen are highlighted, as the view moves; others'
    // highlights of the text stay, and the bar's go with it.
    void highlightsOnlyOnScreen()
    {
        QByteArray text;
        for (int line = 0; line < 2000; ++line)
            text += "Mara met Ann.\n";
        auto form = MakeFindForm(text, QStringLiteral("Mara"));
        QTextEdit::ExtraSelection other;
        other.cursor = QTextCursor(form->Text_Memo->document());
        other.cursor.movePosition(QTextCursor::NextWord, QTextCursor::KeepAnchor);
        form->Text_Memo->setExtraSelections(form->Text_Memo->extraSelections() << other);
        const auto highlighted = [&form] {
            QList<int> starts;
            for (const QTextEdit::ExtraSelection &selection : form->Text_Memo->extraSelections())
                if (selection.format.hasProperty(TFindBar::HighlightProperty))
                    starts << selection.cursor.selectionStart();
            return starts;
        };
        QTRY_VERIFY(!highlighted().isEmpty());
        QVERIFY(highlighted().size() < 100);
        QCOMPARE(highlighted().first(), 0);
        QScrollBar *scroll = form->Text_Memo->verticalScrollBar();
        scroll->setValue(scroll->maximum());
        QTRY_VERIFY(!highlighted().isEmpty() && highlighted().first() > text.size() / 2);
        QTest::keyClick(form->FindBar()->Find_Edit, Qt::Key_Escape);
        QVERIFY(highlighted().isEmpty());
        QCOMPARE(form->Text_Memo->extraSelections().size(), 1);
    }

    // Replace All is one step that one Ctrl+Z undoes, and the text before
    // it is in the history, which the bar's button opens; it replaces the
    // matches of the text as it was, once each.
    void replaceAll_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("term");
        QTest::addColumn<QString>("replacement");
        QTest::addColumn<bool>("matchCase");
        QTest::addColumn<bool>("wholeWords");
        QTest::addColumn<QString>("replaced");
        QTest::newRow("whole words leave Annual alone")
            << QByteArray("Ann met Annual Ann.\r\nAnn") << "Ann"
            << "Mara" << false << true << "Mara met Annual Mara.\nMara";
        QTest::newRow("a replacement that contains the search (no loop)")
            << QByteArray("a banana") << "a"
            << "aa" << false << false << "aa baanaanaa";
        QTest::newRow("any case, replaced as written")
            << QByteArray("ann ANN Ann") << "ann"
            << "Mara" << false << false << "Mara Mara Mara";
        QTest::newRow("case matched") << QByteArray("ann ANN Ann") << "Ann"
                                      << "Mara" << true << false << "ann ANN Mara";
    }
    void replaceAll()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, term);
        QFETCH(QString, replacement);
        QFETCH(bool, matchCase);
        QFETCH(bool, wholeWords);
        QFETCH(QString, replaced);
        auto form = MakeFindForm(text, term, true);
        TFindBar *bar = form->FindBar();
        bar->MatchCase_CheckBox->setChecked(matchCase);
        bar->WholeWords_CheckBox->setChecked(wholeWords);
        bar->Replace_Edit->setText(replacement);
        const QString before = form->Text_Memo->toPlainText();
        QTest::mouseClick(bar->ReplaceAll_Button, Qt::LeftButton);
        QCOMPARE(form->Text_Memo->toPlainText(), replaced);
        QVERIFY(form->TextChanged());
        QVERIFY(bar->Note_Label->text().startsWith(QStringLiteral("Replaced ")));
        const QVector<TVersion> versions = form->Document().Versions();
        QCOMPARE(versions.first().Reason, TVersionReason::BeforeReplaceAll);
        QByteArray kept;
        QVERIFY(form->Document().ReadVersion(versions.first(), kept));
        QCOMPARE(kept, text);

        QTest::mouseClick(bar->Versions_Button, Qt::LeftButton);
        auto *earlier = form->findChild<TEarlierVersions_Form *>();
        QVERIFY(earlier);
        QTRY_VERIFY(earlier->Versions_List->currentItem());
        QCOMPARE(earlier->Versions_List->currentItem()->text(1),
                 QStringLiteral("your text before Replace All"));
        earlier->reject();
        form->Text_Memo->undo();
        QCOMPARE(form->Text_Memo->toPlainText(), before);
    }

    void replaceAllKeepsTheTextFirst()
    {
        // A file where the private folder would be: nothing can be kept.
        const QString folder = QFileInfo(PrivateFolder(QStringLiteral("nudger.db"))).path();
        QDir(folder).removeRecursively();
        QVERIFY(QDir().mkpath(QFileInfo(folder).path()));
        QVERIFY(WriteAll(folder, "in the way"));
        auto form = MakeFindForm("Ann and Ann", QStringLiteral("Ann"), true);
        TFindBar *bar = form->FindBar();
        bar->Replace_Edit->setText(QStringLiteral("Mara"));
        QCOMPARE(bar->ReplaceAll(), 0);
        QCOMPARE(form->Text_Memo->toPlainText(), QStringLiteral("Ann and Ann"));
        QVERIFY(bar->Note_Label->text().startsWith(QStringLiteral("I cannot keep your text")));
        QVERIFY(FPrompts->Records.isEmpty());
    }

    // Replace takes the selected match and goes on to the next; a selection
    // that is no match is only moved on from.
    void replaceOneGoesOn()
    {
        auto form = MakeFindForm("Ann, Anna and Ann", QStringLiteral("Ann"), true);
        TFindBar *bar = form->FindBar();
        bar->WholeWords_CheckBox->setChecked(true);
        bar->Replace_Edit->setText(QStringLiteral("Mara"));
        QVERIFY(bar->ReplaceOne());
        QCOMPARE(form->Text_Memo->toPlainText(), QStringLiteral("Mara, Anna and Ann"));
        QCOMPARE(form->Text_Memo->textCursor().selectionStart(), 15);
        QVERIFY(form->TextChanged());
        form->Text_Memo->moveCursor(QTextCursor::Start);
        QVERIFY(!bar->ReplaceOne());
        QCOMPARE(form->Text_Memo->textCursor().selectionStart(), 15);
        QVERIFY(bar->ReplaceOne());
        QCOMPARE(form->Text_Memo->toPlainText(), QStringLiteral("Mara, Anna and Mara"));
        QCOMPARE(bar->Count_Label->text(), QStringLiteral("Not found"));
    }

    // --- Suggestions -------------------------------------------------------

    void orderedNavigation()
    {
        auto form = MakeOrderedForm("s0\r\ns1\r\ns2\r\n");
        QCOMPARE(form->SuggestionCount(), 3);
        QCOMPARE(form->MakeSuggestion_MenuItem->text(), QStringLiteral("Next Suggestion"));
        QVERIFY(form->PriorSuggestion_MenuItem->isVisible());
        QStringList seen;
        for (int i = 0; i < 4; ++i) {
            form->MakeSuggestion_MenuItemClick();
            seen << Shown(*form);
        }
        QCOMPARE(seen, QStringList({"s0", "s1", "s2", "s0"}));
        form->PriorSuggestion_MenuItemClick();
        QCOMPARE(Shown(*form), QStringLiteral("s2"));
        form->FirstSuggestion_MenuItemClick();
        QCOMPARE(Shown(*form), QStringLiteral("s0"));
        QCOMPARE(StoredValue(QStringLiteral("SuggestionNumber")), QStringLiteral("0"));
        form->LastSuggestion_MenuItemClick();
        QCOMPARE(Shown(*form), QStringLiteral("s2"));
        QCOMPARE(StoredValue(QStringLiteral("SuggestionNumber")), QStringLiteral("2"));
        form->MakeSuggestion_PanelClick();
        QCOMPARE(Shown(*form), QStringLiteral("s0"));
    }

    void priorFirstAfterStartShowsLast()
    {
        auto form = MakeOrderedForm("s0\r\ns1\r\ns2");
        form->PriorSuggestion_MenuItemClick();
        QCOMPARE(Shown(*form), QStringLiteral("s2"));
        form->MakeSuggestion_MenuItemClick();
        QCOMPARE(Shown(*form), QStringLiteral("s0"));
    }

    void numberPastTheEndWrapsToFirst()
    {
        auto form = MakeOrderedForm("s0\r\ns1\r\ns2");
        form->SetSuggestionNumber(7);
        form->LoadSuggestions();
        form->ShowSuggestion();
        QCOMPARE(Shown(*form), QStringLiteral("s0"));
    }

    void randomModeLeavesNumberAlone()
    {
        auto form =
            MakeForm({QStringLiteral("UseTovrinSuggestions=NO"),
                      QStringLiteral("UseUserSuggestionsFile=YES"),
                      QStringLiteral("UserSuggestionsFile=") + Path(QStringLiteral("mine.txt"))});
        WriteUserSuggestions("a\nb\nc\nd\ne");
        form->LoadSuggestions();
        QFile::remove(Path(QStringLiteral("Nudger.cfg")));
        form->SetSuggestionNumber(3);
        form->SetRandomSeed(12345);
        QStringList seen;
        for (int i = 0; i < 5; ++i) {
            form->ShowSuggestion();
            seen << Shown(*form);
        }
        // The generator: state := state * 134775813 + 1, value := high word of state * n.
        std::uint32_t state = 12345;
        QStringList expected;
        const QStringList lines{"a", "b", "c", "d", "e"};
        for (int i = 0; i < 5; ++i) {
            state = state * 134775813u + 1u;
            expected << lines.at(int((std::uint64_t(state) * 5u) >> 32));
        }
        QCOMPARE(seen, expected);
        QVERIFY(!QFile::exists(Path(QStringLiteral("Nudger.cfg"))));
        form->SaveConfiguration();
        QCOMPARE(StoredValue(QStringLiteral("SuggestionNumber")), QStringLiteral("3"));
    }

    void bothSourcesInOrder()
    {
        WriteUserSuggestions("mine\r\nbuilt in one");
        auto form =
            MakeForm({QStringLiteral("UseUserSuggestionsFile=YES"),
                      QStringLiteral("UserSuggestionsFile=") + Path(QStringLiteral("mine.txt"))});
        QCOMPARE(form->SuggestionList(),
                 QStringList({"built in one", "built in two", "mine", "built in one"}));
        QVERIFY(FPrompts->Records.isEmpty());
    }

    void sourceFailures_data()
    {
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QString>("message");
        QTest::newRow("built-in file missing")
            << QStringList() << QStringLiteral("I can not load my suggestions file!");
        QTest::newRow("no user file named")
            << QStringList{QStringLiteral("UseTovrinSuggestions=NO"),
                           QStringLiteral("UseUserSuggestionsFile=YES")}
            << QStringLiteral(
                   "No user suggestions file selected.  Use suggestions will not be loaded.");
        QTest::newRow("user file missing")
            << QStringList{QStringLiteral("UseTovrinSuggestions=NO"),
                           QStringLiteral("UseUserSuggestionsFile=YES"),
                           QStringLiteral("UserSuggestionsFile=/nonexistent/x.txt")}
            << QStringLiteral("The user suggestion file can not be found.");
    }
    void sourceFailures()
    {
        QFETCH(QStringList, values);
        QFETCH(QString, message);
        if (!values.contains(QStringLiteral("UseTovrinSuggestions=NO")))
            QFile::remove(StartDirectory() + QStringLiteral("nudger.dat"));
        auto form = MakeForm(values);
        QCOMPARE(FPrompts->Texts(), QStringList{message});
        QCOMPARE(form->SuggestionCount(), 0);
        form->MakeSuggestion_MenuItemClick();
        QVERIFY(Shown(*form).isEmpty());
    }

    void unscrambleFailureKeepsRawLines()
    {
        QVERIFY(WriteAll(StartDirectory() + QStringLiteral("nudger.dat"), "not\r\nhex at all\r\n"));
        auto form = MakeForm();
        QCOMPARE(FPrompts->Texts(),
                 QStringList{QStringLiteral("I can not load my suggestions file!")});
        QCOMPARE(form->SuggestionList(), QStringList({"not", "hex at all"}));
    }

    void alwaysSuggestWithNudgeOff()
    {
        auto form = MakeOrderedForm("s0\r\ns1\r\ns2");
        form->SetNudgeEnabled(false);
        form->SetInterval(30);
        form->AlwaysSuggest_MenuItemClick();
        QVERIFY(form->AlwaysSuggest());
        QVERIFY(form->AlwaysSuggest_MenuItem->isChecked());
        QCOMPARE(Shown(*form), QStringLiteral("s0")); // shown at once
        QCOMPARE(form->Suggestion_Timer->interval(), 30);
        QTRY_COMPARE(Shown(*form), QStringLiteral("s1"));
        QCOMPARE(FWave->PlayCount, 0);
        form->AlwaysSuggest_MenuItemClick();
        QVERIFY(!form->Suggestion_Timer->isActive());
    }

    void alwaysSuggestWithNudgeOnLeavesTicksToTheNudge()
    {
        auto form = MakeOrderedForm("s0\r\ns1\r\ns2");
        form->AlwaysSuggest_MenuItemClick();
        QCOMPARE(Shown(*form), QStringLiteral("s0")); // shown once when switched on
        QVERIFY(form->Suggestion_Timer->isActive());
        form->Suggestion_TimerTimer();
        form->Suggestion_TimerTimer();
        QCOMPARE(Shown(*form), QStringLiteral("s0"));
        QCOMPARE(StoredValue(QStringLiteral("AlwaysSuggest")), QStringLiteral("YES"));
    }

    void suggestionSettingsSavedShowsFirstAndReloads()
    {
        auto form = MakeOrderedForm("s0\r\ns1");
        form->MakeSuggestion_MenuItemClick();
        form->MakeSuggestion_MenuItemClick();
        QVERIFY(WriteAll(Path(QStringLiteral("new.txt")), "n0\r\nn1\r\nn2"));
        FSuggestionSettings = [this](bool &, bool &, bool &, QString &file) {
            file = Path(QStringLiteral("new.txt"));
            return true;
        };
        form->SuggestionSettings_MenuItemClick();
        QCOMPARE(Shown(*form), QStringLiteral("s0")); // from the store before the reload
        QCOMPARE(form->SuggestionCount(), 3);
        form->MakeSuggestion_MenuItemClick();
        QCOMPARE(Shown(*form), QStringLiteral("n1"));
        QCOMPARE(StoredValue(QStringLiteral("UserSuggestionsFile")),
                 Path(QStringLiteral("new.txt")));
        QVERIFY(!form->NudgeSuppressed());
    }

    // --- Fonts, date stamp, privacy ------------------------------------------

    void fontChoosersStartFonts()
    {
        auto form = MakeForm();
        const TFont creation = form->TextDialogStartFont();
        QFont chosen(QStringLiteral("Serif"));
        chosen.setPointSize(21);
        FPrompts->AnswerFont(chosen);
        form->AdjustTextFont_PanelClick();
        QCOMPARE(form->TextFont().Size, 21);
        FPrompts->CancelChooser();
        form->AdjustTextFont_PanelClick();
        // The text chooser opens at the creation-time font, not the chosen one.
        QCOMPARE(FPrompts->Records.at(1).Font.pointSize(), creation.Size);

        QFont suggestion = form->Suggestion_Memo->font();
        suggestion.setPointSize(30);
        FPrompts->AnswerFont(suggestion);
        form->AdjustSuggestionFont_PanelClick();
        FPrompts->CancelChooser();
        form->AdjustSuggestionFont_PanelClick();
        QCOMPARE(FPrompts->Records.at(3).Font.pointSize(), 30);

        form->ResetSuggestionFont_PanelClick();
        QCOMPARE(form->SuggestionFont(), form->DefaultSuggestionFont());
        QVERIFY(!form->NudgeSuppressed());
    }

    void dateStamp_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("empty text") << QString() << QStringLiteral("2003-03-02 14:05:09.007\n");
        QTest::newRow("two lines")
            << QStringLiteral("one\ntwo") << QStringLiteral("one\ntwo\n2003-03-02 14:05:09.007\n");
        QTest::newRow("ends in a break")
            << QStringLiteral("one\n") << QStringLiteral("one\n2003-03-02 14:05:09.007\n");
    }
    void dateStamp()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        SetClockForTesting([] { return QDateTime(QDate(2003, 3, 2), QTime(14, 5, 9, 7)); });
        auto form = MakeForm();
        form->Text_Memo->setPlainText(before);
        form->Text_Memo->moveCursor(QTextCursor::Start);
        form->InsertCurrentDate_MenuItemClick();
        QString expected = after;
        const QString separator = QLocale::system().timeFormat().contains(QLatin1Char(':'))
                                      ? QStringLiteral(":")
                                      : QString();
        if (!separator.isEmpty())
            QCOMPARE(form->Text_Memo->toPlainText(), expected);
        QCOMPARE(form->Text_Memo->textCursor().position(), form->Text_Memo->toPlainText().size());
        QVERIFY(!form->Text_Memo->textCursor().hasSelection());
    }

    // --- Spelling ------------------------------------------------------------

    void spellingChoices_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("library");
        QTest::addColumn<bool>("checking");
        QTest::newRow("the locale's dictionary, on by default")
            << QByteArray() << "en_US" << true << true;
        QTest::newRow("no dictionary for the locale, off by default")
            << QByteArray() << "fr_FR" << true << false;
        QTest::newRow("a language chosen, on by default")
            << QByteArray("Spelling/Language=en_US\n") << "fr_FR" << true << true;
        QTest::newRow("turned off")
            << QByteArray("Spelling/Enabled=false\nSpelling/Language=en_US\n") << "en_US" << true
            << false;
        QTest::newRow("no library, greyed")
            << QByteArray("Spelling/Enabled=true\n") << "en_US" << false << false;
    }

    void spellingChoices()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QString, locale);
        QFETCH(bool, library);
        QFETCH(bool, checking);
        QVERIFY(QDir().mkpath(QFileInfo(TWriterSettings::FilePath()).path()));
        QVERIFY(WriteAll(TWriterSettings::FilePath(), stored));
        QLocale::setDefault(QLocale(locale));
        if (!library)
            TSpellChecker::SetLibraryForTesting(QStringLiteral("nudger-no-such-library"));
        const auto restore = qScopeGuard([] {
            QLocale::setDefault(QLocale::system());
            TSpellChecker::SetLibraryForTesting(QStringLiteral("enchant-2"));
        });
        auto form = MakeForm();
        // Nothing of the spelling is read or loaded before the first picture.
        QVERIFY(!form->SpellChecker());
        QVERIFY(ShowStarted(*form));
        QTRY_VERIFY(form->SpellChecker()->Listed());
        const bool installed = !form->SpellChecker()->Languages().isEmpty();
        if (library && !form->SpellChecker()->Languages().contains(QStringLiteral("en_US")))
            QSKIP("no en_US dictionary installed (apt-get install hunspell-en-us)");
        QCOMPARE(installed, library);
        QCOMPARE(form->CheckSpelling_MenuItem->isEnabled(), installed);
        QCOMPARE(form->SpellingLanguage_MenuItem->isEnabled(), installed);
        QCOMPARE(form->CheckSpelling_MenuItem->isChecked(), checking);
        QCOMPARE(form->NextMisspelling_MenuItem->isEnabled(), checking);
        // Without a dictionary the item says what to install.
        QCOMPARE(form->CheckSpelling_MenuItem->toolTip().contains(QLatin1String("hunspell-en-us")),
                 !installed);

        form->Text_Memo->setPlainText(QStringLiteral("the quikc fox"));
        const QTextBlock block = form->Text_Memo->document()->firstBlock();
        if (checking)
            QTRY_VERIFY(!form->SpellMarks()->Marks(block).isEmpty());
        QTest::qWait(TSpellMarks::PauseMs);
        QCOMPARE(form->SpellMarks()->Marks(block).isEmpty(), !checking);
    }

    void spellingKeptForTheWriterAndHiddenInPrivacy()
    {
        QVERIFY(QDir().mkpath(QFileInfo(TWriterSettings::FilePath()).path()));
        QVERIFY(WriteAll(TWriterSettings::FilePath(), "Spelling/Language=en_US\n"));
        auto form = MakeForm();
        QVERIFY(ShowStarted(*form));
        QTRY_VERIFY(form->SpellChecker()->Listed());
        if (!form->SpellChecker()->Languages().contains(QStringLiteral("en_US")))
            QSKIP("no en_US dictionary installed (apt-get install hunspell-en-us)");
        QTRY_VERIFY(form->SpellMarks()->Active());

        form->CheckSpelling_MenuItem->trigger();
        QVERIFY(!form->CheckSpelling_MenuItem->isChecked());
        QVERIFY(!form->SpellMarks()->Active());
        QCOMPARE(TWriterSettings().Value(QStringLiteral("Spelling/Enabled")),
                 QStringLiteral("false"));
        // Never in Nudger.cfg.
        TConfigurationFile configuration;
        configuration.Load();
        QVERIFY(!configuration.ValueExists(QStringLiteral("Spelling/Enabled")));

        // Choosing a language turns checking on again.
        QAction *english = nullptr;
        for (QAction *item : form->SpellingLanguage_MenuItem->actions())
            english = item->data().toString() == QLatin1String("en_US") ? item : english;
        QVERIFY(english);
        english->trigger();
        QVERIFY(form->CheckSpelling_MenuItem->isChecked());
        QCOMPARE(TWriterSettings().Value(QStringLiteral("Spelling/Enabled")),
                 QStringLiteral("true"));
        QTRY_VERIFY(form->SpellMarks()->Active());

        form->SetPrivacy(true);
        QVERIFY(!form->SpellMarks()->Active());
        form->SetPrivacy(false);
        QVERIFY(form->SpellMarks()->Active());
    }

    // --- The writing goal and the record ----------------------------------

    void goalProgressBesideTheCaption_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("amount");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("pasted");
        // Empty: no bar at all.
        QTest::addColumn<QString>("shown");
        const int words = int(TGoalKind::Words);
        QTest::newRow("no goal, no bar") << 0 << 0 << "one two three"
                                         << ""
                                         << "";
        QTest::newRow("words under the goal") << words << 5 << "one two three"
                                              << ""
                                              << "3 of 5 words today";
        QTest::newRow("words, the goal met") << words << 2 << "one two three"
                                             << ""
                                             << "Today's goal is met: 3 words";
        QTest::newRow("a paste is not writing") << words << 5 << ""
                                                << "a b c d e f g h"
                                                << "0 of 5 words today";
        QTest::newRow("minutes") << int(TGoalKind::Minutes) << 30 << "one two"
                                 << ""
                                 << "0 of 30 minutes today";
    }
    void goalProgressBesideTheCaption()
    {
        QFETCH(int, kind);
        QFETCH(int, amount);
        QFETCH(QString, typed);
        QFETCH(QString, pasted);
        QFETCH(QString, shown);
        auto form = MakeForm();
        QVERIFY(ShowStarted(*form));
        QVERIFY(!form->GoalBar());
        FDialogs.ExecuteWritingGoal = nullptr;
        form->SetWritingGoal({TGoalKind(kind), amount});
        if (!pasted.isEmpty()) {
            QApplication::clipboard()->setText(pasted);
            QTest::keyClick(form->Text_Memo, Qt::Key_V, Qt::ControlModifier);
        }
        QTest::keyClicks(form->Text_Memo, typed);
        if (shown.isEmpty()) {
            QVERIFY(!form->GoalBar());
            QVERIFY(!form->findChild<QProgressBar *>());
            return;
        }
        QProgressBar *bar = form->GoalBar();
        QVERIFY(bar);
        QTRY_COMPARE(bar->format(), shown);
        QCOMPARE(bar->accessibleDescription(), shown);
        // Beside the caption, clear of its font buttons.
        QVERIFY(bar->isVisible());
        QCOMPARE(bar->parentWidget(), form->AdjustTextFont_Panel->parentWidget());
        QVERIFY(bar->geometry().right() < form->AdjustTextFont_Panel->geometry().left());
        // Kept for the writer, never in Nudger.cfg.
        QCOMPARE(TWriterSettings().IntValue(QStringLiteral("Goal/Amount"), 0), amount);
        TConfigurationFile configuration;
        configuration.Load();
        QVERIFY(!configuration.ValueExists(QStringLiteral("Goal/Amount")));
    }

    // Today's words outlast the window, and the record's window lists them.
    void recordKeptAcrossStarts()
    {
        {
            auto form = MakeForm();
            QVERIFY(ShowStarted(*form));
            form->SetWritingGoal({TGoalKind::Words, 20});
            QTest::keyClicks(form->Text_Memo, QStringLiteral("one two three four"));
            QCOMPARE(form->WrittenToday().Words, qint64(4));
        }
        auto form = MakeForm();
        QVERIFY(ShowStarted(*form));
        QTRY_COMPARE(form->WrittenToday().Words, qint64(4));
        QTRY_COMPARE(form->GoalBar()->format(), QStringLiteral("4 of 20 words today"));
        TWritingRecord_Form *record = form->OpenWritingRecord();
        QTRY_COMPARE(record->Days_Table->topLevelItemCount(), 30);
        QCOMPARE(record->Days_Table->topLevelItem(0)->text(1), QStringLiteral("4"));
        QVERIFY(record->Chart->accessibleDescription().contains(QLatin1String("4 words")));
        record->Year_Check->setChecked(true);
        QCOMPARE(record->Days_Table->topLevelItemCount(), 365);
    }

    // A record that cannot be written is told in the bar above the text,
    // and its figures wait for the next write.
    void recordFailureIsToldAndLosesNothing()
    {
        auto form = MakeForm();
        QVERIFY(ShowStarted(*form));
        const QString database = PrivateFolder(QStringLiteral("nudger-record-test.db"));
        QVERIFY(QDir().mkpath(database));
        form->SetRecordForTesting(database);
        QTest::keyClicks(form->Text_Memo, QStringLiteral("one two"));
        form->WriteRecord();
        QTRY_VERIFY(form->ConflictBar()->Notice_Label->text().contains(
            QLatin1String("record of the days")));
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(QDir(database).removeRecursively());
        form->WriteRecord();
        form->WaitForRecord();
        QList<TDayRecord> days;
        QVERIFY(TWritingRecord(database).Read(QDate(2000, 1, 1), days));
        QCOMPARE(days.value(0).Words, qint64(2));
    }

    void privacySurvivesSave()
    {
        auto form = MakeForm({QStringLiteral("Privacy=YES")});
        QVERIFY(form->Privacy());
        QVERIFY(form->Privacy_MenuItem->isChecked());
        form->Sound_MenuItemClick();
        QCOMPARE(StoredValue(QStringLiteral("Privacy")), QStringLiteral("YES"));
    }

    void areasReadableUnderEveryScheme_data()
    {
        QTest::addColumn<bool>("darkAtStart");
        QTest::addColumn<bool>("darkLater");
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<bool>("textHidden");
        QTest::addColumn<TColor>("textColour");
        QTest::newRow("light scheme") << false << false << QStringList() << false << clBlack;
        QTest::newRow("dark scheme") << true << false << QStringList() << false << clBlack;
        QTest::newRow("dark scheme, privacy on")
            << true << false << QStringList{QStringLiteral("Privacy=YES")} << false << clBlack;
        QTest::newRow("scheme turns dark while running")
            << false << true << QStringList{QStringLiteral("Privacy=YES")} << false << clBlack;
        QTest::newRow("dark scheme, navy text")
            << true << false << QStringList{QStringLiteral("TextFont=\"Sans\", 12, [], [clNavy]")}
            << false << TColor(128 << 16);
        // A font colour naming the area's own ground paints the text in it.
        QTest::newRow("dark scheme, text in the ground's colour")
            << true << false
            << QStringList{QStringLiteral("Privacy=YES"),
                           QStringLiteral("TextFont=\"Sans\", 12, [], [clWindow]")}
            << true << TColor(-10);
    }
    void areasReadableUnderEveryScheme()
    {
        QFETCH(bool, darkAtStart);
        QFETCH(bool, darkLater);
        QFETCH(QStringList, stored);
        QFETCH(bool, textHidden);
        QFETCH(TColor, textColour);
        const QPalette light = QApplication::palette();
        const auto restore = qScopeGuard([&] { QApplication::setPalette(light); });
        if (darkAtStart)
            QApplication::setPalette(DarkScheme());
        auto form = MakeForm(stored);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        if (darkLater) {
            QApplication::setPalette(DarkScheme());
            QTRY_COMPARE(form->palette().color(QPalette::Window),
                         DarkScheme().color(QPalette::Window));
        }
        form->Text_Memo->setPlainText(QStringLiteral("Hamburgefonts"));
        form->Suggestion_Memo->setPlainText(QStringLiteral("Hamburgefonts"));
        // Without the focus no caret stands out from the ground.
        form->Text_Memo->clearFocus();

        for (const bool privacy : {true, false}) {
            form->SetPrivacy(privacy);
            const double text = PaintedContrast(form->Text_Memo);
            const double suggestion = PaintedContrast(form->Suggestion_Memo);
            const QByteArray figures = QByteArray("privacy ") + (privacy ? "on" : "off") +
                                       ": text " + QByteArray::number(text, 'f', 2) +
                                       ":1, suggestion " + QByteArray::number(suggestion, 'f', 2) +
                                       ":1";
            if (textHidden)
                QVERIFY2(text < 1.1, figures);
            else
                QVERIFY2(text >= ReadableContrast, figures);
            QVERIFY2(suggestion >= ReadableContrast, figures);
        }
        // The fonts keep the colours they were given; only the ground differs.
        QCOMPARE(form->TextFont().Color, textColour);
        QCOMPARE(form->SuggestionFont().Color, clBlack);
    }
};

QTEST_MAIN(tst_Main_Unit)
#include "tst_Main_Unit.moc"
