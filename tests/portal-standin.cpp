// A stand-in for the desktop portal on tests/portal-run.sh's private session bus, serving
// ScreenCast and RemoteDesktop as a compositor's portal does. Monitor 1 is 640x480 device pixels
// at (0,0), monitor 2 320x240 right of it; every picture shows standInPixel() at global device
// coordinates, the pointer (global device pixels) in every buffer's cursor metadata. Start lists
// the streams last monitor first, their position and size in logical pixels: device size / scale,
// rounded, side by side. Pictures come 5 times a second, so that a reader PipeWire lets in late
// gets one, until the pointer first moves: then only the pointer changes.
// Options: --refuse (at Start), --no-remote-desktop, --no-cursor (no metadata cursor mode),
// --no-cursor-meta (the mode offered, never sent), --no-pictures (cursor-only buffers, as a
// headless compositor may send), --pictures-after MS (cursor-only until then), --pointer X,Y
// (otherwise unknown until it first moves), --scale A,B (monitor 1's and 2's), --second-response
// (every Response twice), --hold-consent (Start's Response waits for "grant"), --bad-start KIND
// (Start's streams malformed: streams-au, streams-a(u), streams-a(ua{ss}), streams-string, or
// on monitor 1's stream position-struct1, position-huge, size-negative), --stranger (a second
// connection forges a Response before Start's and Session.Closed right after it).
// Commands on standard input, each answered "done COMMAND": die, destroy-streams, close-session,
// resize W H (monitor 1's device size), short-chunk, negative-stride, bad-stride (from then on, in
// every picture), grant. Writes "ready NODE1 NODE2", "issued TOKEN", "offered TOKEN", "asking",
// "forged response", "forged closed", "move NODE X Y" (stream device pixels), "rel DX DY"
// (logical), "refused X Y" and "pointer X Y" (global device pixels). When its standard input
// closes, the streams end and the session is closed.
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

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

namespace {

// A structure of one field, where a caller expects a stream or a point.
template <typename T>
struct Lone
{
    T value;
};

template <typename T>
QDBusArgument &operator<<(QDBusArgument &argument, const Lone<T> &lone)
{
    argument.beginStructure();
    argument << lone.value;
    argument.endStructure();
    return argument;
}

template <typename T>
const QDBusArgument &operator>>(const QDBusArgument &argument, Lone<T> &lone)
{
    argument.beginStructure();
    argument >> lone.value;
    argument.endStructure();
    return argument;
}

} // namespace

Q_DECLARE_METATYPE(Lone<uint>)
Q_DECLARE_METATYPE(Lone<int>)

