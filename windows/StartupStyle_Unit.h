// What the window is drawn with from the start, chosen so that the start
// asks no image decoder and no image-format plugin: the program's icon, and
// the toolkit's style with the icons it would read at once left to be read
// when first drawn.
//
// Left to guess an image's format, Qt loads every image-format plugin and
// the libraries behind them (SVG, JPEG, GIF, ICO) to ask each one: 0.7 MiB
// and a few milliseconds at every start; even a PNG read as such scans the
// plugins and decodes through libpng and zlib.
#pragma once

#include <QIcon>
#include <QProxyStyle>

// The program icon, from its pixels as they are, carried uncompressed
// (":/app_icon.rgba", 32 x 32, four bytes each); a null icon when missing.
QIcon ProgramIcon();

// The style the toolkit chose, with the menu bar's extension icons (the
// button that shows the menus it has no room for, made with the menu bar)
// read only when first drawn.
class TStartupStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    QIcon standardIcon(StandardPixmap which, const QStyleOption *option,
                       const QWidget *widget) const override;
};
