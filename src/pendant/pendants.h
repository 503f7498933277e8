#pragma once

namespace tarvisk {

// Registers the pendant windows with the provider's window factory.
void registerPendantWindows();

} // namespace tarvisk
