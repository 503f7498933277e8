#pragma once

#include "common/proverror.h"

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>

#include <cstdint>
#include <memory>
#include <variant>

namespace tarvisk {

class Variant;
using VariantArray = QList<Variant>;

// Base of the objects a Variant can refer to (the host interfaces hand some out).
class VariantObject
{
public:
    virtual ~VariantObject() = default;
};

// The value type exchanged with the host, the link and the windows.
// Arrays are zero-based; a byte array is an array whose elements read as Byte.
class Variant
{
public:
    enum class Type { Empty, Null, Boolean, Byte, Integer, Long, Single, Double, String, Array, ByteArray, Object };

    Variant() = default;
    Variant(bool b)
        : m_value(Bool{b})
    {}
    Variant(uint8_t v)
        : m_value(v)
    {}
    Variant(int16_t v)
        : m_value(v)
    {}
    Variant(int32_t v)
        : m_value(v)
    {}
    Variant(float v)
        : m_value(v)
    {}
    Variant(double v)
        : m_value(v)
    {}
    Variant(const QString &s)
        : m_value(s)
    {}
    Variant(const char *s)
        : m_value(QString::fromUtf8(s))
    {}
    Variant(const VariantArray &a)
        : m_value(a)
    {}
    Variant(const QByteArray &bytes)
        : m_value(bytes)
    {}
    Variant(std::shared_ptr<VariantObject> object)
        : m_value(std::move(object))
    {}

    static Variant null() { return Variant(NullTag{}); }
    static Variant array(std::initializer_list<Variant> items) { return Variant(VariantArray(items)); }

    Type type() const { return static_cast<Type>(m_value.index()); }
    bool isEmpty() const { return type() == Type::Empty; }
    bool isNull() const { return type() == Type::Null; }
    bool isNumeric() const;
    // Arrays of variants and byte arrays.
    bool isArray() const { return type() == Type::Array || type() == Type::ByteArray; }
    bool isObject() const { return type() == Type::Object; }

    // Upper bound of an array (-1 when it has no element); 13 when the value is no array.
    int32_t upperBound() const;
    // Element i of an array; 13 when the value is no array, 9 when i is out of bounds.
    Variant at(int32_t i) const;
    // Writes element i of an array of variants; same errors as at().
    void setAt(int32_t i, const Variant &value);

    const VariantArray *arrayItems() const { return std::get_if<VariantArray>(&m_value); }
    const QByteArray *bytes() const { return std::get_if<QByteArray>(&m_value); }
    std::shared_ptr<VariantObject> object() const;

    // Conversions with the platform's rules; they throw ProvError (6 overflow, 13 type mismatch,
    // 94 for Null). Fractions round to the nearest integer, halves to the even one.
    int32_t toLong() const;
    int16_t toInteger() const;
    uint8_t toByte() const;
    bool toBool() const;
    float toSingle() const;
    double toDouble() const;
    QString toString() const;

    // The value as a 16-bit Boolean: True is -1, False 0.
    static int16_t boolValue(bool b) { return b ? int16_t(-1) : int16_t(0); }

    // Same type and same value, arrays element by element.
    bool operator==(const Variant &other) const;
    bool operator!=(const Variant &other) const { return !(*this == other); }

    // Readable form for logs and test failures, e.g. Array(Long 14, Boolean True).
    QString debugText() const;
    static QString typeName(Type t);

private:
    struct NullTag
    {
        bool operator==(const NullTag &) const { return true; }
    };
    struct Bool
    {
        bool value;
        bool operator==(const Bool &o) const { return value == o.value; }
    };
    explicit Variant(NullTag t)
        : m_value(t)
    {}

    // The value as a double for numeric conversions; texts are parsed.
    double numericValue() const;

    std::variant<std::monostate, NullTag, Bool, uint8_t, int16_t, int32_t, float, double, QString, VariantArray,
                 QByteArray, std::shared_ptr<VariantObject>>
        m_value;
};

// Rounds to the nearest integer, halves to the even one.
double roundHalfEven(double x);

// Reads a number the way the platform's conversions read text: blanks around it, a sign,
// digits with an optional fraction and exponent, or &H / &O prefixed hexadecimal and octal.
// Returns false when the text is no number.
bool parseNumber(const QString &text, double *out);

} // namespace tarvisk

Q_DECLARE_METATYPE(tarvisk::Variant)
