#include "app/appicon.h"

#include <QImage>
#include <QImageReader>
#include <QPixmap>

namespace tarvisk {

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128}) {
        // Read as PNG, and only as PNG: a reader left free to detect the format asks every image
        // format plugin whether it reads "png" before it takes Qt's own reader, which loads them
        // all (GIF, ICO, JPEG with its library) into a program that shows no such picture.
        QImageReader reader(QStringLiteral(":/tarvisk/icons/tarvisk-%1.png").arg(size), "png");
        reader.setAutoDetectImageFormat(false);
        const QImage image = reader.read();
        if (!image.isNull())
            icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

} // namespace tarvisk
