// Where Nudger's windows open, and the strip that closes its small ones.
#pragma once

#include <Qt>

class QDialog;
class QPushButton;
class QWidget;

// True where the compositor, not the program, places windows and decides
// which one is in front (Wayland): there a window's position and a request
// to activate it are ignored, or draw only a warning.
bool CompositorPlacesWindows();

// Moves a top-level window so that its frame is centred on the primary
// screen's available area; where the compositor places windows, leaves the
// window to it.
void CentreOnScreen(QWidget *window);

// Lays a window out as its content above a 41-pixel strip holding the Close
// button (the default button, closing with the OK result, focused), and
// centres the window on the screen. Returns the button.
QPushButton *LayOutWithCloseStrip(QDialog *window, QWidget *content, Qt::Alignment buttonAlignment);
