// The splash window shown at start when the last start lies more than a
// tenth of a day back.
#pragma once

void ShowSplashIfDue();
bool SplashIsDue();
void ShowSplash();
