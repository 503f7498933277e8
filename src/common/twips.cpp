#include "common/twips.h"

#include "common/variant.h"

#include <QGuiApplication>
#include <QScreen>

namespace tarvisk::twips {

namespace {

double factorFor(bool horizontal)
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return 15.0;
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 15.0;
    const double dpi = horizontal ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY();
    if (dpi <= 0)
        return 15.0;
    return 1440.0 / dpi;
}

} // namespace

double perPixelX()
{
    return factorFor(true);
}

double perPixelY()
{
    return factorFor(false);
}

int toPixels(double twips, double perPixel)
{
    return int(roundHalfEven(twips / perPixel));
}

int toPixelsX(double twips)
{
    return toPixels(twips, perPixelX());
}

int toPixelsY(double twips)
{
    return toPixels(twips, perPixelY());
}

double fromPixelsX(double pixels)
{
    return pixels * perPixelX();
}

double fromPixelsY(double pixels)
{
    return pixels * perPixelY();
}

} // namespace tarvisk::twips
