#pragma once

// Window geometry is laid out in twips (1/1440 inch). A pixel is 15 twips at 96 dpi.
//
// The pendant windows may be zoomed: they are then laid out as on a screen of zoom times the
// screen's resolution, so a length in twips covers zoom times as many pixels while everything
// drawn in whole pixels (one-pixel lines, corner pixels, shapes) keeps the precision of one
// device pixel. The zoom is set once, before the first pendant window is built; what stands on
// the screen itself (a window's position, the connection dialog) uses the screen's own factors.
namespace tarvisk::twips {

// The zoom range, in percent.
constexpr int kMinZoomPercent = 50;
constexpr int kMaxZoomPercent = 400;

// The pendant's zoom, 1.0 unless set. setZoom takes a factor from 0.5 to 4; other values leave
// the zoom as it was and give false.
double zoom();
bool setZoom(double factor);

// Twips per pixel of the pendant layout, horizontally and vertically: the screen's factor
// divided by the zoom (15 at 96 dpi and 100%; 15 when no screen is there).
double perPixelX();
double perPixelY();

// Twips to whole pixels of the pendant layout, halves to even.
int toPixelsX(double twips);
int toPixelsY(double twips);
// Pixels of the pendant layout to twips.
double fromPixelsX(double pixels);
double fromPixelsY(double pixels);

// The same on the screen, without the zoom: window positions and the dialogs' layout.
double screenPerPixelX();
double screenPerPixelY();
int screenToPixelsX(double twips);
int screenToPixelsY(double twips);

// With a fixed factor, for drawing into images independent of the screen.
int toPixels(double twips, double perPixel);

} // namespace tarvisk::twips
