#include "provider/pendantwindow.h"

#include "common/proverror.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>
#include <QWidget>

#include <map>
#include <vector>

namespace tarvisk {

PendantKind pendantKindForType(int32_t lPendantType)
{
    switch (lPendantType) {
    case -1:
        return PendantKind::Old;
    case 1:
        return PendantKind::Mini;
    case 2:
        return PendantKind::TPLess;
    default:
        return PendantKind::Standard;
    }
}

void IPendantWindow::Disconnect()
{
    raiseError(ErrNotSupported);
}

void IPendantWindow::SetLED(Variant &)
{
    raiseError(ErrNotSupported);
}

void IPendantWindow::SetBeep(Variant &)
{
    raiseError(ErrNotSupported);
}

Variant IPendantWindow::GetKeyState()
{
    raiseError(ErrNotSupported);
}

void IPendantWindow::SetInprocEventKey(Variant &)
{
    raiseError(ErrNotSupported);
}

Variant IPendantWindow::GetInprocEventKey()
{
    raiseError(ErrNotSupported);
}

void IPendantWindow::SetLCD(Variant &)
{
    raiseError(ErrNotSupported);
}

void IPendantWindow::DrawDisplay(Variant &)
{
    raiseError(ErrNotSupported);
}

void IPendantWindow::setDebugMode(bool)
{
    raiseError(ErrNotSupported);
}

namespace {

struct Registry
{
    std::map<PendantKind, PendantCreator> creators;
    std::map<PendantKind, std::unique_ptr<IPendantWindow>> instances;
    // Unloaded and hidden, waiting until none of their handlers can be on the stack.
    std::vector<std::unique_ptr<IPendantWindow>> retired;
    QAbstractEventDispatcher *sweepHook = nullptr;
};

Registry &registry()
{
    static Registry r;
    return r;
}

// A window handler that opened a message box waits inside the box's nested event loop, and that
// loop goes on serving the client, whose calls may unload the window. Qt's own deferred delete
// would run there too, inside the nested loop. The outermost loop (level 1, or none at all) is the
// one place where no handler of any window is further down the stack.
bool atOutermostLoop()
{
    return QThread::currentThread()->loopLevel() <= 1;
}

void sweepRetired()
{
    Registry &r = registry();
    if (r.retired.empty() || !atOutermostLoop())
        return;
    // Destroyed outside the list: a window's destructor may unload or retire another.
    std::vector<std::unique_ptr<IPendantWindow>> doomed;
    doomed.swap(r.retired);
}

void retire(std::unique_ptr<IPendantWindow> window)
{
    Registry &r = registry();
    QCoreApplication *app = QCoreApplication::instance();
    QAbstractEventDispatcher *dispatcher = app ? QAbstractEventDispatcher::instance(app->thread()) : nullptr;
    if (!dispatcher) {
        // Without an event loop no handler can be waiting in one.
        window.reset();
        return;
    }
    r.retired.push_back(std::move(window));
    // Every turn of every loop looks; a loop that never waits still runs the queued look.
    if (r.sweepHook != dispatcher) {
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, dispatcher, &sweepRetired);
        QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, dispatcher, &sweepRetired);
        r.sweepHook = dispatcher;
    }
    QMetaObject::invokeMethod(app, &sweepRetired, Qt::QueuedConnection);
}

} // namespace

void registerPendantWindow(PendantKind kind, PendantCreator creator)
{
    registry().creators[kind] = std::move(creator);
}

bool hasPendantCreator(PendantKind kind)
{
    return registry().creators.count(kind) != 0;
}

IPendantWindow &pendantWindow(PendantKind kind)
{
    Registry &r = registry();
    auto it = r.instances.find(kind);
    if (it != r.instances.end())
        return *it->second;
    auto creator = r.creators.find(kind);
    if (creator == r.creators.end() || !creator->second)
        raiseError(ErrNotSupported, QStringLiteral("No pendant window of this type is available"));
    auto window = creator->second();
    if (!window)
        raiseError(ErrNotSupported, QStringLiteral("No pendant window of this type is available"));
    IPendantWindow &ref = *window;
    r.instances[kind] = std::move(window);
    return ref;
}

IPendantWindow *existingPendantWindow(PendantKind kind)
{
    Registry &r = registry();
    auto it = r.instances.find(kind);
    return it == r.instances.end() ? nullptr : it->second.get();
}

void unloadPendantWindow(PendantKind kind)
{
    Registry &r = registry();
    auto it = r.instances.find(kind);
    if (it == r.instances.end())
        return;
    // Taken out first so that the unload handling cannot reach the window it is unloading.
    std::unique_ptr<IPendantWindow> window = std::move(it->second);
    r.instances.erase(it);
    try {
        if (window->isLoaded())
            window->Unload();
    } catch (const ProvError &) {
        // An unload always completes; the window goes whatever its handling said.
    }
    if (QWidget *w = window->widget()) {
        w->hide();
    }
    emit pendantWindowEvents().releasing(kind);
    retire(std::move(window));
}

void releaseAllPendantWindows()
{
    Registry &r = registry();
    std::map<PendantKind, std::unique_ptr<IPendantWindow>> instances;
    instances.swap(r.instances);
    for (const auto &entry : instances)
        emit pendantWindowEvents().releasing(entry.first);
    std::vector<std::unique_ptr<IPendantWindow>> retired;
    retired.swap(r.retired);
}

int retiredPendantWindows()
{
    return int(registry().retired.size());
}

PendantWindowEvents &pendantWindowEvents()
{
    static PendantWindowEvents events;
    return events;
}

} // namespace tarvisk
