// A stand-in for the desktop portal on tests/portal-run.sh's private session bus, serving ScreenCast and
// RemoteDesktop as a compositor's portal does. Its monitors (640x480 and 320x240 device pixels, side by side)
// show standInPixel() at global device coordinates, 5 times a second until the pointer first moves (so that a
// reader PipeWire lets in late gets one), the pointer in every buffer's cursor metadata. Its options and its
// commands (one a line on standard input, each answered "done COMMAND") are the faults tst_portal.cpp needs.
#include <QtDBus>

#include <pipewire/pipewire.h>
#include <spa/param/video/format-utils.h>

#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>

namespace {

// A structure of one field, where a caller expects a stream or a point.
struct Lone
{
    uint value;
    friend QDBusArgument &operator<<(QDBusArgument &a, const Lone &l) { a.beginStructure(); a << l.value; a.endStructure(); return a; }
    friend const QDBusArgument &operator>>(const QDBusArgument &a, Lone &l) { a.beginStructure(); a >> l.value; a.endStructure(); return a; }
};

} // namespace

Q_DECLARE_METATYPE(Lone)

namespace {

// A stream as ScreenCast's Start describes it: its PipeWire node and its properties.
using Stream = QPair<uint, QVariantMap>;
using StringStream = QPair<uint, QMap<QString, QString>>;
const QString deskPath = QStringLiteral("/org/freedesktop/portal/desktop");
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

// Where the portal puts a caller's request or session: named for the caller and its token.
QString handlePath(const QDBusMessage &m, const QString &kind, const QVariant &token)
{
    return deskPath + '/' + kind + '/' + m.service().mid(1).replace('.', '_') + '/' + token.toString();
}

// Start's streams with the right outer type and the wrong insides, as --bad-start `kind` says; faults of
// position and size are those of the stream listed second.
QVariant spoiled(const QString &kind, const QList<Stream> &streams)
{
    const uint last = streams[0].first, first = streams[1].first;
    const auto second = [streams](const QString &key, const QVariant &value) {
        QList<Stream> spoilt = streams;
        spoilt[1].second[key] = value;
        return QVariant::fromValue(spoilt);
    };
    const QHash<QString, QVariant> kinds{
        {"streams-au", QVariant::fromValue(QList<uint>{last, first})},
        {"streams-a(u)", QVariant::fromValue(QList<Lone>{{last}, {first}})},
        {"streams-a(ua{ss})", QVariant::fromValue(QList<StringStream>{{last, {{"size", "320x240"}}}, {first, {{"size", "640x480"}}}})},
        {"streams-string", QStringLiteral("%1 %2").arg(last).arg(first)},
        {"streams-65", QVariant::fromValue(QVector<Stream>(65, streams[0]).toList())},
        {"position-struct1", second("position", QVariant::fromValue(Lone{0}))},
        {"position-huge", second("position", QPoint(2147483600, 0))},
        {"size-negative", second("size", QSize(-640, 480))}};
    if (!kinds.contains(kind))
        qFatal("portal-standin: no such --bad-start");
    return kinds[kind];
}

// A connection of its own to the PipeWire daemon, as the portal hands its callers.
QDBusUnixFileDescriptor pipeWireRemote()
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

struct Monitor
{
    QRect rect; // global device pixels
    double scale = 1;
    pw_stream *stream = nullptr;
    spa_hook listener{};
    bool wantPicture = false;
    uint node() const { return stream ? pw_stream_get_node_id(stream) : SPA_ID_INVALID; }
};

class StandIn : public QDBusVirtualObject
{
public:
    static inline StandIn *instance = nullptr; // for PipeWire's callbacks
    QStringList faults; // the options, then the commands that spoil the pictures
    const bool cursorMeta = !has("--no-cursor") && !has("--no-cursor-meta");
    bool pictures = !has("--no-pictures") && !has("--pictures-after");
    std::optional<QPoint> pointer;
    Monitor monitors[2] = {{QRect(0, 0, 640, 480)}, {QRect(640, 0, 320, 240)}};
    std::optional<QDBusConnection> stranger; // forges Start's Response, then Session.Closed
    QString session;
    bool sessionIsRemote = false, persist = false;
    int tokens = 0;
    QList<QSize> startedSizes;
    QList<QDBusMessage> responses; // sent once the call is answered
    QTimer *frames = new QTimer(this);

