// The writer's prose that the document benchmarks type into and save.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

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

// A text with some of its lines changed, and how many lines a shortest
// comparison with the original removes and adds.
struct TEdited
{
    QString Text;
    int Removed = 0;
    int Added = 0;
};

// Changes one paragraph in fifty of MakeParagraphs' text, one line in a
// hundred (half the lines are the empty ones between paragraphs): seven in
// ten get a word replaced, one a word more, one is deleted, and one is
// followed by a new paragraph.
inline TEdited EditOnePercent(const QString &text)
{
    TProseRandom random{20240612u};
    const QStringList lines = text.split(u'\n');
    QStringList edited;
    edited.reserve(lines.size() + lines.size() / 100);
    TEdited result;
    for (const QString &line : lines) {
        if (line.isEmpty() || random.Next(50) != 0) {
            edited << line;
            continue;
        }
        QStringList words = line.split(u' ');
        const int at = int(random.Next(std::uint32_t(words.size())));
        switch (random.Next(10)) {
        case 7:
            words.insert(at, QStringLiteral("suddenly"));
            edited << words.join(u' ');
            ++result.Removed;
            ++result.Added;
            break;
        case 8:
            ++result.Removed;
            break;
        case 9:
            edited << line << QString::fromUtf8(MakeParagraph(random));
            ++result.Added;
            break;
        default:
            words[at] = QStringLiteral("umbrella");
            edited << words.join(u' ');
            ++result.Removed;
            ++result.Added;
            break;
        }
    }
    result.Text = edited.join(u'\n');
    return result;
}
