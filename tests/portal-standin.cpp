// A stand-in for the desktop portal on tests/portal-run.sh's private session bus, serving
// ScreenCast and RemoteDesktop as a compositor's portal does. Its monitors (0,0 640x480 and
// 640,0 320x240) show standInPixel() over PipeWire, the pointer in every buffer's cursor metadata.
// Options: --refuse (at Start), --no-remote-desktop, --no-cursor (no metadata cursor mode),
// --no-cursor-meta (the mode offered, never sent), --no-pictures (cursor-only buffers, as a
// headless compositor may send), --pointer X,Y (otherwise unknown until it first moves).
// Pictures come 5 times a second, so that a reader PipeWire lets in late gets one, until the
// pointer first moves: then only the pointer changes. Writes "ready NODE1 NODE2", "issued TOKEN",
// "offered TOKEN" and "move NODE X Y" (stream coordinates). When its standard input closes, the
// streams end and the session is closed.
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusUnixFileDescriptor>
#include <QDBusVirtualObject>
#include <QRect>
#include <QSocketNotifier>
#include <QTimer>

#include <pipewire/pipewire.h>
#include <spa/param/video/format-utils.h>

#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <optional>

namespace {

// A stream as ScreenCast's Start describes it: its PipeWire node and its properties.
using Stream = QPair<uint, QVariantMap>;
const QString deskPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString screenCast = QStringLiteral("org.freedesktop.portal.ScreenCast");
const QString remoteDesktop = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
// A compositor offers room for a 384x384 cursor bitmap, no less and no more.
constexpr int cursorMetaSize = sizeof(spa_meta_cursor) + sizeof(spa_meta_bitmap) + 384 * 384 * 4;

// The colour at global (x, y): never black, and unlike any other pixel below 2048x2048.
uint32_t standInPixel(int x, int y)
{
    return 0xff000000u | (x & 255) << 16 | (y & 255) << 8 | 0x80 | (x >> 8 & 7) << 3 | (y >> 8 & 7);
}

void say(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

struct Monitor
{
    QRect rect;
    pw_stream *stream = nullptr;
    spa_hook listener{};
    bool wantPicture = false;
};

uint node(const Monitor &m)
{
    return m.stream ? pw_stream_get_node_id(m.stream) : SPA_ID_INVALID;
}

class StandIn : public QDBusVirtualObject
{
public:
    const bool refuse, remote, cursorMode, cursorMeta, pictures;
    std::optional<QPoint> pointer;
    Monitor monitors[2] = {{QRect(0, 0, 640, 480)}, {QRect(640, 0, 320, 240)}};
    QString session;
    bool sessionIsRemote = false, persist = false;
    int tokens = 0;
    QList<QDBusMessage> signalsAfterReply;
    QTimer *frames = new QTimer(this);

    explicit StandIn(const QStringList &args)
        : refuse(args.contains("--refuse")), remote(!args.contains("--no-remote-desktop")),
          cursorMode(!args.contains("--no-cursor")), cursorMeta(cursorMode && !args.contains("--no-cursor-meta")),
          pictures(!args.contains("--no-pictures"))
    {
        const QStringList xy = args.value(args.indexOf("--pointer") + 1).split(',');
        if (args.contains("--pointer"))
            pointer = QPoint(xy.value(0).toInt(), xy.value(1).toInt());
        connect(frames, &QTimer::timeout, this, [this] { send(true); });
        frames->start(200);
    }

    void announce()
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.registerVirtualObject(deskPath, this, QDBusConnection::SubPath)
            || !bus.registerService("org.freedesktop.portal.Desktop"))
            qFatal("portal-standin: cannot own the portal's name");
        say(QStringLiteral("ready %1 %2").arg(node(monitors[0])).arg(node(monitors[1])));
    }

    // A picture, or (like a compositor when only the pointer moved) a buffer of cursor metadata
    // alone, its picture marked corrupted and blanked so that a reader who shows it is caught.
    void process(Monitor &m)
    {
        pw_buffer *b = pw_stream_dequeue_buffer(m.stream);
        if (!b)
            return;
        const bool picture = std::exchange(m.wantPicture, false);
        const int width = m.rect.width(), height = m.rect.height();
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                static_cast<uint32_t *>(b->buffer->datas[0].data)[y * width + x] =
                    picture ? standInPixel(m.rect.x() + x, m.rect.y() + y) : 0;
        *b->buffer->datas[0].chunk = spa_chunk{0, picture ? uint32_t(width * height * 4) : 0, width * 4,
                                               picture ? 0 : int32_t(SPA_CHUNK_FLAG_CORRUPTED)};
        const QPoint at = pointer && m.rect.contains(*pointer) ? *pointer - m.rect.topLeft() : QPoint(-1, -1);
        if (void *c = spa_buffer_find_meta_data(b->buffer, SPA_META_Cursor, sizeof(spa_meta_cursor)))
            *static_cast<spa_meta_cursor *>(c) = spa_meta_cursor{at.x() >= 0 ? 1u : 0u, 0, {at.x(), at.y()}, {0, 0}, 0};
        pw_stream_queue_buffer(m.stream, b);
    }

