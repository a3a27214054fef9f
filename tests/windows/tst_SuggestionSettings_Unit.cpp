#include "windows/SuggestionSettings_Unit.h"

#include "app/PlatformDependence_Unit.h"
#include "storage/ReservedFileGuard_Unit.h"
#include "support/FileBytes.h"
#include "support/ScriptedPrompts.h"
#include "windows/TextLayout_Unit.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString CanNotOpen = QStringLiteral("I can not open the user suggestion file!");
const QString CanNotOpenSelected =
    QStringLiteral("I can not open the selected user suggestion file.");
const QString CanNotSave =
    QStringLiteral("I can not save your suggestions.  Please choose a new user suggestions file.");
const QString SaveFirst = QStringLiteral("Do you want to save your suggestions first?");
const QString LoseChanges =
    QStringLiteral("You have made changes to your suggestions, which will be lost if you "
                   "cancel.  Are you sure you want to cancel?");

// Runs action on the suggestion settings dialog as soon as it is the active
// modal window. If the dialog is still open 10 s later it is closed as
// cancelled and *stuck is set, so a faulty test ends instead of hanging.
void WhenDialogOpens(const std::function<void(TSuggestionSettings_Form *)> &action, bool *stuck)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, action, stuck] {
        auto *form = qobject_cast<TSuggestionSettings_Form *>(QApplication::activeModalWidget());
        if (!form)
            return;
        poll->stop();
        poll->deleteLater();
        action(form);
        QTimer::singleShot(10000, form, [form, stuck] {
            *stuck = true;
            form->SetUserSuggestionsChanged(false);
            form->reject();
        });
    });
    poll->start();
}

// Takes away read access for the duration: as root by acting as "nobody",
// whom the file's mode keeps out; otherwise the mode alone does it.
class TNoReadAccess
{
public:
    explicit TNoReadAccess(const QString &fileName) : FFileName(fileName)
    {
        ::chmod(QFile::encodeName(fileName).constData(), 0);
        FSwitched = ::geteuid() == 0 && ::seteuid(65534) == 0;
    }
    ~TNoReadAccess()
    {
        if (FSwitched && ::seteuid(0) != 0)
            qFatal("cannot return to the original user");
        ::chmod(QFile::encodeName(FFileName).constData(), 0644);
    }
    bool Effective() const
    {
        QFile file(FFileName);
        return !file.open(QIODevice::ReadOnly);
    }

private:
    QString FFileName;
    bool FSwitched = false;
};

// Types at the end of the editor's text, as a writer adding a line would.
void TypeAtEnd(QPlainTextEdit *memo, const QString &text)
{
    memo->moveCursor(QTextCursor::End);
    QTest::keyClicks(memo, text);
}

} // namespace

class tst_SuggestionSettings_Unit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("Nudger")); }
    void init();
    void cleanup();

    void defaultNameAndFileShown();
    void saveWritesFileAndValues_data();
    void saveWritesFileAndValues();
    void cancelAfterTypingAsks_data();
    void cancelAfterTypingAsks();
    void uncheckingDisablesFileControls();
    void failedWrite_data();
    void failedWrite();
    void browseNoKeepsTextForNewFile();
    void browseToExistingFileReplacesText();
    void reservedNameReopensChooser();
    void fileBoxOpensChooser_data();
    void fileBoxOpensChooser();
    void typingWithoutFileNameOpensChooser();
    void roundTrip_data();
    void roundTrip();
    void unreadableFileIsNotOverwritten();
    void fileBoxEndsNearRightEdge();

private:
    QString Path(const QString &name) const { return FDir->filePath(name); }
    std::unique_ptr<TSuggestionSettings_Form> ShownForm(const QString &fileName);

    std::unique_ptr<QTemporaryDir> FDir;
    QString FOldCurrent;
};

void tst_SuggestionSettings_Unit::init()
{
    FDir = std::make_unique<QTemporaryDir>();
    QVERIFY2(FDir->isValid(), qPrintable(FDir->errorString()));
    FOldCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(FDir->path()));
    SetStartDirectoryForTesting(FDir->path() + QLatin1Char('/'));
}

