// What counts as written today: the words the writer typed, through every
// kind of edit of the text, across midnight, and added up in the store with
// another running copy's.

#include "storage/WritingRecord_Unit.h"
#include "windows/TextLayout_Unit.h"
#include "windows/WritingCount_Unit.h"

#include <QApplication>
#include <QClipboard>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

class tst_WritingCount_Unit : public QObject
{
    Q_OBJECT

private:
    struct TScript
    {
        TTextEditor Editor;
        TWritingTally Tally;
        QDateTime Now = QDateTime(QDate(2026, 12, 10), QTime(10, 0));
        std::unique_ptr<TWritingCount> Count;
        TWritingRecord *Other = nullptr;
    };

    static void MoveCursor(QPlainTextEdit &editor, QTextCursor::MoveOperation where, int n = 1)
    {
        QTextCursor cursor = editor.textCursor();
        cursor.movePosition(where, QTextCursor::MoveAnchor, n);
        editor.setTextCursor(cursor);
    }

    static void ReplaceAll(QPlainTextEdit &editor, const QString &what, const QString &by)
    {
        QTextCursor edit(editor.document());
        edit.beginEditBlock();
        for (QTextCursor found = editor.document()->find(what); !found.isNull();
             found = editor.document()->find(what, found))
            found.insertText(by);
        edit.endEditBlock();
    }

    // One step of a script: "verb" or "verb:argument".
    static void Run(TScript &script, const QString &step)
    {
        const QString verb = step.section(QLatin1Char(':'), 0, 0);
        const QString argument = step.section(QLatin1Char(':'), 1);
        TTextEditor &editor = script.Editor;
        if (verb == QLatin1String("type"))
            Type(editor, argument);
        else if (verb == QLatin1String("back"))
            for (int i = 0; i < argument.toInt(); ++i)
                QTest::keyClick(&editor, Qt::Key_Backspace);
        else if (verb == QLatin1String("home"))
            MoveCursor(editor, QTextCursor::Start);
        else if (verb == QLatin1String("end"))
            MoveCursor(editor, QTextCursor::End);
        else if (verb == QLatin1String("left"))
            MoveCursor(editor, QTextCursor::Left, argument.toInt());
        else if (verb == QLatin1String("selectword"))
            SelectWord(editor);
        else if (verb == QLatin1String("paste")) {
            QApplication::clipboard()->setText(argument);
            QTest::keyClick(&editor, Qt::Key_V, Qt::ControlModifier);
        } else if (verb == QLatin1String("undo"))
            QTest::keyClick(&editor, Qt::Key_Z, Qt::ControlModifier);
        else if (verb == QLatin1String("redo"))
            QTest::keyClick(&editor, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        else if (verb == QLatin1String("restore"))
            FollowEditorText(&editor, argument);
        else if (verb == QLatin1String("reread")) {
            editor.setPlainText(argument);
        } else if (verb == QLatin1String("replaceall"))
            ReplaceAll(editor, argument.section(QLatin1Char('>'), 0, 0),
                       argument.section(QLatin1Char('>'), 1));
        else if (verb == QLatin1String("date"))
            AppendLine(&editor, QStringLiteral("Thursday, 10 December 2026"));
        else if (verb == QLatin1String("at"))
            script.Now = QDateTime::fromString(argument, Qt::ISODate);
        else if (verb == QLatin1String("other"))
            QVERIFY(script.Other->Add({Row(script.Now.date(), argument.toInt())}));
        else
            QFAIL(qPrintable(QStringLiteral("no such step: ") + step));
    }

    static void Type(QPlainTextEdit &editor, const QString &text)
    {
        const QStringList lines = text.split(QLatin1Char('\n'));
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (i > 0)
                QTest::keyClick(&editor, Qt::Key_Return);
            QTest::keyClicks(&editor, lines[i]);
        }
    }

    static void SelectWord(QPlainTextEdit &editor)
    {
        QTextCursor cursor = editor.textCursor();
        cursor.movePosition(QTextCursor::StartOfWord);
        cursor.movePosition(QTextCursor::EndOfWord, QTextCursor::KeepAnchor);
        editor.setTextCursor(cursor);
    }

