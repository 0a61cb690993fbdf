#include "portalsession.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>

#include <optional>

#include "portalrequest.h"
#include "portalsignals.h"

namespace {

const QString screenCastInterface = QStringLiteral("org.freedesktop.portal.ScreenCast");
const QString remoteDesktopInterface = QStringLiteral("org.freedesktop.portal.RemoteDesktop");

// Milliseconds the first call may take: the bus may have to start the portal, and a loaded
// desktop takes its time. Only past that is the portal called slow.
constexpr int firstCallTimeout = 25000;
constexpr int callTimeout = 10000;

constexpr uint sourceMonitor = 1;
constexpr uint cursorMetadata = 4;
constexpr uint devicePointer = 2;
constexpr uint persistUntilRevoked = 2;

// Beyond these a position or size is nonsense, not a monitor, and a list of streams is no
// desktop's (each would be a PipeWire stream of its own).
constexpr int largestCoordinate = 1 << 20;
constexpr int largestSide = 1 << 15;
constexpr int mostMonitors = 64;

std::optional<uint> uintIn(const QVariantMap &map, const QString &key)
{
    const QVariant value = map.value(key);
    return value.userType() == QMetaType::UInt ? std::optional<uint>(value.toUInt()) : std::nullopt;
}

// A nested D-Bus value of exactly `signature`: reading one of another shape crashes libdbus.
std::optional<QDBusArgument> argumentOf(const QVariant &value, const char *signature)
{
    if (value.userType() != qMetaTypeId<QDBusArgument>())
        return std::nullopt;
    const QDBusArgument argument = value.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String(signature))
        return std::nullopt;
    return argument;
}

// An "(ii)" pair; `fallback` when absent, nothing when of another type.
std::optional<QPoint> pairOf(const QVariantMap &map, const QString &key, const QPoint &fallback)
{
    if (!map.contains(key))
        return fallback;
    const std::optional<QDBusArgument> argument = argumentOf(map.value(key), "(ii)");
    if (!argument)
        return std::nullopt;
    int x = 0;
    int y = 0;
    argument->beginStructure();
    *argument >> x >> y;
    argument->endStructure();
    return QPoint(x, y);
}

// A stream's place: a missing size is taken from the pictures (0 here).
std::optional<QRect> layoutOf(const QVariantMap &properties)
{
    const std::optional<QPoint> at = pairOf(properties, QStringLiteral("position"), QPoint());
    const std::optional<QPoint> size = pairOf(properties, QStringLiteral("size"), QPoint());
    const auto within = [](int value, int low, int high) { return value >= low && value <= high; };
    if (!at || !size || !within(at->x(), -largestCoordinate, largestCoordinate)
        || !within(at->y(), -largestCoordinate, largestCoordinate) || !within(size->x(), 0, largestSide)
        || !within(size->y(), 0, largestSide) || (size->x() == 0) != (size->y() == 0))
        return std::nullopt;
    return QRect(*at, QSize(size->x(), size->y()));
}

// The Start response's "streams", a(ua{sv}); nothing when any part is not what it must be, or
// there are more than any desktop has monitors.
std::optional<QList<PortalStream>> streamsOf(const QVariant &value)
{
    const std::optional<QDBusArgument> argument = argumentOf(value, "a(ua{sv})");
    if (!argument)
        return std::nullopt;
    QList<PortalStream> streams;
    bool sound = true;
    argument->beginArray(); // read to its end: an array left open is never freed
    while (!argument->atEnd()) {
        PortalStream stream;
        QVariantMap properties;
        argument->beginStructure();
        *argument >> stream.node >> properties;
        argument->endStructure();
        const std::optional<QRect> layout = layoutOf(properties);
        sound = sound && layout;
        stream.layout = layout.value_or(QRect());
        streams.append(stream);
    }
    argument->endArray();
    sound = sound && streams.size() <= mostMonitors;
    return sound ? std::optional<QList<PortalStream>>(streams) : std::nullopt;
}

// A handle given as a string (as the portals document) or as an object path.
QString pathText(const QVariant &value)
{
    if (value.userType() == qMetaTypeId<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    return value.userType() == QMetaType::QString ? value.toString() : QString();
}

QVariant objectPath(const QString &path)
{
    return QVariant::fromValue(QDBusObjectPath(path));
}

} // namespace

PortalSession::PortalSession(const QDBusConnection &bus, const QString &restoreToken, QObject *parent)
    : QObject(parent)
    , bus(bus)
    , offeredToken(restoreToken)
{
}

PortalSession::~PortalSession()
{
    delete pending; // closes a Request still open
    if (sessionHandle.isEmpty() || !QCoreApplication::instance() || !bus.isConnected())
        return;
    bus.send(QDBusMessage::createMethodCall(owner, sessionHandle, QStringLiteral("org.freedesktop.portal.Session"),
                                            QStringLiteral("Close")));
}

