#include "windows/AreaColours_Unit.h"

#include "windows/FontBridge_Unit.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QColor>
#include <QEvent>
#include <QPalette>

#include <algorithm>
#include <array>

namespace {

// x to the power 1/5, for x in (0, 1], by Newton's method from above.
constexpr double FifthRoot(double x)
{
    double root = 1.0;
    for (int step = 0; step < 60; ++step)
        root -= (root * root * root * root * root - x) / (5.0 * root * root * root * root);
    return root;
}

// The light of each of a channel's 256 values, from 0 to 1: the channel
// value to the power 2.4 above the dark end, computed when compiling, so
// that the window's first palette needs no power function.
constexpr std::array<double, 256> LinearChannels()
{
    std::array<double, 256> light{};
    for (int channel = 0; channel < 256; ++channel) {
        const double value = channel / 255.0;
        const double lifted = (value + 0.055) / 1.055;
        const double root = FifthRoot(lifted);
        light[std::size_t(channel)] =
            value <= 0.03928 ? value / 12.92 : lifted * lifted * root * root;
    }
    return light;
}

constexpr std::array<double, 256> ChannelLight = LinearChannels();

// The relative luminance of a colour, from 0 (black) to 1 (white).
double Luminance(const QColor &colour)
{
    const QColor rgb = colour.toRgb();
    return 0.2126 * ChannelLight[std::size_t(rgb.red())] +
           0.7152 * ChannelLight[std::size_t(rgb.green())] +
           0.0722 * ChannelLight[std::size_t(rgb.blue())];
}

// Keeps an area's font colour and gives it a fresh palette when the
// application's colour scheme changes.
class TAreaColour : public QObject
{
    Q_OBJECT

public:
    explicit TAreaColour(QAbstractScrollArea *area) : QObject(area), FArea(area)
    {
        area->installEventFilter(this);
    }

    void Set(TColor colour)
    {
        FColour = colour;
        Apply();
    }

protected:
    // A new colour scheme reaches the area as a palette change from its
    // window, after the application's palette has changed.
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::PaletteChange && !FApplying)
            Apply();
        return false;
    }

private:
    void Apply()
    {
        FApplying = true;
        FArea->setPalette(TextAreaPalette(QApplication::palette(FArea), FColour));
        FApplying = false;
    }

    QAbstractScrollArea *FArea;
    TColor FColour = clBlack;
    bool FApplying = false;
};

} // namespace

double ContrastRatio(const QColor &one, const QColor &other)
{
    const double a = Luminance(one);
    const double b = Luminance(other);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QPalette TextAreaPalette(const QPalette &scheme, TColor colour)
{
    QPalette palette = scheme;
    palette.setResolveMask(0);
    QColor text = ColorToQColor(colour, scheme);
    // No colour paints as black.
    if (!text.isValid())
        text = Qt::black;
    const bool roleColour = colour < 0;
    if (!roleColour) {
        const QColor schemeGround = scheme.color(QPalette::Active, QPalette::Base);
        const QColor designedGround(Qt::white);
        const double onScheme = ContrastRatio(text, schemeGround);
        if (onScheme < ReadableContrast && ContrastRatio(text, designedGround) > onScheme) {
            palette.setColor(QPalette::Base, designedGround);
            palette.setColor(QPalette::Link, Qt::blue);
        }
    }
    palette.setColor(QPalette::Text, text);
    return palette;
}

void SetAreaTextColour(QAbstractScrollArea *area, TColor colour)
{
    auto *keeper = area->findChild<TAreaColour *>(QString(), Qt::FindDirectChildrenOnly);
    if (!keeper)
        keeper = new TAreaColour(area);
    keeper->Set(colour);
}

#include "AreaColours_Unit.moc"
