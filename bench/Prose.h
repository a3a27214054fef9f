// The writer's prose that the document benchmarks type into and save.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// Words with some accented letters, dashes and curly quotes, so that the
// UTF-8 form has multi-byte sequences throughout.
inline constexpr const char *ProseWords[] = {
    "the",    "writer",  "sat",     "by",      "window",  "and",     "watched", "rain",
    "fall",   "on",      "café",    "roof",    "while",   "her",     "naïve",   "hero",
    "waited", "for",     "a",       "letter",  "from",    "Zürich",  "that",    "never",
    "came",   "—",       "“quiet”", "evening", "brought", "nothing", "but",     "crème",
    "brûlée", "of",      "memory",  "Straße",  "façade",  "old",     "piano",   "in",
    "corner", "played",  "softly",  "señor",   "smiled",  "again",   "déjà",    "vu",
    "slowly", "turning", "pages",   "into",    "stories", "nobody",  "read",    "yet"};
inline constexpr int ProseWordCount = int(sizeof(ProseWords) / sizeof(ProseWords[0]));

// The same numbers on every machine: a plain linear congruential generator.
struct TProseRandom
{
    std::uint32_t State;

    // 0 to range - 1.
    std::uint32_t Next(std::uint32_t range)
    {
        State = State * 1664525u + 1013904223u;
        return static_cast<std::uint32_t>((static_cast<std::uint64_t>(State) * range) >> 32);
    }
};

// Prose of about 70 characters a line, lines joined by '\n', with an empty
// line after every twelfth; the text holds about `bytes` bytes of UTF-8.
inline QString MakeProse(qsizetype bytes)
{
    TProseRandom random{20240501u};
    QByteArray utf8;
    utf8.reserve(bytes + 200);
    int lineNumber = 0;
    while (utf8.size() < bytes) {
        QByteArray line;
        while (line.size() < 64) {
            if (!line.isEmpty())
                line += ' ';
            line += ProseWords[random.Next(ProseWordCount)];
        }
        line += '.';
        if (!utf8.isEmpty())
            utf8 += '\n';
        utf8 += line;
        if (++lineNumber % 12 == 0)
            utf8 += '\n'; // an empty line between paragraphs
    }
    return QString::fromUtf8(utf8);
}

// One paragraph of 40 to 120 words, with a comma now and then.
inline QByteArray MakeParagraph(TProseRandom &random)
{
    const int words = 40 + int(random.Next(81));
    QByteArray paragraph;
    for (int i = 0; i < words; ++i) {
        if (i > 0)
            paragraph += random.Next(12) == 0 ? ", " : " ";
        paragraph += ProseWords[random.Next(ProseWordCount)];
    }
    paragraph += '.';
    return paragraph;
}

// Prose as a word-wrapping editor holds it: each paragraph one line, an empty
// line between paragraphs; about `bytes` bytes of UTF-8, the same for the
// same seed.
inline QString MakeParagraphs(qsizetype bytes, std::uint32_t seed = 20240501u)
{
    TProseRandom random{seed};
    QByteArray utf8;
    utf8.reserve(bytes + 1000);
    while (utf8.size() < bytes) {
        if (!utf8.isEmpty())
            utf8 += "\n\n";
        utf8 += MakeParagraph(random);
    }
    return QString::fromUtf8(utf8);
}
