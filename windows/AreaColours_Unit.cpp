#include "windows/AreaColours_Unit.h"

#include "windows/FontBridge_Unit.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QColor>
#include <QEvent>
#include <QPalette>

#include <algorithm>
#include <cmath>

namespace {

// The relative luminance of a colour, from 0 (black) to 1 (white).
double Luminance(const QColor &colour)
{
    const auto linear = [](int channel) {
        const double value = channel / 255.0;
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.red()) + 0.7152 * linear(rgb.green()) + 0.0722 * linear(rgb.blue());
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
