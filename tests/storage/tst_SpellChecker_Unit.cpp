// The spelling checker: which words of a text it looks at, which it finds
// misspelled with Debian's en_US dictionary, the dictionary it takes for a
// language, the writer's added words kept for the next start, and a
// program without the library. The dictionary's tests skip where
// hunspell-en-us (or aspell-en) is not installed.

#include "storage/SpellChecker_Unit.h"
#include "support/PrivateData.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

QStringList WordsOf(const QString &text, const QList<TWordSpan> &spans)
{
    QStringList words;
    for (const TWordSpan &span : spans)
        words.append(text.mid(span.Start, span.Length));
    return words;
}

// A checker once its worker has answered.
std::unique_ptr<TSpellChecker> StartedChecker(const QString &language)
{
    auto checker = std::make_unique<TSpellChecker>();
    checker->Start(language, true);
    if (!QTest::qWaitFor([&] { return checker->Listed(); }, 10000))
        return nullptr;
    return checker;
}

} // namespace

class tst_SpellChecker_Unit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(FDir.isValid(), qPrintable(FDir.errorString()));
        // Enchant's personal word lists lie in the configuration folder, and
        // Aspell, one of its providers, keeps its own in the home folder.
        UsePrivateDataFolder(FDir.path());
        qputenv("HOME", QFile::encodeName(FDir.path()));
        FChecker = StartedChecker(QStringLiteral("en_US"));
        QVERIFY(FChecker);
    }

    void checkedWords_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("words");
        const QString en = QStringLiteral("en_US");
        QTest::newRow("apostrophes") << en << QStringLiteral("don't touch the writer's desk")
                                     << QStringList{"don't", "touch", "the", "writer's", "desk"};
        QTest::newRow("typographic apostrophe and quotes")
            << en << QStringLiteral("‘don’t’ 'go' writers'")
            << QStringList{"don’t", "go", "writers"};
        QTest::newRow("hyphenated") << en << QStringLiteral("a well-known, self-made -- man-")
                                    << QStringList{"well-known", "self-made", "man"};
        QTest::newRow("numbers") << en << QStringLiteral("the 2nd of 10 A4 pages, 1990s")
                                 << QStringList{"the", "of", "pages"};
        QTest::newRow("addresses")
            << en
            << QStringLiteral("see https://exmaple.org/pge, www.exmaple.com or "
                              "me@exmaple.org now")
            << QStringList{"see", "or", "now"};
        QTest::newRow("other scripts in English")
            << en << QStringLiteral("the Москва café 東京の夜 Ἀθῆναι")
            << QStringList{"the", "café"};
        QTest::newRow("Cyrillic in Russian")
            << QStringLiteral("ru_RU") << QStringLiteral("Москва и London")
            << QStringList{"Москва"};
        QTest::newRow("word at the end of the block")
            << en << QStringLiteral("ends here") << QStringList{"ends", "here"};
        QTest::newRow("punctuation and dashes") << en << QStringLiteral("Yes—no… (maybe)! “quiet”")
                                                << QStringList{"Yes", "no", "maybe", "quiet"};
        QTest::newRow("combining marks and astral letters")
            << en << QStringLiteral("cafe\u0301 \U0001D400\U0001D401")
            << QStringList{"cafe\u0301", "\U0001D400\U0001D401"};
    }

    void checkedWords()
    {
        QFETCH(QString, language);
        QFETCH(QString, text);
        QFETCH(QStringList, words);
        QCOMPARE(WordsOf(text, CheckedWords(text, language)), words);
    }

    void misspellings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("wrong");
        QTest::newRow("apostrophes")
            << QStringLiteral("don't touch the writer's desk") << QStringList{};
        QTest::newRow("typographic apostrophe") << QStringLiteral("don’t") << QStringList{};
        QTest::newRow("hyphenated: a wrong part alone")
            << QStringLiteral("a well-known, well-knwon fact") << QStringList{"knwon"};
        QTest::newRow("word at the end of the block")
            << QStringLiteral("the fox quikc") << QStringList{"quikc"};
        QTest::newRow("two in a line")
            << QStringLiteral("teh quick fox jumpd") << QStringList{"teh", "jumpd"};
    }

    void misspellings()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, wrong);
        SkipWithoutDictionary();
        QCOMPARE(WordsOf(text, FChecker->Misspellings(text)), wrong);
    }

    void suggestions()
    {
        SkipWithoutDictionary();
        const QStringList suggestions = FChecker->Suggestions(u"quikc", 6);
        QVERIFY(!suggestions.isEmpty() && suggestions.size() <= 6);
        QCOMPARE(suggestions.first(), QStringLiteral("quick"));
        // The writer's typographic apostrophe stays in what replaces a word.
        for (const QString &each : FChecker->Suggestions(u"dont’", 6))
            QVERIFY2(!each.contains(QLatin1Char('\'')), qPrintable(each));
    }

    void addedWordsLastIgnoredOnesDoNot()
    {
        SkipWithoutDictionary();
        QVERIFY(!FChecker->IsCorrect(u"zorblat"));
        QVERIFY(!FChecker->IsCorrect(u"frumious"));
        FChecker->AddToDictionary(u"zorblat");
        FChecker->IgnoreAll(u"frumious");
        QVERIFY(FChecker->IsCorrect(u"zorblat"));
        QVERIFY(FChecker->IsCorrect(u"frumious"));
        // Where gedit and the other Enchant programs find it too.
        QFile list(
            FDir.filePath(QStringLiteral(".config/enchant/%1.dic")).arg(FChecker->Language()));
        QVERIFY2(list.open(QIODevice::ReadOnly), qPrintable(list.fileName()));
        QVERIFY(list.readAll().split('\n').contains("zorblat"));

        const std::unique_ptr<TSpellChecker> next = StartedChecker(QStringLiteral("en_US"));
        QVERIFY(next && next->Ready());
        QVERIFY(next->IsCorrect(u"zorblat"));
        QVERIFY(!next->IsCorrect(u"frumious"));
    }

    void matchingDictionary_data()
    {
        QTest::addColumn<QString>("wanted");
        QTest::addColumn<QString>("match");
        QTest::newRow("the same") << "en_US"
                                  << "en_US";
        QTest::newRow("a locale name") << "en_US.UTF-8"
                                       << "en_US";
        QTest::newRow("a hyphenated tag") << "de-DE"
                                          << "de_DE";
        QTest::newRow("the language alone first") << "en_AU"
                                                  << "en";
        QTest::newRow("another country") << "de_AT"
                                         << "de_DE";
        QTest::newRow("none for the language") << "fr_FR"
                                               << "";
        QTest::newRow("no language") << "C"
                                     << "";
    }

    void matchingDictionary()
    {
        QFETCH(QString, wanted);
        QFETCH(QString, match);
        const QStringList installed{"de_DE", "en", "en_GB", "en_US"};
        QCOMPARE(MatchingDictionary(installed, wanted), match);
    }

    void withoutTheLibrary()
    {
        TSpellChecker::SetLibraryForTesting(QStringLiteral("nudger-no-such-library"));
        const std::unique_ptr<TSpellChecker> checker = StartedChecker(QStringLiteral("en_US"));
        TSpellChecker::SetLibraryForTesting(QStringLiteral("enchant-2"));
        QVERIFY(checker);
        QVERIFY(checker->Languages().isEmpty());
        QVERIFY(!checker->Ready());
        QVERIFY(checker->Misspellings(u"teh quikc fox").isEmpty());
        QCOMPARE(DictionaryPackage(QStringLiteral("en_US.UTF-8")),
                 QStringLiteral("hunspell-en-us"));
        QCOMPARE(DictionaryPackage(QStringLiteral("de")), QStringLiteral("hunspell-de-de"));
        QCOMPARE(DictionaryPackage(QStringLiteral("fr_FR")), QStringLiteral("hunspell-fr"));
    }

private:
    void SkipWithoutDictionary()
    {
        if (!FChecker->Ready())
            QSKIP("no en_US dictionary installed (apt-get install hunspell-en-us)");
    }

    QTemporaryDir FDir;
    std::unique_ptr<TSpellChecker> FChecker;
};

QTEST_GUILESS_MAIN(tst_SpellChecker_Unit)

#include "tst_SpellChecker_Unit.moc"
