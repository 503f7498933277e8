#pragma once

#include "common/variant.h"

#include <QByteArray>

#include <cstdint>
#include <initializer_list>

namespace tarvisk::testing {

// Whether key `code` is set in a key-state bitmap: bit (code mod 8) of byte (code div 8).
inline bool bitSet(const QByteArray &bits, int code)
{
    return (uint8_t(bits[code / 8]) >> (code % 8)) & 1;
}

// The 8-byte key-state bitmap with the given codes set.
inline QByteArray bitmapOf(std::initializer_list<int> codes)
{
    QByteArray bits(8, '\0');
    for (int code : codes)
        bits[code / 8] = char(uint8_t(bits[code / 8]) | (1u << (code % 8)));
    return bits;
}

// A byte array's bytes; nothing for any other value.
inline QByteArray bytesOf(const Variant &v)
{
    return v.bytes() ? *v.bytes() : QByteArray();
}

} // namespace tarvisk::testing
