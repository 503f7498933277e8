#include "support/pendantprocess.h"

#include "pendant/pendants.h"
#include "provider/keytables.h"
#include "provider/provcontroller.h"
#include "provider/provstate.h"

#include <QTest>
#include <QWidget>

namespace tarvisk::testing {

void startPendantProcess()
{
    resetProcessState();
    registerPendantWindows();
    InitKeyTables();
}

std::shared_ptr<ProvController> connectController(const QString &options, int32_t *status)
{
    auto controller = std::make_shared<ProvController>();
    Variant parameters = Variant::array({Variant(), Variant(options), Variant()});
    const int32_t result = controller->FinalConnect(parameters);
    if (status)
        *status = result;
    return result == 0 ? controller : nullptr;
}

bool showHosted(ProvController &controller, IPendantWindow *window)
{
    Variant result;
    if (!window || controller.FinalExecute(QStringLiteral("show"), Variant(), result) != 0)
        return false;
    return QTest::qWaitForWindowExposed(window->widget());
}

void endHosted(std::shared_ptr<ProvController> &controller)
{
    if (controller)
        controller->FinalDisconnect();
    controller.reset();
    resetProcessState();
}

} // namespace tarvisk::testing
