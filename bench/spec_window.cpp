// Nudger's main window alone, for the start-up benchmark: its controls,
// menus, timers and status bar, built and styled as Nudger builds them, with
// nothing behind them (no document, no settings, no suggestions, no sound).
// Set beside the bare window, it tells how much of Nudger's memory at start
// its window itself needs.
#include "windows/MainControls_Unit.h"
#include "windows/StartupStyle_Unit.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Nudger"));
    QApplication::setStyle(new TStartupStyle);
    QMainWindow window;
    TMainControls controls;
    controls.SetupControls(&window);
    window.setWindowTitle(QStringLiteral("Nudger's window alone"));
    window.show();
    return QApplication::exec();
}
