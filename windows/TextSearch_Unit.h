// Finding what the writer looks for in their text: in the document's own
// blocks, one block's text at a time, never in a copy of the whole text; and
// TTextMatches, which counts every match of a long text in slices between
// the window's events and keeps the count as the text changes.
#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstddef>
#include <vector>

class QTextDocument;

struct TSearchTerms
{
    QString Text;
    bool MatchCase = false;
    // Only where the term is not part of a longer word: no letter, digit or
    // combining mark next to its letters ("Ann" is not in "Annual" or
    // "JoAnn", but it is in "Ann's").
    bool WholeWords = false;

    // An empty term matches nothing, and so does one that holds a line
    // break: no match runs from one line into the next.
    bool Searchable() const;
    bool operator==(const TSearchTerms &other) const
    {
        return Text == other.Text && MatchCase == other.MatchCase && WholeWords == other.WholeWords;
    }
    bool operator!=(const TSearchTerms &other) const { return !(*this == other); }
};

// The length of the document's text, without the last block's separator.
int TextLength(const QTextDocument *document);

// Appends to starts the matches that begin in [from, to), left to right,
// each beginning where the one before it ends or later; every match is
// terms.Text.size() characters long. Goes block by block and stops after
// the first block that ends once the deadline has passed; returns where it
// stopped: to, or the start of the next block.
int FindMatches(const QTextDocument *document, const TSearchTerms &terms, int from, int to,
                std::vector<int> &starts,
                const QDeadlineTimer &deadline = QDeadlineTimer(QDeadlineTimer::Forever));

// Whether a match begins at position.
bool MatchesAt(const QTextDocument *document, const TSearchTerms &terms, int position);

// Every match of the terms in a document, counted from the top in slices of
// SliceMs between the window's events, and kept up to date as the text
// changes: an edit counts again only the text around it, a large one (a
// Replace All, its undo) all of it. The matches after the place of the last
// edit move with the text without being touched one by one, so that typing
// costs the same with ten matches as with a million.
class TTextMatches : public QObject
{
    Q_OBJECT

public:
    explicit TTextMatches(QTextDocument *document, QObject *parent = nullptr);

    // Counts the matches of terms afresh; the first slice runs now. Terms
    // that are not searchable have no matches, and nothing is followed.
    void Search(const TSearchTerms &terms);
    void Clear() { Search(TSearchTerms()); }

    const TSearchTerms &Terms() const { return FTerms; }
    bool Complete() const { return FComplete; }
    // The matches found so far, and the place before which all are found.
    int Count() const { return int(FStarts.size()); }
    int CountedTo() const { return FComplete ? TextLength(FDocument) : FCounted; }
    std::vector<int> Starts() const;

    enum class TAnswer
    {
        Found,
        None,  // there is no such match
        NotYet // the count has not got that far
    };
    // The first match that begins at position or after it.
    TAnswer Next(int position, int &start) const;
    // The last match that begins before position.
    TAnswer Previous(int position, int &start) const;
    // Which match (from 0) begins at start; -1 when none does.
    int IndexOf(int start) const;

    static constexpr int SliceMs = 4;
    // An edit that removes or adds more than this counts everything again.
    static constexpr int LargeEdit = 65536;

Q_SIGNALS:
    // More matches are counted, the count is complete, or an edit changed
    // the matches.
    void Changed();

private:
    void Step();
    void Restart();
    void TextChanged(int position, int removed, int added);
    // Where the match at index begins; the first index of a match that
    // begins at position or after it.
    int Start(std::size_t index) const { return FStarts[index] + (index >= FMoved ? FMovedBy : 0); }
    std::size_t LowerBound(int position) const;
    // Moves the line between the places kept as they are and those still to
    // be moved by FMovedBy; Settle moves them all.
    void MoveLine(std::size_t to);
    void Settle();
    // Puts found in the place of the matches [first, last).
    void Replace(std::size_t first, std::size_t last, const std::vector<int> &found);
    // Emits Changed once control is back in the event loop.
    void Notify();

    QTextDocument *FDocument;
    QTimer FStep;
    QMetaObject::Connection FFollowing;
    TSearchTerms FTerms;
    // From FMoved on, each place is FMovedBy short of where its match
    // begins.
    std::vector<int> FStarts;
    std::size_t FMoved = 0;
    int FMovedBy = 0;
    int FCounted = 0;
    // The text's length when last seen, to tell an edit whose account does
    // not add up (then everything is counted again).
    int FLength = 0;
    bool FComplete = true;
    bool FNotifying = false;
};
