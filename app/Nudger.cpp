// The program entry: capture the start directory, take the named lock, start
// the toolkit, choose the sound service, build the main window, have the
// desktop hold a logout while its text is unsaved, and run the event loop.

#include "app/PlatformDependence_Unit.h"
#include "desktop/LogoutInhibitor_Unit.h"
#include "sound/PulseWaveService_Unit.h"
#include "storage/WholeFile_Unit.h"
#include "windows/Main_Unit.h"

#include <QApplication>
#include <QIcon>
#include <QIconEngine>
#include <QImageReader>
#include <QPixmap>
#include <QProxyStyle>
#include <QThread>

#include <malloc.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>

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

// Left to guess an image's format, Qt loads every image-format plugin and
// the libraries behind them (SVG, JPEG, GIF, ICO) to ask each one: 0.7 MiB
// and a few milliseconds at every start. The window icon is read as the PNG
// it is, and the icon a menu bar makes at once for the button that shows
// menus it has no room for is left to be read when first drawn.

QPixmap ReadPng(const QString &path)
{
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

// A style's standard icon, asked of the style when it is first needed.
class TDeferredIconEngine : public QIconEngine
{
public:
    TDeferredIconEngine(const QStyle *style, QStyle::StandardPixmap which)
        : FStyle(style), FWhich(which)
    {
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        Icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return Icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override
    {
        return Icon().pixmap(size, scale, mode, state);
    }
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return Icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return Icon().availableSizes(mode, state);
    }
    bool isNull() override { return Icon().isNull(); }
    QString key() const override { return QStringLiteral("TDeferredIconEngine"); }
    QIconEngine *clone() const override { return new TDeferredIconEngine(*this); }

private:
    const QIcon &Icon()
    {
        if (!FIcon)
            FIcon = FStyle->standardIcon(FWhich);
        return *FIcon;
    }

    const QStyle *FStyle;
    QStyle::StandardPixmap FWhich;
    std::optional<QIcon> FIcon;
};

// The style the toolkit chose, with the menu bar's extension icons deferred.
class TStartupStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    QIcon standardIcon(StandardPixmap which, const QStyleOption *option,
                       const QWidget *widget) const override
    {
        if (which == SP_ToolBarHorizontalExtensionButton ||
            which == SP_ToolBarVerticalExtensionButton)
            return QIcon(new TDeferredIconEngine(baseStyle(), which));
        return QProxyStyle::standardIcon(which, option, widget);
    }
};

} // namespace

int main(int argc, char *argv[])
{
    // The large blocks of a session (the text's file form at each save, the
    // recovery copy's snapshots) go back to the system when freed, rather
    // than growing the heap's own reserve with every burst of typing.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
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
    QApplication::setWindowIcon(QIcon(ReadPng(QStringLiteral(":/app_bitmap.png"))));
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
