// The main window's fifteen stored settings, as one record read from and
// written to a TConfigurationFile.
#pragma once

#include "storage/Conversions_Unit.h"

#include <QString>

#include <functional>
#include <optional>

class TConfigurationFile;

struct TMainWindowSettings
{
    // The keys in the order they are read, which is also the order in which
    // the window applies them.
    enum class TKey
    {
        Interval,
        SoundEnabled,
        AutoSaveEnabled,
        TextFont,
        SuggestionFont,
        PrimaryFile,
        BackupFile,
        NudgeEnabled,
        AlwaysSuggest,
        UseTovrinSuggestions,
        UseUserSuggestionsFile,
        RandomizeSuggestions,
        UserSuggestionsFile,
        SuggestionNumber,
        Privacy
    };
    static constexpr int KeyCount = int(TKey::Privacy) + 1;

    // The nudge interval when none is stored, in milliseconds.
    static constexpr int DefaultInterval = 10000;

    // Milliseconds.
    int Interval = DefaultInterval;
    bool SoundEnabled = true;
    bool AutoSaveEnabled = true;
    // None: the font as designed stays.
    std::optional<TFont> TextFont;
    std::optional<TFont> SuggestionFont;
    QString PrimaryFile;
    QString BackupFile;
    bool NudgeEnabled = true;
    bool AlwaysSuggest = false;
    bool UseTovrinSuggestions = true;
    bool UseUserSuggestionsFile = false;
    bool RandomizeSuggestions = true;
    QString UserSuggestionsFile;
    int SuggestionNumber = 0;
    bool Privacy = false;

    // How many keys, in reading order, hold what was read (or their defaults):
    // all of them, unless a font text did not convert. Reading ended at that
    // key, whose font holds what was read of it before the fault.
    int KeysRead = KeyCount;
    bool Complete() const { return KeysRead == KeyCount; }
    bool WasRead(TKey key) const { return int(key) < KeysRead; }

    // Reads every key, with the default of each absent one. A stored font is
    // read over the given font as it stands. A stored primary or backup file
    // that IsUsableFile refuses is dropped; refuse hears why when the file is
    // one of Nudger's own. An interval that is not a number, or negative, or 0
    // becomes DefaultInterval; a suggestion number that is not a number
    // becomes 0.
    void Read(const TConfigurationFile &configuration, const TFont &textFont,
              const TFont &suggestionFont, const std::function<void(const QString &)> &refuse);

    // Writes all fifteen keys in the save order (a font only when it is set).
    void Write(TConfigurationFile &configuration) const;
};

// The splash step's stamp, "FLastSplashScreen": the time the step last ran.
// Puts now in its place and gives the stamp it held, when there was one (an
// unreadable stamp reads as 0). The configuration is saved at once.
bool ExchangeLastSplashStamp(TDateTime now, TDateTime &last);
