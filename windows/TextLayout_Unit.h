// The writer's text in Qt's plain-text editor: its layout, which is Qt's less
// one cost that a large document cannot afford, and its text as lines.
#pragma once

#include <QPlainTextDocumentLayout>

class QPlainTextEdit;

// The editor's text with its lines separated by '\n' and nothing else changed
// (toPlainText() would also turn non-breaking spaces into spaces).
QString EditorText(const QPlainTextEdit *editor);

// While wrapping at the editor's width, a keystroke only lays out the block
// it changes. Qt's own layout also keeps track of the widest line for the
// horizontal scroll bar, and when the block being typed in held the widest
// line and narrows at a word wrap it walks every block of the document to
// find the new widest one: some milliseconds per keystroke in a 10 MB text.
// Wrapped text never scrolls sideways, so that bookkeeping is left out for
// the edits inside one block; every other change goes to Qt's layout.
class TTextDocumentLayout : public QPlainTextDocumentLayout
{
public:
    explicit TTextDocumentLayout(QTextDocument *document);

    // How many edits were laid out here rather than by Qt's layout.
    int OwnLayouts() const { return FOwnLayouts; }

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override;

private:
    // Lays the block out exactly as Qt's plain-text layout does.
    void LayoutBlock(const QTextBlock &block, qreal width);

    int FBlockCount = -1;
    int FOwnLayouts = 0;
};