    StandIn(const QStringList &args, pw_core *core) : faults(args)
    {
        instance = this;
        const QStringList xy = option("--pointer").split(','), scales = option("--scale").split(',');
        if (has("--pointer"))
            pointer = QPoint(xy.value(0).toInt(), xy.value(1).toInt());
        for (int i : {0, 1})
            monitors[i].scale = has("--scale") ? scales.value(i).toDouble() : 1;
        if (has("--pictures-after"))
            QTimer::singleShot(option("--pictures-after").toInt(), this, [this] { pictures = true, send(true); });
        if (has("--stranger"))
            stranger = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "stranger");
        connect(frames, &QTimer::timeout, this, [this] { send(true); });
        frames->start(200);
        for (Monitor &m : monitors)
            offer(m, core);
    }

    bool has(const QString &fault) const { return faults.contains(fault); }
    QString option(const QString &name) const { return has(name) ? faults.value(faults.indexOf(name) + 1) : QString(); }

    // Side by side like the devices, each its device size / scale.
    QRect logicalRect(int i) const
    {
        const auto size = [](const Monitor &m) { return (QSizeF(m.rect.size()) / m.scale).toSize(); };
        return QRect(QPoint(i ? size(monitors[0]).width() : 0, 0), size(monitors[i]));
    }

