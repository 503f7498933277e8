#include "common/twips.h"

#include "common/variant.h"

#include <QGuiApplication>
#include <QScreen>

namespace tarvisk::twips {

namespace {

double g_zoom = 1.0;

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

double zoom()
{
    return g_zoom;
}

bool setZoom(double factor)
{
    if (!(factor >= kMinZoomPercent / 100.0 && factor <= kMaxZoomPercent / 100.0))
        return false;
    g_zoom = factor;
    return true;
}

double screenPerPixelX()
{
    return factorFor(true);
}

double screenPerPixelY()
{
    return factorFor(false);
}

double perPixelX()
{
    return screenPerPixelX() / g_zoom;
}

double perPixelY()
{
    return screenPerPixelY() / g_zoom;
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

int screenToPixelsX(double twips)
{
    return toPixels(twips, screenPerPixelX());
}

int screenToPixelsY(double twips)
{
    return toPixels(twips, screenPerPixelY());
}

} // namespace tarvisk::twips
