#include "support/testsupport.h"

#include "desktop/desktopproblems.h"

#include <unistd.h>

namespace {

// How long the portal and PipeWire may take on a loaded machine. The waits are qWaitFor()'s:
// a QTRY_* macro that fails waits twice as long again, which would let a failing row or two
// run the test out of time with nothing said.
constexpr int patience = 20000;
const QList<QRect> monitors{{0, 0, 640, 480}, {640, 0, 320, 240}};

// What a grab of `rect` must give: the colours tests/portal-standin.cpp shows, black off its
// monitors.
QImage expectedGrab(const QRect &rect)
{
    QImage expected(rect.size(), QImage::Format_RGB32);
    for (int y = 0; y < rect.height(); ++y)
        for (int x = 0; x < rect.width(); ++x) {
            const QPoint p = rect.topLeft() + QPoint(x, y);
            const bool shown = monitors[0].contains(p) || monitors[1].contains(p);
            expected.setPixel(x, y, shown ? qRgb(p.x() & 255, p.y() & 255, 0x80 | (p.x() >> 8 & 7) << 3 | (p.y() >> 8 & 7))
                                          : qRgb(0, 0, 0));
        }
    return expected;
}

// The stand-in portal run with `options` while this lives; `nodes` are its monitors' streams.
struct StandIn
{
    explicit StandIn(const QStringList &options)
    {
        process.start(QStringLiteral(PORTAL_STANDIN), options);
        const QStringList ready = said("ready ").split(' ');
        nodes = {ready.value(1).toUInt(), ready.value(2).toUInt()};
    }
    ~StandIn()
    {
        process.kill();
        process.waitForFinished();
    }
    // The `count`th line it wrote that starts with `start`, once written; empty if none comes.
    QString said(const QString &start, int count = 1)
    {
        QStringList lines;
        (void)QTest::qWaitFor([&] {
            out += QString::fromUtf8(process.readAllStandardOutput());
            lines = out.left(out.lastIndexOf('\n')).split('\n').filter(QRegularExpression('^' + start));
            return lines.size() >= count;
        }, patience);
        return lines.value(count - 1);
    }
    QProcess process;
    QString out;
    QList<uint> nodes;
};

// The lines written to standard error while this lives.
struct ErrorCapture
{
    ErrorCapture() { file.open(); dup2(file.handle(), STDERR_FILENO); }
    ~ErrorCapture() { dup2(saved, STDERR_FILENO); close(saved); }
    QStringList lines()
    {
        file.reset();
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    int saved = dup(STDERR_FILENO);
    QTemporaryFile file;
};

QStringList pointerAt(const QPoint &p)
{
    return {"--pointer", QStringLiteral("%1,%2").arg(p.x()).arg(p.y())};
}

} // namespace

// The magnifier on the desktop portals: a stand-in portal on portal-run.sh's private session
// bus, its monitors over a real PipeWire daemon.
class TestPortal : public QObject
{
    Q_OBJECT

private slots:
    void init() { startFresh(QSize()); }
    void cleanup() { setDesktop(nullptr); }

    void grabAndArrowKey_data()
    {
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<int>("key");
        QTest::addColumn<QPoint>("moved");
        QTest::newRow("pointer on monitor 2's bottom-right pixel") << QPoint(959, 239) << 0 << QPoint(959, 239);
        QTest::newRow("square across both monitors") << QPoint(640, 10) << 0 << QPoint(640, 10);
        QTest::newRow("square beyond the top-left corner") << QPoint(0, 0) << 0 << QPoint(0, 0);
        QTest::newRow("right on monitor 1") << QPoint(300, 200) << int(Qt::Key_Right) << QPoint(301, 200);
        QTest::newRow("down on monitor 2") << QPoint(900, 100) << int(Qt::Key_Down) << QPoint(900, 101);
        QTest::newRow("left off monitor 2 onto monitor 1") << QPoint(640, 100) << int(Qt::Key_Left) << QPoint(639, 100);
    }
    // The pointer and the square around it; an arrow key asks the stream the new position is
    // on to move there, in that stream's coordinates, and the picture follows.
    void grabAndArrowKey()
    {
        QFETCH(QPoint, pointer);
        QFETCH(int, key);
        QFETCH(QPoint, moved);
        StandIn portal(pointerAt(pointer));
        setDesktop(createPortalDesktop());
        QVERIFY(QTest::qWaitFor([] { return desktop().isReady(); }, patience));
        QCOMPARE(desktop().cursorPos(), pointer);
        const QRect square(pointer - QPoint(4, 4), QSize(9, 9));
        QCOMPARE(desktop().grab(square), expectedGrab(square));
        if (key) {
            VikaroProbe w;
            QTest::keyClick(w.window(), Qt::Key(key));
            const int monitor = monitors[1].contains(moved);
            const QPoint inStream = moved - monitors[monitor].topLeft();
            QCOMPARE(portal.said("move "), QStringLiteral("move %1 %2 %3").arg(portal.nodes[monitor]).arg(inStream.x()).arg(inStream.y()));
            QCOMPARE(portal.out.count("move "), 1);
            const QRect around(moved - QPoint(4, 4), QSize(9, 9));
            (void)QTest::qWaitFor([&] { return desktop().grab(around) == expectedGrab(around); }, patience);
            QCOMPARE(desktop().grab(around), expectedGrab(around));
        }
    }

