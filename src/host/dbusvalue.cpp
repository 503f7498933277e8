#include "host/dbusvalue.h"

#include <QDBusMetaType>
#include <QDBusVariant>

#include <cmath>
#include <limits>

namespace tarvisk::dbusvalue {
namespace {

// The content of an Array on its way out: the elements and the depth of the array itself, so
// that an over-deep value is cut off (as Empty) instead of making a message the bus refuses.
struct OutgoingArray
{
    VariantArray items;
    int depth = 1;
};

void writeTagged(QDBusArgument &arg, const Variant &value, int depth);

QDBusArgument &operator<<(QDBusArgument &arg, const OutgoingArray &array)
{
    arg.beginArray(QMetaType::fromType<DBusValue>());
    for (const Variant &item : array.items)
        writeTagged(arg, item, array.depth);
    arg.endArray();
    return arg;
}

// Only the signature matters to the type system; incoming arrays are read as QDBusArgument.
const QDBusArgument &operator>>(const QDBusArgument &arg, OutgoingArray &array)
{
    array.items.clear();
    arg.beginArray();
    while (!arg.atEnd()) {
        DBusValue item;
        arg >> item;
        array.items.append(item.value);
    }
    arg.endArray();
    return arg;
}

} // namespace
} // namespace tarvisk::dbusvalue

Q_DECLARE_METATYPE(tarvisk::dbusvalue::OutgoingArray)

