// A small captioned panel on a caption bar that works as a button: one
// letter on a raised panel in a palette colour, reachable with Tab, pressed
// with a click, Space or Enter, and named for screen readers.
#pragma once

#include <QAbstractButton>
#include <QPalette>

class TCaptionButton : public QAbstractButton
{
    Q_OBJECT

public:
    TCaptionButton(const QString &letter, QPalette::ColorRole colour, const QString &hint,
                   QWidget *parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QPalette::ColorRole FColour;
};
