#include "portalrequest.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include "portalsignals.h"

namespace {

// Milliseconds a call may take to be answered (the user's consent comes later, as a signal).
constexpr int callTimeout = 10000;
constexpr uint responseGranted = 0;
constexpr uint responseRefused = 1;

// Unique in the process, so a new session never meets an old one's paths.
QString nextToken()
{
    static int tokens = 0;
    return QStringLiteral("vikaro%1").arg(++tokens);
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

DesktopProblem problemOfError(int dbusErrorType)
{
    switch (dbusErrorType) {
    case QDBusError::NoReply:
    case QDBusError::Timeout:
    case QDBusError::TimedOut:
        return DesktopProblem::PortalSlow;
    case QDBusError::ServiceUnknown:
    case QDBusError::UnknownObject:
    case QDBusError::UnknownInterface:
        return DesktopProblem::NoPortal;
    default:
        return DesktopProblem::PortalFailed;
    }
}

PortalRequest::PortalRequest(const QDBusConnection &bus, const QString &portal, const QString &interface,
                             const QString &method, QVariantList arguments, QVariantMap options, QObject *parent)
    : QObject(parent)
    , bus(bus)
    , portal(portal)
{
    const QString token = nextToken();
    options.insert(QStringLiteral("handle_token"), token);
    listenAt(portal::path + QStringLiteral("/request/") + senderPart(bus) + QLatin1Char('/') + token);
    arguments.append(options);
    QDBusMessage call = QDBusMessage::createMethodCall(portal, portal::path, interface, method);
    call.setArguments(arguments);
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, callTimeout), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *finished;
        if (reply.isError()) {
            finish();
            emit failed(problemOfError(reply.error().type()));
        } else if (reply.value().path() != path && !answered) {
            listenAt(reply.value().path()); // older portals choose their own path
        }
    });
}

// A Request still waiting is closed, so the portal drops its dialog.
PortalRequest::~PortalRequest()
{
    if (answered || !bus.isConnected())
        return;
    bus.send(QDBusMessage::createMethodCall(portal, path, QStringLiteral("org.freedesktop.portal.Request"),
                                            QStringLiteral("Close")));
}

void PortalRequest::listenAt(const QString &requestPath)
{
    delete response;
    path = requestPath;
    response = new PortalSignals(bus, portal, path, "org.freedesktop.portal.Request", this);
    connect(response, &PortalSignals::Response, this, &PortalRequest::onResponse);
}

void PortalRequest::onResponse(const QDBusMessage &message)
{
    if (answered || message.service() != portal)
        return;
    finish();
    const QVariantList arguments = message.arguments();
    if (message.signature() != QLatin1String("ua{sv}")) {
        emit failed(DesktopProblem::PortalFailed);
        return;
    }
    const uint code = arguments.at(0).toUInt();
    if (code == responseGranted)
        emit granted(qdbus_cast<QVariantMap>(arguments.at(1)));
    else
        emit failed(code == responseRefused ? DesktopProblem::Refused : DesktopProblem::PortalFailed);
}

// Answered once: later Responses, and the reply's path, no longer count.
void PortalRequest::finish()
{
    answered = true;
    if (response)
        response->deleteLater();
    response = nullptr;
}
