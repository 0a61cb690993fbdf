#pragma once

#include <QDBusAbstractInterface>
#include <QVariantMap>

// The signals of a portal's Request or Session object at `path`, from any sender: declared
// here so they can be connected like any Qt signal (the bus is asked for them only once one
// is connected). The Request path is known before the call that creates it, so one can listen
// before calling, as the portals ask.
class PortalSignals : public QDBusAbstractInterface
{
    Q_OBJECT

public:
    PortalSignals(const QDBusConnection &bus, const QString &path, const char *interface, QObject *parent)
        : QDBusAbstractInterface(QString(), path, interface, bus, parent)
    {
    }

signals:
    // org.freedesktop.portal.Request: 0 granted, 1 refused by the user, 2 anything else.
    void Response(uint response, const QVariantMap &results);
    // org.freedesktop.portal.Session: the session ended on the portal's side.
    void Closed(const QVariantMap &details);
};
