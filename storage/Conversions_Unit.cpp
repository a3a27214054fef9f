#include "storage/Conversions_Unit.h"

#include <QLocale>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace {

struct TColorName
{
    TColor Value;
    const char *Name;
};

constexpr TColor Rgb(int red, int green, int blue)
{
    return red + 256 * green + 65536 * blue;
}

// Searched in this order both ways: the first entry with a matching value
// names a colour, so the aliases near the end are only ever read.
const TColorName ColorNames[] = {
    // Plain colours.
    {Rgb(0, 0, 0), "clBlack"},
    {Rgb(128, 0, 0), "clMaroon"},
    {Rgb(0, 128, 0), "clGreen"},
    {Rgb(128, 128, 0), "clOlive"},
    {Rgb(0, 0, 128), "clNavy"},
    {Rgb(128, 0, 128), "clPurple"},
    {Rgb(0, 128, 128), "clTeal"},
    {Rgb(128, 128, 128), "clGray"},
    {Rgb(192, 192, 192), "clSilver"},
    {Rgb(255, 0, 0), "clRed"},
    {Rgb(0, 255, 0), "clLime"},
    {Rgb(255, 255, 0), "clYellow"},
    {Rgb(0, 0, 255), "clBlue"},
    {Rgb(255, 0, 255), "clFuchsia"},
    {Rgb(0, 255, 255), "clAqua"},
    {Rgb(255, 255, 255), "clWhite"},
    {clNone, "clNone"},
    // Roles of the current palette group.
    {-11, "clBackground"},
    {-13, "clHighlight"},
    {-14, "clHighlightText"},
    {-1, "clForeground"},
    {-2, "clButton"},
    {-3, "clLight"},
    {-4, "clMidlight"},
    {-5, "clDark"},
    {-6, "clMid"},
    {-7, "clText"},
    {-8, "clBrightText"},
    {-9, "clButtonText"},
    {-10, "clBase"},
    {-12, "clShadow"},
    // Roles of the three groups.
    {-33, "clNormalForeground"},
    {-34, "clNormalButton"},
    {-35, "clNormalLight"},
    {-36, "clNormalMidlight"},
    {-37, "clNormalDark"},
    {-38, "clNormalMid"},
    {-39, "clNormalText"},
    {-40, "clNormalBrightText"},
    {-41, "clNormalButtonText"},
    {-42, "clNormalBase"},
    {-43, "clNormalBackground"},
    {-44, "clNormalShadow"},
    {-45, "clNormalHighlight"},
    {-46, "clNormalHighlightedText"},
    {-65, "clDisabledForeground"},
    {-66, "clDisabledButton"},
    {-67, "clDisabledLight"},
    {-68, "clDisabledMidlight"},
    {-69, "clDisabledDark"},
    {-70, "clDisabledMid"},
    {-71, "clDisabledText"},
    {-72, "clDisabledBrightText"},
    {-73, "clDisabledButtonText"},
    {-74, "clDisabledBase"},
    {-75, "clDisabledBackground"},
    {-76, "clDisabledShadow"},
    {-77, "clDisabledHighlight"},
    {-78, "clDisabledHighlightedText"},
    {-97, "clActiveForeground"},
    {-98, "clActiveButton"},
    {-99, "clActiveLight"},
    {-100, "clActiveMidlight"},
    {-101, "clActiveDark"},
    {-102, "clActiveMid"},
    {-103, "clActiveText"},
    {-104, "clActiveBrightText"},
    {-105, "clActiveButtonText"},
    {-106, "clActiveBase"},
    {-107, "clActiveBackground"},
    {-108, "clActiveShadow"},
    {-109, "clActiveHighlight"},
    {-110, "clActiveHighlightedText"},
    // Older names, accepted when reading.
    {-2, "clScrollBar"},
    {-110, "clActiveCaption"},
    {-78, "clInactiveCaption"},
    {-6, "clMenu"},
    {-10, "clWindow"},
    {-13, "clWindowFrame"},
    {-9, "clMenuText"},
    {-7, "clWindowText"},
    {-14, "clCaptionText"},
    {-109, "clActiveBorder"},
    {-77, "clInactiveBorder"},
    {-6, "clAppWorkSpace"},
    {-2, "clBtnFace"},
    {-5, "clBtnShadow"},
    {-3, "clGrayText"},
    {-9, "clBtnText"},
    {-78, "clInactiveCaptionText"},
    {-99, "clBtnHighlight"},
    {-6, "cl3DDkShadow"},
    {-4, "cl3DLight"},
    {-7, "clInfoText"},
    {Rgb(255, 255, 225), "clInfoBk"},
};
static_assert(std::size(ColorNames) == 95, "the colour name table has 95 entries");

