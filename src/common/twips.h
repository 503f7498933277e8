#pragma once

// Window geometry is laid out in twips (1/1440 inch). A pixel is 15 twips at 96 dpi.
namespace tarvisk::twips {

// Twips per pixel of the primary screen, horizontally and vertically (15 at 96 dpi;
// 15 when no screen is there).
double perPixelX();
double perPixelY();

// Twips to whole pixels with the screen's factors, halves to even.
int toPixelsX(double twips);
int toPixelsY(double twips);
// Pixels to twips.
double fromPixelsX(double pixels);
double fromPixelsY(double pixels);

// With a fixed factor, for drawing into images independent of the screen.
int toPixels(double twips, double perPixel);

} // namespace tarvisk::twips
