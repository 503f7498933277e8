#include "app/appicon.h"

#include <QImage>
#include <QPixmap>

namespace tarvisk {

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128}) {
        // Read as PNG by name: left to guess, Qt would load every image format plugin to ask it.
        const QImage image(QStringLiteral(":/tarvisk/icons/tarvisk-%1.png").arg(size), "PNG");
        if (!image.isNull())
            icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

} // namespace tarvisk
