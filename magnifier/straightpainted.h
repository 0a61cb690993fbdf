#pragma once

#include <QImage>
#include <QRect>

class QPoint;
class QWidget;

// A widget whose repaints its window may hold during a sampling tick to paint them itself,
// straight into its backing store, instead of through the toolkit's repaint of widgets (its
// events, its bookkeeping of what to repaint, a painter per widget: most of a tick's code). What
// is painted straight has the pixels the widget's own paint event would give.
class StraightPainted
{
public:
    explicit StraightPainted(QWidget *widget);
    virtual ~StraightPainted() = default;

    QWidget *widget() const { return self; }

    // From now on a change is gathered instead of repainted.
    void holdRepaints() { holding = true; }
    // The part gathered while held (widget coordinates); empty when nothing changed.
    QRect heldRepaint() const { return held; }
    // Ends the hold: the part gathered was painted straight, or is left to the toolkit.
    void releaseRepaints(bool paintedStraight);

    // Whether the held part can be painted straight into an image of `format` now.
    virtual bool canPaintStraight(QImage::Format format) = 0;
    // Paints the held part into `target` (one pixel per device pixel), the widget's top-left
    // at `at`, with nothing else of the window over it.
    virtual void paintStraight(QImage &target, const QPoint &at) = 0;

protected:
    // The widget's update() of `rect` (widget coordinates), gathered while held.
    void changed(const QRect &rect);

private:
    QWidget *self;
    QRect held;
    bool holding = false;
};