namespace tarvisk::dbusvalue {
namespace {

const QLatin1String kTaggedArraySignature("a(yv)");
const QLatin1String kTaggedSignature("(yv)");

QDBusVariant placeholder()
{
    return QDBusVariant(QVariant::fromValue(uchar(0)));
}

void writeTagged(QDBusArgument &arg, const Variant &value, int depth)
{
    arg.beginStructure();
    switch (value.type()) {
    case Variant::Type::Empty:
    case Variant::Type::Object:
        arg << uchar(tag::Empty) << placeholder();
        break;
    case Variant::Type::Null:
        arg << uchar(tag::Null) << placeholder();
        break;
    case Variant::Type::Boolean:
        arg << uchar(tag::Boolean) << QDBusVariant(QVariant::fromValue(value.toBool()));
        break;
    case Variant::Type::Byte:
        arg << uchar(tag::Byte) << QDBusVariant(QVariant::fromValue(uchar(value.toByte())));
        break;
    case Variant::Type::Integer:
        arg << uchar(tag::Integer) << QDBusVariant(QVariant::fromValue(short(value.toInteger())));
        break;
    case Variant::Type::Long:
        arg << uchar(tag::Long) << QDBusVariant(QVariant::fromValue(int(value.toLong())));
        break;
    case Variant::Type::Single:
        arg << uchar(tag::Single) << QDBusVariant(QVariant::fromValue(double(value.toSingle())));
        break;
    case Variant::Type::Double:
        arg << uchar(tag::Double) << QDBusVariant(QVariant::fromValue(value.toDouble()));
        break;
    case Variant::Type::String:
        arg << uchar(tag::String) << QDBusVariant(QVariant::fromValue(value.toString()));
        break;
    case Variant::Type::ByteArray:
        arg << uchar(tag::ByteArray) << QDBusVariant(QVariant::fromValue(*value.bytes()));
        break;
    case Variant::Type::Array:
        if (depth + 1 > kMaxArrayDepth)
            arg << uchar(tag::Empty) << placeholder();
        else
            arg << uchar(tag::Array)
                << QDBusVariant(QVariant::fromValue(OutgoingArray{*value.arrayItems(), depth + 1}));
        break;
    }
    arg.endStructure();
}

QString contentSignature(const QVariant &content)
{
    const QMetaType type = content.metaType();
    if (type == QMetaType::fromType<QDBusArgument>())
        return content.value<QDBusArgument>().currentSignature();
    if (type == QMetaType::fromType<TaggedList>())
        return kTaggedArraySignature;
    if (type == QMetaType::fromType<QDBusVariant>())
        return QStringLiteral("v");
    if (const char *sig = QDBusMetaType::typeToSignature(type))
        return QString::fromLatin1(sig);
    return QStringLiteral("?");
}

bool refuse(QString &error, uint8_t t, const QString &wanted, const QVariant &content)
{
    error = QStringLiteral("tag %1 needs the content %2, not %3").arg(tagText(t), wanted, contentSignature(content));
    return false;
}

template <class T> bool take(uint8_t t, const QVariant &content, const char *signature, T &out, QString &error)
{
    if (content.metaType() != QMetaType::fromType<T>())
        return refuse(error, t, QString::fromLatin1(signature), content);
    out = content.value<T>();
    return true;
}

// Reads one (yv) at the argument's position.
bool readTagged(const QDBusArgument &arg, Variant &out, QString &error, int depth)
{
    if (arg.currentSignature() != kTaggedSignature) {
        error = QStringLiteral("an array element must be (yv), not %1").arg(arg.currentSignature());
        return false;
    }
    uchar t = 0;
    QDBusVariant content;
    arg.beginStructure();
    arg >> t >> content;
    arg.endStructure();
    return decodeTagged(t, content.variant(), out, error, depth);
}

// Moves past one (yv) element of an a(yv) array.
void skipTagged(const QDBusArgument &arg)
{
    uchar t = 0;
    QDBusVariant content;
    arg.beginStructure();
    arg >> t >> content;
    arg.endStructure();
}

bool decodeArray(const QVariant &content, Variant &out, QString &error, int depth)
{
    if (depth + 1 > kMaxArrayDepth) {
        error = QStringLiteral("arrays nest deeper than %1 levels").arg(kMaxArrayDepth);
        return false;
    }
    VariantArray items;
    const QMetaType type = content.metaType();
    if (type == QMetaType::fromType<QDBusArgument>()) {
        const QDBusArgument arg = content.value<QDBusArgument>();
        if (arg.currentSignature() != kTaggedArraySignature)
            return refuse(error, tag::Array, kTaggedArraySignature, content);
        // After a refused element the rest is still read and the array closed: Qt frees what
        // beginArray took only in endArray, so leaving early would leak on every bad value.
        bool refused = false;
        arg.beginArray();
        while (!arg.atEnd()) {
            Variant item;
            if (refused)
                skipTagged(arg);
            else if (readTagged(arg, item, error, depth + 1))
                items.append(std::move(item));
            else
                refused = true;
        }
        arg.endArray();
        if (refused)
            return false;
    } else if (type == QMetaType::fromType<TaggedList>()) {
        const TaggedList list = content.value<TaggedList>();
        items.reserve(list.size());
        for (const TaggedItem &element : list) {
            Variant item;
            if (!decodeTagged(element.tag, element.content, item, error, depth + 1))
                return false;
            items.append(std::move(item));
        }
    } else {
        return refuse(error, tag::Array, kTaggedArraySignature, content);
    }
    out = Variant(items);
    return true;
}

bool transferable(const Variant &value, QString *why, int depth)
{
    switch (value.type()) {
    case Variant::Type::Object:
        if (why)
            *why = QStringLiteral("an object cannot cross the bus");
        return false;
    case Variant::Type::String:
        if (value.toString().contains(QChar(0))) {
            if (why)
                *why = QStringLiteral("a text with a NUL character cannot cross the bus");
            return false;
        }
        return true;
    case Variant::Type::Array:
        if (depth + 1 > kMaxArrayDepth) {
            if (why)
                *why = QStringLiteral("arrays nest deeper than %1 levels").arg(kMaxArrayDepth);
            return false;
        }
        for (const Variant &item : *value.arrayItems()) {
            if (!transferable(item, why, depth + 1))
                return false;
        }
        return true;
    default:
        return true;
    }
}

} // namespace

uint8_t tagOf(Variant::Type type)
{
    switch (type) {
    case Variant::Type::Empty:
        return tag::Empty;
    case Variant::Type::Null:
        return tag::Null;
    case Variant::Type::Boolean:
        return tag::Boolean;
    case Variant::Type::Byte:
        return tag::Byte;
    case Variant::Type::Integer:
        return tag::Integer;
    case Variant::Type::Long:
        return tag::Long;
    case Variant::Type::Single:
        return tag::Single;
    case Variant::Type::Double:
        return tag::Double;
    case Variant::Type::String:
        return tag::String;
    case Variant::Type::Array:
        return tag::Array;
    case Variant::Type::ByteArray:
        return tag::ByteArray;
    case Variant::Type::Object:
        break;
    }
    return 0;
}

QString tagText(uint8_t t)
{
    const QString hex = QStringLiteral("0x%1").arg(uint(t), 2, 16, QLatin1Char('0'));
    if (t > 0x20 && t < 0x7f)
        return QStringLiteral("'%1' (%2)").arg(QChar(char16_t(t)), hex);
    return hex;
}

bool decodeTagged(uint8_t t, const QVariant &content, Variant &out, QString &error, int depth)
{
    switch (t) {
    case tag::Empty:
        out = Variant();
        return true;
    case tag::Null:
        out = Variant::null();
        return true;
    case tag::Boolean: {
        bool b = false;
        if (!take(t, content, "b", b, error))
            return false;
        out = Variant(b);
        return true;
    }
    case tag::Byte: {
        uchar v = 0;
        if (!take(t, content, "y", v, error))
            return false;
        out = Variant(uint8_t(v));
        return true;
    }
    case tag::Integer: {
        short v = 0;
        if (!take(t, content, "n", v, error))
            return false;
        out = Variant(int16_t(v));
        return true;
    }
    case tag::Long: {
        int v = 0;
        if (!take(t, content, "i", v, error))
            return false;
        out = Variant(int32_t(v));
        return true;
    }
    case tag::Single: {
        double d = 0;
        if (!take(t, content, "d", d, error))
            return false;
        if (std::isfinite(d) && std::fabs(d) > double(std::numeric_limits<float>::max())) {
            error = QStringLiteral("tag %1: %2 lies outside the Single range").arg(tagText(t)).arg(d);
            return false;
        }
        out = Variant(float(d));
        return true;
    }
    case tag::Double: {
        double d = 0;
        if (!take(t, content, "d", d, error))
            return false;
        out = Variant(d);
        return true;
    }
    case tag::String: {
        QString s;
        if (!take(t, content, "s", s, error))
            return false;
        // The bus never delivers one; refused here too, so what decodes can always be sent back.
        if (s.contains(QChar(0))) {
            error = QStringLiteral("tag %1: a text with a NUL character").arg(tagText(t));
            return false;
        }
        out = Variant(s);
        return true;
    }
    case tag::ByteArray: {
        QByteArray bytes;
        if (!take(t, content, "ay", bytes, error))
            return false;
        out = Variant(bytes);
        return true;
    }
    case tag::Array:
        return decodeArray(content, out, error, depth);
    default:
        error = QStringLiteral("unknown tag %1").arg(tagText(t));
        return false;
    }
}

TaggedItem toTagged(const Variant &value)
{
    switch (value.type()) {
    case Variant::Type::Empty:
    case Variant::Type::Object:
        return {tag::Empty, QVariant::fromValue(uchar(0))};
    case Variant::Type::Null:
        return {tag::Null, QVariant::fromValue(uchar(0))};
    case Variant::Type::Boolean:
        return {tag::Boolean, QVariant::fromValue(value.toBool())};
    case Variant::Type::Byte:
        return {tag::Byte, QVariant::fromValue(uchar(value.toByte()))};
    case Variant::Type::Integer:
        return {tag::Integer, QVariant::fromValue(short(value.toInteger()))};
    case Variant::Type::Long:
        return {tag::Long, QVariant::fromValue(int(value.toLong()))};
    case Variant::Type::Single:
        return {tag::Single, QVariant::fromValue(double(value.toSingle()))};
    case Variant::Type::Double:
        return {tag::Double, QVariant::fromValue(value.toDouble())};
    case Variant::Type::String:
        return {tag::String, QVariant::fromValue(value.toString())};
    case Variant::Type::ByteArray:
        return {tag::ByteArray, QVariant::fromValue(*value.bytes())};
    case Variant::Type::Array: {
        TaggedList list;
        for (const Variant &item : *value.arrayItems())
            list.append(toTagged(item));
        return {tag::Array, QVariant::fromValue(list)};
    }
    }
    return {};
}

bool isTransferable(const Variant &value, QString *why)
{
    return transferable(value, why, 0);
}

} // namespace tarvisk::dbusvalue

namespace tarvisk {

void registerDBusValueTypes()
{
    static const bool registered = [] {
        qDBusRegisterMetaType<DBusValue>();
        qDBusRegisterMetaType<dbusvalue::OutgoingArray>();
        return true;
    }();
    Q_UNUSED(registered);
}

QDBusArgument &operator<<(QDBusArgument &arg, const DBusValue &value)
{
    dbusvalue::writeTagged(arg, value.value, 0);
    return arg;
}

const QDBusArgument &operator>>(const QDBusArgument &arg, DBusValue &value)
{
    value.value = Variant();
    value.error.clear();
    Variant decoded;
    if (dbusvalue::readTagged(arg, decoded, value.error, 0))
        value.value = std::move(decoded);
    return arg;
}

} // namespace tarvisk