void PortalSession::start()
{
    if (!bus.isConnected()) {
        fail(DesktopProblem::NoPortal);
        return;
    }
    readProperties(screenCastInterface, [this](const QVariantMap &properties) { onScreenCastProperties(properties); });
}

void PortalSession::movePointerTo(quint32 node, const QPointF &to)
{
    notify(QStringLiteral("NotifyPointerMotionAbsolute"),
           {objectPath(sessionHandle), QVariantMap(), node, to.x(), to.y()});
}

void PortalSession::movePointerBy(const QPointF &by)
{
    notify(QStringLiteral("NotifyPointerMotion"), {objectPath(sessionHandle), QVariantMap(), by.x(), by.y()});
}

// A move the portal refuses means the arrows do not work: said, not swallowed.
void PortalSession::notify(const QString &method, const QVariantList &arguments)
{
    if (!canMovePointer())
        return;
    QDBusPendingCallWatcher *watcher = call(remoteDesktopInterface, method, arguments);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        if (finished->isError() && !ended)
            emit problem(DesktopProblem::NoPointerMoves);
    });
}

// Hands `then` the interface's properties; none at all when the interface is missing. The
// first call tells a missing portal from a slow one.
void PortalSession::readProperties(const QString &interface, const Then &then)
{
    const bool first = owner.isEmpty();
    QDBusMessage message = QDBusMessage::createMethodCall(first ? portal::service : owner, portal::path,
                                                          QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("GetAll"));
    message << interface;
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(message, first ? firstCallTimeout : callTimeout), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, then, first](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        const QDBusPendingReply<QVariantMap> reply = *finished;
        if (!reply.isError()) {
            then(reply.value());
            return;
        }
        const DesktopProblem why = problemOfError(reply.error().type());
        if (first || why == DesktopProblem::PortalSlow)
            fail(why);
        else
            then(QVariantMap()); // the interface is missing
    });
}

// Without the pointer as metadata the magnifier cannot follow it: no consent is asked for a
// session that could not serve.
void PortalSession::onScreenCastProperties(const QVariantMap &properties)
{
    const std::optional<uint> version = uintIn(properties, QStringLiteral("version"));
    if (!version) {
        fail(DesktopProblem::NoPortal);
        return;
    }
    screenCastVersion = *version;
    if (!(uintIn(properties, QStringLiteral("AvailableCursorModes")).value_or(0) & cursorMetadata)) {
        fail(DesktopProblem::NoCursorMetadata);
        return;
    }
    findOwner();
}

// From here on only the portal's own unique name is listened to, and its going away (a
// restart, a crash) ends the session at once.
void PortalSession::findOwner()
{
    ownerWatch = new QDBusServiceWatcher(portal::service, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(ownerWatch, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &newOwner) { onOwnerChanged(newOwner); });
    QDBusMessage message = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                          QStringLiteral("/org/freedesktop/DBus"),
                                                          QStringLiteral("org.freedesktop.DBus"),
                                                          QStringLiteral("GetNameOwner"));
    message << portal::service;
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(message, callTimeout), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        const QDBusPendingReply<QString> reply = *finished;
        if (reply.isError() || !reply.value().startsWith(QLatin1Char(':'))) {
            fail(DesktopProblem::PortalFailed);
            return;
        }
        owner = reply.value();
        readProperties(remoteDesktopInterface, [this](const QVariantMap &rd) { onRemoteDesktopProperties(rd); });
    });
}

void PortalSession::onOwnerChanged(const QString &newOwner)
{
    if (!owner.isEmpty() && newOwner != owner)
        fail(running ? DesktopProblem::StreamEnded : DesktopProblem::PortalFailed);
}

void PortalSession::onRemoteDesktopProperties(const QVariantMap &properties)
{
    if (uintIn(properties, QStringLiteral("AvailableDeviceTypes")).value_or(0) & devicePointer)
        remoteDesktopVersion = uintIn(properties, QStringLiteral("version")).value_or(0);
    if (remoteDesktopVersion == 0)
        emit problem(DesktopProblem::NoPointerMoves);
    createSession();
}

void PortalSession::createSession()
{
    static int sessions = 0;
    const QVariantMap options{{QStringLiteral("session_handle_token"), QStringLiteral("vikaro_session%1").arg(++sessions)}};
    request(remoteDesktopVersion ? remoteDesktopInterface : screenCastInterface, QStringLiteral("CreateSession"), {},
            options, [this](const QVariantMap &results) {
                sessionHandle = pathText(results.value(QStringLiteral("session_handle")));
                if (sessionHandle.isEmpty()) {
                    fail(DesktopProblem::PortalFailed);
                    return;
                }
                sessionSignals = new PortalSignals(bus, owner, sessionHandle, "org.freedesktop.portal.Session", this);
                connect(sessionSignals, &PortalSignals::Closed, this, &PortalSession::onClosed);
                remoteDesktopVersion ? selectDevices() : selectSources();
            });
}