namespace {

// A stream as ScreenCast's Start describes it: its PipeWire node and its properties.
using Stream = QPair<uint, QVariantMap>;
using StringStream = QPair<uint, QMap<QString, QString>>;
const QString deskPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString screenCast = QStringLiteral("org.freedesktop.portal.ScreenCast");
const QString remoteDesktop = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
const QStringList startFaults{"streams-au", "streams-a(u)", "streams-a(ua{ss})", "streams-string",
                              "position-struct1", "position-huge", "size-negative"};
// What each method takes, as the portal's interfaces declare it.
const QHash<QString, QString> signatures{
    {"GetAll", "s"}, {"CreateSession", "a{sv}"}, {"SelectSources", "oa{sv}"}, {"SelectDevices", "oa{sv}"},
    {"Start", "osa{sv}"}, {"OpenPipeWireRemote", "oa{sv}"}, {"NotifyPointerMotion", "oa{sv}dd"},
    {"NotifyPointerMotionAbsolute", "oa{sv}udd"}};
// A compositor offers room for a 384x384 cursor bitmap, no less and no more.
constexpr int cursorMetaSize = sizeof(spa_meta_cursor) + sizeof(spa_meta_bitmap) + 384 * 384 * 4;
// Where a short chunk ends the picture goes on in a colour standInPixel() never gives.
constexpr uint32_t pastChunk = 0xff00ff00;

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

QString option(const QStringList &args, const QString &name)
{
    const int at = args.indexOf(name);
    return at < 0 ? QString() : args.value(at + 1);
}

template <typename T>
void registerWithList()
{
    qDBusRegisterMetaType<T>();
    qDBusRegisterMetaType<QList<T>>();
}

// Once the call returns, the bus has passed on all `bus` sent before: another connection's
// messages come after them.
void flush(const QDBusConnection &bus)
{
    bus.call(QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetId"));
}

QDBusMessage response(const QString &request, uint code, const QVariantMap &results)
{
    return QDBusMessage::createSignal(request, "org.freedesktop.portal.Request", "Response") << code << results;
}

// Start's streams as KIND spoils them, streams (the last monitor first) changed in place.
QVariant spoiled(const QString &kind, QList<Stream> &streams)
{
    const uint last = streams[0].first, first = streams[1].first;
    if (kind == "streams-au")
        return QVariant::fromValue(QList<uint>{last, first});
    if (kind == "streams-a(u)")
        return QVariant::fromValue(QList<Lone<uint>>{{last}, {first}});
    if (kind == "streams-a(ua{ss})")
        return QVariant::fromValue(QList<StringStream>{{last, {{"size", "320x240"}}}, {first, {{"size", "640x480"}}}});
    if (kind == "streams-string")
        return QStringLiteral("%1 %2").arg(last).arg(first);
    QVariantMap &monitor1 = streams[1].second;
    if (kind == "position-struct1")
        monitor1["position"] = QVariant::fromValue(Lone<int>{0});
    if (kind == "position-huge")
        monitor1["position"] = QPoint(2147483600, 0);
    if (kind == "size-negative")
        monitor1["size"] = QSize(-640, 480);
    return QVariant::fromValue(streams);
}

struct Monitor
{
    QRect rect; // global device pixels
    double scale = 1;
    pw_stream *stream = nullptr;
    spa_hook listener{};
    QSize format; // as negotiated
    bool wantPicture = false;
};

uint node(const Monitor &m)
{
    return m.stream ? pw_stream_get_node_id(m.stream) : SPA_ID_INVALID;
}

QSize logicalSize(const Monitor &m)
{
    return QSize(qRound(m.rect.width() / m.scale), qRound(m.rect.height() / m.scale));
}

// What a monitor's stream offers: its own size only, in shared memory, room for the pointer.
const spa_pod *streamParam(spa_pod_builder &b, const Monitor &m, int which)
{
    const spa_rectangle size = SPA_RECTANGLE(uint32_t(m.rect.width()), uint32_t(m.rect.height()));
    if (which == 0)
        return static_cast<spa_pod *>(spa_pod_builder_add_object(
            &b, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video),
            SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
            SPA_POD_Id(SPA_VIDEO_FORMAT_BGRx), SPA_FORMAT_VIDEO_size, SPA_POD_Rectangle(&size)));
    if (which == 1)
        return static_cast<spa_pod *>(spa_pod_builder_add_object(
            &b, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_size,
            SPA_POD_Int(m.rect.width() * m.rect.height() * 4), SPA_PARAM_BUFFERS_dataType,
            SPA_POD_CHOICE_FLAGS_Int(1 << SPA_DATA_MemFd)));
    return static_cast<spa_pod *>(spa_pod_builder_add_object(
        &b, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type, SPA_POD_Id(SPA_META_Cursor),
        SPA_PARAM_META_size, SPA_POD_Int(cursorMetaSize)));
}

class StandIn : public QDBusVirtualObject
{
public:
    const bool refuse, remote, cursorMode, cursorMeta, secondResponse, holdConsent;
    const QString badStart;
    bool pictures, shortChunk = false, negativeStride = false, badStride = false;
    std::optional<QPoint> pointer;
    Monitor monitors[2] = {{QRect(0, 0, 640, 480)}, {QRect(640, 0, 320, 240)}};
    std::optional<QDBusConnection> stranger;
    QString session;
    bool sessionIsRemote = false, persist = false, consented = false;
    int tokens = 0;
    QList<QSize> startedSizes;
    QList<QDBusMessage> responses, held;
    QStringList afterReply;
    QTimer *frames = new QTimer(this);

    explicit StandIn(const QStringList &args)
        : refuse(args.contains("--refuse")), remote(!args.contains("--no-remote-desktop")),
          cursorMode(!args.contains("--no-cursor")), cursorMeta(cursorMode && !args.contains("--no-cursor-meta")),
          secondResponse(args.contains("--second-response")), holdConsent(args.contains("--hold-consent")),
          badStart(option(args, "--bad-start")),
          pictures(!args.contains("--no-pictures") && !args.contains("--pictures-after"))
    {
        const QStringList xy = option(args, "--pointer").split(','), scales = option(args, "--scale").split(',');
        if (args.contains("--pointer"))
            pointer = QPoint(xy.value(0).toInt(), xy.value(1).toInt());
        for (int i : {0, 1})
            monitors[i].scale = args.contains("--scale") ? scales.value(i).toDouble() : 1;
        if (!badStart.isEmpty() && !startFaults.contains(badStart))
            qFatal("portal-standin: no such --bad-start");
        if (args.contains("--pictures-after"))
            QTimer::singleShot(option(args, "--pictures-after").toInt(), this, [this] { pictures = true, send(true); });
        if (args.contains("--stranger"))
            stranger = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "stranger");
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

