#include "clabel.h"

#include <QMouseEvent>
#include <QPixmap>

namespace {

const QString highlightStyle = QStringLiteral("QLabel { background: rgba(200, 160, 200, 200); }");
const QString dimStyle = QStringLiteral("QLabel { background: rgba(50, 50, 50, 160); }");

// Deletes the old child and puts a fresh one in its place, on top of its siblings.
QLabel *renewChild(QLabel *&child, QWidget *parent, const QRect &geometry)
{
    delete child;
    child = new QLabel(parent);
    child->setGeometry(geometry);
    return child;
}

} // namespace

CLabel::CLabel(QWidget *parent)
    : QLabel(parent)
{
}

CLabel::~CLabel() = default;

void CLabel::mousePressEvent(QMouseEvent *)
{
    emit clicked();
}

void CLabel::setupIcon(const QString &path, const QRect &rect, bool highlighted, bool dimmed)
{
    const QPixmap image(path);
    if (rect.isEmpty()) {
        setPixmap(image);
        return;
    }
    setGeometry(rect);
    renewChild(highlightLabel, this, QRect(0, 0, rect.width(), rect.height()));
    highlightLabel->setStyleSheet(highlightStyle);
    highlightLabel->setVisible(highlighted);
    const QRect imageRect((rect.width() - image.width()) / 2, (rect.height() - image.height()) / 2,
                          image.width(), image.height());
    renewChild(iconLabel, this, imageRect);
    iconLabel->setPixmap(image);
    renewChild(dimLabel, this, imageRect);
    dimLabel->setStyleSheet(dimStyle);
    dimLabel->setVisible(dimmed);
}

void CLabel::setHighlighted(bool on)
{
    if (!highlightLabel)
        return;
    highlightLabel->setVisible(on);
    highlightLabel->repaint();
}
