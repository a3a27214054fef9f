#include "windows/CaptionButton_Unit.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <qdrawutil.h>

TCaptionButton::TCaptionButton(const QString &letter, QPalette::ColorRole colour,
                               const QString &hint, QWidget *parent)
    : QAbstractButton(parent), FColour(colour)
{
    setText(letter);
    setToolTip(hint);
    setAccessibleName(hint);
    setAccessibleDescription(hint);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setFixedSize(31, 14);
}

QSize TCaptionButton::sizeHint() const
{
    return {31, 14};
}

void TCaptionButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QPalette &pal = palette();
    const QRect area = rect();
    painter.fillRect(area, pal.brush(FColour));
    qDrawShadePanel(&painter, area, pal, isDown(), 1);

    QFont letterFont = font();
    letterFont.setBold(true);
    letterFont.setPixelSize(qMax(8, area.height() - 3));
    painter.setFont(letterFont);
    const QColor background = pal.color(FColour);
    painter.setPen(background.lightness() > 128 ? Qt::black : Qt::white);
    painter.drawText(area, Qt::AlignCenter, text());

    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = area.adjusted(2, 2, -2, -2);
        option.backgroundColor = background;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

void TCaptionButton::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        animateClick();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}
