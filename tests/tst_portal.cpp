#include "support/testsupport.h"

#include "desktop/desktopproblems.h"

#include <csignal>
#include <unistd.h>

namespace {

// How long the portal and PipeWire may take on a loaded machine. The waits are qWaitFor()'s:
// a QTRY_* macro that fails waits twice as long again, which would let a failing row or two
// run the test out of time with nothing said.
constexpr int patience = 20000;
constexpr int noProblem = -1;

// The stand-in's monitors in device pixels: the second starts where the first ends.
QList<QRect> monitorsOf(const QSize &first = {640, 480})
{
    return {{QPoint(0, 0), first}, {first.width(), 0, 320, 240}};
}

// What a grab of `rect` must give: the colours tests/portal-standin.cpp shows, black off its
// monitors.
QImage expectedGrab(const QRect &rect, const QList<QRect> &monitors = monitorsOf())
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

bool grabsRight(const QPoint &around, const QList<QRect> &monitors = monitorsOf())
{
    const QRect square(around - QPoint(4, 4), QSize(9, 9));
    return desktop().grab(square) == expectedGrab(square, monitors);
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
            lines = out.left(out.lastIndexOf('\n')).split('\n').filter(QRegularExpression('^' + QRegularExpression::escape(start)));
            return lines.size() >= count;
        }, patience);
        return lines.value(count - 1);
    }
    // Gives it a command and waits until it is carried out.
    void tell(const QString &command)
    {
        process.write((command + '\n').toUtf8());
        said("done " + command);
    }
    // Where the compositor has the pointer once it is at `expected`, or after all moves told.
    QPoint pointerSettledAt(const QPoint &expected)
    {
        QPoint last;
        (void)QTest::qWaitFor([&] {
            said("pointer ");
            const QStringList moves = out.split('\n').filter(QRegularExpression("^pointer "));
            const QStringList xy = moves.isEmpty() ? QStringList() : moves.last().split(' ');
            last = xy.size() == 3 ? QPoint(xy[1].toInt(), xy[2].toInt()) : QPoint(-1, -1);
            return last == expected && desktop().cursorPos() == expected;
        }, patience);
        return last;
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
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts).filter(QRegularExpression("^vikaro: "));
    }
    int saved = dup(STDERR_FILENO);
    QTemporaryFile file;
};

QStringList pointerAt(const QPoint &p, const QStringList &more = {})
{
    return QStringList{"--pointer", QStringLiteral("%1,%2").arg(p.x()).arg(p.y())} + more;
}

