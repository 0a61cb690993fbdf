#include "desktop.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopWidget>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>

namespace {

// The toolkit grabs per screen and clips to what exists; pixels off the desktop come back
// missing. Paint what was grabbed where it belongs in a full black square.
QImage placedOnBlack(const QPixmap &grabbed, const QRect &rect, const QRect &desktopArea)
{
    QImage square = Desktop::newSquare(rect.size());
    const QRect onDesktop = rect.intersected(desktopArea);
    if (grabbed.isNull() || onDesktop.isEmpty())
        return square;
    QPainter painter(&square);
    painter.drawPixmap(onDesktop.topLeft() - rect.topLeft(), grabbed);
    return square;
}

class ToolkitDesktop : public Desktop
{
public:
    QPoint cursorPos() override { return QCursor::pos(); }
    void setCursorPos(const QPoint &globalPos) override { QCursor::setPos(globalPos); }

    // Grabbed through the screen under the square's centre: each grabs the whole desktop.
    QImage grab(const QRect &rect) override
    {
        QScreen *screen = QGuiApplication::screenAt(rect.center());
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        if (!screen)
            return placedOnBlack(QPixmap(), rect, QRect());
        const QRect desktopArea = screen->virtualGeometry();
        const QRect onDesktop = rect.intersected(desktopArea);
        if (onDesktop.isEmpty())
            return placedOnBlack(QPixmap(), rect, desktopArea);
        const WId whole = QApplication::desktop()->winId();
        const QPixmap grabbed = screen->grabWindow(whole, onDesktop.x(), onDesktop.y(),
                                                   onDesktop.width(), onDesktop.height());
        if (onDesktop == rect && grabbed.size() == rect.size())
            return grabbed.toImage();
        return placedOnBlack(grabbed, rect, desktopArea);
    }
};

} // namespace

std::unique_ptr<Desktop> createToolkitDesktop()
{
    return std::make_unique<ToolkitDesktop>();
}
