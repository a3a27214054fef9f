#include "windows/WritingCount_Unit.h"

#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>

namespace {

// More blocks than this, come in whole, are counted when asked for.
constexpr int LaterBlocks = 64;

} // namespace

TWritingCount::TWritingCount(QTextDocument *document, std::function<bool()> typing, QObject *parent)
    : QObject(parent), FDocument(document), FTyping(std::move(typing))
{
    CountAll();
    FUndoSteps = document->availableUndoSteps();
    FStepTyped.assign(std::size_t(FUndoSteps), false);
    connect(document, &QTextDocument::undoCommandAdded, this, [this] { FCommandAdded = true; });
    connect(document, &QTextDocument::contentsChange, this, &TWritingCount::Change);
}

qint64 TWritingCount::Words() const
{
    if (FWordsKnown)
        return FWords;
    FWords = 0;
    QTextBlock block = FDocument->begin();
    for (TBlockCount &count : FBlocks) {
        if (count.Words < 0)
            count.Words = CountBlock(block).Words;
        FWords += count.Words;
        block = block.next();
    }
    FWordsKnown = true;
    return FWords;
}

void TWritingCount::CountAll()
{
    // Nothing typed is in a text read in whole: its words wait until asked.
    if (FTyped.empty()) {
        FBlocks.assign(std::size_t(FDocument->blockCount()), TBlockCount{-1, 0});
        FWords = FTypedWords = 0;
        FWordsKnown = false;
        return;
    }
    FBlocks.clear();
    FBlocks.reserve(std::size_t(FDocument->blockCount()));
    FWords = FTypedWords = 0;
    FWordsKnown = true;
    for (QTextBlock block = FDocument->begin(); block.isValid(); block = block.next()) {
        FBlocks.push_back(CountBlock(block));
        FWords += FBlocks.back().Words;
        FTypedWords += FBlocks.back().Typed;
    }
}

TWritingCount::TBlockCount TWritingCount::CountBlock(const QTextBlock &block) const
{
    TBlockCount count;
    const QString text = block.text();
    const int start = block.position();
    // The first typed span that ends after the block's start.
    auto span = std::upper_bound(FTyped.cbegin(), FTyped.cend(), start,
                                 [](int at, const TSpan &each) { return at < each.second; });
    const QChar *chars = text.constData();
    const int length = int(text.size());
    int at = 0;
    while (at < length) {
        while (at < length && chars[at].isSpace())
            ++at;
        if (at == length)
            break;
        const int wordStart = at;
        while (at < length && !chars[at].isSpace())
            ++at;
        ++count.Words;
        while (span != FTyped.cend() && span->second <= start + wordStart)
            ++span;
        if (span != FTyped.cend() && span->first < start + at)
            ++count.Typed;
    }
    return count;
}

bool TWritingCount::ChangeIsTyping(bool &marks)
{
    const int undo = FDocument->availableUndoSteps();
    bool typed = false;
    marks = false;
    if (!FDocument->isUndoRedoEnabled()) {
        // The text replaced whole, its undo stack cleared (a file read into
        // the editor).
        FStepTyped.clear();
    } else if (FCommandAdded || undo == FUndoSteps) {
        // A new step, or one more change merged into the last.
        typed = FTyping && FTyping();
        marks = typed;
        FStepTyped.resize(std::size_t(undo), false);
        if (FCommandAdded && undo > 0)
            FStepTyped[std::size_t(undo) - 1] = typed;
    } else if (undo < FUndoSteps) {
        // Undone: what the step typed goes; what it took away comes back
        // as it was, not typed.
        typed = std::size_t(undo) < FStepTyped.size() && FStepTyped[std::size_t(undo)];
    } else {
        // Redone: the typing comes back as typing.
        typed = std::size_t(undo) <= FStepTyped.size() && FStepTyped[std::size_t(undo) - 1];
        marks = typed;
    }
    FCommandAdded = false;
    FUndoSteps = undo;
    return typed;
}

void TWritingCount::MoveSpans(int from, int removed, int added, bool typed)
{
    const int removedEnd = from + removed;
    const int shift = added - removed;
    std::vector<TSpan> moved;
    moved.reserve(FTyped.size() + 2);
    const auto keep = [&moved](int first, int last) {
        if (first >= last)
            return;
        // Spans that meet become one.
        if (!moved.empty() && moved.back().second >= first)
            moved.back().second = std::max(moved.back().second, last);
        else
            moved.emplace_back(first, last);
    };
    bool inserted = false;
    const auto insert = [&] {
        if (!inserted && typed && added > 0)
            keep(from, from + added);
        inserted = true;
    };
    for (const TSpan &span : FTyped) {
        if (span.second <= from) {
            keep(span.first, span.second);
            continue;
        }
        // The part before the change, the typing, the part after it.
        keep(span.first, std::min(span.second, from));
        insert();
        if (span.second > removedEnd)
            keep(std::max(span.first, removedEnd) + shift, span.second + shift);
    }
    insert();
    FTyped.swap(moved);
}

void TWritingCount::Change(int from, int removed, int added)
{
    bool marks = false;
    const bool typed = ChangeIsTyping(marks);
    if (typed && Keystroke)
        Keystroke();
    // The text's end: Qt counts the last block's separator into a change
    // that reaches it.
    const int last = FDocument->characterCount() - 1;
    added = std::min(added, last - from);
    MoveSpans(from, removed, std::max(added, 0), marks);
    const int firstBlock = FDocument->findBlock(from).blockNumber();
    const int lastBlock = FDocument->findBlock(std::max(from, from + added)).blockNumber();
    const int blocks = FDocument->blockCount();
    const int oldLast = lastBlock + int(FBlocks.size()) - blocks;
    const qint64 typedBefore = FTypedWords;
    if (firstBlock < 0 || lastBlock < firstBlock || oldLast < firstBlock ||
        oldLast >= int(FBlocks.size())) {
        CountAll();
    } else {
        const auto begin = FBlocks.begin() + firstBlock;
        for (auto each = begin; each != FBlocks.begin() + oldLast + 1; ++each) {
            if (each->Words < 0)
                FWordsKnown = false;
            FWords -= std::max(each->Words, 0);
            FTypedWords -= each->Typed;
        }
        std::vector<TBlockCount> counts;
        QTextBlock block = FDocument->findBlockByNumber(firstBlock);
        // A long text come in whole with nothing typed in it (a file read)
        // has its words counted when they are asked for.
        const bool later = !marks && FTyped.empty() && lastBlock - firstBlock > LaterBlocks;
        FWordsKnown = FWordsKnown && !later;
        for (int number = firstBlock; number <= lastBlock; ++number, block = block.next()) {
            counts.push_back(later ? TBlockCount{-1, 0} : CountBlock(block));
            FWords += counts.back().Words;
            FTypedWords += counts.back().Typed;
        }
        const auto end = FBlocks.begin() + oldLast + 1;
        const std::size_t same = std::min(counts.size(), std::size_t(end - begin));
        std::copy_n(counts.begin(), same, begin);
        if (counts.size() > same)
            FBlocks.insert(begin + qsizetype(same), counts.begin() + qsizetype(same), counts.end());
        else
            FBlocks.erase(begin + qsizetype(same), end);
    }
    if (typed && FTypedWords != typedBefore && Written)
        Written(FTypedWords - typedBefore);
}
