#include "support/testsupport.h"

namespace {

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished();
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The id of the window titled `title` once it is mapped, or empty.
QString waitForWindow(const QString &title)
{
    QString id;
    for (int tries = 0; tries < 200 && id.isEmpty(); ++tries) {
        id = run("xdotool", {"search", "--onlyvisible", "--name", QRegularExpression::escape(title)}).section('\n', 0, 0);
        if (id.isEmpty())
            QTest::qWait(25);
    }
    return id;
}

} // namespace

// The installed program as a user starts it, seen from outside through other X clients.
class TestApp : public QObject
{
    Q_OBJECT

    QTemporaryDir config;

    void start(QProcess &program, const QStringList &set, const QStringList &unset)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", config.path());
        for (const QString &name : unset + QStringList{"QT_QPA_PLATFORM"})
            env.remove(name);
        for (const QString &pair : set)
            env.insert(pair.section('=', 0, 0), pair.section('=', 1));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(VIKARO_EXECUTABLE), QStringList());
    }

private slots:
    void windowAsTheUserSeesIt_data()
    {
        QTest::addColumn<QStringList>("session");
        QTest::newRow("X session") << QStringList();
        QTest::newRow("Wayland session with DISPLAY runs on XWayland")
            << QStringList{"WAYLAND_DISPLAY=wayland-0", "XDG_SESSION_TYPE=wayland"};
    }
    // 205 x 362 and fixed, titled, above the others; closing it ends the program with 0.
    void windowAsTheUserSeesIt()
    {
        QFETCH(QStringList, session);
        QProcess program;
        start(program, session, {});
        QVERIFY(program.waitForStarted());
        const QString id = waitForWindow("Vikaro */3");
        QVERIFY2(!id.isEmpty(), "no window titled Vikaro */3");
        const QString props = run("xprop", {"-id", id, "WM_NORMAL_HINTS", "_NET_WM_STATE"});
        QVERIFY2(props.contains("program specified minimum size: 205 by 362"), qPrintable(props));
        QVERIFY2(props.contains("program specified maximum size: 205 by 362"), qPrintable(props));
        QVERIFY2(props.contains("_NET_WM_STATE_ABOVE"), qPrintable(props));
        const QString info = run("xwininfo", {"-id", id});
        QVERIFY(info.contains("Width: 205") && info.contains("Height: 362"));
        QCOMPARE(QProcess::execute("wmctrl", {"-i", "-c", id}), 0);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }

    void noDisplaySaysSoAndFails_data()
    {
        QTest::addColumn<QStringList>("session");
        QTest::addColumn<QString>("named");
        QTest::newRow("nothing at all") << QStringList() << "DISPLAY";
        QTest::newRow("Wayland without XWayland") << QStringList{"WAYLAND_DISPLAY=wayland-0"} << "Wayland";
    }
    // One line on standard error and a non-zero status.
    void noDisplaySaysSoAndFails()
    {
        QFETCH(QStringList, session);
        QFETCH(QString, named);
        QProcess program;
        start(program, session, {"DISPLAY", "WAYLAND_DISPLAY"});
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QVERIFY(program.exitCode() != 0);
        const QString error = QString::fromUtf8(program.readAllStandardError()).trimmed();
        QCOMPARE(error.count('\n'), 0);
        QVERIFY2(error.startsWith("vikaro: ") && error.contains(named), qPrintable(error));
    }
};

VIKARO_TEST_MAIN(TestApp)
#include "tst_app.moc"
