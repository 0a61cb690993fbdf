#pragma once

#include <QDBusAbstractInterface>
#include <QDBusMessage>

// The signals of a portal's Request or Session object at `path`, from `sender` alone (the
// portal's unique name: any other client of the bus may send a signal of the same name). They
// carry the whole message, of whatever signature, so the reader checks it before reading: a
// signal declared with typed arguments would silently drop a wrong one, and a Response that
// never counts would leave the user waiting for ever.
class PortalSignals : public QDBusAbstractInterface
{
    Q_OBJECT

public:
    PortalSignals(const QDBusConnection &bus, const QString &sender, const QString &path, const char *interface,
                  QObject *parent)
        : QDBusAbstractInterface(sender, path, interface, bus, parent)
    {
    }

signals:
    // org.freedesktop.portal.Request, "ua{sv}": 0 granted, 1 refused by the user, 2 anything else.
    void Response(const QDBusMessage &message);
    // org.freedesktop.portal.Session, "a{sv}": the session ended on the portal's side.
    void Closed(const QDBusMessage &message);
};
