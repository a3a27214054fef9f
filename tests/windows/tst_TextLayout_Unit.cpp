// The writer's text must be laid out line for line as Qt's own plain-text
// layout lays it out, through every kind of edit.

#include "windows/TextLayout_Unit.h"

#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

class tst_TextLayout_Unit : public QObject
{
    Q_OBJECT

private:
    // The lines of every block: where each starts, how long, where it sits.
    static QList<QList<int>> Lines(QPlainTextEdit &editor)
    {
        QList<QList<int>> lines;
        for (QTextBlock block = editor.document()->firstBlock(); block.isValid();
             block = block.next()) {
            QList<int> layout{block.blockNumber(), block.lineCount()};
            QTextLayout *text = block.layout();
            for (int i = 0; i < text->lineCount(); ++i) {
                const QTextLine line = text->lineAt(i);
                layout << line.textStart() << line.textLength() << qRound(line.y() * 64)
                       << qRound(line.height() * 64) << qRound(line.width() * 64);
            }
            lines << layout;
        }
        return lines;
    }

private Q_SLOTS:
    void editsLayOutAsQtDoes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("wrapAnywhere");
        const QString prose = QStringLiteral(
            "The lighthouse keeper had not spoken to anyone in three weeks, and the gulls "
            "had begun to answer him.\nThen the letter came.\n\nShort.\n");
        QTest::newRow("prose, wrapping anywhere") << prose.repeated(20) << true;
        QTest::newRow("long words")
            << QStringLiteral("x").repeated(400) + QLatin1Char('\n') +
                   QStringLiteral("caf\u00e9 na\u00efve \u4e2d\u6587 ").repeated(40)
            << true;
        QTest::newRow("prose, wrapping at words only") << prose.repeated(20) << false;
    }
    void editsLayOutAsQtDoes()
    {
        QFETCH(QString, text);
        QFETCH(bool, wrapAnywhere);
        QPlainTextEdit reference;
        QPlainTextEdit ours;
        auto *layout = new TTextDocumentLayout(ours.document());
        ours.document()->setDocumentLayout(layout);
        for (QPlainTextEdit *editor : {&reference, &ours}) {
            if (!wrapAnywhere)
                editor->setWordWrapMode(QTextOption::WordWrap);
            editor->resize(420, 300);
            editor->show();
            editor->setPlainText(text);
        }
        QVERIFY(QTest::qWaitForWindowExposed(&ours));

        // The same random typing, deleting and line breaking in both.
        QRandomGenerator random(20261208);
        const QString letters = QStringLiteral("abc de fghij klmno pq rstu vwxyz \u00e9");
        for (int step = 0; step < 600; ++step) {
            const int length = reference.document()->characterCount() - 1;
            const int position = int(random.bounded(length + 1));
            const int action = int(random.bounded(10));
            for (QPlainTextEdit *editor : {&reference, &ours}) {
                QTextCursor cursor(editor->document());
                cursor.setPosition(position);
                if (action < 7)
                    cursor.insertText(letters.mid(step % letters.size(), 1 + step % 3));
                else if (action < 9 && position < length)
                    cursor.deleteChar();
                else
                    cursor.insertBlock();
                editor->setTextCursor(cursor);
            }
            if (step % 50 == 0) {
                QCoreApplication::processEvents();
                QCOMPARE(Lines(ours), Lines(reference));
            }
        }
        QCoreApplication::processEvents();
        QCOMPARE(Lines(ours), Lines(reference));
        QCOMPARE(ours.document()->lineCount(), reference.document()->lineCount());
        QCOMPARE(ours.verticalScrollBar()->maximum(), reference.verticalScrollBar()->maximum());
        QCOMPARE(ours.horizontalScrollBar()->maximum(), reference.horizontalScrollBar()->maximum());
        // Most edits inside one block were laid out without Qt's bookkeeping.
        if (wrapAnywhere)
            QVERIFY2(layout->OwnLayouts() > 200, qPrintable(QString::number(layout->OwnLayouts())));
        else
            QCOMPARE(layout->OwnLayouts(), 0);
    }
};

QTEST_MAIN(tst_TextLayout_Unit)
#include "tst_TextLayout_Unit.moc"
