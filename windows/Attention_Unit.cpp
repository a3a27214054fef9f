#include "windows/Attention_Unit.h"

#include <QApplication>
#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

void AskForAttention(QWidget *window)
{
    // Does nothing while the window or one of its dialogs is active. Qt
    // forgets the alert when the window is activated, so the first nudge
    // after the writer has been back and left again marks it again.
    QApplication::alert(window);

    // On X11, Qt 6.4 queues the _NET_WM_STATE message for the window manager
    // in the connection's output buffer without sending it. A repaint usually
    // sends it along, but a minimized window does not repaint, and its mark
    // would wait for whatever request the program makes next.
    const auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 && x11->connection())
        xcb_flush(x11->connection());
}
