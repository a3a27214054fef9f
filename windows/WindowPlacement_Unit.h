// Where Nudger's windows open.
#pragma once

class QWidget;

// Moves a top-level window so that its frame is centred on the primary
// screen's available area.
void CentreOnScreen(QWidget *window);
