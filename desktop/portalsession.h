#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QRect>
#include <QString>
#include <QVariantMap>

#include "desktop.h"

class PortalRequest;
class PortalSignals;
class QDBusMessage;
class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

// One monitor of a started session: its PipeWire node and its place in the compositor's layout
// (logical pixels on a scaled desktop, device pixels otherwise).
struct PortalStream
{
    quint32 node = 0;
    QRect layout;
};

// Drives one session of the desktop portals, asking the user's consent once: a RemoteDesktop
// session (pointer) with the ScreenCast sources of every monitor, the pointer as metadata, or a
// ScreenCast session alone where there is no RemoteDesktop portal. Everything is asynchronous:
// a call to the portal waits a few seconds at most, the user's consent as long as it takes, and
// nothing blocks meanwhile. Only the portal's own unique name is listened to, and every answer
// is checked before it is read. Whatever ends the session is said once, through problem().
class PortalSession : public QObject
{
    Q_OBJECT

public:
    // `restoreToken`, when not empty, is offered to the portal in place of the consent dialog.
    PortalSession(const QDBusConnection &bus, const QString &restoreToken, QObject *parent = nullptr);
    ~PortalSession() override; // closes the session on the portal

    void start();
    bool canMovePointer() const { return pointerGranted && !ended; }
    // Moves the pointer to `to`, device pixels from stream `node`'s top-left.
    void movePointerTo(quint32 node, const QPointF &to);
    // Moves the pointer by `by` logical pixels.
    void movePointerBy(const QPointF &by);

signals:
    // The session runs: its pictures come over the PipeWire remote `pipeWire`.
    void started(const QDBusUnixFileDescriptor &pipeWire, const QList<PortalStream> &streams);
    // The token to offer at the next start; empty when there is none.
    void tokenIssued(const QString &token);
    // Something the session lacks. NoPointerMoves leaves it running; the others end it.
    void problem(DesktopProblem problem);

private:
    using Then = std::function<void(const QVariantMap &)>;

    void readProperties(const QString &interface, const Then &then);
    void onScreenCastProperties(const QVariantMap &properties);
    void findOwner();
    void onRemoteDesktopProperties(const QVariantMap &properties);
    void createSession();
    void selectDevices();
    void selectSources();
    void startSession();
    void onStarted(const QVariantMap &results);
    void openPipeWire(const QList<PortalStream> &streams);
    void onClosed(const QDBusMessage &message);
    void onOwnerChanged(const QString &newOwner);
    void askToPersist(QVariantMap &options) const;

    void request(const QString &interface, const QString &method, const QVariantList &arguments,
                 const QVariantMap &options, const Then &then);
    QDBusPendingCallWatcher *call(const QString &interface, const QString &method, const QVariantList &arguments);
    void notify(const QString &method, const QVariantList &arguments);
    void fail(DesktopProblem why);

    QDBusConnection bus;
    QString offeredToken;
    QString owner; // the portal's unique name on the bus
    QString sessionHandle;
    QDBusServiceWatcher *ownerWatch = nullptr;
    PortalSignals *sessionSignals = nullptr;
    PortalRequest *pending = nullptr;
    uint screenCastVersion = 0;
    uint remoteDesktopVersion = 0; // 0: no RemoteDesktop portal, or no pointer on it
    bool running = false;          // started, pictures on their way
    bool pointerGranted = false;
    bool ended = false;
};
