#include "windows/TextSearch_Unit.h"

#include <QStringMatcher>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>
#include <climits>

namespace {

// How many characters a search goes through between two looks at the clock.
constexpr int CharactersBetweenLooks = 16384;

// The character that ends just before at, and the one that begins at at;
// 0 past either end of the text.
char32_t CharacterBefore(QStringView text, qsizetype at)
{
    if (at <= 0)
        return 0;
    const QChar last = text.at(at - 1);
    if (last.isLowSurrogate() && at >= 2 && text.at(at - 2).isHighSurrogate())
        return QChar::surrogateToUcs4(text.at(at - 2), last);
    return last.unicode();
}

char32_t CharacterAt(QStringView text, qsizetype at)
{
    if (at >= text.size())
        return 0;
    const QChar first = text.at(at);
    if (first.isHighSurrogate() && at + 1 < text.size() && text.at(at + 1).isLowSurrogate())
        return QChar::surrogateToUcs4(first, text.at(at + 1));
    return first.unicode();
}

bool IsWordCharacter(char32_t character)
{
    return character != 0 && (QChar::isLetterOrNumber(character) || QChar::isMark(character));
}

} // namespace

bool TSearchTerms::Searchable() const
{
    if (Text.isEmpty())
        return false;
    for (const QChar character : Text) {
        if (character == QLatin1Char('\n') || character == QLatin1Char('\r') ||
            character == QChar::ParagraphSeparator || character == QChar::LineSeparator)
            return false;
    }
    return true;
}

int TextLength(const QTextDocument *document)
{
    return document->characterCount() - 1;
}

int FindMatches(const QTextDocument *document, const TSearchTerms &terms, int from, int to,
                std::vector<int> &starts, const QDeadlineTimer &deadline)
{
    if (!terms.Searchable())
        return to;
    const QStringView term(terms.Text);
    const qsizetype length = term.size();
    // Prepared once for every block (its table of skips, in either case).
    const QStringMatcher matcher(terms.Text,
                                 terms.MatchCase ? Qt::CaseSensitive : Qt::CaseInsensitive);
    // Only an edge of the term that is part of a word may not touch another.
    const bool wordStart = terms.WholeWords && IsWordCharacter(CharacterAt(term, 0));
    const bool wordEnd = terms.WholeWords && IsWordCharacter(CharacterBefore(term, length));
    int sinceLook = 0;
    for (QTextBlock block = document->findBlock(qMax(0, from));
         block.isValid() && block.position() < to; block = block.next()) {
        const int position = block.position();
        sinceLook += block.length();
        // A block shorter than the term (an empty line) holds no match.
        if (block.length() > length) {
            const QString text = block.text();
            const qsizetype last = qMin<qsizetype>(text.size() - length, to - 1 - position);
            qsizetype at = qMax(0, from - position);
            while (at <= last) {
                at = matcher.indexIn(QStringView(text), at);
                if (at < 0 || at > last)
                    break;
                if ((wordStart && IsWordCharacter(CharacterBefore(text, at))) ||
                    (wordEnd && IsWordCharacter(CharacterAt(text, at + length)))) {
                    ++at;
                    continue;
                }
                starts.push_back(position + int(at));
                at += length;
            }
        }
        if (sinceLook >= CharactersBetweenLooks) {
            sinceLook = 0;
            if (deadline.hasExpired()) {
                const QTextBlock next = block.next();
                return next.isValid() ? qMin(next.position(), to) : to;
            }
        }
    }
    return to;
}

bool MatchesAt(const QTextDocument *document, const TSearchTerms &terms, int position)
{
    std::vector<int> found;
    FindMatches(document, terms, position, position + 1, found);
    return !found.empty();
}

// ---------------------------------------------------------------------------
// TTextMatches

TTextMatches::TTextMatches(QTextDocument *document, QObject *parent)
    : QObject(parent), FDocument(document)
{
    FStep.setSingleShot(true);
    FStep.setInterval(0);
    connect(&FStep, &QTimer::timeout, this, &TTextMatches::Step);
}

void TTextMatches::Search(const TSearchTerms &terms)
{
    FTerms = terms;
    disconnect(FFollowing);
    if (FTerms.Searchable())
        FFollowing =
            connect(FDocument, &QTextDocument::contentsChange, this, &TTextMatches::TextChanged);
    Restart();
    if (!FComplete)
        Step();
}

void TTextMatches::Restart()
{
    FStep.stop();
    FStarts.clear();
    FMoved = 0;
    FMovedBy = 0;
    FCounted = 0;
    FLength = TextLength(FDocument);
    FComplete = !FTerms.Searchable();
    if (FComplete)
        Q_EMIT Changed();
    else
        FStep.start();
}

