#include "provider/provstate.h"

#include "common/twips.h"

#include "link/pendantlink.h"
#include "provider/pendantwindow.h"
#include "provider/provcontroller.h"
#include "provider/windowprocs.h"

#include <QWidget>

namespace tarvisk {

std::shared_ptr<ProvController> g_Controller;
bool g_Standalone = false;
std::shared_ptr<KeyTable> g_TPKeyTable;
std::shared_ptr<KeyTable> g_MPKeyTable;
std::shared_ptr<IPendantLink> g_TPComm;
bool g_IsPellino = false;
int32_t g_TPLessInterval = 10000;

int32_t GetTPLessInterval()
{
    return g_TPLessInterval;
}

void SetTPLessInterval(int32_t interval)
{
    g_TPLessInterval = interval;
}

void ShowPendant(int32_t lPendantType, int32_t lDefaultMode, bool bHosted, bool bDebug)
{
    const PendantKind kind = pendantKindForType(lPendantType);
    IPendantWindow &window = pendantWindow(kind);
    if (kind == PendantKind::TPLess)
        window.setDebugMode(bDebug);
    window.Load();
    window.Connect(lDefaultMode);
    window.setStateSelectorVisible(bDebug);
    QWidget *w = window.widget();
    ApplyWindowHints(w);
    if (bHosted) {
        RemoveSystemMenu(w);
        SetNoActivate(w);
    } else {
        w->show();
    }
    emit pendantWindowEvents().connected(kind);
}

void sendHostMessage(int32_t number, const Variant &value)
{
    if (!g_Controller)
        raiseError(ErrObjectNotSet);
    // The controller may be released by a host call made from a nested event loop.
    const std::shared_ptr<ProvController> controller = g_Controller;
    const int32_t status = controller->CreateMessage(number, value);
    if (status != 0)
        raiseError(status);
}

void resetProcessState()
{
    releaseAllPendantWindows();
    g_Controller.reset();
    g_Standalone = false;
    g_TPKeyTable.reset();
    g_MPKeyTable.reset();
    g_TPComm.reset();
    g_IsPellino = false;
    g_TPLessInterval = 10000;
    twips::setZoom(1.0);
}

} // namespace tarvisk
