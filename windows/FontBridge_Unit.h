// Bridges between the stored font and colour values and the toolkit's own.
#pragma once

#include "storage/Conversions_Unit.h"

#include <QColor>
#include <QFont>
#include <QPalette>

// A plain colour as it is; a role of the palette from the palette; an
// invalid colour for clNone and for a value that names no role.
QColor ColorToQColor(TColor color, const QPalette &palette);
// clNone for an invalid colour.
TColor QColorToColor(const QColor &color);
// The base font with the stored family, size and styles put over it; an
// empty family and a size of 0 keep the base's.
QFont FontToQFont(const TFont &font, const QFont &base);
TFont QFontToFont(const QFont &font, TColor color);
