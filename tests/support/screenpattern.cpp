#include "screenpattern.h"

#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QScreen>

#include "fakedesktop.h"

const QPoint magnifierSpot(520, 300);

ScreenPattern::ScreenPattern()
    : QLabel(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    picture = patternPicture(screen.size());
    setPixmap(QPixmap::fromImage(picture));
    setGeometry(screen);
    show();
}

void ScreenPattern::paintPatch(const QRect &rect, QRgb rgb)
{
    QPainter painter(&picture);
    painter.fillRect(rect, QColor(rgb));
    painter.end();
    setPixmap(QPixmap::fromImage(picture));
    repaint();
}

QRgb ScreenPattern::pixelAt(const QPoint &p) const
{
    return picture.rect().contains(p) ? picture.pixel(p) : qRgb(0, 0, 0);
}

QString systemClipboardText()
{
    QProcess xclip;
    xclip.start("xclip", {"-o", "-selection", "clipboard"});
    // Our own process owns the selection and must answer the request meanwhile.
    while (!xclip.waitForFinished(10))
        QCoreApplication::processEvents();
    return QString::fromUtf8(xclip.readAllStandardOutput());
}
