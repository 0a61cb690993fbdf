#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QPointF>
#include <QSize>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <functional>

#include "desktop.h"

class PortalSignals;

// One monitor of a started session: its PipeWire node and its place on the desktop, in the
// compositor's coordinates (device pixels at scale 1).
struct PortalStream
{
    quint32 node = 0;
    QPoint position;
    QSize size; // empty when the portal did not say
};

// Drives one session of the desktop portals, asking the user's consent once: a RemoteDesktop
// session (pointer) with the ScreenCast sources of every monitor, the pointer as metadata, or a
// ScreenCast session alone where there is no RemoteDesktop portal. Everything is asynchronous:
// a call to the portal waits at most a few seconds, the user's consent as long as it takes, and
// nothing blocks meanwhile. The restore token the portal gives is kept in the settings store
// and offered at the next start.
class PortalSession : public QObject
{
    Q_OBJECT

public:
    explicit PortalSession(const QDBusConnection &bus, QObject *parent = nullptr);
    ~PortalSession() override; // closes the session on the portal

    void start();
    bool canMovePointer() const { return pointerGranted; }
    // Moves the pointer to `at`, relative to stream `node`'s top-left, in the compositor's
    // coordinates. Nothing happens unless canMovePointer().
    void movePointer(quint32 node, const QPointF &at);

signals:
    // The session runs: its pictures come over the PipeWire remote `pipeWire`.
    void started(const QDBusUnixFileDescriptor &pipeWire, const QList<PortalStream> &streams);
    // Something the session lacks. NoPointerMoves leaves it running; the others end it.
    void problem(DesktopProblem problem);
    // The portal closed the running session.
    void closed();

private:
    using Then = std::function<void(const QVariantMap &)>;

    void readProperties(const QString &interface, const Then &then);
    void onScreenCastProperties(const QVariantMap &properties);
    void onRemoteDesktopProperties(const QVariantMap &properties);
    void createSession();
    void selectDevices();
    void selectSources();
    void startSession();
    void onStarted(const QVariantMap &results);
    void openPipeWire(const QList<PortalStream> &streams);

    void request(const QString &interface, const QString &method, QVariantList arguments,
                 QVariantMap options, const Then &then);
    void listenForResponse(const QString &requestPath, const Then &then);
    void onResponse(uint response, const QVariantMap &results, const Then &then);
    QDBusMessage callTo(const QString &interface, const QString &method, const QVariantList &arguments) const;
    QString nextToken();
    void fail(DesktopProblem why);

    QDBusConnection bus;
    QString sessionHandle;
    PortalSignals *sessionSignals = nullptr;
    PortalSignals *pendingRequest = nullptr;
    uint screenCastVersion = 0;
    uint remoteDesktopVersion = 0; // 0: no RemoteDesktop portal, or no pointer on it
    bool pointerGranted = false;
    bool ended = false;
};
