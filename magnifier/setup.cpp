#include "vikaro.h"

#include <QDebug>
#include <QGuiApplication>
#include <QScreen>

#include "desktop/desktop.h"
#include "desktop/monitorlayout.h"
#include "settings/cdata.h"
#include "settings/preferences.h"

namespace {

void traceMonitor(int index, const QScreen *screen)
{
    qDebug() << index << " name " << screen->name() << "   nb=" << monitorNumberOf(screen->name())
             << "  geometry=" << screen->geometry() << "  size=" << screen->size();
}

} // namespace

void Vikaro::UpdateSetup()
{
    const QList<QScreen *> all = QGuiApplication::screens();
    screenCount = all.size();
    QList<ScreenDesc> described;
    for (QScreen *screen : all)
        described.append({screen->name(), screen->geometry()});
    const QList<int> order = monitorOrder(described);
    for (int i = 0; i < order.size(); ++i)
        traceMonitor(i, all.at(order.at(i)));
    screenRects = desk.monitors();
    screenRectsVersion = desk.layoutVersion();

    CData store;
    zoomIndex = clampZoomIndex(store.getInt(prefs::group, prefs::zoomFactor));
    gridType = store.getInt(prefs::group, prefs::gridType);
    showFx = store.getInt(prefs::group, prefs::showFx) != 0;
    fxInHex = store.getInt(prefs::group, prefs::fxInHexa) != 0;
    for (int slot = 0; slot < storedColorCount; ++slot)
        storedColors[std::size_t(slot)] = quint32(store.getInt(prefs::group, prefs::colorKey(slot)));
}
