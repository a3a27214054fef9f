// Bridges between the stored font and colour values and the toolkit's own.
#pragma once

#include "storage/Conversions_Unit.h"