void tst_SuggestionSettings_Unit::cleanup()
{
    QDir::setCurrent(FOldCurrent);
    FDir.reset();
    QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
}

std::unique_ptr<TSuggestionSettings_Form>
tst_SuggestionSettings_Unit::ShownForm(const QString &fileName)
{
    auto form = std::make_unique<TSuggestionSettings_Form>();
    form->SetUseUserSuggestionsFile(true);
    form->SetUserSuggestionsFile(fileName);
    form->show();
    return form;
}

void tst_SuggestionSettings_Unit::defaultNameAndFileShown()
{
    TScriptedPrompts prompts;
    QVERIFY(WriteAll(Path("user_suggestions.txt"), "first\r\nsecond"));
    bool tovrin = true, useFile = false, randomize = false;
    QString fileName;
    QString shownName, shownText, title;
    QWidget *focus = nullptr, *cancel = nullptr;
    bool stuck = false;
    WhenDialogOpens(
        [&](TSuggestionSettings_Form *form) {
            shownName = form->UserSuggestionFile_Edit->text();
            shownText = form->UserSuggestions_Memo->toPlainText();
            title = form->windowTitle();
            focus = form->focusWidget();
            cancel = form->Cancel_Button;
            form->Cancel_Button->click();
        },
        &stuck);

    QVERIFY(!ExecuteSuggestionSettingsDialog(tovrin, useFile, randomize, fileName));
    QVERIFY(!stuck);
    QCOMPARE(shownName, QStringLiteral("user_suggestions.txt"));
    QCOMPARE(shownText, QStringLiteral("first\nsecond"));
    QCOMPARE(title, QStringLiteral("Suggestion Settings"));
    QCOMPARE(focus, cancel);
    QCOMPARE(fileName, QString());
    QCOMPARE(prompts.Records.size(), 0);
}

void tst_SuggestionSettings_Unit::saveWritesFileAndValues_data()
{
    QTest::addColumn<bool>("useFile");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("typed lines, CR LF between, none after")
        << true << QByteArray() << QByteArray("one\r\ntwo");
    QTest::newRow("user file unchecked still writes")
        << false << QByteArray("x\ny\n") << QByteArray("x\r\ny");
}

void tst_SuggestionSettings_Unit::saveWritesFileAndValues()
{
    QFETCH(bool, useFile);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    TScriptedPrompts prompts;
    const QString file = Path("user_suggestions.txt");
    if (!before.isEmpty())
        QVERIFY(WriteAll(file, before));

    bool tovrin = true, useFileValue = useFile, randomize = false;
    QString fileName;
    bool stuck = false;
    WhenDialogOpens(
        [&](TSuggestionSettings_Form *form) {
            if (useFile) {
                QTest::keyClicks(form->UserSuggestions_Memo, QStringLiteral("one"));
                QTest::keyClick(form->UserSuggestions_Memo, Qt::Key_Return);
                QTest::keyClicks(form->UserSuggestions_Memo, QStringLiteral("two"));
            }
            form->RandomizeSuggestions_CheckBox->click();
            form->UseTovrinSuggestions_CheckBox->click();
            form->Save_Button->click();
        },
        &stuck);

    QVERIFY(ExecuteSuggestionSettingsDialog(tovrin, useFileValue, randomize, fileName));
    QVERIFY(!stuck);
    QCOMPARE(ReadAll(file), after);
    QCOMPARE(fileName, QStringLiteral("user_suggestions.txt"));
    QCOMPARE(tovrin, false);
    QCOMPARE(randomize, true);
    QCOMPARE(useFileValue, useFile);
    QCOMPARE(prompts.Records.size(), 0);
}

void tst_SuggestionSettings_Unit::cancelAfterTypingAsks_data()
{
    QTest::addColumn<bool>("firstAnswerYes");
    QTest::addColumn<bool>("closeButton"); // the window's own close button instead of Cancel
    QTest::newRow("Yes closes without writing") << true << false;
    QTest::newRow("No keeps the dialog open") << false << false;
    QTest::newRow("close button, No keeps it open") << false << true;
}

