#include "windows/ManualReader_Unit.h"
// placeholder
void ShowManualWindow() {}
