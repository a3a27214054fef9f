#include "windows/TextLayout_Unit.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QtMath>

TTextDocumentLayout::TTextDocumentLayout(QTextDocument *document)
    : QPlainTextDocumentLayout(document)
{
}

void TTextDocumentLayout::documentChanged(int from, int charsRemoved, int charsAdded)
{
    QTextDocument *doc = document();
    const int blockCount = doc->blockCount();
    const QTextBlock block = doc->findBlock(from);
    const QTextBlock last = doc->findBlock(qMax(0, from + charsRemoved + charsAdded - 1));
    // The frame is as wide as the text width or the widest line, whichever
    // is wider. While the widest line is narrower, the frame's width is the
    // text width; otherwise (a word wider than the text, no width yet, or
    // just after a resize) Qt's layout handles everything.
    const QTextOption::WrapMode wrap = doc->defaultTextOption().wrapMode();
    const bool wrapsAnywhere =
        wrap == QTextOption::WrapAtWordBoundaryOrAnywhere || wrap == QTextOption::WrapAnywhere;
    const qreal width = frameBoundingRect(nullptr).width();
    const bool knownWidth = documentSize().width() < width;
    const bool oneBlock = blockCount == FBlockCount && block == last && block.isValid() &&
                          block.length() > 0 && block.isVisible() &&
                          block.layout()->lineCount() > 0;
    if (!oneBlock || !wrapsAnywhere || !knownWidth) {
        QPlainTextDocumentLayout::documentChanged(from, charsRemoved, charsAdded);
        FBlockCount = doc->blockCount();
        return;
    }

    ++FOwnLayouts;
    const QRectF before = blockBoundingRect(block);
    const int linesBefore = doc->lineCount();
    LayoutBlock(block, width);
    if (doc->lineCount() != linesBefore)
        Q_EMIT documentSizeChanged(documentSize());
    if (blockBoundingRect(block).height() == before.height())
        Q_EMIT updateBlock(block);
    else
        Q_EMIT update(QRectF(0., -doc->documentMargin(), 1000000000., 1000000000.));
}

void TTextDocumentLayout::LayoutBlock(const QTextBlock &block, qreal width)
{
    QTextDocument *doc = document();
    const qreal margin = doc->documentMargin();
    QTextLayout *layout = block.layout();
    const QTextOption option = doc->defaultTextOption();
    layout->setTextOption(option);

    int extraMargin = 0;
    if (option.flags() & QTextOption::AddSpaceForLineAndParagraphSeparators) {
        const QFontMetrics metrics(block.charFormat().font());
        extraMargin += metrics.horizontalAdvance(QChar(0x21B5));
    }
    const qreal availableWidth = width - 2 * margin - extraMargin;
    qreal height = 0;
    layout->beginLayout();
    for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
        line.setLeadingIncluded(true);
        line.setLineWidth(availableWidth);
        line.setPosition(QPointF(margin, height));
        height += line.height();
        if (line.leading() < 0)
            height += qCeil(line.leading());
    }
    layout->endLayout();
    const_cast<QTextBlock &>(block).setLineCount(layout->lineCount());
}

QString EditorText(const QPlainTextEdit *editor)
{
    QString text = editor->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

void FollowEditorText(QPlainTextEdit *editor, const QString &text)
{
    const int position = editor->textCursor().position();
    const int scroll = editor->verticalScrollBar()->value();
    QTextCursor cursor(editor->document());
    cursor.beginEditBlock();
    cursor.select(QTextCursor::Document);
    cursor.insertText(text);
    cursor.endEditBlock();
    cursor.setPosition(qMin(position, editor->document()->characterCount() - 1));
    editor->setTextCursor(cursor);
    editor->verticalScrollBar()->setValue(scroll);
}

void AppendLine(QPlainTextEdit *editor, const QString &line)
{
    QTextCursor cursor(editor->document());
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    if (!editor->document()->isEmpty() && !cursor.block().text().isEmpty())
        cursor.insertBlock();
    cursor.insertText(line);
    cursor.insertBlock();
    cursor.endEditBlock();
    editor->setTextCursor(cursor);
}

bool HandleEditorKey(QPlainTextEdit *editor, const QKeyEvent *key)
{
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
        key->modifiers().testFlag(Qt::ShiftModifier) && !editor->isReadOnly()) {
        editor->textCursor().insertBlock();
        editor->ensureCursorVisible();
        return true;
    }
    return false;
}

void TTextEditor::ForShownBlocks(
    const QRect &area, const std::function<bool(const QTextBlock &, const QRectF &)> &each) const
{
    // As Qt's own paint walks them: from the first on show, each below the
    // last.
    QPointF offset = contentOffset();
    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        const QRectF place = blockBoundingRect(block).translated(offset);
        if (place.top() > area.bottom())
            return;
        if (place.bottom() >= area.top() && !each(block, place))
            return;
        offset.ry() += place.height();
    }
}

void TTextEditor::keyPressEvent(QKeyEvent *event)
{
    ++FTyping;
    QPlainTextEdit::keyPressEvent(event);
    --FTyping;
}

void TTextEditor::inputMethodEvent(QInputMethodEvent *event)
{
    ++FTyping;
    QPlainTextEdit::inputMethodEvent(event);
    --FTyping;
}

void TTextEditor::insertFromMimeData(const QMimeData *source)
{
    ++FPasting;
    QPlainTextEdit::insertFromMimeData(source);
    --FPasting;
}

void TTextEditor::paintEvent(QPaintEvent *event)
{
    QPlainTextEdit::paintEvent(event);
    if (!PaintOver)
        return;
    QPainter painter(viewport());
    ForShownBlocks(event->rect(), [this, &painter](const QTextBlock &block, const QRectF &place) {
        PaintOver(painter, block, place);
        return true;
    });
}
