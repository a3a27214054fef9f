#include "desktop/LogoutInhibitor_Unit.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QFileInfo>
#include <QVariantMap>

#include <chrono>

namespace {

const QString PortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString PortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString InhibitInterface = QStringLiteral("org.freedesktop.portal.Inhibit");
const QString RequestInterface = QStringLiteral("org.freedesktop.portal.Request");
// Inhibit's flags: 1 logout, 2 user switch, 4 suspend, 8 idle.
constexpr uint InhibitLogout = 1;
constexpr std::chrono::minutes DefaultRetryInterval{1};

// Whether a session bus can be reached without starting one: with neither
// an address nor the runtime directory's socket, libdbus would launch a
// bus of its own for the program ("autolaunch").
bool SessionBusAnnounced()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtimeDir.isEmpty() && QFileInfo::exists(QDir(runtimeDir).filePath("bus"));
}

// Errors that say there is no portal to ask, or no bus any more; any other
// error is a portal that may hold the logout when asked again.
bool MeansNoPortal(QDBusError::ErrorType error)
{
    return error == QDBusError::ServiceUnknown || error == QDBusError::UnknownObject ||
           error == QDBusError::UnknownInterface || error == QDBusError::UnknownMethod ||
           error == QDBusError::Disconnected;
}

// The portal names a request after the caller's unique bus name and the
// handle_token it was given, so its Response can be told apart before
// Inhibit's answer arrives.
QString RequestPath(const QDBusConnection &bus, const QString &token)
{
    QString sender = bus.baseService();
    sender.remove(QLatin1Char(':')).replace(QLatin1Char('.'), QLatin1Char('_'));
    return PortalPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
}

} // namespace

TLogoutInhibitor::TLogoutInhibitor(QObject *parent) : QObject(parent)
{
    FRetryTimer.setSingleShot(true);
    FRetryTimer.setInterval(DefaultRetryInterval);
    connect(&FRetryTimer, &QTimer::timeout, this, [this] {
        if (FUnsaved && !FPending && FRequestPath.isEmpty())
            Inhibit();
    });
}

TLogoutInhibitor::~TLogoutInhibitor()
{
    Release();
}

QString TLogoutInhibitor::Reason()
{
    return QStringLiteral("I have not saved your text in Nudger yet.");
}

void TLogoutInhibitor::SetUnsavedText(bool unsaved)
{
    if (unsaved == FUnsaved)
        return;
    FUnsaved = unsaved;
    if (!unsaved) {
        FRetryTimer.stop();
        Release();
        return;
    }
    // A call still waiting is taken or let go when its answer comes.
    if (FPending || !FRequestPath.isEmpty() || FUnavailable)
        return;
    // Asked again no sooner than an interval after the last failure.
    const qint64 wait =
        FSinceFailure.isValid() ? FRetryTimer.interval() - FSinceFailure.elapsed() : 0;
    if (wait > 0)
        FRetryTimer.start(int(wait));
    else
        Inhibit();
}

void TLogoutInhibitor::Inhibit()
{
    if (FUnavailable)
        return;
    // The bus is connected on first need, not at start.
    if (!SessionBusAnnounced() || !QDBusConnection::sessionBus().isConnected()) {
        FUnavailable = true;
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (FCalls == 0)
        bus.connect(PortalService, QString(), RequestInterface, QStringLiteral("Response"), this,
                    SLOT(RequestResponded(QDBusMessage)));
    const QString token = QStringLiteral("nudger%1").arg(++FCalls);
    FPendingPath = RequestPath(bus, token);
    FPendingRefused = false;
    QDBusMessage call = QDBusMessage::createMethodCall(PortalService, PortalPath, InhibitInterface,
                                                       QStringLiteral("Inhibit"));
    const QVariantMap options{{QStringLiteral("reason"), Reason()},
                              {QStringLiteral("handle_token"), token}};
    call << QString() << InhibitLogout << options;
    FPending = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(FPending, &QDBusPendingCallWatcher::finished, this, &TLogoutInhibitor::InhibitFinished);
}

void TLogoutInhibitor::InhibitFinished(QDBusPendingCallWatcher *watcher)
{
    FPending = nullptr;
    watcher->deleteLater();
    const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
    if (reply.isError()) {
        FUnavailable = MeansNoPortal(reply.error().type());
        if (!FUnavailable)
            Failed();
        return;
    }
    if (FPendingRefused) {
        Failed();
        return;
    }
    FSinceFailure.invalidate();
    const QString requestPath = reply.value().path();
    if (FUnsaved)
        FRequestPath = requestPath;
    else
        CloseRequest(requestPath); // saved while the portal was answering
}

void TLogoutInhibitor::RequestResponded(const QDBusMessage &message)
{
    const QVariantList arguments = message.arguments();
    if (arguments.isEmpty() || arguments.first().toUInt() == 0)
        return;
    // The portal has dropped the request: there is nothing to close.
    if (!FRequestPath.isEmpty() && message.path() == FRequestPath) {
        FRequestPath.clear();
        Failed();
    } else if (FPending && message.path() == FPendingPath) {
        FPendingRefused = true;
    }
}

void TLogoutInhibitor::Failed()
{
    FSinceFailure.start();
    if (FUnsaved)
        FRetryTimer.start();
}

void TLogoutInhibitor::Release()
{
    if (FRequestPath.isEmpty())
        return;
    CloseRequest(FRequestPath);
    FRequestPath.clear();
}

void TLogoutInhibitor::CloseRequest(const QString &requestPath)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    // The answer carries nothing: it is not waited for.
    bus.send(QDBusMessage::createMethodCall(PortalService, requestPath, RequestInterface,
                                            QStringLiteral("Close")));
}

#include "moc_LogoutInhibitor_Unit.cpp"