    void send(bool picture)
    {
        for (Monitor &m : monitors)
            if (m.stream && (picture || cursorMeta)) {
                m.wantPicture |= picture && pictures;
                pw_stream_trigger_process(m.stream);
            }
    }

    bool handleMessage(const QDBusMessage &m, const QDBusConnection &bus) override
    {
        const QVariantList a = m.arguments();
        bus.send(answer(m, a, qdbus_cast<QVariantMap>(a.value(m.member() == "CreateSession" ? 0 : 1))));
        for (const QDBusMessage &s : std::exchange(signalsAfterReply, {}))
            bus.send(s);
        return true;
    }

    // The checks are those of the real portal that a caller could fail.
    QDBusMessage answer(const QDBusMessage &m, const QVariantList &a, const QVariantMap &options)
    {
        const QString member = m.member(), iface = m.interface();
        if (member == "GetAll")
            return m.createReply(QVariant(properties(a.value(0).toString())));
        if (m.path() != deskPath || properties(iface).isEmpty())
            return m.createErrorReply(QDBusError::UnknownObject, m.path());
        if (member == "CreateSession") {
            session = deskPath + "/session/" + m.service().mid(1).replace('.', '_') + '/'
                    + options.value("session_handle_token").toString();
            sessionIsRemote = iface == remoteDesktop;
            persist = false;
            return request(m, options, 0, {{"session_handle", session}});
        }
        if (a.value(0).value<QDBusObjectPath>().path() != session)
            return m.createErrorReply(QDBusError::AccessDenied, "Invalid session");
        if (member == "SelectSources" && sessionIsRemote && options.contains("persist_mode"))
            return m.createErrorReply(QDBusError::InvalidArgs, "Remote desktop sessions cannot persist");
        if (member == "SelectSources" || member == "SelectDevices") {
            persist = persist || options.value("persist_mode").toUInt() == 2;
            if (options.contains("restore_token"))
                say("offered " + options.value("restore_token").toString());
            return request(m, options, 0, {});
        }
        if (member == "Start")
            return start(m, qdbus_cast<QVariantMap>(a.value(2)));
        if (member == "OpenPipeWireRemote")
            return m.createReply(QVariant::fromValue(pipeWireRemote()));
        if (member == "NotifyPointerMotionAbsolute" && sessionIsRemote)
            return move(m, a.value(2).toUInt(), QPointF(a.value(3).toDouble(), a.value(4).toDouble()));
        return m.createErrorReply(QDBusError::AccessDenied, "Invalid state for " + member);
    }

    QDBusMessage request(const QDBusMessage &m, const QVariantMap &options, uint response, const QVariantMap &results)
    {
        const QString handle = deskPath + "/request/" + m.service().mid(1).replace('.', '_') + '/'
                             + options.value("handle_token").toString();
        signalsAfterReply << (QDBusMessage::createSignal(handle, "org.freedesktop.portal.Request", "Response")
                              << response << results);
        return m.createReply(QVariant::fromValue(QDBusObjectPath(handle)));
    }

    QDBusMessage start(const QDBusMessage &m, const QVariantMap &options)
    {
        if (refuse)
            return request(m, options, 1, {});
        QList<Stream> streams;
        for (const Monitor &monitor : monitors)
            streams << Stream{node(monitor), {{"position", monitor.rect.topLeft()}, {"size", monitor.rect.size()}, {"source_type", 1u}}};
        QVariantMap results{{"streams", QVariant::fromValue(streams)}};
        if (sessionIsRemote)
            results["devices"] = 2u;
        if (persist)
            say("issued " + (results["restore_token"] = "token-" + QString::number(getpid()) + '-' + QString::number(++tokens)).toString());
        return request(m, options, 0, results);
    }

    QDBusMessage move(const QDBusMessage &m, uint stream, const QPointF &to)
    {
        say(QStringLiteral("move %1 %2 %3").arg(stream).arg(to.x()).arg(to.y()));
        pointer = monitors[node(monitors[1]) == stream].rect.topLeft() + to.toPoint();
        frames->stop();
        send(false);
        return m.createReply();
    }

