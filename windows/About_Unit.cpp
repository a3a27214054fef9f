#include "windows/About_Unit.h"
// placeholder
void ShowAboutWindow() {}
