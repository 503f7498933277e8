#include "link/cborvariant.h"

#include <QCborStreamReader>
#include <QCborStreamWriter>

#include <cmath>
#include <limits>

namespace tarvisk::cbor {

namespace {

// Refuses what cannot travel before anything is written; the recursion stops one level past the cap.
void checkWritable(const Variant &value, int remaining)
{
    switch (value.type()) {
    case Variant::Type::Object:
        raiseError(ErrTypeMismatch, QStringLiteral("An object cannot be sent over the pendant link"));
    case Variant::Type::Array:
        if (remaining == 0)
            raiseError(ErrInvalidArgument,
                       QStringLiteral("The value nests arrays deeper than %1 levels").arg(MaxNesting));
        for (const Variant &item : *value.arrayItems())
            checkWritable(item, remaining - 1);
        return;
    default:
        return;
    }
}

void write(QCborStreamWriter &w, const Variant &v)
{
    switch (v.type()) {
    case Variant::Type::Empty:
        w.appendUndefined();
        return;
    case Variant::Type::Null:
        w.appendNull();
        return;
    case Variant::Type::Boolean:
        w.append(v.toBool());
        return;
    case Variant::Type::Byte:
        w.append(QCborTag(TagByte));
        w.append(quint64(v.toByte()));
        return;
    case Variant::Type::Integer:
        w.append(QCborTag(TagInteger));
        w.append(qint64(v.toInteger()));
        return;
    case Variant::Type::Long:
        w.append(qint64(v.toLong()));
        return;
    case Variant::Type::Single:
        w.append(QCborTag(TagSingle));
        w.append(v.toSingle());
        return;
    case Variant::Type::Double:
        w.append(v.toDouble());
        return;
    case Variant::Type::String:
        w.append(QStringView(v.toString()));
        return;
    case Variant::Type::ByteArray:
        w.append(*v.bytes());
        return;
    case Variant::Type::Array: {
        const VariantArray &items = *v.arrayItems();
        w.startArray(quint64(items.size()));
        for (const Variant &item : items)
            write(w, item);
        w.endArray();
        return;
    }
    case Variant::Type::Object:
        break; // refused by checkWritable
    }
}

bool failed(QCborStreamReader &r)
{
    return r.lastError() != QCborError::NoError;
}

ReadStatus advance(QCborStreamReader &r)
{
    r.next();
    return failed(r) ? ReadStatus::Malformed : ReadStatus::Ok;
}

// Reads a (possibly chunked) text or byte string; each chunk is checked against maxChunk before
// the reader allocates for it.
template <typename Container, typename ReadChunk>
ReadStatus readChunks(QCborStreamReader &r, qsizetype maxChunk, Container *out, ReadChunk readChunk)
{
    Container total;
    for (;;) {
        if (r.currentStringChunkSize() > maxChunk)
            return ReadStatus::Malformed;
        auto chunk = readChunk();
        if (chunk.status == QCborStreamReader::Error)
            return ReadStatus::Malformed;
        if (chunk.status == QCborStreamReader::EndOfString)
            break;
        total += chunk.data;
        if (total.size() > maxChunk)
            return ReadStatus::Malformed;
    }
    if (failed(r))
        return ReadStatus::Malformed;
    *out = std::move(total);
    return ReadStatus::Ok;
}

// The value of an integer item, widened so that every CBOR integer fits: false when it is no integer.
bool integerValue(QCborStreamReader &r, double *asDouble, qint64 *asInt, bool *fitsInt64)
{
    if (r.isUnsignedInteger()) {
        const quint64 u = r.toUnsignedInteger();
        *fitsInt64 = u <= quint64(std::numeric_limits<qint64>::max());
        *asInt = *fitsInt64 ? qint64(u) : 0;
        *asDouble = double(u);
        return true;
    }
    if (r.isNegativeInteger()) {
        // The magnitude; 0 stands for 2^64, which does not fit 64 bits.
        const quint64 magnitude = quint64(r.toNegativeInteger());
        *fitsInt64 = magnitude != 0 && magnitude <= quint64(std::numeric_limits<qint64>::max()) + 1;
        *asInt = *fitsInt64 ? qint64(0 - magnitude) : 0;
        *asDouble = magnitude == 0 ? -18446744073709551616.0 : -double(magnitude);
        return true;
    }
    return false;
}

bool floatValue(QCborStreamReader &r, double *out)
{
    if (r.isFloat16())
        *out = double(float(r.toFloat16()));
    else if (r.isFloat())
        *out = double(r.toFloat());
    else if (r.isDouble())
        *out = r.toDouble();
    else
        return false;
    return true;
}

ReadStatus readTagged(QCborStreamReader &r, quint64 tag, Variant *out)
{
    double d = 0;
    qint64 i = 0;
    bool fits = false;
    switch (tag) {
    case TagByte:
        if (!r.isUnsignedInteger() || r.toUnsignedInteger() > 255)
            return ReadStatus::Malformed;
        *out = Variant(uint8_t(r.toUnsignedInteger()));
        return advance(r);
    case TagInteger:
        if (!integerValue(r, &d, &i, &fits) || !fits || i < -32768 || i > 32767)
            return ReadStatus::Malformed;
        *out = Variant(int16_t(i));
        return advance(r);
    case TagSingle: {
        if (!floatValue(r, &d))
            return ReadStatus::Malformed;
        const float f = float(d);
        if (!std::isnan(d) && double(f) != d)
            return ReadStatus::Malformed;
        if (r.isFloat())
            *out = Variant(r.toFloat()); // keeps a NaN's payload as sent
        else
            *out = Variant(f);
        return advance(r);
    }
    default:
        return ReadStatus::Malformed;
    }
}

ReadStatus read(QCborStreamReader &r, Variant *out, qsizetype maxChunk, int remaining)
{
    double d = 0;
    qint64 i = 0;
    bool fits = false;
    switch (r.type()) {
    case QCborStreamReader::UnsignedInteger:
    case QCborStreamReader::NegativeInteger:
        integerValue(r, &d, &i, &fits);
        if (fits && i >= std::numeric_limits<int32_t>::min() && i <= std::numeric_limits<int32_t>::max())
            *out = Variant(int32_t(i));
        else
            *out = Variant(d);
        return advance(r);
    case QCborStreamReader::ByteArray: {
        QByteArray bytes;
        const ReadStatus s = readChunks(r, maxChunk, &bytes, [&r] { return r.readByteArray(); });
        if (s == ReadStatus::Ok)
            *out = Variant(bytes);
        return s;
    }
    case QCborStreamReader::String: {
        QString text;
        const ReadStatus s = readChunks(r, maxChunk, &text, [&r] { return r.readString(); });
        if (s == ReadStatus::Ok)
            *out = Variant(text);
        return s;
    }
    case QCborStreamReader::Array: {
        if (remaining == 0)
            return ReadStatus::TooDeep;
        if (!r.enterContainer())
            return ReadStatus::Malformed;
        VariantArray items;
        while (r.hasNext()) {
            Variant item;
            const ReadStatus s = read(r, &item, maxChunk, remaining - 1);
            if (s != ReadStatus::Ok)
                return s;
            items.append(std::move(item));
        }
        if (failed(r) || !r.leaveContainer() || failed(r))
            return ReadStatus::Malformed;
        *out = Variant(items);
        return ReadStatus::Ok;
    }
    case QCborStreamReader::Tag: {
        const quint64 tag = quint64(r.toTag());
        if (!r.next() || failed(r))
            return ReadStatus::Malformed;
        return readTagged(r, tag, out);
    }
    case QCborStreamReader::SimpleType:
        if (r.isFalse() || r.isTrue())
            *out = Variant(r.isTrue());
        else if (r.isNull())
            *out = Variant::null();
        else if (r.isUndefined())
            *out = Variant();
        else
            return ReadStatus::Malformed;
        return advance(r);
    case QCborStreamReader::Float16:
    case QCborStreamReader::Float:
    case QCborStreamReader::Double:
        floatValue(r, &d);
        *out = Variant(d);
        return advance(r);
    case QCborStreamReader::Map:
    case QCborStreamReader::Invalid:
        break;
    }
    return ReadStatus::Malformed;
}

ReadStatus skip(QCborStreamReader &r, qsizetype maxChunk, int remaining)
{
    switch (r.type()) {
    case QCborStreamReader::ByteArray: {
        QByteArray ignored;
        return readChunks(r, maxChunk, &ignored, [&r] { return r.readByteArray(); });
    }
    case QCborStreamReader::String: {
        QString ignored;
        return readChunks(r, maxChunk, &ignored, [&r] { return r.readString(); });
    }
    case QCborStreamReader::Array:
    case QCborStreamReader::Map:
        if (remaining == 0)
            return ReadStatus::TooDeep;
        if (!r.enterContainer())
            return ReadStatus::Malformed;
        while (r.hasNext()) {
            const ReadStatus s = skip(r, maxChunk, remaining - 1);
            if (s != ReadStatus::Ok)
                return s;
        }
        if (failed(r) || !r.leaveContainer() || failed(r))
            return ReadStatus::Malformed;
        return ReadStatus::Ok;
    case QCborStreamReader::Tag:
        if (remaining == 0)
            return ReadStatus::TooDeep;
        if (!r.next() || failed(r))
            return ReadStatus::Malformed;
        return skip(r, maxChunk, remaining - 1);
    case QCborStreamReader::Invalid:
        return ReadStatus::Malformed;
    default:
        return advance(r);
    }
}

} // namespace

void writeVariant(QCborStreamWriter &writer, const Variant &value)
{
    checkWritable(value, MaxNesting);
    write(writer, value);
}

QByteArray toCbor(const Variant &value)
{
    QByteArray out;
    QCborStreamWriter writer(&out);
    writeVariant(writer, value);
    return out;
}

ReadStatus readVariant(QCborStreamReader &reader, Variant *out, qsizetype maxChunk, int maxNesting)
{
    if (failed(reader))
        return ReadStatus::Malformed;
    return read(reader, out, maxChunk, maxNesting);
}

ReadStatus skipItem(QCborStreamReader &reader, qsizetype maxChunk, int maxNesting)
{
    if (failed(reader))
        return ReadStatus::Malformed;
    return skip(reader, maxChunk, maxNesting);
}

ReadStatus fromCbor(QByteArrayView data, Variant *out)
{
    QCborStreamReader reader(data.data(), data.size());
    Variant value;
    const ReadStatus s = readVariant(reader, &value, data.size());
    if (s != ReadStatus::Ok)
        return s;
    if (reader.currentOffset() != data.size())
        return ReadStatus::Malformed;
    *out = std::move(value);
    return ReadStatus::Ok;
}

} // namespace tarvisk::cbor