void tst_SuggestionSettings_Unit::cancelAfterTypingAsks()
{
    QFETCH(bool, firstAnswerYes);
    QFETCH(bool, closeButton);
    TScriptedPrompts prompts;
    const QString file = Path("mine.txt");
    QVERIFY(WriteAll(file, "old"));
    prompts.AnswerButton(firstAnswerYes ? QMessageBox::Yes : QMessageBox::No);
    if (!firstAnswerYes)
        prompts.AnswerButton(QMessageBox::Yes);

    bool tovrin = false, useFile = true, randomize = false;
    QString fileName = file;
    bool openAfterNo = false;
    QString textAfterNo;
    bool stuck = false;
    WhenDialogOpens(
        [&](TSuggestionSettings_Form *form) {
            TypeAtEnd(form->UserSuggestions_Memo, QStringLiteral(" new"));
            form->RandomizeSuggestions_CheckBox->click();
            if (closeButton)
                form->close();
            else
                form->Cancel_Button->click();
            if (!firstAnswerYes) {
                openAfterNo = form->isVisible();
                textAfterNo = form->UserSuggestions_Memo->toPlainText();
                form->Cancel_Button->click();
            }
        },
        &stuck);

    QVERIFY(!ExecuteSuggestionSettingsDialog(tovrin, useFile, randomize, fileName));
    QVERIFY(!stuck);
    QCOMPARE(ReadAll(file), QByteArray("old"));
    QCOMPARE(randomize, false);
    QCOMPARE(fileName, file);
    QCOMPARE(prompts.Count(LoseChanges), firstAnswerYes ? 1 : 2);
    QCOMPARE(prompts.Records.constFirst().Buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(prompts.Records.constFirst().DefaultButton, QMessageBox::Yes);
    if (!firstAnswerYes) {
        QVERIFY(openAfterNo);
        QCOMPARE(textAfterNo, QStringLiteral("old new"));
    }
}

void tst_SuggestionSettings_Unit::uncheckingDisablesFileControls()
{
    TScriptedPrompts prompts;
    auto form = ShownForm(Path("mine.txt"));
    const QList<QWidget *> controlled = {form->UserSuggestionBrowse_Button,
                                         form->UserSuggestionFile_Edit, form->UserSuggestions_Memo};

    form->UseUserSuggestionsFile_CheckBox->click();
    for (QWidget *widget : controlled)
        QVERIFY2(!widget->isEnabled(), qPrintable(widget->objectName()));
    QVERIFY(form->UserSuggestionFile_Label->isEnabled());
    QVERIFY(form->UseTovrinSuggestions_CheckBox->isEnabled());

    form->UseUserSuggestionsFile_CheckBox->click();
    for (QWidget *widget : controlled)
        QVERIFY2(widget->isEnabled(), qPrintable(widget->objectName()));

    form->SetUseUserSuggestionsFile(false);
    QVERIFY(!form->UserSuggestions_Memo->isEnabled());
}

void tst_SuggestionSettings_Unit::failedWrite_data()
{
    QTest::addColumn<bool>("typed");
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<bool>("closes");

    QTest::newRow("changed, Yes closes as saved") << true << QMessageBox::Yes << true;
    QTest::newRow("changed, No stays open") << true << QMessageBox::No << false;
    QTest::newRow("unchanged closes without asking") << false << QMessageBox::NoButton << true;
}

void tst_SuggestionSettings_Unit::failedWrite()
{
    QFETCH(bool, typed);
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(bool, closes);
    TScriptedPrompts prompts;
    auto form = ShownForm(Path("missing/mine.txt"));
    if (typed)
        QTest::keyClicks(form->UserSuggestions_Memo, QStringLiteral("text"));
    prompts.AnswerButton(QMessageBox::Ok);
    if (answer != QMessageBox::NoButton)
        prompts.AnswerButton(answer);

    form->Save_Button->click();

    QStringList expected{CanNotSave};
    if (typed)
        expected << LoseChanges;
    QCOMPARE(prompts.Texts(), expected);
    QCOMPARE(prompts.Unanswered, 0);
    QCOMPARE(form->isVisible(), !closes);
    if (closes)
        QCOMPARE(form->result(), int(QDialog::Accepted));
    QCOMPARE(form->UserSuggestionsChanged(), typed);
    QCOMPARE(form->UserSuggestions_Memo->toPlainText(), typed ? QStringLiteral("text") : QString());
    QVERIFY(!QFileInfo::exists(Path("missing")));
}

void tst_SuggestionSettings_Unit::browseNoKeepsTextForNewFile()
{
    TScriptedPrompts prompts;
    const QString oldFile = Path("old.txt");
    const QString newFile = Path("new.txt");
    QVERIFY(WriteAll(oldFile, "old"));
    auto form = ShownForm(oldFile);
    TypeAtEnd(form->UserSuggestions_Memo, QStringLiteral(" typed"));
    prompts.AnswerButton(QMessageBox::No);
    prompts.AnswerFile(newFile);

    form->UserSuggestionBrowse_Button->click();

    QCOMPARE(prompts.Texts().constFirst(), SaveFirst);
    QCOMPARE(prompts.Records.constFirst().DefaultButton, QMessageBox::Yes);
    QCOMPARE(form->UserSuggestionsFile(), newFile);
    QCOMPARE(form->UserSuggestions_Memo->toPlainText(), QStringLiteral("old typed"));
    QVERIFY(!form->UserSuggestionsChanged());
    QCOMPARE(ReadAll(oldFile), QByteArray("old"));

    form->Save_Button->click();
    QCOMPARE(ReadAll(newFile), QByteArray("old typed"));
    QCOMPARE(form->result(), int(QDialog::Accepted));
}

void tst_SuggestionSettings_Unit::browseToExistingFileReplacesText()
{
    TScriptedPrompts prompts;
    const QString first = Path("first.txt");
    const QString other = Path("other.txt");
    QVERIFY(WriteAll(first, "a"));
    QVERIFY(WriteAll(other, "p\r\nq"));
    auto form = ShownForm(first);
    prompts.AnswerFile(other);

    form->UserSuggestionBrowse_Button->click();

    QCOMPARE(prompts.Choosers.size(), 1);
    const TFileChooserOptions &chooser = prompts.Choosers.constFirst();
    QCOMPARE(chooser.Title, QStringLiteral("User Suggestion File"));
    QCOMPARE(chooser.FileName, first);
    QCOMPARE(chooser.Filter, QStringLiteral("Text files (*.txt)"));
    QCOMPARE(chooser.DefaultSuffix, QStringLiteral("txt"));
    QVERIFY(!chooser.ConfirmOverwrite);
    QCOMPARE(form->UserSuggestions_Memo->toPlainText(), QStringLiteral("p\nq"));
    QVERIFY(!form->UserSuggestionsChanged());
    QCOMPARE(prompts.Records.size(), 1);
}

void tst_SuggestionSettings_Unit::reservedNameReopensChooser()
{
    TScriptedPrompts prompts;
    const QString mine = Path("mine.txt");
    QVERIFY(WriteAll(mine, "kept"));
    auto form = ShownForm(mine);
    prompts.AnswerFile(Path("Nudger.cfg"));
    prompts.AnswerButton(QMessageBox::Ok);
    prompts.CancelChooser();

    form->UserSuggestionBrowse_Button->click();

    QCOMPARE(prompts.Choosers.size(), 2);
    QCOMPARE(prompts.Count(QString::fromLatin1(ReservedFileMessage)), 1);
    QCOMPARE(form->UserSuggestionsFile(), mine);
    QCOMPARE(form->UserSuggestions_Memo->toPlainText(), QStringLiteral("kept"));
    QVERIFY(!QFileInfo::exists(Path("Nudger.cfg")));
    QCOMPARE(prompts.Unanswered, 0);
}

void tst_SuggestionSettings_Unit::fileBoxOpensChooser_data()
{
    QTest::addColumn<int>("key"); // 0: a mouse click
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("opens");

    QTest::newRow("letter") << int(Qt::Key_A) << QStringLiteral("a") << true;
    QTest::newRow("space") << int(Qt::Key_Space) << QStringLiteral(" ") << true;
    QTest::newRow("backspace") << int(Qt::Key_Backspace) << QString() << true;
    QTest::newRow("click") << 0 << QString() << true;
    QTest::newRow("arrow moves only") << int(Qt::Key_Left) << QString() << false;
}

void tst_SuggestionSettings_Unit::fileBoxOpensChooser()
{
    QFETCH(int, key);
    QFETCH(QString, text);
    QFETCH(bool, opens);
    TScriptedPrompts prompts;
    const QString mine = Path("mine.txt");
    auto form = ShownForm(mine);
    prompts.CancelChooser();

    if (key == 0) {
        QTest::mouseClick(form->UserSuggestionFile_Edit, Qt::LeftButton);
    } else {
        form->UserSuggestionFile_Edit->setFocus();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(form->UserSuggestionFile_Edit, &press);
    }

    QCOMPARE(prompts.Choosers.size(), opens ? 1 : 0);
    QCOMPARE(form->UserSuggestionFile_Edit->text(), mine);
    QVERIFY(form->UserSuggestionFile_Edit->isReadOnly());
    QVERIFY(!form->UserSuggestionFile_Edit->toolTip().isEmpty());
}

void tst_SuggestionSettings_Unit::typingWithoutFileNameOpensChooser()
{
    TScriptedPrompts prompts;
    const QString chosen = Path("chosen.txt");
    auto form = ShownForm(QString());
    prompts.AnswerFile(chosen);

    QTest::keyClicks(form->UserSuggestions_Memo, QStringLiteral("x"));

    QCOMPARE(prompts.Choosers.size(), 1);
    QCOMPARE(form->UserSuggestionsFile(), chosen);
    QVERIFY(form->UserSuggestionsChanged());
    QVERIFY(form->SaveUserSuggestions());
    QCOMPARE(ReadAll(chosen), QByteArray("x"));
}

void tst_SuggestionSettings_Unit::roundTrip_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QByteArray>("saved");

    QTest::newRow("LF only") << QByteArray("one\ntwo\nthree") << QStringLiteral("one\ntwo\nthree")
                             << QByteArray("one\r\ntwo\r\nthree");
    QTest::newRow("empty lines kept")
        << QByteArray("a\r\n\r\nb") << QStringLiteral("a\n\nb") << QByteArray("a\r\n\r\nb");
    QTest::newRow("8-bit text with a no-break space")
        << QByteArray("caf\xe9\xa0ok\r\nx") << QStringLiteral(u"caf\u00e9\u00a0ok\nx")
        << QByteArray("caf\xe9\xa0ok\r\nx");
    QTest::newRow("UTF-8 no-break space")
        << QByteArray("a\xc2\xa0z") << QStringLiteral(u"a\u00a0z") << QByteArray("a\xc2\xa0z");
    QTest::newRow("byte-order mark") << QByteArray("\xef\xbb\xbf"
                                                   "caf\xc3\xa9\r\nx")
                                     << QStringLiteral(u"caf\u00e9\nx")
                                     << QByteArray("\xef\xbb\xbf"
                                                   "caf\xc3\xa9\r\nx");
    QTest::newRow("lone CR ends a line")
        << QByteArray("a\rb\r\nc") << QStringLiteral("a\nb\nc") << QByteArray("a\r\nb\r\nc");
    QTest::newRow("CR LF, final break")
        << QByteArray("a\r\nb\r\n") << QStringLiteral("a\nb") << QByteArray("a\r\nb");
    QTest::newRow("NUL ends the text, the rest is kept")
        << QByteArray("a\r\nb\0c\r\nd", 10) << QStringLiteral("a\nb")
        << QByteArray("a\r\nb\0c\r\nd", 10);
    QTest::newRow("invalid UTF-8")
        << QByteArray("\x80\x81 x\r\n\xc3") << QStringLiteral(u"\u0080\u0081 x\n\u00c3")
        << QByteArray("\x80\x81 x\r\n\xc3");
    QTest::newRow("empty") << QByteArray() << QString() << QByteArray();
}

