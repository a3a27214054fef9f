#include "storage/TextDiff_Unit.h"

#include <QHash>
#include <QStringView>

// dtl's headers include <iostream> for printing helpers this unit never
// calls, and with it a static object that sets up the standard streams and
// their locale as the program starts: about 0.3 MiB touched before the main
// window shows, for a comparison that may never run. The streams are
// declared here instead, as <iostream> declares them, without that object.
#include <istream>
#include <ostream>
#ifndef _GLIBCXX_IOSTREAM
#define _GLIBCXX_IOSTREAM 1
namespace std {
extern istream cin;
extern ostream cout;
extern ostream cerr;
extern ostream clog;
extern wistream wcin;
extern wostream wcout;
extern wostream wcerr;
extern wostream wclog;
} // namespace std
#endif
#include <dtl/dtl.hpp>

#include <algorithm>
#include <numeric>
#include <vector>

namespace {

// The work allowed, in the library's comparisons of two elements (10 to 15 ns
// each on a 2020 laptop core). Lines: enough for a few thousand lines moved
// about in a 10 MB text; the same lines shuffled stop here after some 0.15 s.
constexpr qint64 MaxLineComparisons = 10'000'000;
// Words: all paired lines together, and one pair alone; a pair beyond either
// is marked changed as a whole.
constexpr qint64 MaxWordComparisons = 20'000'000;
constexpr qint64 MaxPairComparisons = 1'000'000;
// Longer lines (a chapter with no line break) are not compared word by word.
constexpr int MaxWordLineLength = 20'000;
// Texts are not listed line by line when more than this many characters
// changed and what they have in common is under a quarter of the longer one:
// two different texts, or a text against an emptied editor, read better side
// by side. Smaller changes are always listed.
constexpr qint64 MinUnlistedChange = 100'000;
// How often, in comparisons, the budget and the cancel flag are looked at.
constexpr qint64 LookEvery = 1 << 16;

QString TooLittleInCommon()
{
    return QStringLiteral("These two texts have too little in common to compare line by line.");
}

QString StoppedNote()
{
    return QStringLiteral("The comparison was stopped.");
}

bool Cancelled(const std::atomic<bool> *cancel)
{
    return cancel && cancel->load(std::memory_order_relaxed);
}

// One alignment's bounds and what the comparator compares. The library's
// elements are indices into A and B, so that the comparator can tell where in
// the edit graph it is: once stopped it matches only along the diagonal
// through both ends, which lets the library finish at once.
struct TAlignment
{
    const int *A = nullptr;
    const int *B = nullptr;
    int Corner = 0; // b - a on the diagonal through both ends
    qint64 Allowed = 0;
    qint64 Made = 0;
    qint64 NextLook = 0;
    const std::atomic<bool> *Cancel = nullptr;
    bool Stopped = false;

    void Look()
    {
        if (Made > Allowed || Cancelled(Cancel))
            Stopped = true;
        NextLook = std::min(Made + LookEvery, Allowed + 1);
    }
};

class TIndexCompare final : public dtl::Compare<int>
{
public:
    TIndexCompare() = default;
    explicit TIndexCompare(TAlignment *alignment) : FAlignment(alignment) {}

