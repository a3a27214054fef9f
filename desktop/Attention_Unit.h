// Asking the desktop to point the writer at a window that is behind their
// work: the task bar or dock marks it, and nothing raises it or gives it the
// keyboard.
#pragma once

class QWindow;

// Marks the window as demanding attention unless it (or one of its dialogs)
// is the active window. The desktop clears the mark when the writer next
// activates the window. A null window (a widget never shown has none) is
// left alone.
void AskForAttention(QWindow *window);
