// The reversible scrambling that keeps Nudger's own data files (the
// configuration file and the built-in suggestions) unreadable to a casual
// reader. Texts are byte strings; positions in comments count from 1.
#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>

#include <stdexcept>

// Every failure of this unit: malformed scrambled text, or a parameter text
// that cannot be used.
class ETovrinDataError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The parameter texts Nudger passes for each of its files.
namespace TovrinKeys {
inline constexpr char Product[] = "Nudger";
inline constexpr char Version[] = "1.0";
inline constexpr char ConfigurationKey[] = "3F6A1C2E-7B4D-4E9A-9C15-0D8E2B7F4A61";
inline constexpr char SuggestionsKey[] = "A7D20E58-C93B-4F16-8E4A-51B9C6D03F2E";
} // namespace TovrinKeys

QByteArray ScrambleText(const QByteArray &product, const QByteArray &version, const QByteArray &key,
                        const QByteArray &plain);
// Throws ETovrinDataError on malformed input.
QByteArray UnscrambleText(const QByteArray &product, const QByteArray &version,
                          const QByteArray &key, const QByteArray &scrambled);

// Internal steps, exposed for the tests.
QByteArray ExtendText(const QByteArray &text);
QByteArray MixKeyMaterial(const QByteArray &product, const QByteArray &version,
                          const QByteArray &key);
QByteArray TextToHex(const QByteArray &text);
QByteArray HexToText(const QByteArray &hex);
void SwapCharacters(QByteArray &text, qsizetype i, qsizetype j);
void PermuteText(QByteArray &text, const QByteArray &keyMaterial, bool forward);
QByteArray InsertLineBreaks(const QByteArray &text);
QByteArray RemoveLineBreaks(const QByteArray &text);

// The line rule of the suggestion files and of the scrambled files (the
// writer's text files keep a lone CR): a line ends at CR LF, a lone CR or a
// lone LF; a break at the very end adds no empty line; a NUL byte ends the
// text.
QByteArrayList SplitLines(const QByteArray &text);
// The same rule without copying: calls take(QByteArrayView) for each line,
// each a view into text.
template <typename Take> void ForEachLine(QByteArrayView text, Take take)
{
    qsizetype end = text.indexOf('\0');
    if (end < 0)
        end = text.size();
    const char *data = text.constData();
    qsizetype start = 0;
    for (qsizetype i = 0; i < end; ++i) {
        const char c = data[i];
        if (c != '\r' && c != '\n')
            continue;
        take(QByteArrayView(data + start, i - start));
        if (c == '\r' && i + 1 < end && data[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < end)
        take(QByteArrayView(data + start, end - start));
}
// Each line followed by CR LF, the last one too.
QByteArray JoinLines(const QByteArrayList &lines);
