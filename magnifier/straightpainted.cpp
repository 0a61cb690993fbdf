#include "straightpainted.h"

#include <QWidget>

StraightPainted::StraightPainted(QWidget *widget)
    : self(widget)
{
}

void StraightPainted::releaseRepaints(bool paintedStraight)
{
    if (!paintedStraight && !held.isEmpty())
        self->update(held);
    held = QRect();
    holding = false;
}

void StraightPainted::changed(const QRect &rect)
{
    if (holding)
        held |= rect;
    else
        self->update(rect);
}
