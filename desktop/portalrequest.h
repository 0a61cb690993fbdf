#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include "desktop.h"

class PortalSignals;
class QDBusMessage;

// The desktop portal's well-known name and object.
namespace portal {
inline const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
inline const QString path = QStringLiteral("/org/freedesktop/portal/desktop");
} // namespace portal

// One call of a desktop portal that answers through a Request object, as the portals ask it to
// be made: the Response is listened for at the path the portal will give the Request, from the
// portal's own unique name, before the call goes out. Only the first Response of the right
// signature counts; one of another signature is the portal failing. Dropped before its answer
// (the session torn down, the user still deciding), it closes the Request on the portal.
class PortalRequest : public QObject
{
    Q_OBJECT

public:
    // Calls `method` of `interface` on the portal whose unique name is `portal`, with
    // `arguments` followed by `options` (a handle token added).
    PortalRequest(const QDBusConnection &bus, const QString &portal, const QString &interface, const QString &method,
                  QVariantList arguments, QVariantMap options, QObject *parent);
    ~PortalRequest() override;

signals:
    void granted(const QVariantMap &results);
    // Refused, failed, answered with nonsense, or the call itself failed.
    void failed(DesktopProblem why);

private:
    void listenAt(const QString &path);
    void onResponse(const QDBusMessage &message);
    void finish();

    QDBusConnection bus;
    QString portal;
    QString path;
    PortalSignals *response = nullptr;
    bool answered = false;
};

// What a failed call to the portal means: not there, there but not answering in time, or failing.
DesktopProblem problemOfError(int dbusErrorType);
