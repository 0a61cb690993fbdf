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
// missing. Paint what was grabbed where it belongs (`onDesktop`, global) in a full black square.
QImage placedOnBlack(const QPixmap &grabbed, const QRect &rect, const QRect &onDesktop)
{
    QImage square = Desktop::newSquare(rect.size());
    QPainter painter(&square);
    painter.drawPixmap(onDesktop.topLeft() - rect.topLeft(), grabbed);
    return square;
}

class ToolkitDesktop : public Desktop
{
public:
    ToolkitDesktop() { followToolkitScreens(); }

    QPoint cursorPos() override { return QCursor::pos(); }
    void setCursorPos(const QPoint &globalPos) override { QCursor::setPos(globalPos); }

    // Grabbed through the screen under the square's centre: each grabs the whole desktop. Null
    // without a screen, or when the toolkit gives no picture.
    QImage grab(const QRect &rect) override
    {
        QScreen *screen = QGuiApplication::screenAt(rect.center());
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        if (!screen)
            return QImage();
        const QRect onDesktop = rect.intersected(screen->virtualGeometry());
        if (onDesktop.isEmpty())
            return newSquare(rect.size());
        const WId whole = QApplication::desktop()->winId();
        const QPixmap grabbed = screen->grabWindow(whole, onDesktop.x(), onDesktop.y(),
                                                   onDesktop.width(), onDesktop.height());
        if (grabbed.isNull())
            return QImage();
        if (onDesktop == rect && grabbed.size() == rect.size())
            return grabbed.toImage();
        return placedOnBlack(grabbed, rect, onDesktop);
    }
};

} // namespace

std::unique_ptr<Desktop> createToolkitDesktop()
{
    return std::make_unique<ToolkitDesktop>();
}
