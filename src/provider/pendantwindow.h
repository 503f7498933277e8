#pragma once

#include "common/variant.h"

#include <QObject>

#include <functional>
#include <memory>

class QWidget;

namespace tarvisk {

// The four pendant windows. The numbers are the pendant types that select them;
// any other type selects the standard pendant.
enum class PendantKind { Old = -1, Standard = 0, Mini = 1, TPLess = 2 };

PendantKind pendantKindForType(int32_t lPendantType);

// The contract every pendant window offers to the provider core. The operations are looked
// up at run time: one a window does not offer fails with 438. Failures throw ProvError.
class IPendantWindow
{
public:
    virtual ~IPendantWindow() = default;

    virtual QWidget *widget() = 0;
    virtual PendantKind kind() const = 0;

    // Builds the controls the first time; later calls do nothing.
    virtual void Load() = 0;
    virtual bool isLoaded() const = 0;
    // Unload asked for by code: the window's unload handling runs and the window is hidden.
    virtual void Unload() = 0;
    // Lets go of every key held and reports each release, latched keys included, as a way out of
    // a press whose release will never come; the mode switch stays. Nothing for a window
    // without keys.
    virtual void releaseHeldKeys() {}

    virtual void Connect(int32_t lDefaultMode) = 0;
    virtual void Disconnect();
    virtual void SetLED(Variant &vntVal);
    virtual void SetBeep(Variant &value);
    virtual Variant GetKeyState();
    virtual void SetInprocEventKey(Variant &vntKeys);
    virtual Variant GetInprocEventKey();
    virtual void SetLCD(Variant &vntData);
    virtual void DrawDisplay(Variant &data);
    // DebugMode of the pendant-less window.
    virtual void setDebugMode(bool debugMode);

    // Visibility of the state selector cmbState.
    virtual void setStateSelectorVisible(bool visible) = 0;
    virtual bool isStateSelectorVisible() const = 0;
};

using PendantCreator = std::function<std::unique_ptr<IPendantWindow>()>;

// The pendant library registers one creator per kind; a kind without one fails with 438.
void registerPendantWindow(PendantKind kind, PendantCreator creator);
bool hasPendantCreator(PendantKind kind);

// The single process-wide instance of a kind, created on first use (not loaded).
IPendantWindow &pendantWindow(PendantKind kind);
// The instance if it exists, else nullptr.
IPendantWindow *existingPendantWindow(PendantKind kind);
// Unloads the instance, if any, and releases it; a later use creates a new one. The window is
// hidden at once but destroyed only from the outermost event loop, once none of its handlers can
// still be running (one may be waiting in a message box whose loop served this call).
void unloadPendantWindow(PendantKind kind);
// Destroys every instance, and every unloaded one still waiting, without unload handling (process
// end, tests).
void releaseAllPendantWindows();
// Unloaded windows not destroyed yet.
int retiredPendantWindows();

// Which window stands for the pendant, for those who follow it (scripting, recording): the one
// ShowPendant connected last, until the registry lets it go.
class PendantWindowEvents : public QObject
{
    Q_OBJECT
signals:
    // ShowPendant connected the window of that kind (and showed it when standalone).
    void connected(tarvisk::PendantKind kind);
    // The window of that kind is being let go: after its unload handling, before it is destroyed.
    void releasing(tarvisk::PendantKind kind);
};
PendantWindowEvents &pendantWindowEvents();

} // namespace tarvisk