void PortalSession::onClosed(const QDBusMessage &message)
{
    if (message.service() == owner)
        fail(DesktopProblem::StreamEnded);
}

// Asks the portal to keep the session until the user revokes it, offering back the last token.
void PortalSession::askToPersist(QVariantMap &options) const
{
    options.insert(QStringLiteral("persist_mode"), persistUntilRevoked);
    if (!offeredToken.isEmpty())
        options.insert(QStringLiteral("restore_token"), offeredToken);
}

// Persistence of a session with remote control is the RemoteDesktop portal's alone.
void PortalSession::selectDevices()
{
    QVariantMap options{{QStringLiteral("types"), devicePointer}};
    if (remoteDesktopVersion >= 2)
        askToPersist(options);
    request(remoteDesktopInterface, QStringLiteral("SelectDevices"), {objectPath(sessionHandle)}, options,
            [this](const QVariantMap &) { selectSources(); });
}

void PortalSession::selectSources()
{
    QVariantMap options{{QStringLiteral("types"), sourceMonitor},
                        {QStringLiteral("multiple"), true},
                        {QStringLiteral("cursor_mode"), cursorMetadata}};
    if (remoteDesktopVersion == 0 && screenCastVersion >= 4)
        askToPersist(options);
    request(screenCastInterface, QStringLiteral("SelectSources"), {objectPath(sessionHandle)}, options,
            [this](const QVariantMap &) { startSession(); });
}

void PortalSession::startSession()
{
    request(remoteDesktopVersion ? remoteDesktopInterface : screenCastInterface, QStringLiteral("Start"),
            {objectPath(sessionHandle), QString()}, {}, [this](const QVariantMap &results) { onStarted(results); });
}

// Consent given, for the screen at least: the pointer may still have been left out. A token
// serves once: the one offered is spent, whether or not a new one came.
void PortalSession::onStarted(const QVariantMap &results)
{
    const QVariant token = results.value(QStringLiteral("restore_token"));
    emit tokenIssued(token.userType() == QMetaType::QString ? token.toString() : QString());
    const std::optional<QList<PortalStream>> streams = streamsOf(results.value(QStringLiteral("streams")));
    if (!streams || streams->isEmpty()) {
        fail(DesktopProblem::PortalFailed);
        return;
    }
    if (remoteDesktopVersion) {
        pointerGranted = uintIn(results, QStringLiteral("devices")).value_or(0) & devicePointer;
        if (!pointerGranted)
            emit problem(DesktopProblem::NoPointerMoves);
    }
    openPipeWire(*streams);
}

void PortalSession::openPipeWire(const QList<PortalStream> &streams)
{
    QDBusPendingCallWatcher *watcher
        = call(screenCastInterface, QStringLiteral("OpenPipeWireRemote"), {objectPath(sessionHandle), QVariantMap()});
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, streams](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *finished;
        if (reply.isError() || !reply.value().isValid()) {
            fail(reply.isError() ? problemOfError(reply.error().type()) : DesktopProblem::PortalFailed);
            return;
        }
        if (ended)
            return;
        running = true;
        emit started(reply.value(), streams);
    });
}

// One Request at a time: the session's calls go in order, each after the last one's answer.
void PortalSession::request(const QString &interface, const QString &method, const QVariantList &arguments,
                            const QVariantMap &options, const Then &then)
{
    if (ended)
        return;
    pending = new PortalRequest(bus, owner, interface, method, arguments, options, this);
    PortalRequest *current = pending;
    const auto done = [this, current] {
        if (pending == current)
            pending = nullptr;
        current->deleteLater();
    };
    connect(current, &PortalRequest::granted, this, [this, then, done](const QVariantMap &results) {
        done();
        if (!ended)
            then(results);
    });
    connect(current, &PortalRequest::failed, this, [this, done](DesktopProblem why) {
        done();
        fail(why);
    });
}

QDBusPendingCallWatcher *PortalSession::call(const QString &interface, const QString &method,
                                             const QVariantList &arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(owner, portal::path, interface, method);
    message.setArguments(arguments);
    return new QDBusPendingCallWatcher(bus.asyncCall(message, callTimeout), this);
}

void PortalSession::fail(DesktopProblem why)
{
    if (ended)
        return;
    ended = true;
    running = false;
    emit problem(why);
}
