// Draws Nudger's two pictures and writes them as indexed-colour PNG files:
//
//   MakeArtwork <splash.png> <app_bitmap.png> <app_icon.rgba>
//
// splash.png     324 x 71, at most 256 colours: the wordmark shown at start.
// app_bitmap.png 32 x 32, at most 16 colours: the program icon (a pencil
//                nudging a speech bubble), with a transparent background.
//
// The pictures are drawn with QPainter and reduced to their palettes by a
// median cut, so the same fonts give the same files on every build. Text
// needs a QGuiApplication; run it with QT_QPA_PLATFORM=offscreen where there
// is no display.

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSaveFile>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct TColourCount
{
    QRgb Colour;
    qint64 Count;
};

// One box of the median cut: a run of colours in the shared vector.
struct TBox
{
    int Begin;
    int End;
};

int Channel(QRgb colour, int channel)
{
    switch (channel) {
    case 0:
        return qRed(colour);
    case 1:
        return qGreen(colour);
    default:
        return qBlue(colour);
    }
}

int WidestChannel(const std::vector<TColourCount> &colours, const TBox &box, int *range)
{
    int best = 0;
    *range = -1;
    for (int channel = 0; channel < 3; ++channel) {
        int low = 255;
        int high = 0;
        for (int i = box.Begin; i < box.End; ++i) {
            const int value = Channel(colours[size_t(i)].Colour, channel);
            low = std::min(low, value);
            high = std::max(high, value);
        }
        if (high - low > *range) {
            *range = high - low;
            best = channel;
        }
    }
    return best;
}

// A palette of at most maxColours opaque colours for the opaque pixels of
// image, by median cut weighted with the pixel counts.
QList<QRgb> MedianCutPalette(const QImage &image, int maxColours)
{
    QHash<QRgb, qint64> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) == 255)
                ++counts[pixel];
        }
    std::vector<TColourCount> colours;
    colours.reserve(size_t(counts.size()));
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        colours.push_back({it.key(), it.value()});
    // A fixed order, so that the result does not depend on hashing.
    std::sort(colours.begin(), colours.end(),
              [](const TColourCount &a, const TColourCount &b) { return a.Colour < b.Colour; });

    std::vector<TBox> boxes;
    if (!colours.empty())
        boxes.push_back({0, int(colours.size())});
    while (int(boxes.size()) < maxColours) {
        // Split the box with the widest channel range that has two colours.
        int chosen = -1;
        int chosenRange = 0;
        int chosenChannel = 0;
        for (size_t b = 0; b < boxes.size(); ++b) {
            if (boxes[b].End - boxes[b].Begin < 2)
                continue;
            int range = 0;
            const int channel = WidestChannel(colours, boxes[b], &range);
            if (range > chosenRange) {
                chosen = int(b);
                chosenRange = range;
                chosenChannel = channel;
            }
        }
        if (chosen < 0)
            break;
        TBox &box = boxes[size_t(chosen)];
        std::stable_sort(colours.begin() + box.Begin, colours.begin() + box.End,
                         [chosenChannel](const TColourCount &a, const TColourCount &b) {
                             return Channel(a.Colour, chosenChannel) <
                                    Channel(b.Colour, chosenChannel);
                         });
        qint64 total = 0;
        for (int i = box.Begin; i < box.End; ++i)
            total += colours[size_t(i)].Count;
        qint64 running = 0;
        int split = box.Begin + 1;
        for (int i = box.Begin; i < box.End - 1; ++i) {
            running += colours[size_t(i)].Count;
            split = i + 1;
            if (running * 2 >= total)
                break;
        }
        const TBox upper{split, box.End};
        box.End = split;
        boxes.push_back(upper);
    }

    QList<QRgb> palette;
    for (const TBox &box : boxes) {
        qint64 red = 0, green = 0, blue = 0, total = 0;
        for (int i = box.Begin; i < box.End; ++i) {
            const TColourCount &entry = colours[size_t(i)];
            red += qRed(entry.Colour) * entry.Count;
            green += qGreen(entry.Colour) * entry.Count;
            blue += qBlue(entry.Colour) * entry.Count;
            total += entry.Count;
        }
        palette << qRgb(int((red + total / 2) / total), int((green + total / 2) / total),
                        int((blue + total / 2) / total));
    }
    return palette;
}