    // A picture, or (like a compositor when only the pointer moved) a buffer of cursor metadata alone, its
    // picture marked corrupted and blanked so that a reader who shows it is caught. A picture waits for the
    // buffers negotiated for its size, which have exactly that size.
    void process(Monitor &m)
    {
        pw_buffer *b = pw_stream_dequeue_buffer(m.stream);
        if (!b)
            return;
        spa_data &d = b->buffer->datas[0];
        const int width = m.rect.width(), height = m.rect.height(), row = width * 4;
        const bool picture = m.wantPicture && d.maxsize == uint32_t(row * height), bottomUp = has("negative-stride");
        m.wantPicture &= !picture;
        for (int i = 0; i < int((d.maxsize >> int(has("--short-memory"))) / 4); ++i)
            static_cast<uint32_t *>(d.data)[i] = picture ? standInPixel(m.rect.x() + i % width, m.rect.y() + (bottomUp ? height - 1 - i / width : i / width)) : 0;
        const int32_t stride = !picture ? row : has("bad-stride") ? width * 2 : bottomUp ? -row : row;
        const uint32_t size = picture ? uint32_t(row * height) >> int(has("short-chunk")) : 0;
        *d.chunk = spa_chunk{stride < 0 ? uint32_t(row * (height - 1)) : 0, size, stride, picture ? 0 : int32_t(SPA_CHUNK_FLAG_CORRUPTED)};
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

    // After Start's Response the stranger closes the session.
    bool handleMessage(const QDBusMessage &m, const QDBusConnection &bus) override
    {
        bus.send(answer(m, m.arguments()));
        for (const QDBusMessage &message : std::exchange(responses, {}))
            bus.send(message);
        if (m.member() == "Start" && stranger)
            forge(closed());
        return true;
    }

    // The checks are those of the real portal that a caller could fail. A Request's options come last.
    QDBusMessage answer(const QDBusMessage &m, const QVariantList &a)
    {
        const QString member = m.member();
        const QVariantMap options = qdbus_cast<QVariantMap>(a.value(a.size() - 1));
        if (member == "GetAll")
            return m.createReply(QVariant(properties(a.value(0).toString())));
        if (member != "CreateSession" && a.value(0).value<QDBusObjectPath>().path() != session)
            return m.createErrorReply(QDBusError::AccessDenied, "Invalid session");
        if (member == "SelectSources" && sessionIsRemote && options.contains("persist_mode"))
            return m.createErrorReply(QDBusError::InvalidArgs, "Remote desktop sessions cannot persist");
        if (QStringList{"CreateSession", "SelectDevices", "SelectSources", "Start"}.contains(member))
            return request(m, options);
        if (member == "OpenPipeWireRemote")
            return m.createReply(QVariant::fromValue(pipeWireRemote()));
        if (member == "NotifyPointerMotionAbsolute" && sessionIsRemote)
            return moveTo(m, a.value(2).toUInt(), a.value(3).toDouble(), a.value(4).toDouble());
        if (member == "NotifyPointerMotion" && sessionIsRemote)
            return moveBy(m, a.value(2).toDouble(), a.value(3).toDouble());
        return m.createErrorReply(QDBusError::AccessDenied, "Invalid state for " + member);
    }

    // The Response follows the reply, but none to Start while the user is asked (--hold-consent); to Start, a
    // stranger's forged refusal comes first.
    QDBusMessage request(const QDBusMessage &m, const QVariantMap &options)
    {
        const QString handle = handlePath(m, "request", options.value("handle_token"));
        const auto response = [&handle](uint code, const QVariantMap &results) {
            return QDBusMessage::createSignal(handle, "org.freedesktop.portal.Request", "Response") << code << results;
        };
        const bool start = m.member() == "Start", asking = start && has("--hold-consent");
        if (start && stranger)
            forge(response(1, {}));
        const QDBusMessage out = start && has("--refuse") ? response(1, {}) : response(0, results(m, options));
        for (int copies = asking ? 0 : has("--second-response") ? 2 : 1; copies > 0; --copies)
            responses << out;
        if (asking)
            say("asking");
        return m.createReply(QVariant::fromValue(QDBusObjectPath(handle)));
    }

    // What a Request's Response carries; the session and what it asks to keep are set up here.
    QVariantMap results(const QDBusMessage &m, const QVariantMap &options)
    {
        if (m.member() == "Start")
            return started();
        if (m.member() == "CreateSession") {
            session = handlePath(m, "session", options.value("session_handle_token"));
            sessionIsRemote = m.interface() == remoteDesktop;
            persist = false;
            return {{"session_handle", session}};
        }
        persist = persist || options.value("persist_mode").toUInt() == 2;
        if (options.contains("restore_token"))
            say("offered " + options.value("restore_token").toString());
        return {};
    }

    // The monitors last first (as GNOME's portal was seen to list them), in logical pixels.
    QVariantMap started()
    {
        QList<Stream> streams;
        for (int i : {1, 0})
            streams << Stream{monitors[i].node(), {{"position", logicalRect(i).topLeft()}, {"size", logicalRect(i).size()}, {"source_type", 1u}}};
        startedSizes = {logicalRect(1).size(), logicalRect(0).size()};
        QVariantMap results{{"streams", has("--bad-start") ? spoiled(option("--bad-start"), streams) : QVariant::fromValue(streams)}};
        if (sessionIsRemote)
            results["devices"] = 2u;
        if (persist) {
            results["restore_token"] = "token-" + QString::number(getpid()) + '-' + QString::number(++tokens);
            say("issued " + results["restore_token"].toString());
        }
        return results;
    }

    // The stranger's message reaches its readers after all that the portal sent before it and before all that it
    // sends next: a call the bus answers comes back once all sent before it has been passed on.
    void forge(const QDBusMessage &message)
    {
        const QDBusMessage flush = QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetId");
        QDBusConnection::sessionBus().call(flush);
        stranger->send(message);
        stranger->call(flush);
        say("forged " + message.member().toLower());
    }

    // xdg-desktop-portal lets through any position inside the logical size some stream had at Start, whichever
    // stream the caller names; the compositor takes it in device pixels.
    QDBusMessage moveTo(const QDBusMessage &m, uint stream, double x, double y)
    {
        const auto inside = [x, y](const QSize &s) { return x >= 0 && x < s.width() && y >= 0 && y < s.height(); };
        if (std::none_of(startedSizes.cbegin(), startedSizes.cend(), inside)) {
            say(QStringLiteral("refused %1 %2").arg(x).arg(y));
            return m.createErrorReply(QDBusError::Failed, "Invalid position");
        }
        return moved(m, monitors[monitors[1].node() == stream].rect.topLeft() + QPoint(int(x), int(y)));
    }

    // In logical pixels, from (0,0) while the pointer is unknown, kept on the monitor it ends over (from the seam
    // on, monitor 2).
    QDBusMessage moveBy(const QDBusMessage &m, double dx, double dy)
    {
        const QPoint at = pointer.value_or(QPoint());
        const int from = monitors[1].rect.contains(at);
        const QPointF to = logicalRect(from).topLeft() + QPointF(at - monitors[from].rect.topLeft()) / monitors[from].scale + QPointF(dx, dy);
        const int i = to.x() >= logicalRect(1).left();
        const QRectF r = logicalRect(i);
        const QPointF kept(qBound(r.left(), to.x(), r.right()), qBound(r.top(), to.y(), r.bottom()));
        const QPointF offset = (kept - r.topLeft()) * monitors[i].scale;
        const QRect &device = monitors[i].rect;
        return moved(m, device.topLeft() + QPoint(qMin(int(offset.x()), device.width() - 1), qMin(int(offset.y()), device.height() - 1)));
    }

    QDBusMessage moved(const QDBusMessage &m, const QPoint &to)
    {
        pointer = to;
        say(QStringLiteral("pointer %1 %2").arg(to.x()).arg(to.y()));
        frames->stop();
        send(false);
        return m.createReply();
    }

    QVariantMap properties(const QString &iface) const
    {
        if (iface == "org.freedesktop.portal.ScreenCast")
            return {{"version", 4u}, {"AvailableSourceTypes", 3u}, {"AvailableCursorModes", has("--no-cursor") ? 3u : 7u}};
        if (iface == remoteDesktop && !has("--no-remote-desktop"))
            return {{"version", 2u}, {"AvailableDeviceTypes", 3u}};
        return {};
    }

    // Callers find the interfaces in the portal's own description.
    QString introspect(const QString &) const override { return {}; }

    QDBusMessage closed() const { return QDBusMessage::createSignal(session, "org.freedesktop.portal.Session", "Closed") << QVariantMap(); }

    // Those that change the pictures send one of each monitor at once, moved pointer or not.
    void command(const QString &line)
    {
        const QStringList words = line.split(' ', Qt::SkipEmptyParts);
        const auto spoil = [&] {
            faults << words[0];
            send(true);
        };
        const QHash<QString, std::function<void()>> commands{
            {"die", [&] { say("done " + line), _exit(0); }},
            {"destroy-streams", [this] { end(false); }},
            {"close-session", [this] { QDBusConnection::sessionBus().send(closed()); }},
            {"short-chunk", spoil}, {"negative-stride", spoil}, {"bad-stride", spoil},
            {"resize", [&] {
                 monitors[0].rect.setSize(QSize(words.value(1).toInt(), words.value(2).toInt()));
                 monitors[1].rect.moveLeft(monitors[0].rect.width());
                 offer(monitors[0]);
                 send(true);
             }}};
        if (!commands.contains(words.value(0)))
            return say("unknown " + line);
        commands[words.value(0)]();
        say("done " + line);
    }

    // What a monitor's stream offers: its size alone, in shared memory, with room for the pointer. Once
    // connected, it negotiates its format and buffers anew.
    void offer(Monitor &m, pw_core *core = nullptr)
    {
        uint8_t buffer[1024];
        spa_pod_builder b = SPA_POD_BUILDER_INIT(buffer, sizeof(buffer));
        const spa_rectangle size = SPA_RECTANGLE(uint32_t(m.rect.width()), uint32_t(m.rect.height()));
        const spa_pod *params[] = {
            static_cast<spa_pod *>(spa_pod_builder_add_object(&b, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat,
                SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw),
                SPA_FORMAT_VIDEO_format, SPA_POD_Id(SPA_VIDEO_FORMAT_BGRx), SPA_FORMAT_VIDEO_size, SPA_POD_Rectangle(&size))),
            static_cast<spa_pod *>(spa_pod_builder_add_object(&b, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers,
                SPA_PARAM_BUFFERS_size, SPA_POD_Int(m.rect.width() * m.rect.height() * 4),
                SPA_PARAM_BUFFERS_dataType, SPA_POD_CHOICE_FLAGS_Int(1 << SPA_DATA_MemFd))),
            static_cast<spa_pod *>(spa_pod_builder_add_object(&b, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta,
                SPA_PARAM_META_type, SPA_POD_Id(SPA_META_Cursor), SPA_PARAM_META_size, SPA_POD_Int(cursorMetaSize)))};
        if (!core)
            return (void)(m.stream && pw_stream_update_params(m.stream, params, cursorMeta ? 3 : 2));
        m.stream = pw_stream_new(core, "monitor", pw_properties_new(PW_KEY_MEDIA_CLASS, "Video/Source", nullptr));
        pw_stream_add_listener(m.stream, &m.listener, &streamEvents(), &m);
        const auto flags = pw_stream_flags(PW_STREAM_FLAG_DRIVER | PW_STREAM_FLAG_MAP_BUFFERS | (has("--short-memory") ? PW_STREAM_FLAG_ALLOC_BUFFERS : 0));
        pw_stream_connect(m.stream, PW_DIRECTION_OUTPUT, PW_ID_ANY, flags, params, cursorMeta ? 3 : 2);
    }

