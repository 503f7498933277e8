// libFuzzer target for the D-Bus value decoder. The input bytes spell a tagged value as it stands
// after Qt has read a message: a tag byte and the content of its D-Bus variant, which is any
// basic value Qt produces (including the wrong ones for the tag), a byte array, a text list, or
// a list of further tagged values nested as deep as the input likes. Checked for every input:
// no crash or sanitizer report; a refusal says why; what decodes is transferable and survives
// toTagged/decodeTagged unchanged. (The writer is not run here: a QDBusArgument written outside a
// message leaks its message buffer inside Qt; the tests write through real messages.)
#include "host/dbusvalue.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace tarvisk;
using namespace tarvisk::dbusvalue;

namespace {

class Cursor
{
public:
    Cursor(const uint8_t *data, size_t size)
        : m_data(data)
        , m_size(size)
    {}
    bool atEnd() const { return m_pos >= m_size; }
    uint8_t byte() { return atEnd() ? 0 : m_data[m_pos++]; }
    template <class T> T raw()
    {
        T v{};
        uint8_t bytes[sizeof(T)] = {};
        for (size_t i = 0; i < sizeof(T); ++i)
            bytes[i] = byte();
        std::memcpy(&v, bytes, sizeof(T));
        return v;
    }
    QByteArray bytes(size_t n)
    {
        n = std::min(n, m_size - std::min(m_pos, m_size));
        QByteArray out(reinterpret_cast<const char *>(m_data + m_pos), qsizetype(n));
        m_pos += n;
        return out;
    }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// Deeper than the decoder's limit, so that refusing over-deep values is exercised too.
constexpr int kGeneratorDepth = 40;

TaggedItem readItem(Cursor &c, int depth);

QVariant readContent(Cursor &c, int depth)
{
    switch (c.byte() % 13) {
    case 0:
        return QVariant::fromValue(uchar(c.byte()));
    case 1:
        return QVariant::fromValue(bool(c.byte() & 1));
    case 2:
        return QVariant::fromValue(c.raw<short>());
    case 3:
        return QVariant::fromValue(c.raw<int>());
    case 4:
        return QVariant::fromValue(c.raw<double>());
    case 5:
        return QVariant::fromValue(QString::fromUtf8(c.bytes(c.byte())));
    case 6:
        return QVariant::fromValue(c.bytes(c.byte()));
    case 7: {
        TaggedList list;
        const int n = depth < kGeneratorDepth ? c.byte() % 6 : 0;
        for (int i = 0; i < n && !c.atEnd(); ++i)
            list.append(readItem(c, depth + 1));
        return QVariant::fromValue(list);
    }
    case 8:
        return QVariant::fromValue(QStringList{QString::fromUtf8(c.bytes(c.byte() % 8))});
    case 9:
        return QVariant::fromValue(c.raw<uint>());
    case 10:
        return QVariant::fromValue(c.raw<qlonglong>());
    case 11:
        return QVariant::fromValue(c.raw<ushort>());
    default:
        return QVariant();
    }
}

TaggedItem readItem(Cursor &c, int depth)
{
    TaggedItem item;
    // Mostly the known tags, so that the content checks behind them are reached.
    static const uint8_t known[] = {tag::Empty,  tag::Null,   tag::Boolean, tag::Byte,  tag::Integer,  tag::Long,
                                    tag::Single, tag::Double, tag::String,  tag::Array, tag::ByteArray};
    const uint8_t pick = c.byte();
    item.tag = pick < 200 ? known[pick % std::size(known)] : c.byte();
    item.content = readContent(c, depth);
    return item;
}

bool same(const Variant &a, const Variant &b)
{
    if (a.type() != b.type())
        return false;
    if (a.type() == Variant::Type::Double || a.type() == Variant::Type::Single) {
        const double x = a.toDouble(), y = b.toDouble();
        return (std::isnan(x) && std::isnan(y)) || std::memcmp(&x, &y, sizeof x) == 0;
    }
    if (a.type() == Variant::Type::Array) {
        const VariantArray &x = *a.arrayItems(), &y = *b.arrayItems();
        if (x.size() != y.size())
            return false;
        for (qsizetype i = 0; i < x.size(); ++i) {
            if (!same(x[i], y[i]))
                return false;
        }
        return true;
    }
    return a == b;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Cursor cursor(data, size);
    const TaggedItem item = readItem(cursor, 0);
    Variant decoded;
    QString error;
    if (!decodeTagged(item.tag, item.content, decoded, error)) {
        if (error.isEmpty())
            std::abort();
        return 0;
    }
    if (!error.isEmpty() || !isTransferable(decoded))
        std::abort();
    const TaggedItem again = toTagged(decoded);
    Variant back;
    if (!decodeTagged(again.tag, again.content, back, error) || !same(back, decoded))
        std::abort();
    return 0;
}
