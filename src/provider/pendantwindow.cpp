#include "provider/pendantwindow.h"

#include "common/proverror.h"

#include <QWidget>

#include <map>

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
};

Registry &registry()
{
    static Registry r;
    return r;
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
    window.reset();
}

void releaseAllPendantWindows()
{
    registry().instances.clear();
}

} // namespace tarvisk
