#include "portalsession.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include "portalsignals.h"
#include "settings/cdata.h"

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString screenCastInterface = QStringLiteral("org.freedesktop.portal.ScreenCast");
const QString remoteDesktopInterface = QStringLiteral("org.freedesktop.portal.RemoteDesktop");

// The restore token lives beside the preferences, in a group of its own.
const QString tokenGroup = QStringLiteral("Portal");
const QString tokenKey = QStringLiteral("Restore token");

// Milliseconds a portal call may take to answer (not the user's consent, which comes later
// as a signal): long enough for the portal to be started on demand.
constexpr int callTimeout = 4000;

constexpr uint sourceMonitor = 1;
constexpr uint cursorMetadata = 4;
constexpr uint devicePointer = 2;
constexpr uint persistUntilRevoked = 2;
constexpr uint responseRefused = 1;

// Asks the portal to keep the session until the user revokes it, offering back the last token.
void askToPersist(QVariantMap &options)
{
    options.insert(QStringLiteral("persist_mode"), persistUntilRevoked);
    const QString token = CData().getString(tokenGroup, tokenKey);
    if (!token.isEmpty())
        options.insert(QStringLiteral("restore_token"), token);
}

// A token serves once: the one offered is spent, whether or not a new one came.
void keepToken(const QString &token)
{
    CData store;
    if (!token.isEmpty())
        store.setString(tokenGroup, tokenKey, token);
    else if (!store.getString(tokenGroup, tokenKey).isEmpty())
        store.removeKey(tokenGroup, tokenKey);
}

QPoint pointOf(const QVariant &value)
{
    int x = 0;
    int y = 0;
    const QDBusArgument argument = value.value<QDBusArgument>();
    if (argument.currentType() != QDBusArgument::StructureType)
        return QPoint();
    argument.beginStructure();
    argument >> x >> y;
    argument.endStructure();
    return QPoint(x, y);
}

// The Start response's "streams", a(ua{sv}).
QList<PortalStream> streamsOf(const QVariant &value)
{
    QList<PortalStream> streams;
    const QDBusArgument argument = value.value<QDBusArgument>();
    if (argument.currentType() != QDBusArgument::ArrayType)
        return streams;
    argument.beginArray();
    while (!argument.atEnd()) {
        PortalStream stream;
        QVariantMap properties;
        argument.beginStructure();
        argument >> stream.node >> properties;
        argument.endStructure();
        stream.position = pointOf(properties.value(QStringLiteral("position")));
        const QPoint size = pointOf(properties.value(QStringLiteral("size")));
        stream.size = QSize(size.x(), size.y());
        streams.append(stream);
    }
    argument.endArray();
    return streams;
}

// A handle given as a string (as the portals document) or as an object path.
QString pathText(const QVariant &value)
{
    if (value.userType() == qMetaTypeId<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    return value.toString();
}

// The part of the bus's unique name a Request path is made from: ":1.42" gives "1_42".
QString senderPart(const QDBusConnection &bus)
{
    QString name = bus.baseService();
    if (name.startsWith(QLatin1Char(':')))
        name.remove(0, 1);
    return name.replace(QLatin1Char('.'), QLatin1Char('_'));
}

} // namespace

PortalSession::PortalSession(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , bus(bus)
{
}

PortalSession::~PortalSession()
{
    if (sessionHandle.isEmpty() || !QCoreApplication::instance() || !bus.isConnected())
        return;
    const QString sessionInterface = QStringLiteral("org.freedesktop.portal.Session");
    bus.send(QDBusMessage::createMethodCall(portalService, sessionHandle, sessionInterface, QStringLiteral("Close")));
}

void PortalSession::start()
{
    if (!bus.isConnected()) {
        fail(DesktopProblem::NoPortal);
        return;
    }
    readProperties(screenCastInterface, [this](const QVariantMap &properties) { onScreenCastProperties(properties); });
}

void PortalSession::movePointer(quint32 node, const QPointF &at)
{
    if (!pointerGranted || ended)
        return;
    bus.send(callTo(remoteDesktopInterface, QStringLiteral("NotifyPointerMotionAbsolute"),
                    {QVariant::fromValue(QDBusObjectPath(sessionHandle)), QVariantMap(), node, at.x(), at.y()}));
}

// Hands `then` the interface's properties; none at all when the portal or the interface is
// missing.
void PortalSession::readProperties(const QString &interface, const Then &then)
{
    QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath,
                                                       QStringLiteral("org.freedesktop.DBus.Properties"),
                                                       QStringLiteral("GetAll"));
    call << interface;
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, callTimeout), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [then](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        const QDBusPendingReply<QVariantMap> reply = *finished;
        then(reply.isError() ? QVariantMap() : reply.value());
    });
}

// Without the pointer as metadata the magnifier cannot follow it: no consent is asked for a
// session that could not serve.
void PortalSession::onScreenCastProperties(const QVariantMap &properties)
{
    if (!properties.contains(QStringLiteral("version"))) {
        fail(DesktopProblem::NoPortal);
        return;
    }
    screenCastVersion = properties.value(QStringLiteral("version")).toUInt();
    if (!(properties.value(QStringLiteral("AvailableCursorModes")).toUInt() & cursorMetadata)) {
        fail(DesktopProblem::NoCursorMetadata);
        return;
    }
    readProperties(remoteDesktopInterface, [this](const QVariantMap &rd) { onRemoteDesktopProperties(rd); });
}