    bool impl(const int &a, const int &b) const override
    {
        TAlignment &alignment = *FAlignment;
        if (++alignment.Made >= alignment.NextLook)
            alignment.Look();
        if (alignment.Stopped)
            return b - a == alignment.Corner;
        return alignment.A[a] == alignment.B[b];
    }

private:
    TAlignment *FAlignment = nullptr;
};

struct TMatch
{
    int Old;
    int New;
};

// Appends to matches, in order, the pairs of equal elements of a and b that
// the library's shortest edit script keeps (the values run from 0 to
// distinct - 1). The common start and end are kept as they are, and elements
// found on one side only, which no edit script keeps, are left out before the
// library sees the rest. False when the alignment stopped (its budget spent,
// or cancelled); matches is then incomplete.
bool Align(const std::vector<int> &a, const std::vector<int> &b, int distinct,
           TAlignment &alignment, std::vector<TMatch> &matches)
{
    const int m = int(a.size());
    const int n = int(b.size());
    int start = 0;
    while (start < m && start < n && a[start] == b[start]) {
        matches.push_back({start, start});
        ++start;
    }
    int endA = m;
    int endB = n;
    while (endA > start && endB > start && a[endA - 1] == b[endB - 1]) {
        --endA;
        --endB;
    }

    std::vector<char> inA(distinct, 0);
    std::vector<char> inB(distinct, 0);
    for (int i = start; i < endA; ++i)
        inA[a[i]] = 1;
    for (int j = start; j < endB; ++j)
        inB[b[j]] = 1;
    std::vector<int> keptA; // indices into a
    std::vector<int> keptB;
    std::vector<int> valuesA;
    std::vector<int> valuesB;
    for (int i = start; i < endA; ++i) {
        if (inB[a[i]]) {
            keptA.push_back(i);
            valuesA.push_back(a[i]);
        }
    }
    for (int j = start; j < endB; ++j) {
        if (inA[b[j]]) {
            keptB.push_back(j);
            valuesB.push_back(b[j]);
        }
    }

    if (!keptA.empty() && !keptB.empty()) {
        std::vector<int> indicesA(keptA.size());
        std::vector<int> indicesB(keptB.size());
        std::iota(indicesA.begin(), indicesA.end(), 0);
        std::iota(indicesB.begin(), indicesB.end(), 0);
        alignment.A = valuesA.data();
        alignment.B = valuesB.data();
        alignment.Corner = int(keptB.size()) - int(keptA.size());
        alignment.Look();
        dtl::Diff<int, std::vector<int>, TIndexCompare> diff(indicesA, indicesB,
                                                             TIndexCompare(&alignment));
        diff.compose();
        if (alignment.Stopped)
            return false;
        for (const auto &element : diff.getSes().getSequence()) {
            if (element.second.type == dtl::SES_COMMON)
                matches.push_back({keptA[size_t(element.second.beforeIdx - 1)],
                                   keptB[size_t(element.second.afterIdx - 1)]});
        }
    }

    for (int k = 0; k < m - endA; ++k)
        matches.push_back({endA + k, endB + k});
    return true;
}

// Numbers the distinct texts of both sides from 0; returns how many there are.
int Number(const std::vector<QStringView> &a, const std::vector<QStringView> &b,
           std::vector<int> &idsA, std::vector<int> &idsB)
{
    QHash<QStringView, int> ids;
    ids.reserve(qsizetype(a.size() + b.size()));
    const auto number = [&ids](const std::vector<QStringView> &texts, std::vector<int> &out) {
        out.reserve(texts.size());
        for (const QStringView text : texts) {
            auto found = ids.constFind(text);
            if (found == ids.constEnd())
                found = ids.insert(text, int(ids.size()));
            out.push_back(*found);
        }
    };
    number(a, idsA);
    number(b, idsB);
    return int(ids.size());
}

// The lines of a text; an empty text has none, and a final line break ends
// the last line.
std::vector<QStringView> Lines(const QString &text)
{
    std::vector<QStringView> lines;
    const QStringView all(text);
    qsizetype start = 0;
    while (start < all.size()) {
        qsizetype end = all.indexOf(u'\n', start);
        if (end < 0)
            end = all.size();
        lines.push_back(all.mid(start, end - start));
        start = end + 1;
    }
    return lines;
}

enum class TTokenClass
{
    Word,
    Space,
    Other
};

TTokenClass ClassOf(char32_t c)
{
    if (QChar::isLetterOrNumber(c) || QChar::isMark(c))
        return TTokenClass::Word;
    if (QChar::isSpace(c))
        return TTokenClass::Space;
    return TTokenClass::Other;
}

// A line's pieces for the word comparison: runs of letters and digits (with
// their accents), runs of white space, and every other character alone. A
// surrogate pair is one character.
std::vector<QStringView> Tokens(QStringView line)
{
    std::vector<QStringView> tokens;
    const qsizetype size = line.size();
    const auto characterAt = [&](qsizetype at, qsizetype &length) -> char32_t {
        const QChar c = line[at];
        if (c.isHighSurrogate() && at + 1 < size && line[at + 1].isLowSurrogate()) {
            length = 2;
            return QChar::surrogateToUcs4(c, line[at + 1]);
        }
        length = 1;
        return c.unicode();
    };
    qsizetype at = 0;
    while (at < size) {
        qsizetype length = 0;
        const TTokenClass kind = ClassOf(characterAt(at, length));
        qsizetype end = at + length;
        if (kind != TTokenClass::Other) {
            while (end < size && ClassOf(characterAt(end, length)) == kind)
                end += length;
        }
        tokens.push_back(line.mid(at, end - at));
        at = end;
    }
    return tokens;
}

bool IsSpace(QStringView token)
{
    return !token.isEmpty() && token.front().isSpace();
}

// The runs of tokens of line not kept by the alignment, as spans; runs apart
// only by white space are one.
QVector<TDiffSpan> ChangedRuns(QStringView line, const std::vector<QStringView> &tokens,
                               const std::vector<char> &kept)
{
    QVector<TDiffSpan> spans;
    const auto offset = [&line](QStringView token) { return int(token.data() - line.data()); };
    const size_t count = tokens.size();
    size_t i = 0;
    while (i < count) {
        if (kept[i]) {
            ++i;
            continue;
        }
        const int start = offset(tokens[i]);
        int end = start + int(tokens[i].size());
        ++i;
        for (;;) {
            size_t next = i;
            while (next < count && kept[next] && IsSpace(tokens[next]))
                ++next;
            if (next == count || kept[next])
                break;
            end = offset(tokens[next]) + int(tokens[next].size());
            i = next + 1;
        }
        spans.push_back({start, end - start});
    }
    return spans;
}

void MarkWhole(TDiffLine &line)
{
    line.Changed.clear();
    if (!line.Text.isEmpty())
        line.Changed.push_back({0, int(line.Text.size())});
}

// Marks the words that differ between a removed line and the added line that
// replaces it. wordBudget: comparisons left for all pairs; false when
// cancelled.
bool MarkChangedWords(TDiffLine &removed, TDiffLine &added, qint64 &wordBudget,
                      const std::atomic<bool> *cancel)
{
    if (removed.Text.size() > MaxWordLineLength || added.Text.size() > MaxWordLineLength ||
        wordBudget <= 0) {
        MarkWhole(removed);
        MarkWhole(added);
        return true;
    }
    const std::vector<QStringView> oldTokens = Tokens(removed.Text);
    const std::vector<QStringView> newTokens = Tokens(added.Text);
    std::vector<int> oldIds;
    std::vector<int> newIds;
    const int distinct = Number(oldTokens, newTokens, oldIds, newIds);

    TAlignment alignment;
    alignment.Allowed = std::min(wordBudget, MaxPairComparisons);
    alignment.Cancel = cancel;
    std::vector<TMatch> matches;
    const bool aligned = Align(oldIds, newIds, distinct, alignment, matches);
    wordBudget -= alignment.Made;
    if (!aligned) {
        MarkWhole(removed);
        MarkWhole(added);
        return !Cancelled(cancel);
    }
    std::vector<char> oldKept(oldTokens.size(), 0);
    std::vector<char> newKept(newTokens.size(), 0);
    for (const TMatch &match : matches) {
        oldKept[size_t(match.Old)] = 1;
        newKept[size_t(match.New)] = 1;
    }
    removed.Changed = ChangedRuns(removed.Text, oldTokens, oldKept);
    added.Changed = ChangedRuns(added.Text, newTokens, newKept);
    return true;
}

// Removed lines [OldStart, OldEnd) replaced by added lines [NewStart, NewEnd),
// 0-based; one of the two may be empty.
struct TBlock
{
    int OldStart;
    int OldEnd;
    int NewStart;
    int NewEnd;
};

qint64 Characters(const std::vector<QStringView> &lines, int from, int to)
{
    qint64 count = 0;
    for (int i = from; i < to; ++i)
        count += lines[size_t(i)].size();
    return count;
}

TTextDiff NotCompared(const QString &note)
{
    TTextDiff diff;
    diff.Compared = false;
    diff.Note = note;
    return diff;
}

} // namespace

