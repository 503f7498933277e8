#pragma once

#include "common/variant.h"

#include <QDBusArgument>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariant>

#include <cstdint>

// The Variant <-> D-Bus mapping. A Variant travels as the D-Bus struct (yv): a tag byte naming
// its type and a D-Bus variant holding its content. D-Bus has no float, no "nothing" value and
// no way to tell an Empty element from any other inside an array, so the tag carries the type
// and every array element is itself a (yv):
//
//   Variant    tag          content            Variant    tag          content
//   Empty      'E' 0x45     ignored (sent y 0) Null       'N' 0x4E     ignored (sent y 0)
//   Boolean    'b' 0x62     b                  Byte       'y' 0x79     y
//   Integer    'n' 0x6E     n (int16)          Long       'i' 0x69     i (int32)
//   Single     'f' 0x66     d (a float's value) Double    'd' 0x64     d
//   String     's' 0x73     s                  ByteArray  'B' 0x42     ay
//   Array      'a' 0x61     a(yv), element by element
//
// Reading is strict: the content must have the D-Bus type the tag names (only Empty and Null take
// any content), a Single must lie within the float range, and arrays may nest at most
// kMaxArrayDepth deep. Objects never cross the bus. Whatever decodes is transferable, so it can
// always be sent back.
namespace tarvisk::dbusvalue {

namespace tag {
inline constexpr uint8_t Empty = 'E';
inline constexpr uint8_t Null = 'N';
inline constexpr uint8_t Boolean = 'b';
inline constexpr uint8_t Byte = 'y';
inline constexpr uint8_t Integer = 'n';
inline constexpr uint8_t Long = 'i';
inline constexpr uint8_t Single = 'f';
inline constexpr uint8_t Double = 'd';
inline constexpr uint8_t String = 's';
inline constexpr uint8_t Array = 'a';
inline constexpr uint8_t ByteArray = 'B';
} // namespace tag

// A scalar has depth 0, Array() depth 1, Array(Array()) depth 2. Each level costs the message
// three containers (array, struct, variant) against the bus's limit of 64 in one message.
inline constexpr int kMaxArrayDepth = 16;

// The tag of a Variant type; Object has none and gives 0.
uint8_t tagOf(Variant::Type type);

// One tagged value outside a message: the tag and the variant's content. For arrays the content
// is a TaggedList; everything else is the QVariant Qt makes of the D-Bus basic value (bool,
// uchar, short, int, double, QString, QByteArray).
struct TaggedItem
{
    uint8_t tag = tag::Empty;
    QVariant content;
};
using TaggedList = QList<TaggedItem>;

// Decodes one tagged value. The content is what the D-Bus variant held: a basic value, or for
// an array either a QDBusArgument at an a(yv) (read off the bus) or a TaggedList. depth is the
// array depth of the value's container. Returns false with a reason when the value is refused.
bool decodeTagged(uint8_t tag, const QVariant &content, Variant &out, QString &error, int depth = 0);

// The tagged form of a value, arrays as TaggedList; an Object gives Empty.
TaggedItem toTagged(const Variant &value);

// Whether a value can be sent: no Object, no text with a NUL character (D-Bus strings cannot
// hold one), arrays at most kMaxArrayDepth deep. why names the first obstacle.
bool isTransferable(const Variant &value, QString *why = nullptr);

// Readable form of a tag for error texts: 'i' (0x69).
QString tagText(uint8_t tag);

} // namespace tarvisk::dbusvalue

namespace tarvisk {

// A Variant as a D-Bus method argument or result, signature (yv). A value read off the bus that
// the mapping refuses arrives with the reason in error and an Empty value; the receiver answers
// the call with an error instead of acting on it. Writing an untransferable value (check with
// isTransferable first) sends Empty in place of each part that cannot travel.
struct DBusValue
{
    Variant value;
    QString error;

    DBusValue() = default;
    DBusValue(const Variant &v)
        : value(v)
    {}
    bool ok() const { return error.isEmpty(); }
};

// Registers DBusValue (and its array form) with the D-Bus type system; call once before use.
void registerDBusValueTypes();

QDBusArgument &operator<<(QDBusArgument &arg, const DBusValue &value);
const QDBusArgument &operator>>(const QDBusArgument &arg, DBusValue &value);

} // namespace tarvisk

Q_DECLARE_METATYPE(tarvisk::DBusValue)
Q_DECLARE_METATYPE(tarvisk::dbusvalue::TaggedItem)