    // A connection of its own to the PipeWire daemon, as the portal hands its callers.
    static QDBusUnixFileDescriptor pipeWireRemote()
    {
        sockaddr_un address{AF_UNIX, {}};
        qstrncpy(address.sun_path, qgetenv("PIPEWIRE_RUNTIME_DIR") + "/pipewire-0", sizeof(address.sun_path));
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0)
            qFatal("portal-standin: cannot reach the PipeWire daemon");
        const QDBusUnixFileDescriptor remoteFd(fd);
        close(fd);
        return remoteFd;
    }

    QVariantMap properties(const QString &iface) const
    {
        if (iface == screenCast)
            return {{"version", 4u}, {"AvailableSourceTypes", 3u}, {"AvailableCursorModes", cursorMode ? 7u : 3u}};
        if (iface == remoteDesktop && remote)
            return {{"version", 2u}, {"AvailableDeviceTypes", 3u}};
        return {};
    }

    // Callers find the interfaces in the portal's own description.
    QString introspect(const QString &) const override { return {}; }

    void end()
    {
        for (Monitor &m : monitors)
            pw_stream_destroy(std::exchange(m.stream, nullptr));
        if (!session.isEmpty())
            QDBusConnection::sessionBus().send(
                QDBusMessage::createSignal(session, "org.freedesktop.portal.Session", "Closed") << QVariantMap());
    }
};

StandIn *standIn = nullptr;

void connectStream(pw_core *core, Monitor &m)
{
    static pw_stream_events events{PW_VERSION_STREAM_EVENTS};
    events.process = [](void *m) { standIn->process(*static_cast<Monitor *>(m)); };
    m.stream = pw_stream_new(core, "monitor", pw_properties_new(PW_KEY_MEDIA_CLASS, "Video/Source", nullptr));
    pw_stream_add_listener(m.stream, &m.listener, &events, &m);
    uint8_t buffer[1024];
    spa_pod_builder b = SPA_POD_BUILDER_INIT(buffer, sizeof(buffer));
    spa_rectangle size = SPA_RECTANGLE(uint32_t(m.rect.width()), uint32_t(m.rect.height()));
    const spa_pod *params[] = {
        static_cast<spa_pod *>(spa_pod_builder_add_object(
            &b, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video),
            SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
            SPA_POD_Id(SPA_VIDEO_FORMAT_BGRx), SPA_FORMAT_VIDEO_size, SPA_POD_Rectangle(&size))),
        static_cast<spa_pod *>(spa_pod_builder_add_object(
            &b, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_size,
            SPA_POD_Int(m.rect.width() * m.rect.height() * 4), SPA_PARAM_BUFFERS_dataType,
            SPA_POD_CHOICE_FLAGS_Int(1 << SPA_DATA_MemFd))),
        static_cast<spa_pod *>(spa_pod_builder_add_object(
            &b, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type, SPA_POD_Id(SPA_META_Cursor),
            SPA_PARAM_META_size, SPA_POD_Int(cursorMetaSize)))};
    pw_stream_connect(m.stream, PW_DIRECTION_OUTPUT, PW_ID_ANY,
                      pw_stream_flags(PW_STREAM_FLAG_DRIVER | PW_STREAM_FLAG_MAP_BUFFERS), params, standIn->cursorMeta ? 3 : 2);
}

} // namespace

int main(int argc, char *argv[])
{
    prctl(PR_SET_PDEATHSIG, SIGTERM); // a test that crashes takes its portal along
    pw_init(&argc, &argv);
    QCoreApplication app(argc, argv);
    qDBusRegisterMetaType<Stream>();
    qDBusRegisterMetaType<QList<Stream>>();
    StandIn portal(app.arguments());
    standIn = &portal;
    pw_loop *loop = pw_loop_new(nullptr);
    pw_loop_enter(loop);
    QSocketNotifier pipeWire(pw_loop_get_fd(loop), QSocketNotifier::Read);
    QObject::connect(&pipeWire, &QSocketNotifier::activated, [loop] { pw_loop_iterate(loop, 0); });
    pw_core *core = pw_context_connect(pw_context_new(loop, nullptr, 0), nullptr, 0);
    if (!core)
        qFatal("portal-standin: no PipeWire daemon");
    for (Monitor &m : portal.monitors)
        connectStream(core, m);
    // The portal shows up on the bus once every stream has its node, ready to be linked.
    const auto ready = [](const Monitor &m) {
        return pw_stream_get_state(m.stream, nullptr) == PW_STREAM_STATE_PAUSED && node(m) != SPA_ID_INVALID;
    };
    while (!ready(portal.monitors[0]) || !ready(portal.monitors[1]))
        pw_loop_iterate(loop, -1);
    portal.announce();
    QSocketNotifier endOfInput(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&endOfInput, &QSocketNotifier::activated, [&] {
        endOfInput.setEnabled(false);
        portal.end();
    });
    return app.exec();
}
