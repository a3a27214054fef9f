// The program entry: capture the start directory, take the named lock, start
// the toolkit, choose the sound service, build the main window, have the
// desktop hold a logout while its text is unsaved, and run the event loop.

#include "app/PlatformDependence_Unit.h"
#include "desktop/LogoutInhibitor_Unit.h"
#include "sound/PulseWaveService_Unit.h"
#include "storage/WholeFile_Unit.h"
#include "windows/Main_Unit.h"
#include "windows/StartupStyle_Unit.h"

#include <QApplication>
#include <QThread>

#include <malloc.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>

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

// The session ends, by a signal or with the display: every main window makes
// its last tick, with no box and no chooser.
void MakeLastTicks()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (auto *form = qobject_cast<TMain_Form *>(window))
            form->LastTick();
    }
}

// The last tick when the display connection breaks, made once, on the GUI
// thread. Qt may notice the break on its event thread and on the GUI thread
// at once, and each ends the process right after saying so: whichever says
// so first, no thread may end it before the tick is done.
struct TDisplayLossTick
{
    std::mutex Lock;
    std::condition_variable Done;
    bool Started = false;
    bool Finished = false;
};

TDisplayLossTick &DisplayLossTick()
{
    static TDisplayLossTick tick;
    return tick;
}

void MakeDisplayLossTick()
{
    TDisplayLossTick &tick = DisplayLossTick();
    {
        const std::lock_guard<std::mutex> lock(tick.Lock);
        if (tick.Started)
            return;
        tick.Started = true;
    }
    MakeLastTicks();
    {
        const std::lock_guard<std::mutex> lock(tick.Lock);
        tick.Finished = true;
    }
    tick.Done.notify_all();
}

void SessionMessageHandler(QtMsgType type, const QMessageLogContext &context,
                           const QString &message)
{
    if (message.startsWith(QLatin1String("The X11 connection")) ||
        message.startsWith(QLatin1String("The Wayland connection"))) {
        if (QThread::currentThread() == qApp->thread()) {
            MakeDisplayLossTick();
        } else {
            QMetaObject::invokeMethod(qApp, &MakeDisplayLossTick, Qt::QueuedConnection);
            TDisplayLossTick &tick = DisplayLossTick();
            std::unique_lock<std::mutex> lock(tick.Lock);
            // Bounded: a GUI thread that never comes back must not keep the
            // process from ending.
            // A GUI thread stuck in a write leaves no temporary file behind.
            if (!tick.Done.wait_for(lock, std::chrono::seconds(20),
                                    [&tick] { return tick.Finished; }))
                RemoveUnfinishedWrite();
        }
    }
    PreviousMessageHandler(type, context, message);
}

} // namespace

int main(int argc, char *argv[])
{
    // The large blocks of a session (the text's file form at each save, the
    // recovery copy's snapshots) go back to the system when freed, rather
    // than growing the heap's own reserve with every burst of typing.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    // The window's thread keeps the heap's main arena to itself; Nudger's
    // few other threads (the toolkit's display reader, the writer's worker,
    // the sound, the splash step's check at start) share one more, rather
    // than each growing an arena of its own.
    mallopt(M_ARENA_MAX, 2);
    CaptureStartDirectory();
    CreateNamedMutex(QStringLiteral("Tovrin_Nudger"));

    PreviousMessageHandler = qInstallMessageHandler(StartupMessageHandler);
    QApplication application(argc, argv);
    qInstallMessageHandler(SessionMessageHandler);
    CatchTerminationSignals(&application, [](int signalNumber) {
        MakeLastTicks();
        std::fflush(stderr);
        EndBySignal(signalNumber);
    });

    QApplication::setApplicationName(QStringLiteral("Nudger"));
    QApplication::setStyle(new TStartupStyle);
    QApplication::setWindowIcon(ProgramIcon());
    SetDefaultWaveService(&PulseWaveService());
    TMain_Form mainForm;
    // Abort in the first settings step ends the program before it shows.
    if (mainForm.TerminateRequested())
        return 0;
    // While the text is unsaved, the desktop is asked to hold a logout.
    TLogoutInhibitor logoutInhibitor;
    QObject::connect(&mainForm, &TMain_Form::UnsavedTextChanged, &logoutInhibitor,
                     &TLogoutInhibitor::SetUnsavedText);
    logoutInhibitor.SetUnsavedText(mainForm.TextChanged());
    mainForm.show();
    return QApplication::exec();
}
