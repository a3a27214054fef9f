// The writer's text in Qt's plain-text editor: its layout, which is Qt's less
// one cost that a large document cannot afford, its text as lines, and what
// is drawn over it.
#pragma once

#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>

#include <functional>

class QKeyEvent;
class QPainter;

// The editor's text with its lines separated by '\n' and nothing else changed
// (toPlainText() would also turn non-breaking spaces into spaces).
QString EditorText(const QPlainTextEdit *editor);

// Replaces the editor's text in one step that Ctrl+Z undoes, with the cursor
// and the scrolled position kept as near their place as the new text allows.
void FollowEditorText(QPlainTextEdit *editor, const QString &text);

// Keys the editor itself would get wrong for a plain text file: Shift+Enter
// would put a Unicode line separator into the text, which is saved as such
// and is no line break there; it becomes an ordinary line break. True when
// the key was handled here.
bool HandleEditorKey(QPlainTextEdit *editor, const QKeyEvent *key);

// Puts a line at the end of the text, on a line of its own, with a line
// break after it, and the cursor after that: one step to undo.
void AppendLine(QPlainTextEdit *editor, const QString &line);

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

// The writer's editor: Qt's plain-text editor, which also lets another draw
// over the blocks on show after each paint, without touching their layouts
// (the marks of misspelled words).
class TTextEditor : public QPlainTextEdit
{
public:
    using QPlainTextEdit::QPlainTextEdit;

    // Called after every paint for each block the paint reached, with the
    // painter on the viewport and the block's place there.
    std::function<void(QPainter &painter, const QTextBlock &block, const QRectF &place)> PaintOver;

    // Each block on show that reaches into `area` (the viewport's
    // coordinates), from the top, with its place, until `each` returns
    // false.
    void ForShownBlocks(const QRect &area,
                        const std::function<bool(const QTextBlock &, const QRectF &)> &each) const;

    // True while the change under way comes of the writer's keys (or an
    // input method), but not of a paste or a drop, which bring in text
    // written elsewhere.
    bool Typing() const { return FTyping > 0 && FPasting == 0; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    int FTyping = 0;
    int FPasting = 0;
};
