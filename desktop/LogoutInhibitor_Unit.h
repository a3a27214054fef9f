// Holds the desktop's logout while the writer's text is unsaved, through the
// desktop portal's Inhibit call, and lets it go as soon as the text is saved.
// A portal that fails, answers too late or refuses is asked again while the
// text stays unsaved, at most once a retry interval. Where there is no
// session bus or no portal, it does nothing and says nothing.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>


class QDBusMessage;
class QDBusPendingCallWatcher;

class TLogoutInhibitor : public QObject
{
    Q_OBJECT

public:
    explicit TLogoutInhibitor(QObject *parent = nullptr);
    // Lets go of a logout still held.
    ~TLogoutInhibitor() override;

    // Asks the portal to hold the logout when the text becomes unsaved, and
    // lets go of it when the text is saved. The portal is asked without
    // waiting for its answer.
    void SetUnsavedText(bool unsaved);

    // The text the desktop shows the writer while the logout is held.
    static QString Reason();

private Q_SLOTS:
    // The portal's Response signal of a request: a non-zero code refuses it.
    void RequestResponded(const QDBusMessage &message);

private:
    void Inhibit();
    void InhibitFinished(QDBusPendingCallWatcher *watcher);
    // The portal did not hold the logout: asks again after the interval,
    // if the text is still unsaved then.
    void Failed();
    void Release();
    static void CloseRequest(const QString &requestPath);

    bool FUnsaved = false;
    // No bus, or a portal that cannot hold the logout: asked no more.
    bool FUnavailable = false;
    // The Inhibit call waiting for its answer, the request it will hold and
    // whether the portal refused that request before the answer came.
    QDBusPendingCallWatcher *FPending = nullptr;
    QString FPendingPath;
    bool FPendingRefused = false;
    // The portal's request object that holds the logout, while it does.
    QString FRequestPath;
    // The number of Inhibit calls made, which names each call's request.
    int FCalls = 0;
    // Started by a failure, while the text is unsaved and nothing is held.
    QTimer FRetryTimer;
    QElapsedTimer FSinceFailure;
};