bool SameNameIgnoringCase(const QString &text, const char *name)
{
    const auto length = qsizetype(std::strlen(name));
    if (text.size() != length)
        return false;
    for (qsizetype i = 0; i < length; ++i) {
        if (UpperCaseAToZ(text[i].unicode()) != UpperCaseAToZ(char16_t(name[i])))
            return false;
    }
    return true;
}

int HexDigitValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// Integer text: leading blanks, an optional sign and decimal digits, or "$"
// and up to eight significant hexadecimal digits taken as a 32-bit pattern.
// Nothing may follow the digits.
bool ReadInteger(const QString &text, std::int32_t &value)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    if (i < n && text[i] == u'$') {
        ++i;
        if (i == n)
            return false;
        std::uint32_t pattern = 0;
        int significant = 0;
        for (; i < n; ++i) {
            const int digit = HexDigitValue(text[i].unicode());
            if (digit < 0)
                return false;
            if (significant > 0 || digit != 0)
                ++significant;
            if (significant > 8)
                return false;
            pattern = (pattern << 4) | std::uint32_t(digit);
        }
        value = std::int32_t(pattern); // two's complement, as the pattern says
        return true;
    }
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == n)
        return false;
    const std::int64_t limit = negative ? std::int64_t(2147483648LL) : std::int64_t(2147483647LL);
    std::int64_t magnitude = 0;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        magnitude = magnitude * 10 + (c - u'0');
        if (magnitude > limit)
            return false;
    }
    value = std::int32_t(negative ? -magnitude : magnitude);
    return true;
}

std::int32_t TextToInteger(const QString &text)
{
    std::int32_t value = 0;
    if (!ReadInteger(text, value))
        throw EConvertError("'" + text.toStdString() + "' is not a valid integer value");
    return value;
}

// Text positions counted from 1, as the font description is defined; counts
// and positions outside the text are clipped, never read past the end.
QString Copy(const QString &text, qsizetype position, qsizetype count)
{
    if (position < 1)
        position = 1;
    if (count <= 0 || position > text.size())
        return {};
    return text.mid(position - 1, count);
}

void Delete(QString &text, qsizetype position, qsizetype count)
{
    if (position < 1 || count <= 0 || position > text.size())
        return;
    text.remove(position - 1, count);
}

qsizetype Pos(QChar c, const QString &text)
{
    return text.indexOf(c) + 1; // 0 when absent
}

// --- Date and time -------------------------------------------------------

const QDate &DayZero()
{
    static const QDate day(1899, 12, 30);
    return day;
}

constexpr double MillisecondsPerDay = 86400000.0;

// Whole days from day zero, counted from 1 January of year 1 to
// 31 December 9999 (the range a date-time value can hold).
constexpr double FirstDay = -693593.0;
constexpr double LastDay = 2958466.0;

// Applies f to the unquoted parts of a date or time format, leaving quoted
// literal text as it is.
template <typename Rewrite> QString RewriteUnquoted(const QString &format, Rewrite rewrite)
{
    QString result;
    QString plain;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'') {
            if (!quoted) {
                result += rewrite(plain);
                plain.clear();
            }
            quoted = !quoted;
            result += c;
        } else if (quoted) {
            result += c;
        } else {
            plain += c;
        }
    }
    result += rewrite(plain);
    return result;
}

