#include <QApplication>
#include <QCursor>
#include <QProcess>
#include <QScreen>
#include <QtTest>

#include "app/platform.h"
#include "magnifier/desktop.h"
#include "support/picturecheck.h"
#include "support/screenpattern.h"
#include "support/testsupport.h"
#include "support/vikaroprobe.h"

namespace {

// The pointer as the X server has it, in device pixels, asked through another client.
QPoint devicePointer()
{
    QProcess xdotool;
    xdotool.start("xdotool", {"getmouselocation", "--shell"});
    xdotool.waitForFinished();
    QPoint p;
    for (const QString &line : QString::fromUtf8(xdotool.readAllStandardOutput()).split('\n')) {
        if (line.startsWith("X="))
            p.setX(line.mid(2).toInt());
        if (line.startsWith("Y="))
            p.setY(line.mid(2).toInt());
    }
    return p;
}

void moveDevicePointer(const QPoint &p)
{
    QProcess::execute("xdotool", {"mousemove", QString::number(p.x()), QString::number(p.y())});
}

} // namespace

// Started with the toolkit asked to scale the interface twice: the magnifier still reads,
// moves and shows device pixels.
class TestScaled : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScreenPattern> pattern;
    std::unique_ptr<Vikaro> window;

private slots:
    void initTestCase()
    {
        QCOMPARE(qApp->devicePixelRatio(), 1.0);
        QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1280, 1024));
        setDesktop(nullptr);
        pattern = std::make_unique<ScreenPattern>();
        QVERIFY(QTest::qWaitForWindowExposed(pattern.get()));
        window = std::make_unique<Vikaro>();
        window->move(magnifierSpot);
        window->show();
        window->activateWindow();
        QTRY_COMPARE(QGuiApplication::focusWindow(), window->windowHandle());
    }
    void cleanupTestCase() { window.reset(); }

    void devicePixelUnderPointer_data()
    {
        QTest::addColumn<QPoint>("pointer");
        QTest::newRow("odd device pixel") << QPoint(301, 701);
        QTest::newRow("even device pixel") << QPoint(1100, 150);
    }
    void devicePixelUnderPointer()
    {
        QFETCH(QPoint, pointer);
        VikaroProbe probe(*window);
        moveDevicePointer(pointer);
        QTRY_COMPARE(probe.currentColor(), pattern->pixelAt(pointer) & 0xFFFFFF);
        QTRY_COMPARE(probe.positionLabel()->text(), QString("[1]%1 %2").arg(pointer.x(), 6).arg(pointer.y(), 6));
        const QImage shown = probe.zoomLabel()->pixmap(Qt::ReturnByValue).toImage();
        const QString mismatch = pictureMismatch(shown, pointer, probe.zoomFactor(), probe.zoomSpan(), gridType,
                                                 [this](const QPoint &p) { return pattern->pixelAt(p); });
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    }

    void arrowMovesOneDevicePixel()
    {
        moveDevicePointer({401, 801});
        QTRY_COMPARE(devicePointer(), QPoint(401, 801));
        QTest::keyClick(window.get(), Qt::Key_Right);
        QTRY_COMPARE(devicePointer(), QPoint(402, 801));
        QTest::keyClick(window.get(), Qt::Key_Up);
        QTRY_COMPARE(devicePointer(), QPoint(402, 800));
    }
};

int main(int argc, char *argv[])
{
    qputenv("QT_SCALE_FACTOR", "2");
    if (!prepareSession())
        return 1;
    prepareTestProcess();
    QApplication app(argc, argv);
    attachApplication(&app);
    TestScaled test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_scaled.moc"