// The image reduced to an indexed image of at most maxColours entries, one
// of them fully transparent when the image has transparent pixels.
QImage ToIndexed(const QImage &source, int maxColours)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    bool transparent = false;
    for (int y = 0; y < image.height() && !transparent; ++y)
        for (int x = 0; x < image.width() && !transparent; ++x)
            transparent = qAlpha(image.pixel(x, y)) != 255;
    QList<QRgb> palette = MedianCutPalette(image, transparent ? maxColours - 1 : maxColours);
    if (transparent)
        palette.prepend(qRgba(0, 0, 0, 0));
    return image.convertToFormat(QImage::Format_Indexed8, palette,
                                 Qt::ThresholdDither | Qt::AvoidDither);
}

QFont PixelFont(const QString &family, int pixelSize, int weight)
{
    QFont font(family);
    font.setStyleHint(QFont::SansSerif, QFont::PreferAntialias);
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Weight(weight));
    return font;
}

QImage DrawSplash()
{
    const QColor top(0x1d, 0x25, 0x3d);
    const QColor bottom(0x0c, 0x10, 0x1c);
    const QColor accent(0xf2, 0xa5, 0x41);
    const QColor ink(0xf5, 0xf1, 0xe8);
    const QColor muted(0x9c, 0xa6, 0xbf);

    QImage image(324, 71, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient background(0, 0, 0, 71);
    background.setColorAt(0, top);
    background.setColorAt(1, bottom);
    painter.fillRect(image.rect(), background);

    // A soft warm glow behind the mark.
    QRadialGradient glow(QPointF(34, 36), 42);
    QColor glowColour = accent;
    glowColour.setAlpha(70);
    glow.setColorAt(0, glowColour);
    glowColour.setAlpha(0);
    glow.setColorAt(1, glowColour);
    painter.fillRect(image.rect(), glow);

    // The mark: a speech bubble with three dots, as if a thought were coming.
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(14, 16, 40, 28), 9, 9);
    QPainterPath tail;
    tail.moveTo(22, 42);
    tail.lineTo(18, 54);
    tail.lineTo(32, 43);
    tail.closeSubpath();
    bubble = bubble.united(tail);
    painter.setPen(Qt::NoPen);
    painter.setBrush(accent);
    painter.drawPath(bubble);
    painter.setBrush(bottom);
    for (int dot = 0; dot < 3; ++dot)
        painter.drawEllipse(QPointF(24 + dot * 10, 30), 3.2, 3.2);

    // The wordmark.
    const QFont wordFont = PixelFont(QStringLiteral("DejaVu Sans"), 36, QFont::Bold);
    painter.setFont(wordFont);
    painter.setPen(ink);
    const int baseline = 44;
    painter.drawText(QPointF(70, baseline), QStringLiteral("Nudger"));
    const int wordWidth = QFontMetrics(wordFont).horizontalAdvance(QStringLiteral("Nudger"));

    // A thin accent rule under the word, ending in a small nudge arrow.
    painter.setPen(QPen(accent, 2, Qt::SolidLine, Qt::RoundCap));
    const qreal ruleY = baseline + 8;
    const qreal ruleEnd = 70 + wordWidth;
    painter.drawLine(QPointF(72, ruleY), QPointF(ruleEnd, ruleY));
    painter.drawLine(QPointF(ruleEnd, ruleY), QPointF(ruleEnd - 6, ruleY - 4));
    painter.drawLine(QPointF(ruleEnd, ruleY), QPointF(ruleEnd - 6, ruleY + 4));

    // The tagline, right of the word.
    const QFont tagFont = PixelFont(QStringLiteral("DejaVu Sans"), 10, QFont::Normal);
    painter.setFont(tagFont);
    painter.setPen(muted);
    const QRectF tagArea(ruleEnd + 12, 14, 324 - ruleEnd - 14, 44);
    painter.drawText(tagArea, Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("a gentle nudge\nfor writers"));
    painter.end();
    return ToIndexed(image, 256);
}