    QRect logicalRect(int i) const
    {
        return QRect(QPoint(i ? logicalSize(monitors[0]).width() : 0, 0), logicalSize(monitors[i]));
    }

    // A picture, or (like a compositor when only the pointer moved) a buffer of cursor metadata
    // alone, its picture marked corrupted and blanked so that a reader who shows it is caught.
    // A picture waits for buffers of its monitor's size.
    void process(Monitor &m)
    {
        pw_buffer *b = pw_stream_dequeue_buffer(m.stream);
        if (!b)
            return;
        spa_data &d = b->buffer->datas[0];
        const int width = m.rect.width(), height = m.rect.height(), row = width * 4;
        const bool picture = m.wantPicture && m.format == m.rect.size() && d.maxsize >= uint32_t(row * height);
        m.wantPicture &= !picture;
        const uint32_t size = picture ? uint32_t(row * height) >> int(shortChunk) : 0;
        for (int i = 0; i < (picture ? width * height : int(d.maxsize / 4)); ++i) {
            const int y = negativeStride ? height - 1 - i / width : i / width;
            static_cast<uint32_t *>(d.data)[i] =
                !picture ? 0 : uint32_t(i) * 4 < size ? standInPixel(m.rect.x() + i % width, m.rect.y() + y) : pastChunk;
        }
        const int32_t stride = !picture ? row : badStride ? width * 2 : negativeStride ? -row : row;
        *d.chunk = spa_chunk{picture && stride < 0 ? uint32_t(row * (height - 1)) : 0, size, stride,
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
        release(std::exchange(responses, {}), m.member() == "Start");
        for (const QString &line : std::exchange(afterReply, {}))
            say(line);
        return true;
    }

    // The checks are those of the real portal that a caller could fail.
    QDBusMessage answer(const QDBusMessage &m, const QVariantList &a, const QVariantMap &options)
    {
        const QString member = m.member(), iface = m.interface();
        if (signatures.contains(member) && m.signature() != signatures[member])
            return m.createErrorReply(QDBusError::InvalidArgs, member + " takes (" + signatures[member] + ')');
        if (member == "GetAll")
            return m.createReply(QVariant(properties(a.value(0).toString())));
        if (m.path() != deskPath || properties(iface).isEmpty())
            return m.createErrorReply(QDBusError::UnknownObject, m.path());
        if (member == "CreateSession")
            return createSession(m, options, iface == remoteDesktop);
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
        if (member.startsWith("NotifyPointerMotion") && sessionIsRemote && !consented)
            return m.createErrorReply(QDBusError::Failed, "Session doesn't have access to a device of type: pointer");
        if (member == "NotifyPointerMotionAbsolute" && sessionIsRemote)
            return moveTo(m, a.value(2).toUInt(), a.value(3).toDouble(), a.value(4).toDouble());
        if (member == "NotifyPointerMotion" && sessionIsRemote)
            return moveBy(m, a.value(2).toDouble(), a.value(3).toDouble());
        return m.createErrorReply(QDBusError::AccessDenied, "Invalid state for " + member);
    }

    QDBusMessage createSession(const QDBusMessage &m, const QVariantMap &options, bool isRemote)
    {
        session = deskPath + "/session/" + m.service().mid(1).replace('.', '_') + '/'
                + options.value("session_handle_token").toString();
        sessionIsRemote = isRemote;
        persist = consented = false;
        return request(m, options, 0, {{"session_handle", session}});
    }

    static QString requestPath(const QDBusMessage &m, const QVariantMap &options)
    {
        return deskPath + "/request/" + m.service().mid(1).replace('.', '_') + '/' + options.value("handle_token").toString();
    }

    QDBusMessage request(const QDBusMessage &m, const QVariantMap &options, uint code, const QVariantMap &results)
    {
        const QString handle = requestPath(m, options);
        for (int copies = secondResponse ? 2 : 1; copies > 0; --copies)
            responses << response(handle, code, results);
        return m.createReply(QVariant::fromValue(QDBusObjectPath(handle)));
    }

    QDBusMessage start(const QDBusMessage &m, const QVariantMap &options)
    {
        if (stranger) {
            const QList<uint> nodes{node(monitors[0]), node(monitors[1])};
            stranger->send(response(requestPath(m, options), 0, {{"streams", QVariant::fromValue(nodes)}}));
            flush(*stranger);
            say("forged response");
        }
        const QDBusMessage reply = refuse ? request(m, options, 1, {}) : request(m, options, 0, started());
        if (holdConsent) {
            held = std::exchange(responses, {});
            say("asking");
        }
        return reply;
    }

    QVariantMap started()
    {
        QList<Stream> streams;
        for (int i : {1, 0}) // as GNOME's portal was seen to list them
            streams << Stream{node(monitors[i]), {{"position", logicalRect(i).topLeft()}, {"size", logicalRect(i).size()}, {"source_type", 1u}}};
        QVariantMap results{{"streams", badStart.isEmpty() ? QVariant::fromValue(streams) : spoiled(badStart, streams)}};
        startedSizes.clear();
        for (const Stream &stream : streams)
            startedSizes << stream.second.value("size").toSize();
        if (sessionIsRemote)
            results["devices"] = 2u;
        if (persist)
            say("issued " + (results["restore_token"] = "token-" + QString::number(getpid()) + '-' + QString::number(++tokens)).toString());
        return results;
    }

    // Start's Response out; a stranger's Session.Closed follows it.
    void release(const QList<QDBusMessage> &out, bool ofStart)
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        for (const QDBusMessage &message : out)
            bus.send(message);
        consented = consented || (ofStart && !out.isEmpty() && !refuse);
        if (ofStart && stranger && !out.isEmpty()) {
            flush(bus);
            stranger->send(closed());
            say("forged closed");
        }
    }

