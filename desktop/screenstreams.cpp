#include "screenstreams.h"

#include <QSocketNotifier>

#include <pipewire/pipewire.h>

#include <unistd.h>

#include "screenstream.h"

// Callbacks of PipeWire's C interface for the core and its registry, handing on to the remote.
struct CoreCallbacks
{
    static void error(void *self, std::uint32_t id, int, int, const char *)
    {
        if (id == PW_ID_CORE)
            static_cast<ScreenStreams *>(self)->coreFailed();
    }
    static void globalRemoved(void *self, std::uint32_t id) { static_cast<ScreenStreams *>(self)->nodeRemoved(id); }

    static const pw_core_events &events()
    {
        static const pw_core_events all = [] {
            pw_core_events e = {};
            e.version = PW_VERSION_CORE_EVENTS;
            e.error = &CoreCallbacks::error;
            return e;
        }();
        return all;
    }
    static const pw_registry_events &registryEvents()
    {
        static const pw_registry_events all = [] {
            pw_registry_events e = {};
            e.version = PW_VERSION_REGISTRY_EVENTS;
            e.global_remove = &CoreCallbacks::globalRemoved;
            return e;
        }();
        return all;
    }
};

namespace {

void initialisePipeWire()
{
    static const bool done = [] {
        pw_init(nullptr, nullptr);
        return true;
    }();
    (void)done;
}

} // namespace

ScreenStreams::ScreenStreams(int fd, const QList<PortalStream> &places, QObject *parent)
    : QObject(parent)
{
    initialisePipeWire();
    loop = pw_loop_new(nullptr);
    // Locked buffers are resident whole: several full-screen pictures per monitor, where the
    // magnifier reads only the square around the pointer.
    context = loop ? pw_context_new(loop, pw_properties_new("mem.allow-mlock", "false", nullptr), 0) : nullptr;
    core = context ? pw_context_connect_fd(context, fd, nullptr, 0) : nullptr;
    if (!core) {
        if (!context)
            ::close(fd);
        return;
    }
    pw_loop_enter(loop);
    pw_core_add_listener(core, &coreListener, &CoreCallbacks::events(), this);
    // A compositor that drops a monitor's stream, or goes away, removes its node; the stream
    // itself may just sit paused.
    registry = pw_core_get_registry(core, PW_VERSION_REGISTRY, 0);
    if (registry)
        pw_registry_add_listener(registry, &registryListener, &CoreCallbacks::registryEvents(), this);
    notifier = new QSocketNotifier(pw_loop_get_fd(loop), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] { pw_loop_iterate(loop, 0); });
    for (const PortalStream &place : places) {
        monitors.push_back(std::make_unique<ScreenStream>(core, place));
        connect(monitors.back().get(), &ScreenStream::ended, this, &ScreenStreams::ended);
    }
}

ScreenStreams::~ScreenStreams()
{
    monitors.clear();
    delete notifier;
    if (registry) {
        spa_hook_remove(&registryListener);
        pw_proxy_destroy(reinterpret_cast<pw_proxy *>(registry));
    }
    if (core) {
        spa_hook_remove(&coreListener);
        pw_core_disconnect(core);
    }
    if (context)
        pw_context_destroy(context);
    if (loop) {
        if (core)
            pw_loop_leave(loop);
        pw_loop_destroy(loop);
    }
}

void ScreenStreams::setActive(bool active)
{
    for (const auto &monitor : monitors)
        monitor->setActive(active);
}

// The compositor (or PipeWire) went away: the streams are dead, their pictures no longer
// the screen.
void ScreenStreams::coreFailed()
{
    emit ended();
}

void ScreenStreams::nodeRemoved(std::uint32_t id)
{
    for (const auto &monitor : monitors)
        if (monitor->node() == id)
            emit ended();
}
