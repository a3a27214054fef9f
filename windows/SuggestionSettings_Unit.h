// The suggestion settings dialog: suggestion sources, random order, and the
// editor for the user suggestions file.
#pragma once

#include <QString>

inline constexpr char DefaultUserSuggestionsFile[] = "user_suggestions.txt";

// Returns true, with the four values updated, only when the writer pressed
// Save.
bool ExecuteSuggestionSettingsDialog(bool &useTovrinSuggestions, bool &useUserSuggestionsFile,
                                     bool &randomizeSuggestions, QString &userSuggestionsFile);
