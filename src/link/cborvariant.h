#pragma once

#include "common/variant.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>

class QCborStreamReader;
class QCborStreamWriter;

// The Variant <-> CBOR mapping. Every Variant type except Object has exactly one CBOR form, so a
// value written here reads back with the same type and value:
//
//   Empty      undefined (simple value 23)        Null     null (simple value 22)
//   Boolean    false / true                       Long     an untagged integer
//   Byte       tag TagByte, unsigned 0..255       Integer  tag TagInteger, integer -32768..32767
//   Single     tag TagSingle, float32             Double   an untagged float64
//   String     text string (UTF-8)                ByteArray byte string
//   Array      array of items of this mapping
//
// CBOR gives no meaning to the width of an integer or float encoding, so the narrow types carry a
// tag instead. Read leniently from other encoders: an untagged integer outside Long's range reads as
// Double; an untagged float of any width reads as Double; the Single tag takes any float width whose
// value a Single holds exactly. Everything else (maps, other tags, other simple values, invalid
// UTF-8, nesting past the cap) is refused.
namespace tarvisk::cbor {

// Tags from the first-come-first-served range, not registered: they mean something only between
// the peers of this system. The low byte is the width in bytes of the type they mark.
inline constexpr quint64 TagByte = 0xE001;
inline constexpr quint64 TagInteger = 0xE002;
inline constexpr quint64 TagSingle = 0xE004;

// Deepest nesting of arrays in a value: a scalar has depth 0, Array() depth 1, Array(Array()) 2.
inline constexpr int MaxNesting = 32;

enum class ReadStatus { Ok, Malformed, TooDeep };

// Throws ProvError 13 when the value holds an Object (it cannot travel) and 5 when it nests deeper
// than MaxNesting; nothing is written then.
void writeVariant(QCborStreamWriter &writer, const Variant &value);
QByteArray toCbor(const Variant &value);

// Reads the item at the reader's position into *out and moves past it. No string or byte-string
// chunk may be longer than maxChunk (the caller passes the size of the data it holds, which no
// chunk of well-formed data exceeds), so a forged length never makes a large allocation.
ReadStatus readVariant(QCborStreamReader &reader, Variant *out, qsizetype maxChunk, int maxNesting = MaxNesting);

// Moves past one well-formed item of any kind (maps, any tag, any simple value) under the same caps.
ReadStatus skipItem(QCborStreamReader &reader, qsizetype maxChunk, int maxNesting = MaxNesting);

// Decodes data that holds exactly one item and nothing after it.
ReadStatus fromCbor(QByteArrayView data, Variant *out);

} // namespace tarvisk::cbor