    static const pw_stream_events &streamEvents()
    {
        static pw_stream_events events{};
        events.version = PW_VERSION_STREAM_EVENTS;
        events.process = [](void *m) { instance->process(*static_cast<Monitor *>(m)); };
        // A picture held back for buffers of a new size goes out once they are all in.
        events.add_buffer = [](void *m, pw_buffer *b) {
            if (instance->has("--short-memory"))
                shortMemory(b->buffer->datas[0], static_cast<Monitor *>(m)->rect.size());
            QTimer::singleShot(0, instance, [m = static_cast<Monitor *>(m)] {
                if (m->stream && m->wantPicture)
                    pw_stream_trigger_process(m->stream);
            });
        };
        return events;
    }

    // Memory in a file half the size it claims, as a faulty compositor might hand out.
    static void shortMemory(spa_data &d, const QSize &size)
    {
        const uint32_t claimed = uint32_t(size.width() * size.height() * 4);
        const int fd = memfd_create("standin", MFD_CLOEXEC);
        if (fd < 0 || ftruncate(fd, claimed / 2) != 0)
            qFatal("portal-standin: no memory file");
        d = spa_data{SPA_DATA_MemFd, SPA_DATA_FLAG_READWRITE, fd, 0, claimed, mmap(nullptr, claimed / 2, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0), d.chunk};
    }

