#include "pendant/pendants.h"

#include "pendant/frmtp.h"
#include "provider/pendantwindow.h"

namespace tarvisk {

void registerPendantWindows()
{
    registerPendantWindow(PendantKind::Standard, [] { return std::make_unique<frmTP>(); });
    // further windows register here, one line each
}

} // namespace tarvisk