    // xdg-desktop-portal lets through any position inside the logical size some stream had at
    // Start, whichever stream the caller names; the compositor takes it in device pixels.
    QDBusMessage moveTo(const QDBusMessage &m, uint stream, double x, double y)
    {
        const auto inside = [x, y](const QSize &s) { return x >= 0 && x < s.width() && y >= 0 && y < s.height(); };
        if (std::none_of(startedSizes.cbegin(), startedSizes.cend(), inside)) {
            afterReply << QStringLiteral("refused %1 %2").arg(x).arg(y);
            return m.createErrorReply(QDBusError::Failed, "Invalid position");
        }
        afterReply << QStringLiteral("move %1 %2 %3").arg(stream).arg(x).arg(y);
        for (const Monitor &monitor : monitors)
            if (node(monitor) == stream)
                moved(monitor.rect.topLeft() + QPoint(int(std::floor(x)), int(std::floor(y))));
        return m.createReply();
    }

    // In logical pixels, kept on the monitors: at the seam between them a point is monitor 2's.
    QDBusMessage moveBy(const QDBusMessage &m, double dx, double dy)
    {
        const QPointF to = logicalPointer() + QPointF(dx, dy);
        int nearest = 1;
        QPointF kept = to;
        for (int i : {1, 0}) {
            const QRectF r = logicalRect(i);
            const QPointF in(qBound(r.left(), to.x(), r.right()), qBound(r.top(), to.y(), r.bottom()));
            if (i == 1 || (in - to).manhattanLength() < (kept - to).manhattanLength())
                std::tie(nearest, kept) = std::make_pair(i, in);
        }
        const Monitor &monitor = monitors[nearest];
        const QPointF offset = (kept - logicalRect(nearest).topLeft()) * monitor.scale;
        afterReply << QStringLiteral("rel %1 %2").arg(dx).arg(dy);
        moved(monitor.rect.topLeft() + QPoint(std::min(int(std::floor(offset.x())), monitor.rect.width() - 1),
                                              std::min(int(std::floor(offset.y())), monitor.rect.height() - 1)));
        return m.createReply();
    }

    QPointF logicalPointer() const
    {
        const QPoint at = pointer.value_or(QPoint());
        const int i = monitors[1].rect.contains(at);
        return logicalRect(i).topLeft() + QPointF(at - monitors[i].rect.topLeft()) / monitors[i].scale;
    }