    // Without a session the streams alone end.
    void end(bool closeSession = true)
    {
        for (Monitor &m : monitors)
            if (m.stream)
                pw_stream_destroy(std::exchange(m.stream, nullptr));
        if (closeSession && !session.isEmpty())
            QDBusConnection::sessionBus().send(closed());
    }

    // Once every stream has its node, ready to be linked, the portal shows up on the bus.
    void announce(pw_loop *loop)
    {
        const auto ready = [](const Monitor &m) { return pw_stream_get_state(m.stream, nullptr) == PW_STREAM_STATE_PAUSED && m.node() != SPA_ID_INVALID; };
        while (!ready(monitors[0]) || !ready(monitors[1]))
            pw_loop_iterate(loop, -1);
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.registerVirtualObject(deskPath, this, QDBusConnection::SubPath) || !bus.registerService("org.freedesktop.portal.Desktop"))
            qFatal("portal-standin: cannot own the portal's name");
        say(QStringLiteral("ready %1 %2").arg(monitors[0].node()).arg(monitors[1].node()));
    }
};

} // namespace

int main(int argc, char *argv[])
{
    prctl(PR_SET_PDEATHSIG, SIGTERM); // a test that crashes takes its portal along
    pw_init(&argc, &argv);
    QCoreApplication app(argc, argv);
    qDBusRegisterMetaType<Stream>();
    qDBusRegisterMetaType<QList<Stream>>();
    qDBusRegisterMetaType<StringStream>();
    qDBusRegisterMetaType<QList<StringStream>>();
    qDBusRegisterMetaType<Lone>();
    qDBusRegisterMetaType<QList<Lone>>();
    pw_loop *loop = pw_loop_new(nullptr);
    pw_loop_enter(loop);
    QSocketNotifier pipeWire(pw_loop_get_fd(loop), QSocketNotifier::Read);
    QObject::connect(&pipeWire, &QSocketNotifier::activated, [loop] { pw_loop_iterate(loop, 0); });
    pw_core *core = pw_context_connect(pw_context_new(loop, nullptr, 0), nullptr, 0);
    if (!core)
        qFatal("portal-standin: no PipeWire daemon");
    StandIn portal(app.arguments(), core);
    portal.announce(loop);
    // A command a line, carried out as it comes.
    QFile commands;
    commands.open(STDIN_FILENO, QIODevice::ReadOnly | QIODevice::Unbuffered);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        const QByteArray line = commands.readLine();
        if (!line.isEmpty())
            return portal.command(QString::fromUtf8(line).trimmed());
        input.setEnabled(false);
        portal.end();
    });
    return app.exec();
}
