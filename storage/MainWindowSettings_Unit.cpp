#include "storage/MainWindowSettings_Unit.h"

#include "storage/ConfigurationFile_Unit.h"
#include "storage/ReservedFileGuard_Unit.h"

namespace {

// The value names of the stored settings.
namespace Key {
const QString Interval = QStringLiteral("Interval");
const QString SoundEnabled = QStringLiteral("SoundEnabled");
const QString AutoSaveEnabled = QStringLiteral("AutoSaveEnabled");
const QString TextFont = QStringLiteral("TextFont");
const QString SuggestionFont = QStringLiteral("SuggestionFont");
const QString PrimaryFile = QStringLiteral("PrimaryFile");
const QString BackupFile = QStringLiteral("BackupFile");
const QString NudgeEnabled = QStringLiteral("NudgeEnabled");
const QString AlwaysSuggest = QStringLiteral("AlwaysSuggest");
const QString UseTovrinSuggestions = QStringLiteral("UseTovrinSuggestions");
const QString UseUserSuggestionsFile = QStringLiteral("UseUserSuggestionsFile");
const QString RandomizeSuggestions = QStringLiteral("RandomizeSuggestions");
const QString UserSuggestionsFile = QStringLiteral("UserSuggestionsFile");
const QString SuggestionNumber = QStringLiteral("SuggestionNumber");
const QString Privacy = QStringLiteral("Privacy");
const QString LastSplash = QStringLiteral("FLastSplashScreen");
} // namespace Key

// Reads the named font over base; false, with what was read before the fault,
// when the text does not convert.
bool ReadFont(const TConfigurationFile &configuration, const QString &name, const TFont &base,
              std::optional<TFont> &font)
{
    if (!configuration.ValueExists(name))
        return true;
    font = base;
    try {
        TextToFont(configuration.ReadValue(name), *font);
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

} // namespace

void TMainWindowSettings::Read(const TConfigurationFile &configuration, const TFont &textFont,
                               const TFont &suggestionFont,
                               const std::function<void(const QString &)> &refuse)
{
    // An absent key keeps the default the record is declared with.
    const TMainWindowSettings defaults;
    const auto readBool = [&configuration](const QString &name, bool fallback) {
        return configuration.ValueExists(name) ? TextToBool(configuration.ReadValue(name))
                                               : fallback;
    };
    const auto readNumber = [&configuration](const QString &name) {
        bool ok = false;
        const int number = configuration.ReadValue(name).trimmed().toInt(&ok);
        return ok ? number : 0;
    };
    const auto readUsableFile = [&configuration, &refuse](const QString &name) {
        const QString fileName = configuration.ReadValue(name);
        return IsUsableFile(fileName, refuse) ? fileName : QString();
    };

    Interval = qMax(readNumber(Key::Interval), 0);
    if (Interval == 0)
        Interval = DefaultInterval;
    SoundEnabled = readBool(Key::SoundEnabled, defaults.SoundEnabled);
    AutoSaveEnabled = readBool(Key::AutoSaveEnabled, defaults.AutoSaveEnabled);
    KeysRead = int(TKey::TextFont) + 1;
    if (!ReadFont(configuration, Key::TextFont, textFont, TextFont))
        return;
    KeysRead = int(TKey::SuggestionFont) + 1;
    if (!ReadFont(configuration, Key::SuggestionFont, suggestionFont, SuggestionFont))
        return;
    PrimaryFile = readUsableFile(Key::PrimaryFile);
    BackupFile = readUsableFile(Key::BackupFile);
    NudgeEnabled = readBool(Key::NudgeEnabled, defaults.NudgeEnabled);
    AlwaysSuggest = readBool(Key::AlwaysSuggest, defaults.AlwaysSuggest);
    UseTovrinSuggestions = readBool(Key::UseTovrinSuggestions, defaults.UseTovrinSuggestions);
    UseUserSuggestionsFile = readBool(Key::UseUserSuggestionsFile, defaults.UseUserSuggestionsFile);
    RandomizeSuggestions = readBool(Key::RandomizeSuggestions, defaults.RandomizeSuggestions);
    UserSuggestionsFile = configuration.ReadValue(Key::UserSuggestionsFile);
    SuggestionNumber = readNumber(Key::SuggestionNumber);
    Privacy = readBool(Key::Privacy, defaults.Privacy);
    KeysRead = KeyCount;
}

bool ExchangeLastSplashStamp(TDateTime now, TDateTime &last)
{
    TConfigurationFile configuration;
    configuration.Load();
    const bool stamped = configuration.ValueExists(Key::LastSplash);
    if (stamped)
        last = TextToDateTime(configuration.ReadValue(Key::LastSplash));
    configuration.WriteValue(Key::LastSplash, DateTimeToText(now));
    configuration.Save();
    return stamped;
}

void TMainWindowSettings::Write(TConfigurationFile &configuration) const
{
    configuration.WriteValue(Key::Interval, QString::number(Interval));
    configuration.WriteValue(Key::SoundEnabled, BoolToText(SoundEnabled));
    configuration.WriteValue(Key::NudgeEnabled, BoolToText(NudgeEnabled));
    configuration.WriteValue(Key::AutoSaveEnabled, BoolToText(AutoSaveEnabled));
    configuration.WriteValue(Key::PrimaryFile, PrimaryFile);
    configuration.WriteValue(Key::BackupFile, BackupFile);
    if (TextFont)
        configuration.WriteValue(Key::TextFont, FontToText(*TextFont));
    if (SuggestionFont)
        configuration.WriteValue(Key::SuggestionFont, FontToText(*SuggestionFont));
    configuration.WriteValue(Key::AlwaysSuggest, BoolToText(AlwaysSuggest));
    configuration.WriteValue(Key::UseTovrinSuggestions, BoolToText(UseTovrinSuggestions));
    configuration.WriteValue(Key::UseUserSuggestionsFile, BoolToText(UseUserSuggestionsFile));
    configuration.WriteValue(Key::RandomizeSuggestions, BoolToText(RandomizeSuggestions));
    configuration.WriteValue(Key::UserSuggestionsFile, UserSuggestionsFile);
    configuration.WriteValue(Key::SuggestionNumber, QString::number(SuggestionNumber));
    configuration.WriteValue(Key::Privacy, BoolToText(Privacy));
}
