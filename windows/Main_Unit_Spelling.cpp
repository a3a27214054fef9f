// TMain_Form, continued: spelling, as the window wires the checker and the
// marks to its menus and the writer's own settings. Nothing of it runs
// before the window's first picture.

#include "windows/Main_Unit.h"

#include "storage/SpellChecker_Unit.h"
#include "storage/WriterSettings_Unit.h"
#include "windows/MainMessages_Unit.h"
#include "windows/SpellMarks_Unit.h"
#include "windows/TextLayout_Unit.h"

#include <QActionGroup>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>
#include <QToolTip>

namespace {

const QString SpellingEnabledKey = QStringLiteral("Spelling/Enabled");
const QString SpellingLanguageKey = QStringLiteral("Spelling/Language");

} // namespace

void TMain_Form::StartSpelling()
{
    if (FSpellChecker)
        return;
    const TWriterSettings settings;
    FSpellLanguage = settings.Value(SpellingLanguageKey);
    FSpellChosen = !settings.Value(SpellingEnabledKey).isEmpty();
    FSpellEnabled = settings.BoolValue(SpellingEnabledKey, true);
    FSpellChecker = std::make_unique<TSpellChecker>();
    // The controls make the writer's editor one that lets the marks draw.
    FSpellMarks =
        std::make_unique<TSpellMarks>(static_cast<TTextEditor *>(Text_Memo), FSpellChecker.get());
    FSpellMarks->SetHidden(Privacy());
    connect(FSpellChecker.get(), &TSpellChecker::Changed, this, &TMain_Form::SpellingChanged);
    // A tooltip: the writer may be typing, and it takes no key.
    connect(FSpellMarks.get(), &TSpellMarks::NothingFound, this, [this] {
        const QPoint where =
            Text_Memo->viewport()->mapToGlobal(Text_Memo->cursorRect().bottomLeft());
        QToolTip::showText(
            where, FSpellChecker->Ready() ? Message::NoMisspelling : Message::DictionaryLoading,
            Text_Memo);
    });
    FSpellOpened = FSpellEnabled;
    FSpellChecker->Start(WantedLanguage(), FSpellEnabled);
}

QString TMain_Form::WantedLanguage() const
{
    // The default locale is the system's: the program never sets another.
    return FSpellLanguage.isEmpty() ? QLocale().name() : FSpellLanguage;
}

void TMain_Form::SpellingChanged()
{
    if (!FSpellChecker->Listed())
        return;
    // Unless the writer chose, checking is on where the locale's language
    // has a dictionary: the first answer opened it, or found none.
    if (!FSpellChosen) {
        FSpellChosen = true;
        FSpellEnabled = !FSpellChecker->Language().isEmpty();
    }
    const bool installed = !FSpellChecker->Languages().isEmpty();
    CheckSpelling_MenuItem->setEnabled(installed);
    CheckSpelling_MenuItem->setChecked(installed && FSpellEnabled);
    CheckSpelling_MenuItem->setToolTip(
        installed ? QString() : Message::NoDictionary.arg(DictionaryPackage(WantedLanguage())));
    NextMisspelling_MenuItem->setEnabled(installed && FSpellEnabled);
    FillLanguageMenu();
    FSpellMarks->SetEnabled(FSpellEnabled);
}

void TMain_Form::FillLanguageMenu()
{
    const QStringList languages = FSpellChecker->Languages();
    const QString open = FSpellChecker->Language();
    if (languages != FSpellLanguages) {
        FSpellLanguages = languages;
        SpellingLanguage_MenuItem->clear();
        auto *group = new QActionGroup(SpellingLanguage_MenuItem);
        for (const QString &language : languages) {
            QAction *item = SpellingLanguage_MenuItem->addAction(LanguageName(language));
            item->setData(language);
            item->setCheckable(true);
            group->addAction(item);
            connect(item, &QAction::triggered, this,
                    [this, language] { SetSpellingLanguage(language); });
        }
    }
    SpellingLanguage_MenuItem->setEnabled(!languages.isEmpty());
    const QString chosen = open.isEmpty() ? MatchingDictionary(languages, WantedLanguage()) : open;
    for (QAction *item : SpellingLanguage_MenuItem->actions())
        item->setChecked(item->data().toString() == chosen);
}

void TMain_Form::SetCheckSpelling(bool check)
{
    FSpellEnabled = check;
    FSpellChosen = true;
    if (!FSpellChecker)
        return;
    const bool installed = !FSpellChecker->Languages().isEmpty();
    CheckSpelling_MenuItem->setChecked(installed && check);
    NextMisspelling_MenuItem->setEnabled(installed && check);
    if (check && !FSpellOpened) {
        FSpellOpened = true;
        FSpellChecker->Open(WantedLanguage());
    }
    FSpellMarks->SetEnabled(check);
}

void TMain_Form::SetSpellingLanguage(const QString &language)
{
    FSpellLanguage = language;
    TWriterSettings settings;
    settings.SetValue(SpellingLanguageKey, language);
    settings.SetBoolValue(SpellingEnabledKey, true);
    FSpellOpened = true;
    FSpellChecker->Open(language);
    SetCheckSpelling(true);
}

void TMain_Form::CheckSpelling_MenuItemClick()
{
    SetCheckSpelling(!CheckSpelling());
    TWriterSettings().SetBoolValue(SpellingEnabledKey, CheckSpelling());
}

void TMain_Form::NextMisspelling_MenuItemClick()
{
    if (FSpellMarks && FSpellEnabled)
        FSpellMarks->FindNext();
}
