// The program entry: capture the start directory, take the named lock, start
// the toolkit, build the main window and run the event loop.

#include "app/PlatformDependence_Unit.h"
#include "windows/Main_Unit.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <cstdlib>

namespace {

QtMessageHandler PreviousMessageHandler = nullptr;

// While the toolkit starts, a fatal message (no display, no platform plugin)
// ends the program with that message and a plain failure status instead of
// an abort and a core dump.
void StartupMessageHandler(QtMsgType type, const QMessageLogContext &context,
                           const QString &message)
{
    if (type != QtFatalMsg) {
        PreviousMessageHandler(type, context, message);
        return;
    }
    std::fprintf(stderr, "%s\n", qPrintable(message));
    std::fflush(stderr);
    std::_Exit(EXIT_FAILURE);
}

} // namespace

int main(int argc, char *argv[])
{
    CaptureStartDirectory();
    CreateNamedMutex(QStringLiteral("Tovrin_Nudger"));

    PreviousMessageHandler = qInstallMessageHandler(StartupMessageHandler);
    QApplication application(argc, argv);
    qInstallMessageHandler(PreviousMessageHandler);

    QApplication::setApplicationName(QStringLiteral("Nudger"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/app_bitmap.png")));
    TMain_Form mainForm;
    // Abort in the first settings step ends the program before it shows.
    if (mainForm.TerminateRequested())
        return 0;
    mainForm.show();
    return QApplication::exec();
}