// The time of a date-time value carries no zone, so the zone field of the
// regional long time form is left out (with the blank or brackets around it).
QString TimeFormatWithoutZone(const QString &format)
{
    QString result = RewriteUnquoted(format, [](const QString &plain) {
        QString out;
        for (qsizetype i = 0; i < plain.size(); ++i) {
            if (plain[i] != u't') {
                out += plain[i];
                continue;
            }
            while (i + 1 < plain.size() && plain[i + 1] == u't')
                ++i;
            if (out.endsWith(u'(') && i + 1 < plain.size() && plain[i + 1] == u')') {
                out.chop(1);
                ++i;
            }
            while (!out.isEmpty() && out.back().isSpace())
                out.chop(1);
        }
        return out;
    });
    result = result.trimmed();
    if (!result.contains(u's'))
        result = QStringLiteral("HH:mm:ss"); // the round trip needs the seconds
    return result;
}

// Two-digit years would lose the century, so a date form that has only them
// is written with four.
QString DateFormatWithFullYear(const QString &format)
{
    return RewriteUnquoted(format, [](const QString &plain) {
        QString out;
        for (qsizetype i = 0; i < plain.size();) {
            qsizetype run = 0;
            while (i + run < plain.size() && plain[i + run] == u'y')
                ++run;
            if (run == 0) {
                out += plain[i++];
                continue;
            }
            out += QString(run == 2 ? 4 : run, u'y');
            i += run;
        }
        return out;
    });
}

QString TimeFormat(const QLocale &locale)
{
    return TimeFormatWithoutZone(locale.timeFormat(QLocale::LongFormat));
}

QString DateTimeFormat(const QLocale &locale)
{
    return DateFormatWithFullYear(locale.dateFormat(QLocale::ShortFormat)) + u' ' +
           TimeFormat(locale);
}

// The time separator of the user's locale, taken from its time format.
QString LocaleTimeSeparator()
{
    const QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    const qsizetype hour = format.indexOf(QLatin1Char('h'), 0, Qt::CaseInsensitive);
    if (hour >= 0) {
        qsizetype i = hour;
        while (i < format.size() && format.at(i).toLower() == QLatin1Char('h'))
            ++i;
        if (i < format.size() && !format.at(i).isLetterOrNumber() &&
            format.at(i) != QLatin1Char(' '))
            return format.at(i);
    }
    return QStringLiteral(":");
}

} // namespace

QString UpperCaseAToZ(QString text)
{
    for (QChar &c : text)
        c = QChar(UpperCaseAToZ(c.unicode()));
    return text;
}

QString BoolToText(bool value)
{
    return value ? QStringLiteral("YES") : QStringLiteral("NO");
}

bool TextToBool(const QString &text)
{
    return text == QLatin1String("YES");
}

QString ColorToText(TColor color)
{
    for (const TColorName &entry : ColorNames) {
        if (entry.Value == color)
            return QLatin1String(entry.Name);
    }
    return u'$' + QStringLiteral("%1").arg(std::uint32_t(color), 8, 16, QLatin1Char('0')).toUpper();
}

TColor TextToColor(const QString &text)
{
    for (const TColorName &entry : ColorNames) {
        if (SameNameIgnoringCase(text, entry.Name))
            return entry.Value;
    }
    return TextToInteger(text);
}

QString FontToText(const TFont &font)
{
    QString styles;
    if (font.Style & fsBold)
        styles += QLatin1String("|Bold");
    if (font.Style & fsItalic)
        styles += QLatin1String("|Italic");
    if (font.Style & fsUnderline)
        styles += QLatin1String("|Underline");
    if (font.Style & fsStrikeOut)
        styles += QLatin1String("|Strikeout");
    if (styles.startsWith(u'|'))
        styles.remove(0, 1);
    return u'"' + font.Name + QLatin1String("\", ") + QString::number(font.Size) +
           QLatin1String(", [") + styles + QLatin1String("], [") + ColorToText(font.Color) + u']';
}

