#include "windows/TextSearch_Unit.h"

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
    const Qt::CaseSensitivity sensitivity =
        terms.MatchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
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
                at = QStringView(text).indexOf(term, at, sensitivity);
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

void TTextMatches::CompleteNow()
{
    if (FComplete)
        return;
    FStep.stop();
    const int length = TextLength(FDocument);
    const int from =
        FStarts.empty() ? FCounted : qMax(FCounted, FStarts.back() + int(FTerms.Text.size()));
    FindMatches(FDocument, FTerms, from, length, FStarts);
    FCounted = length;
    FComplete = true;
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
    // on past a match's edge), go; those after it move with the text.
    const auto first = std::lower_bound(FStarts.begin(), FStarts.end(), position - termLength);
    const auto last = std::lower_bound(first, FStarts.end(), end + 1);
    const bool erased = first != last;
    const auto after = FStarts.erase(first, last);
    for (auto it = after; it != FStarts.end(); ++it)
        *it += added - removed;
    if (!FComplete) {
        if (FCounted <= end) {
            // The count had not got past the edit: it goes on from before it.
            FCounted = qMin(FCounted, qMax(0, position - termLength));
            if (erased)
                Notify();
            return;
        }
        FCounted += added - removed;
    }
    const int before = Count();
    CountBetween(qMax(0, position - termLength), qMin(position + added + 1, CountedTo()));
    if (erased || Count() != before)
        Notify();
}

void TTextMatches::CountBetween(int from, int to)
{
    const int termLength = int(FTerms.Text.size());
    const auto at = std::lower_bound(FStarts.begin(), FStarts.end(), from);
    if (at != FStarts.begin())
        from = qMax(from, *(at - 1) + termLength);
    const int next = at == FStarts.end() ? INT_MAX : *at;
    std::vector<int> found;
    FindMatches(FDocument, FTerms, from, to, found);
    while (!found.empty() && found.back() > next - termLength)
        found.pop_back();
    FStarts.insert(at, found.begin(), found.end());
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
    const auto at = std::lower_bound(FStarts.begin(), FStarts.end(), position);
    if (at != FStarts.end()) {
        start = *at;
        return TAnswer::Found;
    }
    return FComplete ? TAnswer::None : TAnswer::NotYet;
}

TTextMatches::TAnswer TTextMatches::Previous(int position, int &start) const
{
    if (!FComplete && position > FCounted)
        return TAnswer::NotYet;
    const auto at = std::lower_bound(FStarts.begin(), FStarts.end(), position);
    if (at == FStarts.begin())
        return TAnswer::None;
    start = *(at - 1);
    return TAnswer::Found;
}

int TTextMatches::IndexOf(int start) const
{
    const auto at = std::lower_bound(FStarts.begin(), FStarts.end(), start);
    return at != FStarts.end() && *at == start ? int(at - FStarts.begin()) : -1;
}
