#include <QApplication>
#include <QtTest>

#include "support/fakedesktop.h"
#include "support/testsupport.h"
#include "support/vikaroprobe.h"

namespace {

const QSize desktopSize(400, 300);
const QPoint resting(200, 150);

QImage shownPicture(VikaroProbe &probe)
{
    return probe.zoomLabel()->pixmap(Qt::ReturnByValue).toImage();
}

// What a window that never saw the earlier state shows after one tick.
QImage freshWindowPicture()
{
    Vikaro fresh;
    VikaroProbe probe(fresh);
    probe.tick();
    return shownPicture(probe);
}

// The pattern moved down one pixel, the pointer where it was.
void useShiftedDesktop()
{
    auto shifted = std::make_unique<FakeDesktop>(patternPicture(desktopSize), QPoint(0, 1));
    shifted->cursor = resting;
    setDesktop(std::move(shifted));
}

} // namespace

// A tick keeps the picture it shows while what it was made from stays the same, and makes a
// new one as soon as anything it depends on changes.
class TestSampling : public QObject
{
    Q_OBJECT

    std::unique_ptr<DebugCapture> traces;

private slots:
    void init()
    {
        sandbox::reset();
        resetProcessState();
        traces = std::make_unique<DebugCapture>();
    }
    void cleanup() { traces.reset(); }

    void pictureFollowsEveryChange_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("newPicture");
        QTest::newRow("nothing changed: the same picture stays") << "nothing" << false;
        QTest::newRow("next sight (G) on the same square") << "sight" << true;
        QTest::newRow("zoom in (*) around the same pointer") << "zoom in" << true;
        QTest::newRow("pointer moved one pixel") << "pointer" << true;
        QTest::newRow("desktop changed under the resting pointer") << "desktop" << true;
    }
    void pictureFollowsEveryChange()
    {
        QFETCH(QString, change);
        QFETCH(bool, newPicture);
        FakeDesktop *fake = useFakeDesktop(desktopSize);
        fake->cursor = resting;
        Vikaro window;
        VikaroProbe probe(window);
        probe.tick();
        const qint64 before = probe.zoomLabel()->pixmap(Qt::ReturnByValue).cacheKey();
        if (change == "sight")
            QTest::keyClick(&window, Qt::Key_G);
        else if (change == "zoom in")
            QTest::keyClick(&window, Qt::Key_Asterisk);
        else if (change == "pointer")
            fake->cursor += QPoint(1, 0);
        else if (change == "desktop")
            useShiftedDesktop();
        probe.tick();
        QCOMPARE(probe.zoomLabel()->pixmap(Qt::ReturnByValue).cacheKey() != before, newPicture);
        QCOMPARE(shownPicture(probe), freshWindowPicture());
    }
};

VIKARO_TEST_MAIN(TestSampling)
#include "tst_sampling.moc"