void TTextMatches::Step()
{
    Settle();
    const int length = TextLength(FDocument);
    // An edit may have left the count's end inside a match found before it.
    const int from =
        FStarts.empty() ? FCounted : qMax(FCounted, FStarts.back() + int(FTerms.Text.size()));
    FCounted = FindMatches(FDocument, FTerms, from, length, FStarts, QDeadlineTimer(SliceMs));
    FComplete = FCounted >= length;
    if (FComplete)
        FStep.stop();
    else
        FStep.start();
    Q_EMIT Changed();
}

void TTextMatches::TextChanged(int position, int removed, int added)
{
    const int length = TextLength(FDocument);
    const bool accounted = FLength - removed + added == length;
    FLength = length;
    if (!accounted || removed > LargeEdit || added > LargeEdit) {
        Restart();
        return;
    }
    const int termLength = int(FTerms.Text.size());
    const int end = position + removed;
    // The matches the edit touched, or came next to (a word that now goes
    // on past a match's edge), are counted again; those after it move with
    // the text.
    const std::size_t first = LowerBound(position - termLength);
    const std::size_t last = LowerBound(end + 1);
    MoveLine(last);
    FMovedBy += added - removed;
    std::vector<int> found;
    if (!FComplete && FCounted <= end) {
        // The count had not got past the edit: it goes on from before it.
        FCounted = qMin(FCounted, qMax(0, position - termLength));
    } else {
        if (!FComplete)
            FCounted += added - removed;
        int from = qMax(0, position - termLength);
        if (first > 0)
            from = qMax(from, Start(first - 1) + termLength);
        FindMatches(FDocument, FTerms, from, qMin(position + added + 1, CountedTo()), found);
        // None may run into the next match still standing.
        const int next = last < FStarts.size() ? Start(last) : INT_MAX;
        while (!found.empty() && found.back() > next - termLength)
            found.pop_back();
    }
    const bool counted = found.size() != last - first;
    Replace(first, last, found);
    if (counted)
        Notify();
}

std::size_t TTextMatches::LowerBound(int position) const
{
    std::size_t low = 0;
    std::size_t high = FStarts.size();
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (Start(middle) < position)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

void TTextMatches::MoveLine(std::size_t to)
{
    if (FMovedBy != 0) {
        for (std::size_t index = FMoved; index < to; ++index)
            FStarts[index] += FMovedBy;
        for (std::size_t index = to; index < FMoved; ++index)
            FStarts[index] -= FMovedBy;
    }
    FMoved = to;
}

void TTextMatches::Settle()
{
    MoveLine(FStarts.size());
    FMovedBy = 0;
}

void TTextMatches::Replace(std::size_t first, std::size_t last, const std::vector<int> &found)
{
    // Below the line: kept as they are.
    const auto at = FStarts.begin() + std::ptrdiff_t(first);
    const std::size_t common = qMin(found.size(), last - first);
    std::copy(found.begin(), found.begin() + std::ptrdiff_t(common), at);
    if (found.size() < last - first)
        FStarts.erase(at + std::ptrdiff_t(common), FStarts.begin() + std::ptrdiff_t(last));
    else
        FStarts.insert(at + std::ptrdiff_t(common), found.begin() + std::ptrdiff_t(common),
                       found.end());
    FMoved = first + found.size();
}

void TTextMatches::Notify()
{
    // Told once the edit is over, not from inside the document's own signal.
    if (FNotifying)
        return;
    FNotifying = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            FNotifying = false;
            Q_EMIT Changed();
        },
        Qt::QueuedConnection);
}

TTextMatches::TAnswer TTextMatches::Next(int position, int &start) const
{
    const std::size_t at = LowerBound(position);
    if (at < FStarts.size()) {
        start = Start(at);
        return TAnswer::Found;
    }
    return FComplete ? TAnswer::None : TAnswer::NotYet;
}

TTextMatches::TAnswer TTextMatches::Previous(int position, int &start) const
{
    if (!FComplete && position > FCounted)
        return TAnswer::NotYet;
    const std::size_t at = LowerBound(position);
    if (at == 0)
        return TAnswer::None;
    start = Start(at - 1);
    return TAnswer::Found;
}

int TTextMatches::IndexOf(int start) const
{
    const std::size_t at = LowerBound(start);
    return at < FStarts.size() && Start(at) == start ? int(at) : -1;
}

std::vector<int> TTextMatches::Starts() const
{
    std::vector<int> starts;
    starts.reserve(FStarts.size());
    for (std::size_t index = 0; index < FStarts.size(); ++index)
        starts.push_back(Start(index));
    return starts;
}
