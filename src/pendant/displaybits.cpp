#include "pendant/displaybits.h"

#include "common/unitbitmap.h"
#include "pendant/minidisplay.h"

#include <QCryptographicHash>

namespace tarvisk {

namespace {

bool isDark(const QImage &image, int x, int y)
{
    return image.pixel(x, y) != MiniDisplay::toRgb(MiniDisplay::BackColor);
}

} // namespace

QByteArray displayUnitBits(const MiniDisplay &display)
{
    using namespace unitbitmap;
    const QImage &image = display.image();
    constexpr int P = MiniDisplay::PixelsPerUnit;
    QByteArray bits(byteCount(Width, Height), 0);
    for (int y = 0; y < Height; ++y) {
        for (int x = 0; x < Width; ++x) {
            bool lit = false;
            for (int dy = 0; dy < P && !lit; ++dy) {
                for (int dx = 0; dx < P && !lit; ++dx)
                    lit = isDark(image, x * P + dx, y * P + dy);
            }
            if (lit)
                setLit(bits, Width, x, y);
        }
    }
    return bits;
}

QString displayDigest(const MiniDisplay &display)
{
    const QImage &image = display.image();
    QByteArray bits(unitbitmap::byteCount(image.width(), image.height()), 0);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (isDark(image, x, y))
                unitbitmap::setLit(bits, image.width(), x, y);
        }
    }
    return QStringLiteral("sha256:") +
           QString::fromLatin1(QCryptographicHash::hash(bits, QCryptographicHash::Sha256).toHex());
}

QImage displayImage(const MiniDisplay &display, int scale)
{
    const QImage &image = display.image();
    if (scale <= 1)
        return image.copy();
    return image.scaled(image.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

} // namespace tarvisk
