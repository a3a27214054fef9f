#include "storage/Conversions_Unit.h"
// placeholder
QString BoolToText(bool value) { return value ? QStringLiteral("YES") : QStringLiteral("NO"); }
bool TextToBool(const QString &text) { return text == QLatin1String("YES"); }
QString ColorToText(TColor) { return {}; }
TColor TextToColor(const QString &) { return 0; }
QString FontToText(const TFont &) { return {}; }
void TextToFont(const QString &, TFont &) {}
TDateTime DateTimeFromQDateTime(const QDateTime &) { return 0; }
QDateTime QDateTimeFromDateTime(TDateTime) { return {}; }
QString DateTimeToText(TDateTime) { return {}; }
TDateTime TextToDateTime(const QString &) { return 0; }
QColor ColorToQColor(TColor, const QPalette &) { return Qt::black; }
TColor QColorToColor(const QColor &) { return 0; }
QFont FontToQFont(const TFont &, const QFont &base) { return base; }
TFont QFontToFont(const QFont &font, TColor color) { return TFont{font.family(), font.pointSize(), 0, color}; }
