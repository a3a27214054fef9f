// The marks of misspelled words in an editor laid out as the main window's:
// only what is shown is checked, the word being typed waits, the marks
// touch neither the text nor its undo history, a correction is one undo
// step, Next Misspelling finds words off screen, and the underline reads on
// light and dark grounds. Skips where no en_US dictionary is installed.

#include "support/DarkScheme.h"
#include "support/PrivateData.h"
#include "windows/AreaColours_Unit.h"
#include "windows/SpellMarks_Unit.h"
#include "windows/TextLayout_Unit.h"

#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

#include <memory>

namespace {

// The words marked in a block.
QStringList Underlined(const TSpellMarks &marks, const QTextBlock &block)
{
    QStringList words;
    for (const TWordSpan &mark : marks.Marks(block))
        words.append(block.text().mid(mark.Start, mark.Length));
    return words;
}

// How many pixels of the editor's picture have the marks' colour.
int MarkPixels(QPlainTextEdit *editor)
{
    const QColor mark = MarkColour(editor->palette().color(QPalette::Base));
    const QImage picture = editor->viewport()->grab().toImage();
    int count = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QColor pixel = picture.pixelColor(x, y);
            count += qAbs(pixel.red() - mark.red()) + qAbs(pixel.green() - mark.green()) +
                                 qAbs(pixel.blue() - mark.blue()) <
                             60
                         ? 1
                         : 0;
        }
    }
    return count;
}

QAction *ActionNamed(QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

} // namespace

