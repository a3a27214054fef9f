#include "windows/Splash_Unit.h"
// placeholder
void ShowSplashIfDue() {}
bool SplashIsDue() { return false; }
void ShowSplash() {}
