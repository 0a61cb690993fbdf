#include "layoutgeometry.h"

#include "state.h"

namespace {

constexpr int normalWidth = 205;
constexpr int memoryPanelWidth = 200;
constexpr int windowHeight = 362;
constexpr int pictureLeft = 8;
constexpr int pictureTop = 139;
constexpr int swatchTop = 77;
constexpr int swatchHeight = 32;

const QRect positionWithAnchor(23, 332, 162, 20);
const QRect positionWithoutAnchor(30, 332, 149, 20);

} // namespace

LayoutGeometry layoutFor(int zoomIndex, bool showFx, bool anchorSet)
{
    const ZoomLevel level = zoomLevels[std::size_t(zoomIndex)];
    LayoutGeometry g;
    g.side = level.factor * level.span;
    g.margin = (widestZoomSide - g.side) / 2 + 1;
    const int w8 = (2 * g.side) / 3;
    const int w4 = g.side / 3;
    g.swatchPanel = QRect(g.margin + pictureLeft, swatchTop, g.side + 2, swatchHeight + 2);
    g.swatch8 = QRect(1, 1, w8, swatchHeight);
    g.swatch4 = QRect(w8 + 1, 1, w4, swatchHeight);
    g.zoomPanel = QRect(g.margin + pictureLeft, g.margin + pictureTop, g.side + 2, g.side + 2);
    g.zoomLabel = QRect(1, 1, g.side, g.side);
    g.positionLabel = anchorSet ? positionWithAnchor : positionWithoutAnchor;
    g.window = QSize(normalWidth + (showFx ? memoryPanelWidth : 0), windowHeight);
    return g;
}

QString magnifierTitle(int zoomFactor, const QString &frozenSuffix)
{
    return QStringLiteral("Vikaro */%1").arg(zoomFactor) + frozenSuffix;
}
