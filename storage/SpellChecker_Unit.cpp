#include "storage/SpellChecker_Unit.h"

#include "storage/Worker_Unit.h"

#include <QLibrary>
#include <QLocale>

#include <enchant.h>

#include <algorithm>
#include <utility>

namespace {

// ---------------------------------------------------------------------------
// Words

// The code point at `at` and how many UTF-16 units it takes.
std::pair<char32_t, qsizetype> CodePointAt(QStringView text, qsizetype at)
{
    const QChar unit = text[at];
    if (unit.isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate())
        return {QChar::surrogateToUcs4(unit, text[at + 1]), 2};
    return {unit.unicode(), 1};
}

bool IsWordCharacter(char32_t c)
{
    return QChar::isLetterOrNumber(c) || QChar::isMark(c);
}

// Apostrophes ("don't", "don’t", the modifier letter) and hyphens, which
// join two letters into one word.
bool IsJoiner(char32_t c)
{
    return c == U'\'' || c == U'\u2019' || c == U'\u02BC' || c == U'-' || c == U'\u2010' ||
           c == U'\u2011';
}

bool IsHyphen(QChar c)
{
    return c == QLatin1Char('-') || c == QChar(0x2010) || c == QChar(0x2011);
}

// The script a language is written in; Script_Unknown where it is not known
// here (then a word of any script is checked).
QChar::Script LanguageScript(const QString &language)
{
    static const std::pair<QLocale::Script, QChar::Script> scripts[] = {
        {QLocale::LatinScript, QChar::Script_Latin},
        {QLocale::CyrillicScript, QChar::Script_Cyrillic},
        {QLocale::GreekScript, QChar::Script_Greek},
        {QLocale::ArabicScript, QChar::Script_Arabic},
        {QLocale::HebrewScript, QChar::Script_Hebrew},
        {QLocale::ArmenianScript, QChar::Script_Armenian},
        {QLocale::GeorgianScript, QChar::Script_Georgian},
        {QLocale::DevanagariScript, QChar::Script_Devanagari},
        {QLocale::BengaliScript, QChar::Script_Bengali},
        {QLocale::GujaratiScript, QChar::Script_Gujarati},
        {QLocale::GurmukhiScript, QChar::Script_Gurmukhi},
        {QLocale::TamilScript, QChar::Script_Tamil},
        {QLocale::TeluguScript, QChar::Script_Telugu},
        {QLocale::KannadaScript, QChar::Script_Kannada},
        {QLocale::MalayalamScript, QChar::Script_Malayalam},
        {QLocale::SinhalaScript, QChar::Script_Sinhala},
        {QLocale::ThaiScript, QChar::Script_Thai},
        {QLocale::LaoScript, QChar::Script_Lao},
        {QLocale::TibetanScript, QChar::Script_Tibetan},
        {QLocale::KoreanScript, QChar::Script_Hangul},
        {QLocale::EthiopicScript, QChar::Script_Ethiopic},
    };
    const QLocale locale(language);
    if (locale.language() == QLocale::C)
        return QChar::Script_Unknown;
    for (const auto &[localeScript, charScript] : scripts) {
        if (locale.script() == localeScript)
            return charScript;
    }
    return QChar::Script_Unknown;
}

// A web or e-mail address, whose parts are no words.
bool IsAddress(QStringView chunk)
{
    if (chunk.contains(u"://") || chunk.startsWith(u"www.", Qt::CaseInsensitive) ||
        chunk.startsWith(u"mailto:", Qt::CaseInsensitive))
        return true;
    const qsizetype at = chunk.indexOf(QLatin1Char('@'));
    return at > 0 && chunk.indexOf(QLatin1Char('.'), at) > at + 1;
}

// The words of text[from, to), a run without spaces, appended to words.
void AddWords(QStringView text, qsizetype from, qsizetype to, QChar::Script script,
              QList<TWordSpan> &words)
{
    qsizetype at = from;
    while (at < to) {
        if (!IsWordCharacter(CodePointAt(text, at).first)) {
            at += CodePointAt(text, at).second;
            continue;
        }
        const qsizetype start = at;
        int letters = 0;
        bool skipped = false;
        char32_t previous = 0;
        while (at < to) {
            const auto [c, width] = CodePointAt(text, at);
            if (IsWordCharacter(c)) {
                if (QChar::isLetter(c)) {
                    ++letters;
                    const QChar::Script own = QChar::script(c);
                    skipped =
                        skipped || (script != QChar::Script_Unknown && own != script &&
                                    own != QChar::Script_Common && own != QChar::Script_Inherited);
                }
                skipped = skipped || QChar::isNumber(c);
                previous = c;
                at += width;
                continue;
            }
            if (IsJoiner(c) && QChar::isLetter(previous) && at + width < to &&
                QChar::isLetter(CodePointAt(text, at + width).first)) {
                previous = c;
                at += width;
                continue;
            }
            break;
        }
        if (!skipped && letters > 1)
            words.append({start, at - start});
    }
}

QList<TWordSpan> WordsOf(QStringView text, QChar::Script script)
{
    QList<TWordSpan> words;
    qsizetype at = 0;
    while (at < text.size()) {
        while (at < text.size() && text[at].isSpace())
            ++at;
        const qsizetype from = at;
        while (at < text.size() && !text[at].isSpace())
            ++at;
        if (at > from && !IsAddress(text.mid(from, at - from)))
            AddWords(text, from, at, script, words);
    }
    return words;
}

QString NormalisedTag(const QString &wanted)
{
    QString tag = wanted.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0);
    tag.replace(QLatin1Char('-'), QLatin1Char('_'));
    if (tag == QLatin1String("C") || tag == QLatin1String("POSIX"))
        return QString();
    return tag;
}

