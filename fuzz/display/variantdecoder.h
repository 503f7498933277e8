#pragma once

// Turns fuzz bytes into nested Variant values. The encoding leans towards drawing-command
// lists (whole command items, the codes and flags that matter, coordinates near the surface)
// while still reaching every Variant type and arbitrary nesting.
//
//   value := tag rest     tag % 16:
//     0 Empty  1 Null  2 Boolean b  3 Byte b  4 Integer b b  5 Long b*4  6 Single b*4 (raw bits)
//     7 Double b*8 (raw bits)  8 String n (n % 24 characters, see character())
//     9 Array n (n % 8 values)  10 ByteArray n (n % 8 bytes)  11 code (one of the interesting
//     numbers)  12 coordinate b (Long b - 64, or Single (b - 128) / 4 when b is odd)
//     13 command item: kind b, then its parameter  14 numeric text  15 Object
// Past the end every byte reads 0, so decoding always ends.

#include "common/variant.h"

#include <cstdint>
#include <cstring>
#include <memory>

namespace fuzzdisplay {

using tarvisk::Variant;
using tarvisk::VariantArray;

class VariantDecoder
{
public:
    static constexpr int MaxDepth = 40;

    VariantDecoder(const uint8_t *data, size_t size)
        : m_p(data)
        , m_end(data + size)
    {}

    bool atEnd() const { return m_p >= m_end; }

    uint8_t byte() { return m_p < m_end ? *m_p++ : 0; }

    template <typename T> T raw()
    {
        uint8_t b[sizeof(T)];
        for (auto &x : b)
            x = byte();
        T v;
        std::memcpy(&v, b, sizeof(T));
        return v;
    }

    Variant value(int depth = 0)
    {
        const int tag = byte() % 16;
        switch (tag) {
        case 0:
            return Variant();
        case 1:
            return Variant::null();
        case 2:
            return Variant(bool(byte() & 1));
        case 3:
            return Variant(uint8_t(byte()));
        case 4:
            return Variant(raw<int16_t>());
        case 5:
            return Variant(raw<int32_t>());
        case 6:
            return Variant(raw<float>());
        case 7:
            return Variant(raw<double>());
        case 8:
            return Variant(text());
        case 9: {
            const int n = byte() % 8;
            VariantArray items;
            for (int i = 0; i < n && depth < MaxDepth; ++i)
                items.append(value(depth + 1));
            return Variant(items);
        }
        case 10: {
            QByteArray bytes;
            const int n = byte() % 8;
            for (int i = 0; i < n; ++i)
                bytes.append(char(byte()));
            return Variant(bytes);
        }
        case 11:
            return code();
        case 12:
            return coordinate();
        case 13:
            return command(depth);
        case 14: {
            static const char *const texts[] = {"16", "15", "255", " 32 ", "&H30", "49", "1e3", "-4", "abc", ""};
            return Variant(texts[byte() % 10]);
        }
        default:
            return Variant(std::make_shared<tarvisk::VariantObject>());
        }
    }

private:
    Variant code()
    {
        static const int32_t codes[] = {0x10, 0x11, 0x20, 0x30, 0x31, 15, 255, 0, 33, 1, 2, 4, 32, 64, 100, 5};
        return Variant(codes[byte() % 16]);
    }

    Variant coordinate()
    {
        const uint8_t b = byte();
        if (b & 1)
            return Variant(float(int(b) - 128) / 4.0f);
        return Variant(int32_t(b) - 64);
    }

    QChar character()
    {
        const uint8_t b = byte();
        if (b < 0x60)
            return QChar(char16_t(b < 0x20 ? (b % 2 ? 0x1B : 0x10 + b % 16) : b)); // escapes, controls, ASCII
        if (b < 0xA0)
            return QChar(char16_t(0xFF61 + (b - 0x60) % 63)); // half-width katakana
        if (b < 0xC0) {
            static const char16_t others[] = {0x3000, 0x30AB, 0x25BD, 0x00E9, 0x0391, 0xD83D, 0xDE00, 0xE000,
                                              0x2500, 0xFFFD, 0x4E00, 0xFFFF, 0x0000, 0x007F, 0x0085, 0xFF9E};
            return QChar(others[b % 16]);
        }
        return QChar(raw<char16_t>());
    }

    QString text()
    {
        const int n = byte() % 24;
        QString s;
        for (int i = 0; i < n; ++i)
            s.append(character());
        return s;
    }

    // A command item whose parameter is mostly well formed, so the drawing code is reached.
    Variant command(int depth)
    {
        const uint8_t kind = byte();
        const uint8_t shape = byte();
        const Variant c = code();
        VariantArray param;
        switch (kind % 4) {
        case 0: // pen or fill with a chosen number
            return Variant::array({c, code()});
        case 1: // text
            param = {Variant(text()), coordinate(), coordinate(), code(), code()};
            break;
        case 2: // line or box
            param = {coordinate(), coordinate(), coordinate(), coordinate()};
            break;
        default: // anything at all
            return Variant::array({c, depth < MaxDepth ? value(depth + 1) : Variant()});
        }
        // Now and then spoil one element or cut the list short.
        if (shape % 5 == 0 && !param.isEmpty())
            param[shape % param.size()] = depth < MaxDepth ? value(depth + 1) : Variant();
        if (shape % 7 == 0 && !param.isEmpty())
            param.removeLast();
        return Variant::array({c, Variant(param)});
    }

    const uint8_t *m_p;
    const uint8_t *m_end;
};

} // namespace fuzzdisplay
