#include "vikaro.h"

#include <QBackingStore>
#include <QRegion>

#include "colorswatch.h"
#include "picturelabel.h"
#include "textlabel.h"

namespace {

// Whether nothing of the window paints over `widget` but the widget itself: it lies within each
// of its ancestors, and no shown child widget stacked above it, or above an ancestor, meets it.
bool unobstructed(const QWidget *widget)
{
    QRect area = widget->rect();
    for (const QWidget *w = widget; !w->isWindow(); w = w->parentWidget()) {
        const QWidget *parent = w->parentWidget();
        area.translate(w->pos());
        if (!parent->rect().contains(area))
            return false;
        const QObjectList &siblings = parent->children();
        for (int i = siblings.indexOf(const_cast<QWidget *>(w)) + 1; i < siblings.size(); ++i) {
            const QObject *sibling = siblings.at(i);
            if (!sibling->isWidgetType())
                continue;
            const auto *above = static_cast<const QWidget *>(sibling);
            if (!above->isWindow() && !above->isHidden() && above->geometry().intersects(area))
                return false;
        }
    }
    return true;
}

} // namespace

// The parts a tick may change.
std::array<StraightPainted *, 6> Vikaro::tickParts() const
{
    return {zoomLabel, swatch8, swatch4, hexLabel, decLabel, positionLabel};
}

void Vikaro::holdTickRepaints()
{
    for (StraightPainted *part : tickParts())
        part->holdRepaints();
}

// What the tick changed is painted straight into the window's backing store and flushed, all
// of it or, where any part cannot be, none of it: then the toolkit repaints it as usual.
void Vikaro::paintTickChanges()
{
    const auto parts = tickParts();
    std::array<QPoint, std::tuple_size<decltype(parts)>::value> places; // in the window
    QRegion region;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i]->heldRepaint().isEmpty())
            continue;
        places[i] = parts[i]->widget()->mapTo(this, QPoint());
        region += parts[i]->heldRepaint().translated(places[i]);
    }
    QImage *target = region.isEmpty() ? nullptr : straightTarget(region);
    if (target) {
        QBackingStore *store = backingStore();
        store->beginPaint(region);
        for (std::size_t i = 0; i < parts.size(); ++i)
            if (!parts[i]->heldRepaint().isEmpty())
                parts[i]->paintStraight(*target, places[i]);
        store->endPaint();
        store->flush(region, windowHandle());
    }
    for (StraightPainted *part : parts)
        part->releaseRepaints(target != nullptr);
}

// The backing store's image, when every changed part can be painted into it one to one and
// nothing else of the window covers them; else null.
QImage *Vikaro::straightTarget(const QRegion &region)
{
    QBackingStore *store = backingStore();
    if (!store || !windowHandle() || !windowHandle()->isExposed() || devicePixelRatioF() != 1)
        return nullptr;
    QPaintDevice *device = store->paintDevice();
    if (!device || device->devType() != QInternal::Image)
        return nullptr;
    auto *image = static_cast<QImage *>(device);
    if (image->devicePixelRatio() != 1 || !image->rect().contains(region.boundingRect()))
        return nullptr;
    for (StraightPainted *part : tickParts())
        if (!part->heldRepaint().isEmpty()
            && (!part->widget()->isVisible() || !unobstructed(part->widget()) || !part->canPaintStraight(image->format())))
            return nullptr;
    return image;
}
