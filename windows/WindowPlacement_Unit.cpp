#include "windows/WindowPlacement_Unit.h"

#include <QDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

bool CompositorPlacesWindows()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void CentreOnScreen(QWidget *window)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen || CompositorPlacesWindows())
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

QPushButton *LayOutWithCloseStrip(QDialog *window, QWidget *content, Qt::Alignment buttonAlignment)
{
    auto *strip = new QWidget(window);
    strip->setObjectName(QStringLiteral("Button_Panel"));
    strip->setFixedHeight(41);
    auto *button = new QPushButton(QStringLiteral("Close"), strip);
    button->setObjectName(QStringLiteral("Close_Button"));
    button->setDefault(true);
    QObject::connect(button, &QPushButton::clicked, window, &QDialog::accept);
    auto *buttons = new QHBoxLayout(strip);
    buttons->setContentsMargins(8, 0, 8, 0);
    if (!buttonAlignment.testFlag(Qt::AlignLeft))
        buttons->addStretch();
    buttons->addWidget(button);
    if (!buttonAlignment.testFlag(Qt::AlignRight))
        buttons->addStretch();

    auto *layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(content);
    layout->addWidget(strip);

    button->setFocus();
    CentreOnScreen(window);
    return button;
}
