// The copy of the writer's text taken in steps must be the text as it stands
// when it is handed over, whatever the writer does meanwhile, and must come
// to an end while the writer types on before the copied point.

#include "windows/TextSnapshot_Unit.h"

#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QSyntaxHighlighter>
#include <QTest>
#include <QTextCursor>
#include <QTimer>

namespace {

// Marks every word, as a spelling check would: each block it formats is an
// edit of the same length to the document.
class TMarkWords : public QSyntaxHighlighter
{
public:
    using QSyntaxHighlighter::QSyntaxHighlighter;

protected:
    void highlightBlock(const QString &text) override
    {
        QTextCharFormat marked;
        marked.setFontUnderline(true);
        for (qsizetype i = 0; i + 4 <= text.size(); i += 9)
            setFormat(int(i), 4, marked);
    }
};

QString Whole(QTextDocument *document)
{
    QTextCursor all(document);
    all.select(QTextCursor::Document);
    return all.selectedText();
}

QString Manuscript(int lines)
{
    QString text;
    for (int line = 0; line < lines; ++line)
        text += QStringLiteral("Line %1 of the manuscript, and a little more to say.\n").arg(line);
    text.chop(1);
    return text;
}

} // namespace

class tst_TextSnapshot_Unit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void copyIsTheTextWhenHandedOver_data();
    void copyIsTheTextWhenHandedOver();
};

void tst_TextSnapshot_Unit::copyIsTheTextWhenHandedOver_data()
{
    // What the writer does between the copy's steps, again and again until
    // the copy is handed over (or, for "once", the first time only).
    QTest::addColumn<QString>("edit");
    QTest::addColumn<bool>("once");
    QTest::newRow("typing at the start") << "type at 3" << false;
    QTest::newRow("typing in the copied part") << "type behind" << false;
    QTest::newRow("typing at the end") << "type at end" << false;
    QTest::newRow("deleting at one place") << "delete behind" << false;
    QTest::newRow("new lines behind") << "newline behind" << false;
    QTest::newRow("a cut across the copied point") << "cut across" << true;
    QTest::newRow("a large paste behind") << "paste large" << true;
    QTest::newRow("the text replaced whole") << "replace whole" << true;
    QTest::newRow("everything deleted") << "delete all" << true;
    QTest::newRow("undo and redo") << "undo redo" << false;
    QTest::newRow("words marked while copying") << "highlight" << true;
    QTest::newRow("edits here and there") << "random" << false;
}

void tst_TextSnapshot_Unit::copyIsTheTextWhenHandedOver()
{
    QFETCH(QString, edit);
    QFETCH(bool, once);
    QPlainTextEdit editor;
    editor.setPlainText(Manuscript(20000)); // about 18 slices
    QTextDocument *document = editor.document();
    TMarkWords *marks = edit == QLatin1String("highlight") ? new TMarkWords(&editor) : nullptr;
    TTextSnapshot snapshot(document);
    QRandomGenerator random(7);
    int round = 0;

    const auto behind = [&] { return round * TTextSnapshot::SliceCharacters / 2 + 11; };
    const auto apply = [&] {
        QTextCursor cursor(document);
        const int end = document->characterCount() - 1;
        if (edit == QLatin1String("type at 3")) {
            cursor.setPosition(3);
            cursor.insertText(QStringLiteral("x"));
        } else if (edit == QLatin1String("type behind")) {
            cursor.setPosition(qMin(behind(), end));
            cursor.insertText(QStringLiteral("word "));
        } else if (edit == QLatin1String("type at end")) {
            cursor.movePosition(QTextCursor::End);
            cursor.insertText(QStringLiteral("more "));
        } else if (edit == QLatin1String("delete behind")) {
            cursor.setPosition(qMin(40000, end));
            cursor.deleteChar();
        } else if (edit == QLatin1String("newline behind")) {
            cursor.setPosition(qMin(behind(), end));
            cursor.insertText(QStringLiteral("\nA new paragraph."));
        } else if (edit == QLatin1String("cut across")) {
            cursor.setPosition(100);
            cursor.setPosition(3 * TTextSnapshot::SliceCharacters, QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
        } else if (edit == QLatin1String("paste large")) {
            cursor.setPosition(50);
            cursor.insertText(Manuscript(6000));
        } else if (edit == QLatin1String("replace whole")) {
            editor.setPlainText(Manuscript(300));
        } else if (edit == QLatin1String("delete all")) {
            cursor.select(QTextCursor::Document);
            cursor.removeSelectedText();
        } else if (edit == QLatin1String("undo redo")) {
            cursor.setPosition(qMin(500 + round, end));
            cursor.insertText(QStringLiteral("undone? "));
            if (round % 3 != 2)
                document->undo();
            if (round % 3 == 1)
                document->redo();
        } else if (edit == QLatin1String("highlight")) {
            marks->rehighlight();
        } else {
            const int at = int(random.bounded(end + 1));
            cursor.setPosition(at);
            cursor.setPosition(qMin(end, at + int(random.bounded(40))), QTextCursor::KeepAnchor);
            cursor.insertText(random.bounded(2) ? QStringLiteral("new\nwords") : QString());
        }
        ++round;
    };

    QTimer writer;
    writer.setInterval(0);
    connect(&writer, &QTimer::timeout, this, [&] {
        apply();
        if (once)
            writer.stop();
    });
    bool done = false;
    QString copy;
    QString text;
    writer.start();
    snapshot.Take([&](const QString &taken) {
        done = true;
        copy = taken;
        text = Whole(document);
        writer.stop();
    });
    QTRY_VERIFY_WITH_TIMEOUT(done, 30000);
    QCOMPARE(copy.size(), text.size());
    QVERIFY(copy == text);
    QVERIFY(round > 0);
    // A second copy starts afresh.
    done = false;
    snapshot.Take([&](const QString &taken) {
        done = true;
        copy = taken;
    });
    QTRY_VERIFY(done);
    QVERIFY(copy == Whole(document));
}

QTEST_MAIN(tst_TextSnapshot_Unit)
#include "tst_TextSnapshot_Unit.moc"
