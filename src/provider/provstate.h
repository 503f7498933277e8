#pragma once

#include "common/variant.h"
#include "provider/keytables.h"

#include <cstdint>
#include <memory>

namespace tarvisk {

class ProvController;
class IPendantLink;

// Process-wide state, read and written on the user-interface thread only.
extern std::shared_ptr<ProvController> g_Controller; // the connected controller, or none
extern bool g_Standalone;                            // started by the user (not by the host)
extern std::shared_ptr<KeyTable> g_TPKeyTable;       // "TP_KEY_" names to codes
extern std::shared_ptr<KeyTable> g_MPKeyTable;       // "MP_KEY_" names to codes
extern std::shared_ptr<IPendantLink> g_TPComm;       // the standalone link, or none
extern bool g_IsPellino;
extern int32_t g_TPLessInterval; // keep-alive period of the pendant-less window, ms

int32_t GetTPLessInterval();
void SetTPLessInterval(int32_t interval);

// Creates (or reuses), loads and connects the window of a pendant type. Hosted: the window
// stays hidden with no system menu and the no-activate style. Otherwise it is shown at once.
void ShowPendant(int32_t lPendantType, int32_t lDefaultMode, bool bHosted, bool bDebug);

// Sends a message to the host through g_Controller; a failure (or no controller) throws.
void sendHostMessage(int32_t number, const Variant &value);

// Back to the state of a fresh process, for tests: windows released, globals cleared.
void resetProcessState();

} // namespace tarvisk
