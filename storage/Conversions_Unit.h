// Text forms of the values kept in the configuration file: booleans, fonts,
// colours and date-times.
#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <stdexcept>

class EConvertError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A colour value: red + 256 * green + 65536 * blue for plain colours,
// negative for roles of the palette, clNone for no colour.
using TColor = std::int32_t;
inline constexpr TColor clBlack = 0;
inline constexpr TColor clNone = 0x1FFFFFFF;

enum TFontStyle : int
{
    fsBold = 1,
    fsItalic = 2,
    fsUnderline = 4,
    fsStrikeOut = 8
};

// The font properties that are stored: family, point size, styles, colour.
struct TFont
{
    QString Name;
    int Size = 8;
    int Style = 0; // TFontStyle flags
    TColor Color = clBlack;

    bool operator==(const TFont &other) const
    {
        return Name == other.Name && Size == other.Size && Style == other.Style &&
               Color == other.Color;
    }
    bool operator!=(const TFont &other) const { return !(*this == other); }
};

// Upper-cases the letters a to z and nothing else: the names of files and
// colours are compared this way, by no locale's rules.
inline char16_t UpperCaseAToZ(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? char16_t(c - (u'a' - u'A')) : c;
}
QString UpperCaseAToZ(QString text);

QString BoolToText(bool value);
bool TextToBool(const QString &text);

QString ColorToText(TColor color);
TColor TextToColor(const QString &text); // throws EConvertError

QString FontToText(const TFont &font);
void TextToFont(const QString &text, TFont &font); // throws EConvertError

// Days since 30 December 1899 00:00 local time; the fraction is the time.
using TDateTime = double;
TDateTime DateTimeFromQDateTime(const QDateTime &dateTime);
QDateTime QDateTimeFromDateTime(TDateTime value);
QString DateTimeToText(TDateTime value);
TDateTime TextToDateTime(const QString &text); // 0 when unreadable
// The date stamp put into the writer's text: "yyyy-MM-dd HH:mm:ss.zzz", with
// the time separator of the user's locale.
QString DateStampText(const QDateTime &moment);
