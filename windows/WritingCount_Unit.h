// The words of the writer's text, and of them the ones the writer typed, kept
// up to date as the text changes: a change recounts only the paragraphs
// (blocks) it touched, so that a keystroke in a long text costs what the
// keystroke's paragraph costs.
//
// A word is a run of characters that are not white space. A word the writer
// typed is one with at least one typed character. What the writer types is
// told apart from what comes otherwise (a paste, a file read, a restored
// version, Replace All, the date stamp) by `typing`, asked at every change;
// Ctrl+Z and Ctrl+Y take or bring back the typing of the step they undo or
// redo as the step was counted.
#pragma once

#include <QObject>

#include <functional>
#include <utility>
#include <vector>

class QTextBlock;
class QTextDocument;

class TWritingCount : public QObject
{
    Q_OBJECT

public:
    // `typing` is true while the change under way is the writer's typing.
    TWritingCount(QTextDocument *document, std::function<bool()> typing, QObject *parent = nullptr);

    // Counted when first asked after a text was read in whole, which then
    // costs nothing more than the read.
    qint64 Words() const;
    // Words in the text now that the writer typed since the count began.
    qint64 TypedWords() const { return FTypedWords; }

    // Typing (or undoing and redoing it) changed the words typed by delta.
    std::function<void(qint64 delta)> Written;
    // Every change that is typing, before Written.
    std::function<void()> Keystroke;

private:
    struct TBlockCount
    {
        int Words = 0;
        int Typed = 0;
    };
    using TSpan = std::pair<int, int>; // [from, to) in the document

    void Change(int from, int removed, int added);
    // Whether the change under way counts as typing, from the undo stack as
    // it is now; marks are the typed insertions.
    bool ChangeIsTyping(bool &marks);
    void MoveSpans(int from, int removed, int added, bool typed);
    TBlockCount CountBlock(const QTextBlock &block) const;
    void CountAll();

    QTextDocument *FDocument;
    std::function<bool()> FTyping;
    mutable std::vector<TBlockCount> FBlocks;
    // What the writer typed, in order, none touching another.
    std::vector<TSpan> FTyped;
    mutable qint64 FWords = 0;
    // False while some blocks' words are still to be counted (-1).
    mutable bool FWordsKnown = true;
    qint64 FTypedWords = 0;
    // Whether each undo step was typing, and the stack as last seen.
    std::vector<bool> FStepTyped;
    int FUndoSteps = 0;
    bool FCommandAdded = false;
};