    void moved(const QPoint &to)
    {
        pointer = to;
        afterReply << QStringLiteral("pointer %1 %2").arg(to.x()).arg(to.y());
        frames->stop();
        send(false);
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

    QDBusMessage closed() const
    {
        return QDBusMessage::createSignal(session, "org.freedesktop.portal.Session", "Closed") << QVariantMap();
    }

    void command(const QString &line)
    {
        const QStringList words = line.split(' ', Qt::SkipEmptyParts);
        const QString name = words.value(0);
        if (name == "die") {
            say("done " + line);
            _exit(0);
        }
        if (name == "destroy-streams")
            destroyStreams();
        else if (name == "close-session")
            QDBusConnection::sessionBus().send(closed());
        else if (name == "grant")
            release(std::exchange(held, {}), true);
        else if (name == "resize")
            resize(QSize(words.value(1).toInt(), words.value(2).toInt()));
        else if (name == "short-chunk" || name == "negative-stride" || name == "bad-stride")
            (name == "short-chunk" ? shortChunk : name == "bad-stride" ? badStride : negativeStride) = true;
        else
            return say("unknown " + line);
        if (name != "destroy-streams" && name != "close-session" && name != "grant")
            send(true);
        say("done " + line);
    }

    // Monitor 1's stream offers the new size alone: PipeWire negotiates it and new buffers anew.
    void resize(const QSize &size)
    {
        monitors[0].rect.setSize(size);
        monitors[1].rect.moveLeft(size.width());
        uint8_t buffer[1024];
        spa_pod_builder b = SPA_POD_BUILDER_INIT(buffer, sizeof(buffer));
        const spa_pod *params[] = {streamParam(b, monitors[0], 0), streamParam(b, monitors[0], 1)};
        if (monitors[0].stream)
            pw_stream_update_params(monitors[0].stream, params, 2);
    }

    void destroyStreams()
    {
        for (Monitor &m : monitors)
            if (m.stream)
                pw_stream_destroy(std::exchange(m.stream, nullptr));
    }

    void end()
    {
        destroyStreams();
        if (!session.isEmpty())
            QDBusConnection::sessionBus().send(closed());
    }
};

StandIn *standIn = nullptr;

void connectStream(pw_core *core, Monitor &m)
{
    static pw_stream_events events{};
    events.version = PW_VERSION_STREAM_EVENTS;
    events.process = [](void *m) { standIn->process(*static_cast<Monitor *>(m)); };
    events.param_changed = [](void *m, uint32_t id, const spa_pod *param) {
        spa_video_info_raw format{};
        if (id == SPA_PARAM_Format && param && spa_format_video_raw_parse(param, &format) >= 0)
            static_cast<Monitor *>(m)->format = QSize(int(format.size.width), int(format.size.height));
    };
    // A picture held back for buffers of the new size goes out once they are all in.
    events.add_buffer = [](void *m, pw_buffer *) {
        QTimer::singleShot(0, standIn, [m = static_cast<Monitor *>(m)] {
            if (m->stream && m->wantPicture)
                pw_stream_trigger_process(m->stream);
        });
    };
    m.stream = pw_stream_new(core, "monitor", pw_properties_new(PW_KEY_MEDIA_CLASS, "Video/Source", nullptr));
    pw_stream_add_listener(m.stream, &m.listener, &events, &m);
    uint8_t buffer[1024];
    spa_pod_builder b = SPA_POD_BUILDER_INIT(buffer, sizeof(buffer));
    const spa_pod *params[] = {streamParam(b, m, 0), streamParam(b, m, 1), streamParam(b, m, 2)};
    pw_stream_connect(m.stream, PW_DIRECTION_OUTPUT, PW_ID_ANY,
                      pw_stream_flags(PW_STREAM_FLAG_DRIVER | PW_STREAM_FLAG_MAP_BUFFERS), params, standIn->cursorMeta ? 3 : 2);
}

// Commands come a line at a time; the end of the input ends the streams and the session.
void readCommands(QSocketNotifier &input, QByteArray &pending)
{
    char chunk[256];
    const ssize_t got = read(STDIN_FILENO, chunk, sizeof(chunk));
    if (got <= 0) {
        input.setEnabled(false);
        standIn->end();
        return;
    }
    pending.append(chunk, int(got));
    for (int eol; (eol = pending.indexOf('\n')) >= 0; pending.remove(0, eol + 1))
        standIn->command(QString::fromUtf8(pending.left(eol)).trimmed());
}

} // namespace

int main(int argc, char *argv[])
{
    prctl(PR_SET_PDEATHSIG, SIGTERM); // a test that crashes takes its portal along
    pw_init(&argc, &argv);
    QCoreApplication app(argc, argv);
    registerWithList<Stream>();
    registerWithList<StringStream>();
    registerWithList<Lone<uint>>();
    qDBusRegisterMetaType<Lone<int>>();
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
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] { readCommands(input, pending); });
    return app.exec();
}