    // The token the portal hands out is kept outside the preferences, offered at the next
    // start and replaced by the one that start hands out.
    void restoreTokenKeptAndOfferedBack()
    {
        StandIn portal(pointerAt({10, 10}));
        QStringList tokens;
        for (int start = 1; start <= 2; ++start) {
            std::unique_ptr<Desktop> portalDesktop = createSessionDesktop(createWaylandDesktop);
            QVERIFY(QTest::qWaitFor([&] { return portalDesktop->isReady(); }, patience));
            tokens << portal.said("issued ", start).section(' ', 1);
        }
        QCOMPARE(portal.out.count("offered "), 1);
        QCOMPARE(portal.said("offered "), "offered " + tokens[0]);
        const QStringList keys = CData().allKeys(); // the store was empty
        QCOMPARE(keys.size(), 1);
        QVERIFY2(!keys[0].startsWith("Preferences/"), qPrintable(keys[0]));
        QCOMPARE(CData().value(keys[0]).toString(), tokens[1]);
    }

    void saysWhatIsMissing_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("problem");
        QTest::addColumn<bool>("pictures");
        QTest::newRow("user refuses") << QStringList{"--refuse"} << int(DesktopProblem::Refused) << false;
        QTest::newRow("no portal") << QStringList{"none"} << int(DesktopProblem::NoPortal) << false;
        QTest::newRow("stream ends") << pointerAt({10, 10}) << int(DesktopProblem::StreamEnded) << false;
        QTest::newRow("no cursor metadata mode") << QStringList{"--no-cursor"} << int(DesktopProblem::NoCursorMetadata) << false;
        QTest::newRow("cursor metadata never sent") << QStringList{"--no-cursor-meta"} << int(DesktopProblem::NoCursorMetadata) << false;
        QTest::newRow("cursor-only buffers, no pictures") << QStringList{"--no-pictures"} << int(DesktopProblem::NoPictures) << false;
        QTest::newRow("no remote desktop: pictures but no pointer moves")
            << QStringList{"--no-remote-desktop", "--pointer", "10,10"} << int(DesktopProblem::NoPointerMoves) << true;
    }
    // One line on standard error and the same once in the window's message box; the window
    // goes on, showing no picture it has not got.
    void saysWhatIsMissing()
    {
        QFETCH(QStringList, options);
        QFETCH(int, problem);
        QFETCH(bool, pictures);
        const auto missing = DesktopProblem(problem);
        std::unique_ptr<StandIn> portal(options != QStringList{"none"} ? new StandIn(options) : nullptr);
        ErrorCapture errors;
        setDesktop(createPortalDesktop());
        VikaroProbe w;
        if (QTest::currentDataTag() == QLatin1String("stream ends")) {
            QVERIFY(QTest::qWaitFor([] { return desktop().isReady(); }, patience));
            portal->process.closeWriteChannel();
        }
        const QStringList said("vikaro: " + QString::fromUtf8(problemLine(missing)));
        (void)QTest::qWaitFor([&] { return errors.lines().filter(QRegularExpression("^vikaro: ")) == said; }, patience);
        QCOMPARE(errors.lines().filter(QRegularExpression("^vikaro: ")), said);
        QCOMPARE(desktop().problems(), std::vector<DesktopProblem>{missing});
        const QList<QMessageBox *> boxes = w.window()->findChildren<QMessageBox *>("desktopProblem");
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0]->text().trimmed(), problemText(missing));
        boxes[0]->close();
        w.focusChanged(w.window()->windowHandle());
        QVERIFY(QTest::qWaitFor([&] { return desktop().isReady() == pictures; }, patience));
        w.tick();
        QCOMPARE(w.picture().isNull(), !pictures);
        QGuiApplication::clipboard()->setText("-"); // without a picture no colour is copied or stored
        for (const Qt::Key key : {Qt::Key_D, Qt::Key_X, Qt::Key_F1})
            QTest::keyClick(w.window(), key);
        QCOMPARE(QGuiApplication::clipboard()->text() == "-" && sandbox::raw("Color F1").isNull(), !pictures);
        const int zoom = w.zoomFactor();
        QTest::keyClick(w.window(), Qt::Key_Asterisk);
        QVERIFY(w.zoomFactor() > zoom);
    }
};

VIKARO_TEST_MAIN(TestPortal)
#include "tst_portal.moc"
