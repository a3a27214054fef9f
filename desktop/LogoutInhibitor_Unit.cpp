#include "desktop/LogoutInhibitor_Unit.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QFileInfo>
#include <QVariantMap>

namespace {

const QString PortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString PortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString InhibitInterface = QStringLiteral("org.freedesktop.portal.Inhibit");
const QString RequestInterface = QStringLiteral("org.freedesktop.portal.Request");
// Inhibit's flags: 1 logout, 2 user switch, 4 suspend, 8 idle.
constexpr uint InhibitLogout = 1;

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

} // namespace

TLogoutInhibitor::TLogoutInhibitor(QObject *parent) : QObject(parent) {}

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
    if (!unsaved)
        Release();
    // A call still waiting is taken or let go when its answer comes.
    else if (!FPending && FRequestPath.isEmpty())
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
    QDBusMessage call = QDBusMessage::createMethodCall(PortalService, PortalPath, InhibitInterface,
                                                       QStringLiteral("Inhibit"));
    const QVariantMap options{{QStringLiteral("reason"), Reason()}};
    call << QString() << InhibitLogout << options;
    FPending = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(FPending, &QDBusPendingCallWatcher::finished, this, &TLogoutInhibitor::InhibitFinished);
}

void TLogoutInhibitor::InhibitFinished(QDBusPendingCallWatcher *watcher)
{
    FPending = nullptr;
    watcher->deleteLater();
    const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
    if (reply.isError()) {
        // No portal, or one without Inhibit; a portal too busy to answer in
        // time is asked again at the next unsaved change.
        const QDBusError::ErrorType error = reply.error().type();
        FUnavailable = error != QDBusError::NoReply && error != QDBusError::Timeout &&
                       error != QDBusError::TimedOut;
        return;
    }
    const QString requestPath = reply.value().path();
    if (FUnsaved)
        FRequestPath = requestPath;
    else
        CloseRequest(requestPath); // saved while the portal was answering
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
