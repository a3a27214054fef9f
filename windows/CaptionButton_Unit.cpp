#include "windows/CaptionButton_Unit.h"
