#include "app/appicon.h"

namespace tarvisk {

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128})
        icon.addFile(QStringLiteral(":/tarvisk/icons/tarvisk-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace tarvisk
