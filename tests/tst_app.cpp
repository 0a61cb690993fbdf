#include <QApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include "support/testsupport.h"

namespace {

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished();
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

// The installed program as a user starts it, seen from outside through other X clients.
class TestApp : public QObject
{
    Q_OBJECT

    QTemporaryDir config;

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", config.path());
        env.remove("QT_QPA_PLATFORM");
        return env;
    }

    // The id of the program's main window, once it is mapped.
    static QString waitForWindow(const QString &title)
    {
        QString id;
        for (int tries = 0; tries < 200 && id.isEmpty(); ++tries) {
            id = run("xdotool", {"search", "--onlyvisible", "--name", QRegularExpression::escape(title)}).section('\n', 0, 0);
            if (id.isEmpty())
                QTest::qWait(25);
        }
        return id;
    }

private slots:
    void windowAsTheUserSeesIt()
    {
        QProcess program;
        program.setProcessEnvironment(environment());
        program.start(QStringLiteral(VIKARO_EXECUTABLE), QStringList());
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

    void waylandSessionRunsOnXWayland()
    {
        QProcess program;
        QProcessEnvironment env = environment();
        env.insert("WAYLAND_DISPLAY", "wayland-0");
        env.insert("XDG_SESSION_TYPE", "wayland");
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(VIKARO_EXECUTABLE), QStringList());
        QVERIFY(program.waitForStarted());
        const QString id = waitForWindow("Vikaro */3");
        QVERIFY2(!id.isEmpty(), "no X window under a Wayland session with an X server");
        program.terminate();
        QVERIFY(program.waitForFinished(10000));
    }

    void noDisplaySaysSoAndFails_data()
    {
        QTest::addColumn<bool>("wayland");
        QTest::newRow("nothing at all") << false;
        QTest::newRow("Wayland without XWayland") << true;
    }
    void noDisplaySaysSoAndFails()
    {
        QFETCH(bool, wayland);
        QProcess program;
        QProcessEnvironment env = environment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        if (wayland)
            env.insert("WAYLAND_DISPLAY", "wayland-0");
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(VIKARO_EXECUTABLE), QStringList());
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QVERIFY(program.exitCode() != 0);
        const QString error = QString::fromUtf8(program.readAllStandardError()).trimmed();
        QCOMPARE(error.count('\n'), 0);
        QVERIFY2(error.startsWith("vikaro: "), qPrintable(error));
        QVERIFY2(error.contains(wayland ? "Wayland" : "DISPLAY"), qPrintable(error));
    }
};

VIKARO_TEST_MAIN(TestApp)
#include "tst_app.moc"
