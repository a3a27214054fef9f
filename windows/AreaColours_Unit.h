// The colours the text areas (and the manual's page) paint with: the font
// colour on a ground it can be read on, under any colour scheme.
#pragma once

#include "storage/Conversions_Unit.h"

class QColor;
class QPalette;
class QAbstractScrollArea;

// The contrast ratio of two colours as accessibility guidelines define it,
// from 1 (the same) to 21 (black on white).
double ContrastRatio(const QColor &one, const QColor &other);

// The least contrast at which text counts as readable.
inline constexpr double ReadableContrast = 4.5;

// The palette of a text area with the font colour `colour` under the colour
// scheme `scheme`. A role colour is taken from the scheme and keeps its
// ground, so a colour that names the area's own ground hides the text. A
// plain colour keeps the scheme's ground where it reads on it; where it does
// not (the designed black on a dark scheme), the area gets the white ground
// and the blue links the designed colours were made for, when that reads
// better.
QPalette TextAreaPalette(const QPalette &scheme, TColor colour);

// Paints the area's text in `colour` on the ground TextAreaPalette chooses,
// and chooses again whenever the application's colour scheme changes.
void SetAreaTextColour(QAbstractScrollArea *area, TColor colour);