// ---------------------------------------------------------------------------
// Enchant, loaded when the checker starts. Linking it would map it, GLib's
// module loader and its providers at every start, checking on or off.

#define NUDGER_ENCHANT_FUNCTIONS(F)                                                                \
    F(enchant_broker_init)                                                                         \
    F(enchant_broker_free)                                                                         \
    F(enchant_broker_request_dict)                                                                 \
    F(enchant_broker_free_dict)                                                                    \
    F(enchant_broker_list_dicts)                                                                   \
    F(enchant_dict_check)                                                                          \
    F(enchant_dict_suggest)                                                                        \
    F(enchant_dict_free_string_list)                                                               \
    F(enchant_dict_add)                                                                            \
    F(enchant_dict_add_to_session)

QString LibraryName = QStringLiteral("enchant-2");

struct TEnchantLibrary
{
#define NUDGER_ENCHANT_POINTER(name) decltype(&::name) name = nullptr;
    NUDGER_ENCHANT_FUNCTIONS(NUDGER_ENCHANT_POINTER)
#undef NUDGER_ENCHANT_POINTER

    // True once every function is there; the library stays loaded.
    bool Load()
    {
        QLibrary library(LibraryName, 2);
        if (!library.load())
            return false;
#define NUDGER_ENCHANT_RESOLVE(name)                                                               \
    name = reinterpret_cast<decltype(name)>(library.resolve(#name));                               \
    if (!name)                                                                                     \
        return false;
        NUDGER_ENCHANT_FUNCTIONS(NUDGER_ENCHANT_RESOLVE)
#undef NUDGER_ENCHANT_RESOLVE
        return true;
    }
};

void AddTag(const char *const tag, const char *const, const char *const, const char *const,
            void *tags)
{
    const QString each = QString::fromUtf8(tag);
    auto *list = static_cast<QStringList *>(tags);
    if (!list->contains(each))
        list->append(each);
}

// The dictionary's form of a word: a typographic apostrophe is the
// typewriter's there.
QByteArray DictionaryForm(QStringView word)
{
    QString plain = word.toString();
    plain.replace(QChar(0x2019), QLatin1Char('\'')).replace(QChar(0x02BC), QLatin1Char('\''));
    return plain.toUtf8();
}

} // namespace

// ---------------------------------------------------------------------------

QList<TWordSpan> CheckedWords(QStringView text, const QString &language)
{
    return WordsOf(text, LanguageScript(language));
}

QString MatchingDictionary(const QStringList &installed, const QString &wanted)
{
    const QString tag = NormalisedTag(wanted);
    if (tag.isEmpty())
        return QString();
    if (installed.contains(tag))
        return tag;
    const QString language = tag.section(QLatin1Char('_'), 0, 0);
    if (installed.contains(language))
        return language;
    for (const QString &each : installed) {
        if (each.section(QLatin1Char('_'), 0, 0) == language)
            return each;
    }
    return QString();
}

QString LanguageName(const QString &tag)
{
    const QLocale locale(tag);
    if (locale.language() == QLocale::C)
        return tag;
    QString name = QLocale::languageToString(locale.language());
    if (tag.contains(QLatin1Char('_')) && locale.territory() != QLocale::AnyTerritory)
        name += QStringLiteral(" (%1)").arg(QLocale::territoryToString(locale.territory()));
    return name;
}

QString DictionaryPackage(const QString &language)
{
    // Debian has one package per country for these languages, one per
    // language for the others.
    static const std::pair<const char *, const char *> byCountry[] = {
        {"en", "us"}, {"de", "de"}, {"pt", "pt"}};
    QString tag = NormalisedTag(language).toLower();
    if (tag.isEmpty())
        tag = QStringLiteral("en_us");
    const QString code = tag.section(QLatin1Char('_'), 0, 0);
    QString country = tag.section(QLatin1Char('_'), 1, 1);
    for (const auto &[each, usual] : byCountry) {
        if (code == QLatin1String(each)) {
            if (country.isEmpty())
                country = QLatin1String(usual);
            return QStringLiteral("hunspell-%1-%2").arg(code, country);
        }
    }
    return QStringLiteral("hunspell-") + code;
}

// ---------------------------------------------------------------------------
// The checker. The worker loads, lists, opens and closes; this thread
// checks with the open dictionary only while no job of the worker runs.

struct TSpellChecker::TState
{
    TEnchantLibrary Library;
    // The worker's: touched by its jobs, and here once it has ended.
    bool Tried = false;
    EnchantBroker *Broker = nullptr;
    EnchantDict *WorkerDict = nullptr;
    QStringList Installed;
    // This thread's, from the jobs' answers.
    int Jobs = 0;
    bool Listed = false;
    QStringList Languages;
    EnchantDict *Dict = nullptr;
    QString Language;
    QChar::Script Script = QChar::Script_Unknown;
    // Last, so that it is gone, its jobs done, before the rest.
    TWorker Worker;
};

TSpellChecker::TSpellChecker(QObject *parent) : QObject(parent), F(std::make_unique<TState>()) {}

TSpellChecker::~TSpellChecker()
{
    F->Worker.WaitForDone();
    if (F->WorkerDict)
        F->Library.enchant_broker_free_dict(F->Broker, F->WorkerDict);
    if (F->Broker)
        F->Library.enchant_broker_free(F->Broker);
}

void TSpellChecker::SetLibraryForTesting(const QString &name)
{
    LibraryName = name;
}

void TSpellChecker::Start(const QString &language, bool open)
{
    Post(true, language, open);
}

void TSpellChecker::Open(const QString &language)
{
    Post(false, language, true);
}

void TSpellChecker::Post(bool list, const QString &language, bool open)
{
    TState *state = F.get();
    ++state->Jobs;
    state->Dict = nullptr;
    state->Language.clear();
    Q_EMIT Changed();
    state->Worker.Post([this, state, list, language, open] {
        TEnchantLibrary &enchant = state->Library;
        if (!state->Tried) {
            state->Tried = true;
            if (enchant.Load())
                state->Broker = enchant.enchant_broker_init();
        }
        QString tag;
        if (state->Broker) {
            if (state->WorkerDict)
                enchant.enchant_broker_free_dict(state->Broker, state->WorkerDict);
            state->WorkerDict = nullptr;
            if (list) {
                state->Installed.clear();
                enchant.enchant_broker_list_dicts(state->Broker, &AddTag, &state->Installed);
                std::sort(state->Installed.begin(), state->Installed.end());
            }
            if (open)
                tag = MatchingDictionary(state->Installed, language);
            if (!tag.isEmpty())
                state->WorkerDict =
                    enchant.enchant_broker_request_dict(state->Broker, tag.toUtf8().constData());
            if (!state->WorkerDict)
                tag.clear();
        }
        QMetaObject::invokeMethod(
            this,
            [state, installed = state->Installed, dict = state->WorkerDict, tag, this] {
                --state->Jobs;
                state->Listed = true;
                state->Languages = installed;
                state->Dict = dict;
                state->Language = tag;
                state->Script = LanguageScript(tag);
                Q_EMIT Changed();
            },
            Qt::QueuedConnection);
    });
}

bool TSpellChecker::Listed() const
{
    return F->Listed;
}

QStringList TSpellChecker::Languages() const
{
    return F->Languages;
}

QString TSpellChecker::Language() const
{
    return F->Dict ? F->Language : QString();
}

bool TSpellChecker::Ready() const
{
    return F->Dict && F->Jobs == 0;
}

bool TSpellChecker::IsCorrect(QStringView word) const
{
    if (!Ready())
        return true;
    const QByteArray form = DictionaryForm(word);
    return F->Library.enchant_dict_check(F->Dict, form.constData(), form.size()) <= 0;
}

QList<TWordSpan> TSpellChecker::Misspellings(QStringView text) const
{
    QList<TWordSpan> wrong;
    if (!Ready())
        return wrong;
    for (const TWordSpan &word : WordsOf(text, F->Script)) {
        const QStringView whole = text.mid(word.Start, word.Length);
        if (IsCorrect(whole))
            continue;
        // A compound the dictionary does not list is right when its parts are.
        qsizetype part = word.Start;
        const auto hyphen = std::find_if(whole.begin(), whole.end(), IsHyphen);
        if (hyphen == whole.end()) {
            wrong.append(word);
            continue;
        }
        for (qsizetype at = word.Start; at <= word.End(); ++at) {
            if (at < word.End() && !IsHyphen(text[at]))
                continue;
            if (at - part > 1 && !IsCorrect(text.mid(part, at - part)))
                wrong.append({part, at - part});
            part = at + 1;
        }
    }
    return wrong;
}

QStringList TSpellChecker::Suggestions(QStringView word, int most) const
{
    QStringList suggestions;
    if (!Ready())
        return suggestions;
    const QByteArray form = DictionaryForm(word);
    size_t count = 0;
    char **list = F->Library.enchant_dict_suggest(F->Dict, form.constData(), form.size(), &count);
    const bool typographic = word.contains(QChar(0x2019));
    for (size_t i = 0; i < count && suggestions.size() < most; ++i) {
        QString each = QString::fromUtf8(list[i]);
        if (typographic)
            each.replace(QLatin1Char('\''), QChar(0x2019));
        if (!suggestions.contains(each))
            suggestions.append(each);
    }
    if (list)
        F->Library.enchant_dict_free_string_list(F->Dict, list);
    return suggestions;
}

void TSpellChecker::AddToDictionary(QStringView word)
{
    if (!Ready())
        return;
    const QByteArray form = DictionaryForm(word);
    F->Library.enchant_dict_add(F->Dict, form.constData(), form.size());
}

void TSpellChecker::IgnoreAll(QStringView word)
{
    if (!Ready())
        return;
    const QByteArray form = DictionaryForm(word);
    F->Library.enchant_dict_add_to_session(F->Dict, form.constData(), form.size());
}
