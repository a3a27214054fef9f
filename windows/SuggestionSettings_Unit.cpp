#include "windows/SuggestionSettings_Unit.h"
// placeholder
bool ExecuteSuggestionSettingsDialog(bool &, bool &, bool &, QString &) { return false; }