QImage DrawAppBitmap()
{
    const QColor outline(0x1d, 0x25, 0x3d);
    const QColor paper(0xfb, 0xf8, 0xf0);
    const QColor wood(0xf2, 0xa5, 0x41);
    const QColor woodShade(0xc9, 0x7b, 0x1e);
    const QColor tip(0xe9, 0xcf, 0xa4);
    const QColor eraser(0xe0, 0x6c, 0x75);
    const QColor band(0xa0, 0xa8, 0xb8);

    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    // Hard edges keep the picture crisp in sixteen colours.
    painter.setRenderHint(QPainter::Antialiasing, false);

    // The speech bubble, top left, with its tail pointing down.
    painter.setPen(QPen(outline, 1));
    painter.setBrush(paper);
    painter.drawRoundedRect(QRect(1, 2, 21, 15), 4, 4);
    const QPoint tailPoints[] = {QPoint(5, 16), QPoint(4, 21), QPoint(10, 16)};
    painter.drawPolygon(tailPoints, 3);
    painter.setPen(paper);
    painter.drawLine(6, 16, 9, 16);
    painter.setPen(Qt::NoPen);
    painter.setBrush(outline);
    for (int dot = 0; dot < 3; ++dot)
        painter.drawRect(6 + dot * 5, 9, 2, 2);

    // The pencil, from the bottom right, its tip nudging the bubble's edge.
    painter.translate(21.5, 21.5);
    painter.rotate(45);
    painter.setPen(QPen(outline, 1));
    painter.setBrush(wood);
    painter.drawRect(QRect(-2, -3, 9, 6)); // body
    painter.setPen(Qt::NoPen);
    painter.setBrush(woodShade);
    painter.drawRect(QRect(-1, 1, 8, 2));
    painter.setPen(QPen(outline, 1));
    painter.setBrush(band);
    painter.drawRect(QRect(7, -3, 2, 6)); // ferrule
    painter.setBrush(eraser);
    painter.drawRect(QRect(9, -3, 3, 6));
    const QPoint cone[] = {QPoint(-2, -3), QPoint(-8, 0), QPoint(-2, 3)};
    painter.setBrush(tip);
    painter.drawPolygon(cone, 3);
    painter.setPen(Qt::NoPen);
    painter.setBrush(outline);
    painter.drawRect(QRect(-8, -1, 2, 2)); // lead
    painter.end();

    return ToIndexed(image, 16);
}

// Writes through QSaveFile, so a failed build never leaves a half-written
// picture that a later build would take as up to date.
bool Write(const QImage &image, const QString &path)
{
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (file.open(QIODevice::WriteOnly) && image.save(&file, "PNG") && file.commit())
        return true;
    QTextStream(stderr) << "MakeArtwork: cannot write " << path << ": " << file.errorString()
                        << '\n';
    return false;
}

// The program icon's pixels as they are, four bytes each (red, green, blue,
// alpha), row by row: the window icon, which the program then takes without
// decoding a picture.
bool WritePixels(const QImage &image, const QString &path)
{
    const QImage pixels = image.convertToFormat(QImage::Format_RGBA8888);
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    bool written = file.open(QIODevice::WriteOnly);
    for (int row = 0; written && row < pixels.height(); ++row) {
        const auto *line = reinterpret_cast<const char *>(pixels.constScanLine(row));
        written = file.write(line, qint64(pixels.width()) * 4) == qint64(pixels.width()) * 4;
    }
    if (written && file.commit())
        return true;
    QTextStream(stderr) << "MakeArtwork: cannot write " << path << ": " << file.errorString()
                        << '\n';
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication application(argc, argv);
    const QStringList arguments = QGuiApplication::arguments();
    if (arguments.size() != 4) {
        QTextStream(stderr) << "usage: MakeArtwork <splash.png> <app_bitmap.png> <app_icon.rgba>\n";
        return 2;
    }
    const QImage icon = DrawAppBitmap();
    const bool written = Write(DrawSplash(), arguments.at(1)) && Write(icon, arguments.at(2)) &&
                         WritePixels(icon, arguments.at(3));
    return written ? 0 : 1;
}
