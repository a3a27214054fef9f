// Finding what the writer looks for in their text: in the document's own
// blocks, one block's text at a time, never in a copy of the whole text; and
// TTextMatches, which counts every match of a long text in slices between
// the window's events and keeps the count as the text changes.
#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <QTimer>

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
// Replace All, its undo) all of it.
class TTextMatches : public QObject
{
    Q_OBJECT

public:
    explicit TTextMatches(QTextDocument *document, QObject *parent = nullptr);

    // Counts the matches of terms afresh; the first slice runs now. Terms
    // that are not searchable have no matches, and nothing is followed.
    void Search(const TSearchTerms &terms);
    void Clear() { Search(TSearchTerms()); }
    // Counts the rest now.
    void CompleteNow();

    const TSearchTerms &Terms() const { return FTerms; }
    bool Complete() const { return FComplete; }
    // The matches found so far, and the place before which all are found.
    int Count() const { return int(FStarts.size()); }
    int CountedTo() const { return FComplete ? TextLength(FDocument) : FCounted; }
    const std::vector<int> &Starts() const { return FStarts; }

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
    // Counts again the matches that begin in [from, to) of the new text,
    // between the matches still standing on either side.
    void CountBetween(int from, int to);
    // Emits Changed once control is back in the event loop.
    void Notify();

    QTextDocument *FDocument;
    QTimer FStep;
    QMetaObject::Connection FFollowing;
    TSearchTerms FTerms;
    std::vector<int> FStarts;
    int FCounted = 0;
    // The text's length when last seen, to tell an edit whose account does
    // not add up (then everything is counted again).
    int FLength = 0;
    bool FComplete = true;
    bool FNotifying = false;
};