    static TDayRecord Row(QDate day, qint64 words)
    {
        TDayRecord row;
        row.Day = day;
        row.Words = words;
        return row;
    }

private Q_SLOTS:
    void countsOnlyTheTyping_data()
    {
        QTest::addColumn<QString>("older");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<qint64>("today");
        // The days in the store afterwards, "yyyy-MM-dd=words" each.
        QTest::addColumn<QString>("stored");
        const QString older = QStringLiteral("Older words stay here.\nAnd more of them.");
        const QString today = QStringLiteral("2026-12-10=");
        const auto row = [&](const char *name, QStringList steps, qint64 words,
                             const QString &stored = QString()) {
            QTest::newRow(name) << older << steps << words
                                << (stored.isNull() ? today + QString::number(words) : stored);
        };
        row("typing", {"end", "type: one two three"}, 3);
        row("typing into a new paragraph", {"end", "type:\nfour five"}, 2);
        row("typing inside an older paragraph", {"home", "type:New "}, 1);
        row("deleting today's words", {"end", "type: one two three", "back:6"}, 2);
        row("deleting more than today's", {"end", "type: one", "back:12"}, 0);
        row("deleting older words", {"end", "back:9"}, 0, QStringLiteral(""));
        row("deleting older words, then typing", {"end", "type: one two", "left:7", "back:5"}, 2);
        row("rewriting older words", {"end", "back:9", "type:many more"}, 2);
        row("typing over an older word", {"home", "selectword", "type:Newer"}, 1);
        row("paste", {"end", "paste: a b c d e f g h i j"}, 0, QStringLiteral(""));
        row("paste among typing", {"end", "type: one", "paste: a b c", "type: two"}, 2);
        row("paste inside a typed word", {"end", "type: hello", "left:2", "paste:XY"}, 1);
        row("restore", {"end", "type: one two", "restore:Something else entirely."}, 2);
        row("file read again", {"end", "type: one two", "reread:Other text here."}, 2);
        row("typing after a file read", {"reread:Other text.", "end", "type: new"}, 1);
        row("Replace All", {"replaceall:words>lots of words"}, 0, QStringLiteral(""));
        row("Replace All over typing", {"end", "type: one", "replaceall:one>two three"}, 1);
        row("date stamp", {"date"}, 0, QStringLiteral(""));
        row("undo of typing", {"end", "type: one two three", "undo"}, 0);
        row("undo of typing then typing", {"end", "type: one", "undo", "type: two three"}, 2);
        row("undo of a paste", {"end", "type: one", "paste: a b c", "undo"}, 1);
        row("undo of a paste, older text", {"end", "paste: a b c d", "undo"}, 0,
            QStringLiteral(""));
        row("undo, redo of typing", {"end", "type: one two", "undo", "redo"}, 2);
        row("midnight",
            {"at:2026-12-10T23:59:00", "end", "type: one two", "at:2026-12-11T00:01:00",
             "type: three"},
            1, QStringLiteral("2026-12-10=2 2026-12-11=1"));
        row("deleting after midnight what was typed before",
            {"at:2026-12-10T23:59:00", "end", "type: one two", "at:2026-12-11T00:01:00", "back:8"},
            0, QStringLiteral("2026-12-10=2"));
        row("another copy writes the same day", {"end", "type: one two", "other:5"}, 2,
            QStringLiteral("2026-12-10=7"));
    }
    void countsOnlyTheTyping()
    {
        QFETCH(QString, older);
        QFETCH(QStringList, steps);
        QFETCH(qint64, today);
        QFETCH(QString, stored);
        QTemporaryDir dir;
        QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
        const QString database = dir.filePath(QStringLiteral("nudger.db"));
        TWritingRecord ours(database);
        TWritingRecord other(database);
        TScript script;
        script.Other = &other;
        script.Editor.setPlainText(older);
        script.Count = std::make_unique<TWritingCount>(script.Editor.document(),
                                                       [&] { return script.Editor.Typing(); });
        script.Count->Written = [&](qint64 delta) { script.Tally.AddWords(delta, script.Now); };
        for (const QString &step : steps) {
            Run(script, step);
            if (QTest::currentTestFailed())
                return;
        }
        QCOMPARE(script.Tally.Today(script.Now).Words, today);
        QVERIFY(ours.Add(script.Tally.TakeUnwritten()));
        QList<TDayRecord> days;
        QVERIFY(ours.Read(QDate(2000, 1, 1), days));
        QStringList figures;
        for (const TDayRecord &day : days)
            figures << day.Day.toString(Qt::ISODate) + QLatin1Char('=') +
                           QString::number(day.Words);
        QCOMPARE(figures.join(QLatin1Char(' ')), stored);
    }

    // A keystroke recounts its own paragraph; the text's words stay those a
    // count from scratch finds.
    void wordsOfTheTextFollowEveryEdit_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("typing and line breaks") << QStringList{"end", "type: a b\nc\n\nd e"};
        QTest::newRow("joining paragraphs") << QStringList{"home", "type:x\n", "back:3"};
        QTest::newRow("paste of paragraphs") << QStringList{"left:3", "paste:p q\nr s\n\nt"};
        QTest::newRow("undo of a paste") << QStringList{"left:3", "paste:p q\nr", "undo"};
        QTest::newRow("file read") << QStringList{"reread:one\ntwo three"};
        QTest::newRow("emptied") << QStringList{"reread:"};
    }
    void wordsOfTheTextFollowEveryEdit()
    {
        QFETCH(QStringList, steps);
        TScript script;
        script.Editor.setPlainText(QStringLiteral("Older words stay here.\nAnd more of them."));
        TWritingCount count(script.Editor.document(), [&] { return script.Editor.Typing(); });
        for (const QString &step : steps)
            Run(script, step);
        const QString text = script.Editor.toPlainText();
        QCOMPARE(
            count.Words(),
            qint64(
                text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts).size()));
    }
};

QTEST_MAIN(tst_WritingCount_Unit)
#include "tst_WritingCount_Unit.moc"