QString TTextDiff::Summary() const
{
    if (!Compared)
        return Note;
    if (RemovedLines == 0 && AddedLines == 0)
        return QStringLiteral("no differences");
    const auto lines = [](int count) {
        return count == 1 ? QStringLiteral("1 line") : QStringLiteral("%1 lines").arg(count);
    };
    if (AddedLines == 0)
        return QStringLiteral("%1 removed").arg(lines(RemovedLines));
    if (RemovedLines == 0)
        return QStringLiteral("%1 added").arg(lines(AddedLines));
    return QStringLiteral("%1 removed, %2 added").arg(lines(RemovedLines)).arg(AddedLines);
}

TTextDiff DiffTexts(const QString &older, const QString &newer, int contextLines,
                    const std::atomic<bool> *cancel)
{
    const std::vector<QStringView> oldLines = Lines(older);
    const std::vector<QStringView> newLines = Lines(newer);
    const int m = int(oldLines.size());
    const int n = int(newLines.size());
    std::vector<int> oldIds;
    std::vector<int> newIds;
    const int distinct = Number(oldLines, newLines, oldIds, newIds);
    if (Cancelled(cancel))
        return NotCompared(StoppedNote());

    TAlignment alignment;
    alignment.Allowed = MaxLineComparisons;
    alignment.Cancel = cancel;
    std::vector<TMatch> matches;
    if (!Align(oldIds, newIds, distinct, alignment, matches))
        return NotCompared(Cancelled(cancel) ? StoppedNote() : TooLittleInCommon());
    oldIds = {};
    newIds = {};

    std::vector<TBlock> blocks;
    int oldAt = 0;
    int newAt = 0;
    matches.push_back({m, n});
    for (const TMatch &match : matches) {
        if (match.Old > oldAt || match.New > newAt)
            blocks.push_back({oldAt, match.Old, newAt, match.New});
        oldAt = match.Old + 1;
        newAt = match.New + 1;
    }
    matches = {};

    TTextDiff diff;
    qint64 removedCharacters = 0;
    qint64 addedCharacters = 0;
    for (const TBlock &block : blocks) {
        diff.RemovedLines += block.OldEnd - block.OldStart;
        diff.AddedLines += block.NewEnd - block.NewStart;
        removedCharacters += Characters(oldLines, block.OldStart, block.OldEnd);
        addedCharacters += Characters(newLines, block.NewStart, block.NewEnd);
    }
    const qint64 oldCharacters = Characters(oldLines, 0, m);
    const qint64 newCharacters = Characters(newLines, 0, n);
    const qint64 common = oldCharacters - removedCharacters;
    if (removedCharacters + addedCharacters > MinUnlistedChange &&
        common * 4 < std::max(oldCharacters, newCharacters))
        return NotCompared(TooLittleInCommon());
    if (blocks.empty())
        return diff;
    const TBlock &first = blocks.front();
    diff.FirstChangedLine = first.OldEnd > first.OldStart
                                ? oldLines[size_t(first.OldStart)].toString()
                                : newLines[size_t(first.NewStart)].toString();

    const int context = std::clamp(contextLines, 0, std::max(m, n));
    const auto same = [&](int oldIndex, int newIndex) {
        TDiffLine line;
        line.Text = newLines[size_t(newIndex)].toString();
        line.OldNumber = oldIndex + 1;
        line.NewNumber = newIndex + 1;
        return line;
    };
    qint64 wordBudget = MaxWordComparisons;
    size_t b = 0;
    while (b < blocks.size()) {
        size_t last = b;
        while (last + 1 < blocks.size() &&
               blocks[last + 1].OldStart - blocks[last].OldEnd <= 2 * context)
            ++last;
        TDiffHunk hunk;
        const int before = std::min(context, blocks[b].OldStart);
        for (int k = before; k > 0; --k)
            hunk.Lines.push_back(same(blocks[b].OldStart - k, blocks[b].NewStart - k));
        for (size_t k = b; k <= last; ++k) {
            const TBlock &block = blocks[k];
            const qsizetype firstRemoved = hunk.Lines.size();
            for (int i = block.OldStart; i < block.OldEnd; ++i) {
                TDiffLine line;
                line.Kind = TDiffLine::TKind::Removed;
                line.Text = oldLines[size_t(i)].toString();
                line.OldNumber = i + 1;
                hunk.Lines.push_back(line);
            }
            const qsizetype firstAdded = hunk.Lines.size();
            for (int j = block.NewStart; j < block.NewEnd; ++j) {
                TDiffLine line;
                line.Kind = TDiffLine::TKind::Added;
                line.Text = newLines[size_t(j)].toString();
                line.NewNumber = j + 1;
                hunk.Lines.push_back(line);
            }
            const qsizetype pairs =
                std::min(firstAdded - firstRemoved, hunk.Lines.size() - firstAdded);
            for (qsizetype p = 0; p < pairs; ++p) {
                if (!MarkChangedWords(hunk.Lines[firstRemoved + p], hunk.Lines[firstAdded + p],
                                      wordBudget, cancel))
                    return NotCompared(StoppedNote());
            }
            const int sameEnd =
                k < last ? blocks[k + 1].OldStart : std::min(m, block.OldEnd + context);
            for (int i = block.OldEnd; i < sameEnd; ++i)
                hunk.Lines.push_back(same(i, block.NewEnd + (i - block.OldEnd)));
        }
        diff.Hunks.push_back(hunk);
        b = last + 1;
    }
    return diff;
}
