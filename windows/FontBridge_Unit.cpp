#include "windows/FontBridge_Unit.h"

#include <cstdint>

QColor ColorToQColor(TColor color, const QPalette &palette)
{
    static const QPalette::ColorRole Roles[] = {
        QPalette::WindowText, QPalette::Button,         QPalette::Light,
        QPalette::Midlight,   QPalette::Dark,           QPalette::Mid,
        QPalette::Text,       QPalette::BrightText,     QPalette::ButtonText,
        QPalette::Base,       QPalette::Window,         QPalette::Shadow,
        QPalette::Highlight,  QPalette::HighlightedText};
    if (color == clNone)
        return {};
    if (color >= 0) {
        const int rgb = color & 0xFFFFFF;
        return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
    }
    if (color < -110)
        return {};
    const int code = -color;
    const int group = code / 32;
    const int role = code % 32;
    if (role < 1 || role > 14)
        return {};
    const QPalette::ColorRole colorRole = Roles[role - 1];
    switch (group) {
    case 0:
        return palette.color(colorRole);
    case 1:
        return palette.color(QPalette::Normal, colorRole);
    case 2:
        return palette.color(QPalette::Disabled, colorRole);
    default:
        return palette.color(QPalette::Active, colorRole);
    }
}

TColor QColorToColor(const QColor &color)
{
    if (!color.isValid())
        return clNone;
    const QColor rgb = color.toRgb();
    return rgb.red() + 256 * rgb.green() + 65536 * rgb.blue();
}

QFont FontToQFont(const TFont &font, const QFont &base)
{
    QFont result = base;
    if (!font.Name.isEmpty())
        result.setFamily(font.Name);
    // A negative size is a height in pixels; 0 keeps the base size.
    if (font.Size > 0)
        result.setPointSize(font.Size);
    else if (font.Size < 0 && font.Size != INT32_MIN)
        result.setPixelSize(-font.Size);
    result.setBold(font.Style & fsBold);
    result.setItalic(font.Style & fsItalic);
    result.setUnderline(font.Style & fsUnderline);
    result.setStrikeOut(font.Style & fsStrikeOut);
    return result;
}

TFont QFontToFont(const QFont &font, TColor color)
{
    TFont result;
    result.Name = font.family();
    result.Size = font.pointSize() > 0 ? font.pointSize()
                                       : (font.pixelSize() > 0 ? -font.pixelSize() : result.Size);
    result.Style = (font.bold() ? fsBold : 0) | (font.italic() ? fsItalic : 0) |
                   (font.underline() ? fsUnderline : 0) | (font.strikeOut() ? fsStrikeOut : 0);
    result.Color = color;
    return result;
}