void PortalSession::onRemoteDesktopProperties(const QVariantMap &properties)
{
    if (properties.value(QStringLiteral("AvailableDeviceTypes")).toUInt() & devicePointer)
        remoteDesktopVersion = properties.value(QStringLiteral("version")).toUInt();
    if (remoteDesktopVersion == 0)
        emit problem(DesktopProblem::NoPointerMoves);
    createSession();
}

void PortalSession::createSession()
{
    const QVariantMap options{{QStringLiteral("session_handle_token"), nextToken()}};
    request(remoteDesktopVersion ? remoteDesktopInterface : screenCastInterface, QStringLiteral("CreateSession"), {},
            options, [this](const QVariantMap &results) {
                sessionHandle = pathText(results.value(QStringLiteral("session_handle")));
                if (sessionHandle.isEmpty()) {
                    fail(DesktopProblem::PortalFailed);
                    return;
                }
                sessionSignals = new PortalSignals(bus, sessionHandle, "org.freedesktop.portal.Session", this);
                connect(sessionSignals, &PortalSignals::Closed, this, [this] {
                    ended = true;
                    emit closed();
                });
                remoteDesktopVersion ? selectDevices() : selectSources();
            });
}

// Persistence of a session with remote control is the RemoteDesktop portal's alone.
void PortalSession::selectDevices()
{
    QVariantMap options{{QStringLiteral("types"), devicePointer}};
    if (remoteDesktopVersion >= 2)
        askToPersist(options);
    request(remoteDesktopInterface, QStringLiteral("SelectDevices"),
            {QVariant::fromValue(QDBusObjectPath(sessionHandle))}, options,
            [this](const QVariantMap &) { selectSources(); });
}

void PortalSession::selectSources()
{
    QVariantMap options{{QStringLiteral("types"), sourceMonitor},
                        {QStringLiteral("multiple"), true},
                        {QStringLiteral("cursor_mode"), cursorMetadata}};
    if (remoteDesktopVersion == 0 && screenCastVersion >= 4)
        askToPersist(options);
    request(screenCastInterface, QStringLiteral("SelectSources"), {QVariant::fromValue(QDBusObjectPath(sessionHandle))},
            options, [this](const QVariantMap &) { startSession(); });
}

void PortalSession::startSession()
{
    request(remoteDesktopVersion ? remoteDesktopInterface : screenCastInterface, QStringLiteral("Start"),
            {QVariant::fromValue(QDBusObjectPath(sessionHandle)), QString()}, {},
            [this](const QVariantMap &results) { onStarted(results); });
}

// Consent given, for the screen at least: the pointer may still have been left out.
void PortalSession::onStarted(const QVariantMap &results)
{
    keepToken(results.value(QStringLiteral("restore_token")).toString());
    const QList<PortalStream> streams = streamsOf(results.value(QStringLiteral("streams")));
    if (streams.isEmpty()) {
        fail(DesktopProblem::PortalFailed);
        return;
    }
    if (remoteDesktopVersion) {
        pointerGranted = results.value(QStringLiteral("devices")).toUInt() & devicePointer;
        if (!pointerGranted)
            emit problem(DesktopProblem::NoPointerMoves);
    }
    openPipeWire(streams);
}

void PortalSession::openPipeWire(const QList<PortalStream> &streams)
{
    const QDBusMessage call = callTo(screenCastInterface, QStringLiteral("OpenPipeWireRemote"),
                                     {QVariant::fromValue(QDBusObjectPath(sessionHandle)), QVariantMap()});
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, callTimeout), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, streams](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *finished;
        if (reply.isError() || !reply.value().isValid()) {
            fail(DesktopProblem::PortalFailed);
            return;
        }
        emit started(reply.value(), streams);
    });
}

// One request of the portal: its Response is listened for on the path the portal will give it
// before the call goes out, and on the one it gave should that differ (older portals).
void PortalSession::request(const QString &interface, const QString &method, QVariantList arguments,
                            QVariantMap options, const Then &then)
{
    const QString token = nextToken();
    options.insert(QStringLiteral("handle_token"), token);
    const QString expected = portalPath + QStringLiteral("/request/") + senderPart(bus) + QLatin1Char('/') + token;
    listenForResponse(expected, then);
    arguments.append(options);
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(callTo(interface, method, arguments), callTimeout), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [=](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *finished;
        if (reply.isError())
            fail(DesktopProblem::PortalFailed);
        else if (reply.value().path() != expected)
            listenForResponse(reply.value().path(), then);
    });
}

void PortalSession::listenForResponse(const QString &requestPath, const Then &then)
{
    delete pendingRequest;
    pendingRequest = new PortalSignals(bus, requestPath, "org.freedesktop.portal.Request", this);
    connect(pendingRequest, &PortalSignals::Response, this,
            [this, then](uint response, const QVariantMap &results) { onResponse(response, results, then); });
}

void PortalSession::onResponse(uint response, const QVariantMap &results, const Then &then)
{
    pendingRequest->deleteLater();
    pendingRequest = nullptr;
    if (ended)
        return;
    if (response == 0)
        then(results);
    else
        fail(response == responseRefused ? DesktopProblem::Refused : DesktopProblem::PortalFailed);
}

QDBusMessage PortalSession::callTo(const QString &interface, const QString &method, const QVariantList &arguments) const
{
    QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath, interface, method);
    call.setArguments(arguments);
    return call;
}

// Unique in the process, so a new session never meets an old one's paths.
QString PortalSession::nextToken()
{
    static int tokens = 0;
    return QStringLiteral("vikaro%1").arg(++tokens);
}

void PortalSession::fail(DesktopProblem why)
{
    if (ended)
        return;
    ended = true;
    emit problem(why);
}