void TextToFont(const QString &text, TFont &font)
{
    QString rest = text;

    // "Name", -- the opening quote and the one before the comma are skipped.
    qsizetype q = Pos(u',', rest);
    font.Name = Copy(rest, 2, q - 3);
    Delete(rest, 1, q);

    // Size, -- after one blank.
    q = Pos(u',', rest);
    font.Size = TextToInteger(Copy(rest, 2, q - 2));
    Delete(rest, 1, q);

    // [Styles], -- blank and brackets skipped.
    q = Pos(u',', rest);
    const QString styles = u'|' + Copy(rest, 3, q - 4);
    Delete(rest, 1, q);

    // [Colour] -- blank, opening and final bracket skipped.
    font.Color = TextToColor(Copy(rest, 3, rest.size() - 3));

    int style = 0;
    if (styles.contains(QLatin1String("|Bold")))
        style |= fsBold;
    if (styles.contains(QLatin1String("|Italic")))
        style |= fsItalic;
    if (styles.contains(QLatin1String("|Underline")))
        style |= fsUnderline;
    if (styles.contains(QLatin1String("|Strikeout")))
        style |= fsStrikeOut;
    font.Style = style;
}

TDateTime DateTimeFromQDateTime(const QDateTime &dateTime)
{
    if (!dateTime.isValid())
        return 0;
    const QDateTime local = dateTime.toLocalTime();
    const double days = double(DayZero().daysTo(local.date()));
    const double fraction = local.time().msecsSinceStartOfDay() / MillisecondsPerDay;
    // Before day zero the fraction still counts forward from midnight, so
    // it is subtracted from the (negative) day number.
    return days < 0 ? days - fraction : days + fraction;
}

QDateTime QDateTimeFromDateTime(TDateTime value)
{
    if (!std::isfinite(value) || value < FirstDay - 1 || value > LastDay + 1)
        return {};
    double day = std::trunc(value);
    auto milliseconds = std::int64_t(std::llround(std::fabs(value - day) * MillisecondsPerDay));
    if (milliseconds >= std::int64_t(MillisecondsPerDay)) {
        milliseconds -= std::int64_t(MillisecondsPerDay);
        day += 1;
    }
    const QDate date = DayZero().addDays(std::int64_t(day));
    const QTime time = QTime::fromMSecsSinceStartOfDay(int(milliseconds));
    return QDateTime(date, time);
}

QString DateTimeToText(TDateTime value)
{
    const QDateTime dateTime = QDateTimeFromDateTime(value);
    if (!dateTime.isValid())
        return {};
    const QLocale locale = QLocale::system();
    return locale.toString(dateTime, DateTimeFormat(locale));
}

TDateTime TextToDateTime(const QString &text)
{
    if (text.trimmed().isEmpty())
        return 0;
    const QLocale locale = QLocale::system();
    QDateTime dateTime = locale.toDateTime(text, DateTimeFormat(locale));
    if (!dateTime.isValid()) {
        // The region's own form, should it be written with two-digit years.
        const QString regional =
            locale.dateFormat(QLocale::ShortFormat) + u' ' + TimeFormat(locale);
        dateTime = locale.toDateTime(text, regional);
        if (!dateTime.isValid())
            return 0;
        if (regional != DateTimeFormat(locale)) {
            // Two-digit years read as 19xx: take the century that puts the
            // year within fifty years of today.
            const int thisYear = QDate::currentDate().year();
            int year = dateTime.date().year();
            while (year < thisYear - 50)
                year += 100;
            const QDate date(year, dateTime.date().month(), dateTime.date().day());
            if (date.isValid())
                dateTime = QDateTime(date, dateTime.time());
        }
    }
    return DateTimeFromQDateTime(dateTime);
}

QString DateStampText(const QDateTime &moment)
{
    const QString separator = LocaleTimeSeparator();
    return moment.toString(QStringLiteral("yyyy-MM-dd ")) + moment.toString(QStringLiteral("HH")) +
           separator + moment.toString(QStringLiteral("mm")) + separator +
           moment.toString(QStringLiteral("ss.zzz"));
}
