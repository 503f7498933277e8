#pragma once

#include <QIcon>

namespace tarvisk {

// The application icon in the sizes a desktop shows it, rendered from packaging/tarvisk.svg at
// build time; every window of the program carries it.
QIcon applicationIcon();

} // namespace tarvisk
