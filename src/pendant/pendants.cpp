#include "pendant/pendants.h"

#include "pendant/frmminitp.h"
#include "pendant/frmoldtp.h"
#include "pendant/frmtp.h"
#include "pendant/frmtpless.h"
#include "provider/pendantwindow.h"

namespace tarvisk {

void registerPendantWindows()
{
    registerPendantWindow(PendantKind::Standard, [] { return std::make_unique<frmTP>(); });
    registerPendantWindow(PendantKind::Mini, [] { return std::make_unique<frmMiniTP>(); });
    registerPendantWindow(PendantKind::Old, [] { return std::make_unique<frmOldTP>(); });
    registerPendantWindow(PendantKind::TPLess, [] { return std::make_unique<frmTPLess>(); });
    // further windows register here, one line each
}

} // namespace tarvisk
