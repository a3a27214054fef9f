// Spelling: the words of a text as the checker sees them, and Enchant, the
// desktop's spelling library, which asks Hunspell, Aspell, Nuspell or Voikko
// as the system orders them and keeps one personal word list per language
// ($XDG_CONFIG_HOME/enchant/<language>.dic) that gedit and every other
// Enchant program share.
//
// Enchant rather than Hunspell directly, measured on this machine (Debian 12,
// en_US from hunspell-en-us and aspell-en, a process with GLib and the C++
// library already loaded, as Nudger is; three runs each):
//   Hunspell 1.7.1 alone       25-36 ms to a first check, +8.1 MiB resident
//   Enchant 2.3.3 -> Hunspell  25-42 ms,                 +9.3 MiB
//   Enchant 2.3.3 -> Aspell    2-6 ms,                   +4.8 MiB
//                              (Debian's ordering for en_*, when aspell-en
//                              is installed)
// The same dictionary through Enchant costs about 1 MiB and a few
// milliseconds more, on a worker thread after the window shows; for that it
// finds every provider's dictionaries, takes words in UTF-8 whatever the
// dictionary's own encoding (de_DE's is ISO 8859-1), and shares the writer's
// added words with the desktop's other editors.
//
// The library is loaded at run time, on the checker's worker, the first time
// Start is called: nothing of it is mapped before then.
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <memory>

// A word's place in a text: its first character and its length.
struct TWordSpan
{
    qsizetype Start = 0;
    qsizetype Length = 0;

    qsizetype End() const { return Start + Length; }
    bool operator==(const TWordSpan &other) const
    {
        return Start == other.Start && Length == other.Length;
    }
    bool operator!=(const TWordSpan &other) const { return !(*this == other); }
};

// The words of `text` a checker of `language` (a tag such as "en_US") looks
// at, in order. A word is a run of letters, marks and digits, joined across
// an apostrophe or a hyphen between two letters ("don't", "writer's",
// "well-known"); a word with a digit in it ("2nd", "A4"), a single letter, a
// web or e-mail address and a word in another script than the language's
// (a Cyrillic or Chinese word in English text) are left out.
QList<TWordSpan> CheckedWords(QStringView text, const QString &language);

// The installed dictionary that serves `wanted` (a tag or a locale name such
// as "en_US", "de-CH" or "pt_BR.UTF-8"): the same tag, else one of the same
// language (the language alone first); empty when none does.
QString MatchingDictionary(const QStringList &installed, const QString &wanted);

// The name a writer reads for a dictionary's tag: "English (United
// States)"; the tag itself when it names no language Qt knows.
QString LanguageName(const QString &tag);

// The Debian package that brings a dictionary for `language` (a tag or a
// locale name): "hunspell-en-us".
QString DictionaryPackage(const QString &language);

class TSpellChecker : public QObject
{
    Q_OBJECT

public:
    explicit TSpellChecker(QObject *parent = nullptr);
    // Waits for the worker.
    ~TSpellChecker() override;
    TSpellChecker(const TSpellChecker &) = delete;
    TSpellChecker &operator=(const TSpellChecker &) = delete;

    // On the worker: loads the library, lists the installed dictionaries
    // and, when `open`, opens the one that serves `language`. Changed
    // follows here once it is done.
    void Start(const QString &language, bool open);
    // On the worker: closes the open dictionary and opens the one that
    // serves `language`. Until it is open, Ready is false.
    void Open(const QString &language);

    // Start has been answered: Languages holds what is installed.
    bool Listed() const;
    // The installed dictionaries' tags, sorted; empty without the library.
    QStringList Languages() const;
    // The open dictionary's tag; empty while none is open.
    QString Language() const;
    // A dictionary is open and no job of the worker uses the library.
    bool Ready() const;

    // Only while Ready. A word the dictionary cannot judge counts as
    // correct.
    bool IsCorrect(QStringView word) const;
    // The misspelt words of `text` (a block of the writer's text): of a
    // hyphenated word the dictionary does not know, the misspelt parts.
    QList<TWordSpan> Misspellings(QStringView text) const;
    QStringList Suggestions(QStringView word, int most) const;
    // Into the personal word list of the open dictionary's language.
    void AddToDictionary(QStringView word);
    // Correct until the program ends.
    void IgnoreAll(QStringView word);

    // The library's name as QLibrary takes it ("enchant-2"); a test gives a
    // name that does not exist to see the program without it.
    static void SetLibraryForTesting(const QString &name);

Q_SIGNALS:
    // What Listed, Languages, Language or Ready tell has changed.
    void Changed();

private:
    struct TState;
    void Post(bool list, const QString &language, bool open);
    std::unique_ptr<TState> F;
};
