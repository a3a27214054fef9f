#include "windows/StartupStyle_Unit.h"

#include <QIconEngine>
#include <QImage>
#include <QPixmap>
#include <QResource>

#include <optional>

namespace {

constexpr int IconSide = 32;

// A style's standard icon, asked of the style when it is first needed.
class TDeferredIconEngine : public QIconEngine
{
public:
    TDeferredIconEngine(const QStyle *style, QStyle::StandardPixmap which)
        : FStyle(style), FWhich(which)
    {
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        Icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return Icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override
    {
        return Icon().pixmap(size, scale, mode, state);
    }
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return Icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return Icon().availableSizes(mode, state);
    }
    bool isNull() override { return Icon().isNull(); }
    QString key() const override { return QStringLiteral("TDeferredIconEngine"); }
    QIconEngine *clone() const override { return new TDeferredIconEngine(*this); }

private:
    const QIcon &Icon()
    {
        if (!FIcon)
            FIcon = FStyle->standardIcon(FWhich);
        return *FIcon;
    }

    const QStyle *FStyle;
    QStyle::StandardPixmap FWhich;
    std::optional<QIcon> FIcon;
};

} // namespace

QIcon ProgramIcon()
{
    const QResource pixels(QStringLiteral(":/app_icon.rgba"));
    if (!pixels.isValid() || pixels.compressionAlgorithm() != QResource::NoCompression ||
        pixels.size() != IconSide * IconSide * 4)
        return QIcon();
    return QIcon(
        QPixmap::fromImage(QImage(pixels.data(), IconSide, IconSide, QImage::Format_RGBA8888)));
}

QIcon TStartupStyle::standardIcon(StandardPixmap which, const QStyleOption *option,
                                  const QWidget *widget) const
{
    if (which == SP_ToolBarHorizontalExtensionButton || which == SP_ToolBarVerticalExtensionButton)
        return QIcon(new TDeferredIconEngine(baseStyle(), which));
    return QProxyStyle::standardIcon(which, option, widget);
}