QStringList linesOf(int problem)
{
    return problem == noProblem ? QStringList() : QStringList("vikaro: " + QString::fromUtf8(problemLine(DesktopProblem(problem))));
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
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<int>("key");
        QTest::addColumn<QPoint>("moved");
        QTest::newRow("square across both monitors, bottom-right pixel") << QStringList() << QPoint(640, 239) << 0 << QPoint();
        QTest::newRow("square beyond the top-left corner") << QStringList() << QPoint(0, 0) << 0 << QPoint();
        QTest::newRow("right on monitor 1") << QStringList() << QPoint(300, 200) << int(Qt::Key_Right) << QPoint(301, 200);
        QTest::newRow("left off monitor 2 onto monitor 1") << QStringList() << QPoint(640, 100) << int(Qt::Key_Left) << QPoint(639, 100);
        const QStringList twice{"--scale", "2,1"}, half{"--scale", "1.5,1"};
        QTest::newRow("2x: right within its layout size") << twice << QPoint(100, 100) << int(Qt::Key_Right) << QPoint(101, 100);
        QTest::newRow("2x: right beyond its layout width") << twice << QPoint(400, 300) << int(Qt::Key_Right) << QPoint(401, 300);
        QTest::newRow("2x: down at its bottom-right") << twice << QPoint(639, 478) << int(Qt::Key_Down) << QPoint(639, 479);
        QTest::newRow("2x: right off its edge onto the 1x") << twice << QPoint(639, 100) << int(Qt::Key_Right) << QPoint(640, 100);
        QTest::newRow("1x: left onto the 2x's far edge") << twice << QPoint(640, 200) << int(Qt::Key_Left) << QPoint(639, 200);
        QTest::newRow("1.5x: down beyond its layout height") << half << QPoint(500, 400) << int(Qt::Key_Down) << QPoint(500, 401);
        QTest::newRow("2x beside 2x: square across both") << QStringList{"--scale", "2,2"} << QPoint(641, 5) << 0 << QPoint();
    }
    // The pointer and the square around it, in device pixels whatever the scales; an arrow key
    // moves the compositor's pointer by one device pixel, and the picture follows.
    void grabAndArrowKey()
    {
        QFETCH(QStringList, options);
        QFETCH(QPoint, pointer);
        QFETCH(int, key);
        QFETCH(QPoint, moved);
        StandIn portal(pointerAt(pointer, options));
        setDesktop(createPortalDesktop());
        QVERIFY(QTest::qWaitFor([] { return desktop().isReady(); }, patience));
        QCOMPARE(desktop().cursorPos(), pointer);
        QCOMPARE(desktop().monitors(), monitorsOf());
        QVERIFY(grabsRight(pointer));
        if (!key)
            return;
        VikaroProbe w;
        QTest::keyClick(w.window(), Qt::Key(key));
        QCOMPARE(portal.pointerSettledAt(moved), moved);
        QCOMPARE(desktop().cursorPos(), moved);
        QCOMPARE(portal.out.count("refused "), 0);
    }

    // A monitor's new resolution: the layout follows, and a move lands where it is asked to.
    void resolutionChange()
    {
        StandIn portal(pointerAt({10, 10}));
        setDesktop(createPortalDesktop());
        QVERIFY(QTest::qWaitFor([] { return desktop().isReady(); }, patience));
        portal.tell("resize 800 600");
        const QList<QRect> grown = monitorsOf({800, 600});
        QVERIFY(QTest::qWaitFor([&] { return desktop().monitors() == grown && desktop().isReady(); }, patience));
        desktop().setCursorPos({700, 500});
        QCOMPARE(portal.pointerSettledAt({700, 500}), QPoint(700, 500));
        desktop().movePointerBy({1, 0});
        QCOMPARE(portal.pointerSettledAt({701, 500}), QPoint(701, 500));
        QCOMPARE(portal.out.count("refused "), 0);
        (void)QTest::qWaitFor([&] { return grabsRight({701, 500}, grown) && grabsRight({805, 10}, grown); }, patience);
        QVERIFY(grabsRight({701, 500}, grown) && grabsRight({805, 10}, grown));
    }

    // While sampling rests (over the window, frozen) keys other than the arrows leave the
    // pointer alone, and an arrow moves from where the pointer really is.
    void pointerStaysLive()
    {
        StandIn portal(pointerAt({100, 100}));
        setDesktop(createPortalDesktop());
        QVERIFY(QTest::qWaitFor([] { return desktop().isReady(); }, patience));
        VikaroProbe w;
        w.focusChanged(w.window()->windowHandle());
        w.tick();
        QTest::keyClick(w.window(), Qt::Key_F);
        w.tick();
        for (const Qt::Key key : {Qt::Key_Asterisk, Qt::Key_Slash, Qt::Key_D, Qt::Key_X, Qt::Key_G, Qt::Key_F1})
            QTest::keyClick(w.window(), key);
        desktop().setCursorPos({200, 150}); // as the user's mouse would, seen in the metadata
        QCOMPARE(portal.pointerSettledAt({200, 150}), QPoint(200, 150));
        QTest::keyClick(w.window(), Qt::Key_Right);
        QCOMPARE(portal.pointerSettledAt({201, 150}), QPoint(201, 150));
        QCOMPARE(portal.out.count("pointer "), 2);
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
        QTest::addColumn<QStringList>("commands"); // once ready, or (after "asking") once consent is asked
        QTest::addColumn<int>("problem");
        QTest::addColumn<bool>("pictures");
        const QStringList at10 = pointerAt({10, 10});
        const auto row = [&](const char *name, const QStringList &options, const QStringList &commands, DesktopProblem problem, bool pictures) {
            QTest::newRow(name) << options << commands << int(problem) << pictures;
        };
        row("user refuses", {"--refuse"}, {}, DesktopProblem::Refused, false);
        row("no portal", {"none"}, {}, DesktopProblem::NoPortal, false);
        row("stream ends, session closed", at10, {"end"}, DesktopProblem::StreamEnded, false);
        row("portal closes the session", at10, {"close-session"}, DesktopProblem::StreamEnded, false);
        row("portal dies mid-session", at10, {"die"}, DesktopProblem::StreamEnded, false);
        row("portal dies while the user is asked", at10 + QStringList{"--hold-consent"}, {"asking", "die"}, DesktopProblem::PortalFailed, false);
        row("compositor destroys the streams", at10, {"destroy-streams"}, DesktopProblem::StreamEnded, false);
        row("chunk shorter than the picture", at10, {"short-chunk"}, DesktopProblem::NoPictures, false);
        row("rows narrower than the picture", at10, {"bad-stride"}, DesktopProblem::NoPictures, false);
        row("memory shorter than it claims", pointerAt({10, 400}) + QStringList{"--short-memory"}, {}, DesktopProblem::NoPictures, false);
        row("no cursor metadata mode", {"--no-cursor"}, {}, DesktopProblem::NoCursorMetadata, false);
        row("cursor metadata never sent", {"--no-cursor-meta"}, {}, DesktopProblem::NoCursorMetadata, false);
        row("cursor-only buffers, no pictures", {"--no-pictures"}, {}, DesktopProblem::NoPictures, false);
        row("pictures, but the pointer on none of them", {}, {}, DesktopProblem::PointerUnknown, false);
        // Late enough past the program's 4 s, counted from the stand-in's start, for a loaded machine.
        row("first pictures late: said, then the box goes", at10 + QStringList{"--pictures-after", "7000"}, {}, DesktopProblem::NoPictures, true);
        row("no remote desktop: pictures but no pointer moves", at10 + QStringList{"--no-remote-desktop"}, {}, DesktopProblem::NoPointerMoves, true);
        for (const char *kind : {"streams-au", "streams-a(u)", "streams-a(ua{ss})", "streams-string", "streams-65",
                                 "position-struct1", "position-huge", "size-negative"})
            row(qPrintable(QStringLiteral("Start answers %1").arg(kind)), at10 + QStringList{"--bad-start", kind}, {}, DesktopProblem::PortalFailed, false);
        QTest::newRow("a stranger forges a Response and Closed") << at10 + QStringList{"--stranger"} << QStringList{"forged closed"} << noProblem << true;
        QTest::newRow("every Response sent twice") << at10 + QStringList{"--second-response"} << QStringList() << noProblem << true;
        QTest::newRow("bottom-up pictures") << at10 << QStringList{"negative-stride"} << noProblem << true;
    }
    // One line on standard error and the same once in the window's message box; the window
    // goes on, showing no picture it has not got and copying or storing no colour it has not
    // seen. What does no harm says nothing and shows the exact pixels.
    void saysWhatIsMissing()
    {
        QFETCH(QStringList, options);
        QFETCH(QStringList, commands);
        QFETCH(int, problem);
        QFETCH(bool, pictures);
        std::unique_ptr<StandIn> portal(options != QStringList{"none"} ? new StandIn(options) : nullptr);
        ErrorCapture errors;
        if (commands.value(0) == "negative-stride")
            portal->tell(commands.takeFirst()); // before the first picture, so none is read top-down
        setDesktop(createPortalDesktop());
        VikaroProbe w;
        bool asked = false; // the stand-in waits for the user: no picture before the command
        for (const QString &command : commands) {
            if (command == "asking" || command == "forged closed")
                asked = !portal->said(command).isEmpty() && command == "asking";
            else if (!asked)
                QVERIFY(QTest::qWaitFor([] { return desktop().isReady(); }, patience));
            if (command == "end")
                portal->process.closeWriteChannel();
            else if (command != "asking" && command != "forged closed")
                portal->tell(command);
        }
        (void)QTest::qWaitFor([&] { return errors.lines() == linesOf(problem); }, patience);
        QCOMPARE(errors.lines(), linesOf(problem));
        const QList<QMessageBox *> boxes = w.window()->findChildren<QMessageBox *>("desktopProblem");
        QCOMPARE(boxes.size(), int(problem != noProblem));
        if (problem != noProblem)
            QCOMPARE(boxes[0]->text().trimmed(), problemText(DesktopProblem(problem)));
        const bool late = options.contains("--pictures-after");
        if (!boxes.isEmpty() && !late)
            boxes[0]->close();
        QVERIFY(QTest::qWaitFor([&] { return desktop().isReady() == pictures; }, patience));
        QVERIFY(!pictures || grabsRight({10, 10}));
        QVERIFY(QTest::qWaitFor([&] { return w.window()->findChildren<QMessageBox *>("desktopProblem").isEmpty(); }, patience));
        w.focusChanged(w.window()->windowHandle());
        w.tick();
        QCOMPARE(w.picture().isNull(), !pictures);
        QGuiApplication::clipboard()->setText("-");
        for (const Qt::Key key : {Qt::Key_D, Qt::Key_X, Qt::Key_F1})
            QTest::keyClick(w.window(), key);
        QCOMPARE(QGuiApplication::clipboard()->text() == "-" && sandbox::raw("Color F1").isNull(), !pictures);
        const int zoom = w.zoomFactor();
        QTest::keyClick(w.window(), Qt::Key_Asterisk);
        QVERIFY(w.zoomFactor() > zoom);
        QCOMPARE(errors.lines(), linesOf(problem)); // nothing more came meanwhile
        QVERIFY(!portal || portal->out.count("issued ") <= 1); // one session started, however often answered
    }

    // PipeWire itself going away (a restart) ends the pictures, and that is said. Last: the
    // daemon stays gone.
    void pipeWireGoes()
    {
        StandIn portal(pointerAt({10, 10}));
        ErrorCapture errors;
        setDesktop(createPortalDesktop());
        QVERIFY(QTest::qWaitFor([] { return desktop().isReady(); }, patience));
        const pid_t pipeWire = qEnvironmentVariableIntValue("PORTAL_RUN_PIPEWIRE");
        QVERIFY(pipeWire > 0 && kill(pipeWire, SIGTERM) == 0);
        QVERIFY(QTest::qWaitFor([&] { return !errors.lines().isEmpty(); }, patience));
        QCOMPARE(errors.lines(), linesOf(int(DesktopProblem::StreamEnded)));
        QVERIFY(!desktop().isReady());
    }
};

VIKARO_TEST_MAIN(TestPortal)
#include "tst_portal.moc"
