#include "desktop/Attention_Unit.h"

#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>

void AskForAttention(QWindow *window)
{
    if (!window)
        return;
    // Does nothing while the window or one of its dialogs is active. Qt
    // forgets the alert when the window is activated, so the first nudge
    // after the writer has been back and left again marks it again.
    window->alert(0);

    // On X11, Qt 6.4 queues the _NET_WM_STATE message for the window manager
    // in the connection's output buffer without sending it. A repaint usually
    // sends it along, but a minimized window does not repaint, and its mark
    // would wait for whatever request the program makes next.
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 && x11->connection())
        xcb_flush(x11->connection());
}