void tst_SuggestionSettings_Unit::roundTrip()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    QFETCH(QByteArray, saved);
    TScriptedPrompts prompts;
    const QString file = Path("mine.txt");
    QVERIFY(WriteAll(file, bytes));
    auto form = ShownForm(file);
    QCOMPARE(EditorText(form->UserSuggestions_Memo), shown);
    QVERIFY(!form->UserSuggestionsChanged());
    // The nudges take the lines the editor shows.
    TSuggestionStore store;
    QVERIFY(store.Load(false, true, file).isEmpty());
    QCOMPARE(store.Lines().join(QLatin1Char('\n')), shown);

    QVERIFY(form->SaveUserSuggestions());
    QVERIFY(QFile::exists(file));
    QCOMPARE(ReadAll(file), saved);
    QCOMPARE(prompts.Records.size(), 0);
}

void tst_SuggestionSettings_Unit::unreadableFileIsNotOverwritten()
{
    TScriptedPrompts prompts;
    const QString file = Path("mine.txt");
    QVERIFY(WriteAll(file, "precious"));
    // "nobody" must be able to look into the folder to see that the file is there.
    QVERIFY(QFile::setPermissions(FDir->path(), QFile::permissions(FDir->path()) |
                                                    QFileDevice::ExeOther |
                                                    QFileDevice::ReadOther));
    auto form = std::make_unique<TSuggestionSettings_Form>();
    form->SetUserSuggestionsFile(Path("none.txt"));
    form->UserSuggestions_Memo->setPlainText(QStringLiteral("left over"));
    prompts.AnswerButton(QMessageBox::Ok);
    prompts.AnswerButton(QMessageBox::Ok);
    {
        TNoReadAccess noAccess(file);
        if (!noAccess.Effective())
            QSKIP("cannot take away read access here");
        form->SetUserSuggestionsFile(file);
    }
    QCOMPARE(prompts.Texts(), QStringList{CanNotOpen});
    QCOMPARE(form->UserSuggestions_Memo->toPlainText(), QString());
    QCOMPARE(form->UserSuggestionsFile(), file);

    // Save refuses rather than writing the empty editor over the file.
    QVERIFY(!form->SaveUserSuggestions());
    QCOMPARE(prompts.Texts().constLast(), CanNotSave);
    QCOMPARE(ReadAll(file), QByteArray("precious"));

    // Once the file can be read again, choosing it brings its text back.
    prompts.AnswerButton(QMessageBox::No);
    prompts.AnswerFile(file);
    form->UserSuggestionBrowse_Button->click();
    QCOMPARE(prompts.Texts().mid(2), (QStringList{SaveFirst, file}));
    QCOMPARE(prompts.Unanswered, 0);
    QCOMPARE(form->UserSuggestions_Memo->toPlainText(), QStringLiteral("precious"));
    QVERIFY(form->SaveUserSuggestions());
    QCOMPARE(ReadAll(file), QByteArray("precious"));
}

void tst_SuggestionSettings_Unit::fileBoxEndsNearRightEdge()
{
    TScriptedPrompts prompts;
    auto form = ShownForm(Path("mine.txt"));
    for (int width : {696, 900, 500}) {
        form->resize(width, 480);
        QTRY_COMPARE(form->Top_Panel->width(), width);
        QCOMPARE(form->UserSuggestionFile_Edit->geometry().right() + 1,
                 form->Top_Panel->width() - 5);
    }
    QCOMPARE(form->Top_Panel->height(), 145);
    QCOMPARE(form->Button_Panel->height(), 41);
}

QTEST_MAIN(tst_SuggestionSettings_Unit)
#include "tst_SuggestionSettings_Unit.moc"
