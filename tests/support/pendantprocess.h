#pragma once

#include "provider/pendantwindow.h"

#include <QString>

#include <cstdint>
#include <memory>

namespace tarvisk {
class ProvController;
}

namespace tarvisk::testing {

// A fresh process as every pendant test starts from: no window, no controller, the process-wide
// state cleared; the real pendant windows registered and the key tables built.
void startPendantProcess();

// A new controller connected hosted with the option string, as the provider host connects it.
// nullptr when FinalConnect refuses; its status goes to *status either way.
std::shared_ptr<ProvController> connectController(const QString &options, int32_t *status = nullptr);

// The existing window of a kind as its own class; nullptr when there is none.
template <class Window> Window *pendantOf(PendantKind kind)
{
    return static_cast<Window *>(existingPendantWindow(kind));
}

// The client's "show", then waits until the window is on the screen; false when either fails.
bool showHosted(ProvController &controller, IPendantWindow *window);

// The end of a hosted test: FinalDisconnect when a controller is there, the controller let go
// and the process state back to a fresh start's.
void endHosted(std::shared_ptr<ProvController> &controller);

} // namespace tarvisk::testing
