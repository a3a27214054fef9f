// The writer's prose that the document benchmarks type into and save.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// Prose of about 70 characters a line with some accented letters, dashes and
// curly quotes, so that the UTF-8 form has multi-byte sequences throughout.
// Lines are joined by '\n'; the text holds about `bytes` bytes of UTF-8.
inline QString MakeProse(qsizetype bytes)
{
    static const char *const words[] = {
        "the",    "writer",  "sat",     "by",      "window",  "and",     "watched", "rain",
        "fall",   "on",      "café",    "roof",    "while",   "her",     "naïve",   "hero",
        "waited", "for",     "a",       "letter",  "from",    "Zürich",  "that",    "never",
        "came",   "—",       "“quiet”", "evening", "brought", "nothing", "but",     "crème",
        "brûlée", "of",      "memory",  "Straße",  "façade",  "old",     "piano",   "in",
        "corner", "played",  "softly",  "señor",   "smiled",  "again",   "déjà",    "vu",
        "slowly", "turning", "pages",   "into",    "stories", "nobody",  "read",    "yet"};
    constexpr int wordCount = int(sizeof(words) / sizeof(words[0]));
    std::uint32_t state = 20240501u;
    const auto next = [&state](std::uint32_t range) {
        state = state * 1664525u + 1013904223u;
        return static_cast<std::uint32_t>((static_cast<std::uint64_t>(state) * range) >> 32);
    };

    QByteArray utf8;
    utf8.reserve(bytes + 200);
    int lineNumber = 0;
    while (utf8.size() < bytes) {
        QByteArray line;
        while (line.size() < 64) {
            if (!line.isEmpty())
                line += ' ';
            line += words[next(wordCount)];
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