class tst_SpellMarks_Unit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(FDir.isValid(), qPrintable(FDir.errorString()));
        // Enchant's personal word lists lie in the configuration folder, and
        // Aspell, one of its providers, keeps its own in the home folder.
        UsePrivateDataFolder(FDir.path());
        qputenv("HOME", QFile::encodeName(FDir.path()));
        FChecker = std::make_unique<TSpellChecker>();
        FChecker->Start(QStringLiteral("en_US"), true);
        QVERIFY(QTest::qWaitFor([this] { return FChecker->Listed(); }, 10000));
        if (!FChecker->Ready())
            QSKIP("no en_US dictionary installed (apt-get install hunspell-en-us)");
    }

    void init()
    {
        FEditor = std::make_unique<TTextEditor>();
        FEditor->document()->setDocumentLayout(new TTextDocumentLayout(FEditor->document()));
        FEditor->resize(400, 300);
        FMarks = std::make_unique<TSpellMarks>(FEditor.get(), FChecker.get());
        FMarks->SetEnabled(true);
        FEditor->show();
        QVERIFY(QTest::qWaitForWindowExposed(FEditor.get()));
    }

    void cleanup()
    {
        if (QWidget *popup = QApplication::activePopupWidget())
            popup->close();
        FMarks.reset();
        FEditor.reset();
    }

    void onlyWhatIsShownIsMarked()
    {
        QStringList lines;
        for (int i = 0; i < 3000; ++i)
            lines.append(QStringLiteral("the quikc brown fox %1").arg(i));
        FEditor->setPlainText(lines.join(QLatin1Char('\n')));
        QTextDocument *document = FEditor->document();
        const int undoSteps = document->availableUndoSteps();
        QTRY_COMPARE(Underlined(*FMarks, document->firstBlock()), QStringList{"quikc"});
        QVERIFY(Underlined(*FMarks, document->findBlockByNumber(2000)).isEmpty());
        // Drawn under each word on show.
        QVERIFY(MarkPixels(FEditor.get()) > 20);
        // The marks are no change of the text.
        QVERIFY(!document->isModified());
        QCOMPARE(document->availableUndoSteps(), undoSteps);
    }

    void pagingChecksWhatComesIntoView()
    {
        QStringList lines;
        for (int i = 0; i < 600; ++i)
            lines.append(QStringLiteral("the quikc brown fox %1").arg(i));
        FEditor->setPlainText(lines.join(QLatin1Char('\n')));
        QScrollBar *bar = FEditor->verticalScrollBar();
        while (bar->value() < bar->maximum()) {
            QTest::keyClick(FEditor.get(), Qt::Key_PageDown);
            QApplication::processEvents();
            QApplication::processEvents();
        }
        int marked = 0;
        for (QTextBlock block = FEditor->document()->begin(); block.isValid(); block = block.next())
            marked += FMarks->Marks(block).isEmpty() ? 0 : 1;
        QVERIFY(marked > 500);
    }

    void wordBeingTypedWaits_data()
    {
        QTest::addColumn<QString>("then");
        QTest::newRow("a space after it") << " ";
        QTest::newRow("the cursor leaves it") << "Home";
    }

    void wordBeingTypedWaits()
    {
        QFETCH(QString, then);
        FEditor->setFocus();
        QTest::keyClicks(FEditor.get(), QStringLiteral("the quikc"));
        QTest::qWait(TSpellMarks::PauseMs * 2);
        QVERIFY(Underlined(*FMarks, FEditor->document()->firstBlock()).isEmpty());
        if (then == QLatin1String("Home"))
            QTest::keyClick(FEditor.get(), Qt::Key_Home);
        else
            QTest::keyClicks(FEditor.get(), then);
        QTRY_COMPARE(Underlined(*FMarks, FEditor->document()->firstBlock()), QStringList{"quikc"});
        // Typing on in front of it moves its mark along.
        QTest::keyClick(FEditor.get(), Qt::Key_Home);
        QTest::keyClicks(FEditor.get(), QStringLiteral("so "));
        QCOMPARE(FMarks->Marks(FEditor->document()->firstBlock()), (QList<TWordSpan>{{7, 5}}));
        QCOMPARE(Underlined(*FMarks, FEditor->document()->firstBlock()), QStringList{"quikc"});
    }

    void correctionIsOneUndoStep()
    {
        FEditor->setPlainText(QStringLiteral("the quikc fox"));
        QTRY_VERIFY(!FMarks->Marks(FEditor->document()->firstBlock()).isEmpty());
        const std::unique_ptr<QMenu> menu(FMarks->NewMenu(6));
        QCOMPARE(menu->accessibleName(), QStringLiteral("Misspelled word: quikc"));
        const QList<QAction *> actions = menu->actions();
        QCOMPARE(actions.first()->text(), QStringLiteral("quick"));
        const qsizetype add = actions.indexOf(ActionNamed(menu.get(), "Add to &Dictionary"));
        QVERIFY(add > 1 && add <= TSpellMarks::MostSuggestions + 1);
        QCOMPARE(actions.at(add + 1)->text(), QStringLiteral("&Ignore All"));
        // Qt's own entries follow.
        QVERIFY(actions.size() > add + 3);

        actions.first()->trigger();
        QCOMPARE(FEditor->toPlainText(), QStringLiteral("the quick fox"));
        QVERIFY(FEditor->document()->isModified());
        FEditor->undo();
        QCOMPARE(FEditor->toPlainText(), QStringLiteral("the quikc fox"));
        // A word not marked gets Qt's menu alone.
        const std::unique_ptr<QMenu> plain(FMarks->NewMenu(1));
        QVERIFY(!ActionNamed(plain.get(), "Add to &Dictionary"));
    }

    void ignoredWordIsMarkedNoMore()
    {
        FEditor->setPlainText(QStringLiteral("a blorfic day\nblorfic again"));
        QTRY_COMPARE(Underlined(*FMarks, FEditor->document()->lastBlock()), QStringList{"blorfic"});
        const std::unique_ptr<QMenu> menu(FMarks->NewMenu(3));
        ActionNamed(menu.get(), "&Ignore All")->trigger();
        QTRY_VERIFY(Underlined(*FMarks, FEditor->document()->lastBlock()).isEmpty());
        QVERIFY(Underlined(*FMarks, FEditor->document()->firstBlock()).isEmpty());
        QCOMPARE(FEditor->toPlainText(), QStringLiteral("a blorfic day\nblorfic again"));
    }

    void nothingMarkedWhenOffOrHidden_data()
    {
        QTest::addColumn<bool>("hide");
        QTest::newRow("checking off") << false;
        QTest::newRow("privacy mode") << true;
    }

    void nothingMarkedWhenOffOrHidden()
    {
        QFETCH(bool, hide);
        FEditor->setPlainText(QStringLiteral("the quikc fox"));
        QTRY_COMPARE(Underlined(*FMarks, FEditor->document()->firstBlock()), QStringList{"quikc"});
        const auto set = [&](bool on) {
            if (hide)
                FMarks->SetHidden(!on);
            else
                FMarks->SetEnabled(on);
        };
        QVERIFY(MarkPixels(FEditor.get()) > 0);
        set(false);
        QVERIFY(Underlined(*FMarks, FEditor->document()->firstBlock()).isEmpty());
        QCOMPARE(MarkPixels(FEditor.get()), 0);
        TWordSpan word;
        QVERIFY(!FMarks->MarkedWordAt(6, word));
        QTest::keyClicks(FEditor.get(), QStringLiteral(" teh"));
        QTest::qWait(TSpellMarks::PauseMs * 2);
        QVERIFY(Underlined(*FMarks, FEditor->document()->firstBlock()).isEmpty());
        set(true);
        QTRY_VERIFY(Underlined(*FMarks, FEditor->document()->firstBlock()).contains("quikc"));
    }

    void nextMisspellingFindsWordsOffScreen()
    {
        QStringList lines{QStringLiteral("teh start")};
        for (int i = 0; i < 3000; ++i)
            lines.append(QStringLiteral("the quick brown fox"));
        lines.append(QStringLiteral("the end quikc"));
        FEditor->setPlainText(lines.join(QLatin1Char('\n')));
        QSignalSpy nothing(FMarks.get(), &TSpellMarks::NothingFound);
        // The word Next Misspelling selects, once its menu is open.
        const auto next = [this] {
            FMarks->FindNext();
            if (!QTest::qWaitFor([] { return QApplication::activePopupWidget(); }, 5000))
                return QStringLiteral("(no menu)");
            QApplication::activePopupWidget()->close();
            return FEditor->textCursor().selectedText();
        };
        FEditor->moveCursor(QTextCursor::Start);
        QCOMPARE(next(), QStringLiteral("teh"));
        QCOMPARE(next(), QStringLiteral("quikc"));
        // From the end it starts again at the top.
        QCOMPARE(next(), QStringLiteral("teh"));
        QCOMPARE(nothing.count(), 0);

        FEditor->setPlainText(QStringLiteral("all words right"));
        FMarks->FindNext();
        QTRY_COMPARE(nothing.count(), 1);
        QVERIFY(!QApplication::activePopupWidget());
        // The word just typed is found too, though it went unmarked.
        FEditor->moveCursor(QTextCursor::End);
        QTest::keyClicks(FEditor.get(), QStringLiteral(" blorpf"));
        QTest::qWait(TSpellMarks::PauseMs * 2);
        QCOMPARE(next(), QStringLiteral("blorpf"));
    }

    void keyboardOpensTheWordsMenu()
    {
        FEditor->setPlainText(QStringLiteral("the quikc fox"));
        QTRY_VERIFY(!FMarks->Marks(FEditor->document()->firstBlock()).isEmpty());
        QTextCursor cursor = FEditor->textCursor();
        cursor.setPosition(6);
        FEditor->setTextCursor(cursor);
        QTest::keyClick(FEditor.get(), Qt::Key_F10, Qt::ShiftModifier);
        QTRY_VERIFY(QApplication::activePopupWidget());
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu && ActionNamed(menu, QStringLiteral("quick")));
    }

    void markReadsOnItsGround_data()
    {
        QTest::addColumn<QColor>("base");
        QTest::newRow("white") << QColor(Qt::white);
        QTest::newRow("dark scheme") << DarkScheme().color(QPalette::Base);
        QTest::newRow("black") << QColor(Qt::black);
        QTest::newRow("mid grey") << QColor(0x80, 0x80, 0x80);
    }

    void markReadsOnItsGround()
    {
        QFETCH(QColor, base);
        QVERIFY(ContrastRatio(MarkColour(base), base) >= MarkContrast);
    }

private:
    QTemporaryDir FDir;
    std::unique_ptr<TSpellChecker> FChecker;
    std::unique_ptr<TTextEditor> FEditor;
    std::unique_ptr<TSpellMarks> FMarks;
};

QTEST_MAIN(tst_SpellMarks_Unit)

#include "tst_SpellMarks_Unit.moc"
