#pragma once

#include <QList>
#include <QObject>
#include <QPoint>

#include <spa/utils/hook.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "portalsession.h"

class QSocketNotifier;
class ScreenStream;
struct pw_context;
struct pw_core;
struct pw_loop;
struct pw_registry;

// The PipeWire remote a portal opened, with one stream per monitor, all on the GUI thread: the
// remote's loop runs a step whenever its file descriptor has something, so nothing waits and
// nothing needs a lock.
class ScreenStreams : public QObject
{
    Q_OBJECT

public:
    // Takes over `fd`, the remote the portal opened.
    ScreenStreams(int fd, const QList<PortalStream> &places, QObject *parent = nullptr);
    ~ScreenStreams() override;

    const std::vector<std::unique_ptr<ScreenStream>> &streams() const { return monitors; }
    void setActive(bool active);

signals:
    // The remote, one of its streams, or a stream's source went away.
    void ended();

private:
    friend struct CoreCallbacks;

    void coreFailed();
    void nodeRemoved(std::uint32_t id);

    pw_loop *loop = nullptr;
    pw_context *context = nullptr;
    pw_core *core = nullptr;
    spa_hook coreListener = {};
    pw_registry *registry = nullptr;
    spa_hook registryListener = {};
    QSocketNotifier *notifier = nullptr;
    std::vector<std::unique_ptr<ScreenStream>> monitors;
};
