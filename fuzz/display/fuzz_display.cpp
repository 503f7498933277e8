// libFuzzer target: DrawDisplay over arbitrary nested values, two lists in a row on one display
// so the drawing state carries from one to the next. Whatever the input, the surface keeps its
// size and holds only the two display colours.

#include "variantdecoder.h"

#include "pendant/minidisplay.h"

#include <cstdlib>

using tarvisk::MiniDisplay;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzdisplay::VariantDecoder decoder(data, size);
    MiniDisplay display;
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
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (line[x] != back && line[x] != black)
                std::abort();
    }
    return 0;
}
