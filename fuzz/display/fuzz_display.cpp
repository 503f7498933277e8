// libFuzzer target: DrawDisplay over arbitrary nested values, two lists in a row on one display
// so the drawing state carries from one to the next. Whatever the input, the surface keeps its
// size and holds only the two display colours.

#include "variantdecoder.h"

#include "pendant/minidisplay.h"

#include <cstdlib>

using tarvisk::MiniDisplay;

namespace {

// Whether every pixel has one of the two colours. Left out of the coverage instrumentation: it
// guides nothing, and a traced and checked comparison for each of the 31248 pixels cost most of
// a round (the image is Qt's, whole, and read only).
__attribute__((no_sanitize("coverage", "address", "undefined"), noinline)) bool onlyColours(const QImage &image, QRgb a,
                                                                                            QRgb b)
{
    const int width = image.width(), height = image.height();
    for (int y = 0; y < height; ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        bool other = false; // without an early exit the row is compared in vector steps
        for (int x = 0; x < width; ++x)
            other |= (line[x] != a) & (line[x] != b);
        if (other)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzdisplay::VariantDecoder decoder(data, size);
    // One display for every round, reset to its state at load: a new surface each round cost more
    // in page faults than the drawing itself.
    static MiniDisplay display;
    display.reset();
    const QRgb back = MiniDisplay::toRgb(MiniDisplay::BackColor);
    const QRgb black = MiniDisplay::toRgb(MiniDisplay::Black);
    for (int round = 0; round < 2; ++round) {
        const tarvisk::Variant list = decoder.value();
        display.DrawDisplay(list);
        display.SetLCD(list);
    }
    const QImage &image = display.image();
    if (image.width() != MiniDisplay::PixelWidth || image.height() != MiniDisplay::PixelHeight)
        std::abort();
    if (!onlyColours(image, back, black))
        std::abort();
    return 0;
}
