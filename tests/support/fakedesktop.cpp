#include "fakedesktop.h"

#include <QPainter>

FakeDesktop::FakeDesktop(const QImage &picture, const QPoint &origin)
    : picture(picture.convertToFormat(QImage::Format_RGB32))
    , origin(origin)
{
}

QPoint FakeDesktop::cursorPos()
{
    return cursor;
}

void FakeDesktop::setCursorPos(const QPoint &globalPos)
{
    cursor = globalPos;
    pointerMoves.append(globalPos);
}

QImage FakeDesktop::grab(QScreen *, const QRect &rect)
{
    ++grabs;
    QImage square(rect.size(), QImage::Format_RGB32);
    square.fill(Qt::black);
    QPainter painter(&square);
    painter.drawImage(origin - rect.topLeft(), picture);
    return square;
}

QRgb patternPixel(int x, int y)
{
    return qRgb((x * 7 + y * 3) & 0xFF, (x * 13 + y * 29) & 0xFF, (x * 5 + y * 17 + 91) & 0xFF);
}

QImage patternPicture(const QSize &size)
{
    QImage picture(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            picture.setPixel(x, y, patternPixel(x, y));
    return picture;
}

FakeDesktop *useFakeDesktop(const QSize &size)
{
    auto fake = std::make_unique<FakeDesktop>(patternPicture(size));
    FakeDesktop *raw = fake.get();
    setDesktop(std::move(fake));
    return raw;
}
