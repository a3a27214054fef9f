// Holds the desktop's logout while the writer's text is unsaved, through the
// desktop portal's Inhibit call, and lets it go as soon as the text is saved.
// Where there is no session bus or no portal, it does nothing and says
// nothing.
#pragma once

#include <QObject>
#include <QString>

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

private:
    void Inhibit();
    void InhibitFinished(QDBusPendingCallWatcher *watcher);
    void Release();
    static void CloseRequest(const QString &requestPath);

    bool FUnsaved = false;
    // No bus, or a portal that cannot hold the logout: asked no more.
    bool FUnavailable = false;
    // The Inhibit call waiting for its answer.
    QDBusPendingCallWatcher *FPending = nullptr;
    // The portal's request object that holds the logout, while it does.
    QString FRequestPath;
};
