// The comparison of two versions of the writer's text, line by line and then
// word by word inside the lines that changed, for the Earlier Versions window.
// The alignment itself is dtl's (Wu's O(NP) algorithm, header-only, so nothing
// of it is loaded before the first comparison); this unit gives it the lines
// as numbers, bounds its work, and turns its edit script into hunks that
// carry their kinds in words as well as in colour: each line says whether it
// stayed, went or came, each changed line pairs up with its counterpart where
// there is one and marks the words that differ, and the whole has a summary.
//
// Texts with too little in common (two different books, or the same lines
// shuffled) are not compared: the result says so in plain words, and the
// window shows the two texts side by side. The bound is a count of the
// library's comparisons, not a timer, so the same two texts always give the
// same result.
//
// DiffTexts keeps no state between calls: any thread may call it, and several
// at once.
#pragma once

#include <QString>
#include <QVector>

#include <atomic>

// A run of changed words inside a line: Length characters from Start.
struct TDiffSpan
{
    int Start = 0;
    int Length = 0;
};

struct TDiffLine
{
    enum class TKind
    {
        Same,    // in both texts
        Removed, // only in the older text
        Added    // only in the newer text
    };
    TKind Kind = TKind::Same;
    QString Text;
    // Line numbers, from 1; 0 in the text the line is not in.
    int OldNumber = 0;
    int NewNumber = 0;
    // For a removed line paired with an added one (and the other way round):
    // the runs of words that differ from its counterpart, in order. A pair
    // whose words were not compared (a very long line, or the word budget
    // spent) has one span over the whole line. Empty for a line that went or
    // came without a counterpart, and for a Same line.
    QVector<TDiffSpan> Changed;
};

// Changed lines with up to the requested number of unchanged lines around
// them; hunks closer than twice that are one hunk. Within a hunk, each run of
// removed lines comes before the added lines that replace it.
struct TDiffHunk
{
    QVector<TDiffLine> Lines;
};

struct TTextDiff
{
    // False when the texts were not compared: Note says why, in plain words,
    // and Hunks is empty.
    bool Compared = true;
    QString Note;
    QVector<TDiffHunk> Hunks;
    int RemovedLines = 0;
    int AddedLines = 0;
    // The first changed line: of the older text when it was removed, of the
    // newer when added; empty when nothing changed.
    QString FirstChangedLine;

    // "12 lines removed, 3 added", "1 line added", "no differences"; the Note
    // when the texts were not compared.
    QString Summary() const;
};

// Compares older (a kept version) with newer (the editor's text), both with
// lines joined by '\n' (a file's CR LF decoded before). An empty text has no
// lines, and a final line break ends the last line rather than starting an
// empty one, as the file form drops it. contextLines: unchanged lines kept
// around each change. cancel, when set from another thread, stops the
// comparison early; the result then says it was stopped.
TTextDiff DiffTexts(const QString &older, const QString &newer, int contextLines = 3,
                    const std::atomic<bool> *cancel = nullptr);
