#include "common/variant.h"

#include <QStringList>

#include <cmath>
#include <limits>

namespace tarvisk {

double roundHalfEven(double x)
{
    if (!std::isfinite(x))
        return x;
    const double lower = std::floor(x);
    const double diff = x - lower;
    if (diff < 0.5)
        return lower;
    if (diff > 0.5)
        return lower + 1.0;
    return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

bool parseRadix(QStringView digits, int radix, double *out)
{
    if (digits.isEmpty() || digits.size() > 22)
        return false;
    bool ok = false;
    const qulonglong v = digits.toULongLong(&ok, radix);
    if (!ok)
        return false;
    // &H and &O literals of up to 32 bits are signed, as the platform reads them.
    if (v <= 0xFFFFFFFFull)
        *out = v > 0x7FFFFFFFull ? double(int32_t(uint32_t(v))) : double(v);
    else
        *out = double(v);
    return true;
}

} // namespace

bool parseNumber(const QString &text, double *out)
{
    qsizetype b = 0, e = text.size();
    while (b < e && isBlank(text[b]))
        ++b;
    while (e > b && isBlank(text[e - 1]))
        --e;
    const QStringView s = QStringView(text).mid(b, e - b);
    if (s.isEmpty())
        return false;
    if (s.size() > 2 && s[0] == u'&') {
        const QChar kind = s[1].toUpper();
        if (kind == u'H')
            return parseRadix(s.mid(2), 16, out);
        if (kind == u'O')
            return parseRadix(s.mid(2), 8, out);
        return false;
    }
    // sign? digits* (. digits*)? ([eEdD] sign? digits+)?  with at least one mantissa digit
    qsizetype i = 0;
    QString normal;
    normal.reserve(s.size());
    if (s[i] == u'+' || s[i] == u'-')
        normal += s[i++];
    int mantissaDigits = 0;
    while (i < s.size() && s[i].isDigit() && s[i].unicode() < 128) {
        normal += s[i++];
        ++mantissaDigits;
    }
    if (i < s.size() && s[i] == u'.') {
        normal += s[i++];
        while (i < s.size() && s[i].isDigit() && s[i].unicode() < 128) {
            normal += s[i++];
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return false;
    if (i < s.size() && (s[i] == u'e' || s[i] == u'E' || s[i] == u'd' || s[i] == u'D')) {
        normal += u'e';
        ++i;
        if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
            normal += s[i++];
        int expDigits = 0;
        while (i < s.size() && s[i].isDigit() && s[i].unicode() < 128) {
            normal += s[i++];
            ++expDigits;
        }
        if (expDigits == 0)
            return false;
    }
    if (i != s.size())
        return false;
    bool ok = false;
    const double v = normal.toDouble(&ok);
    if (!ok && !std::isinf(v))
        return false;
    *out = v;
    return true;
}

bool Variant::isNumeric() const
{
    switch (type()) {
    case Type::Boolean:
    case Type::Byte:
    case Type::Integer:
    case Type::Long:
    case Type::Single:
    case Type::Double:
        return true;
    default:
        return false;
    }
}

int32_t Variant::upperBound() const
{
    if (const auto *a = arrayItems())
        return int32_t(a->size()) - 1;
    if (const auto *b = bytes())
        return int32_t(b->size()) - 1;
    raiseError(ErrTypeMismatch);
}

Variant Variant::at(int32_t i) const
{
    if (const auto *a = arrayItems()) {
        if (i < 0 || i >= a->size())
            raiseError(ErrSubscript);
        return (*a)[i];
    }
    if (const auto *b = bytes()) {
        if (i < 0 || i >= b->size())
            raiseError(ErrSubscript);
        return Variant(uint8_t((*b)[i]));
    }
    raiseError(ErrTypeMismatch);
}

void Variant::setAt(int32_t i, const Variant &value)
{
    if (auto *a = std::get_if<VariantArray>(&m_value)) {
        if (i < 0 || i >= a->size())
            raiseError(ErrSubscript);
        (*a)[i] = value;
        return;
    }
    if (auto *b = std::get_if<QByteArray>(&m_value)) {
        if (i < 0 || i >= b->size())
            raiseError(ErrSubscript);
        (*b)[i] = char(value.toByte());
        return;
    }
    raiseError(ErrTypeMismatch);
}

std::shared_ptr<VariantObject> Variant::object() const
{
    if (const auto *o = std::get_if<std::shared_ptr<VariantObject>>(&m_value))
        return *o;
    return nullptr;
}

double Variant::numericValue() const
{
    switch (type()) {
    case Type::Empty:
        return 0.0;
    case Type::Null:
        raiseError(ErrInvalidNull);
    case Type::Boolean:
        return std::get<Bool>(m_value).value ? -1.0 : 0.0;
    case Type::Byte:
        return std::get<uint8_t>(m_value);
    case Type::Integer:
        return std::get<int16_t>(m_value);
    case Type::Long:
        return std::get<int32_t>(m_value);
    case Type::Single:
        return std::get<float>(m_value);
    case Type::Double:
        return std::get<double>(m_value);
    case Type::String: {
        double v = 0;
        if (!parseNumber(std::get<QString>(m_value), &v))
            raiseError(ErrTypeMismatch);
        return v;
    }
    default:
        raiseError(ErrTypeMismatch);
    }
}

namespace {

double roundedInRange(double v, double lo, double hi)
{
    if (std::isnan(v))
        raiseError(ErrOverflow);
    const double r = roundHalfEven(v);
    if (r < lo || r > hi)
        raiseError(ErrOverflow);
    return r;
}

} // namespace

int32_t Variant::toLong() const
{
    if (const auto *l = std::get_if<int32_t>(&m_value))
        return *l;
    return int32_t(roundedInRange(numericValue(), -2147483648.0, 2147483647.0));
}

int16_t Variant::toInteger() const
{
    return int16_t(roundedInRange(numericValue(), -32768.0, 32767.0));
}

uint8_t Variant::toByte() const
{
    return uint8_t(roundedInRange(numericValue(), 0.0, 255.0));
}

bool Variant::toBool() const
{
    if (const auto *s = std::get_if<QString>(&m_value)) {
        const QString t = s->trimmed();
        if (t.compare(u"true", Qt::CaseInsensitive) == 0)
            return true;
        if (t.compare(u"false", Qt::CaseInsensitive) == 0)
            return false;
        double v = 0;
        if (!parseNumber(*s, &v))
            raiseError(ErrTypeMismatch);
        return v != 0.0;
    }
    return numericValue() != 0.0;
}

float Variant::toSingle() const
{
    if (const auto *f = std::get_if<float>(&m_value))
        return *f;
    const double v = numericValue();
    if (std::isfinite(v) && std::fabs(v) > double(std::numeric_limits<float>::max()))
        raiseError(ErrOverflow);
    return float(v);
}

double Variant::toDouble() const
{
    return numericValue();
}

namespace {

// Up to `digits` significant digits, exponent written as E+nn like the platform does.
QString numberText(double v, int digits)
{
    if (v == 0.0)
        return QStringLiteral("0");
    QString s = QString::number(v, 'g', digits);
    const qsizetype e = s.indexOf(u'e');
    if (e >= 0) {
        QString mantissa = s.left(e);
        QString exponent = s.mid(e + 1);
        const QChar sign = exponent.startsWith(u'-') ? u'-' : u'+';
        if (exponent.startsWith(u'-') || exponent.startsWith(u'+'))
            exponent.remove(0, 1);
        while (exponent.size() > 2 && exponent.startsWith(u'0'))
            exponent.remove(0, 1);
        if (exponent.size() < 2)
            exponent.prepend(u'0');
        s = mantissa + u'E' + sign + exponent;
    }
    return s;
}

} // namespace

QString Variant::toString() const
{
    switch (type()) {
    case Type::Empty:
        return {};
    case Type::Null:
        raiseError(ErrInvalidNull);
    case Type::Boolean:
        return std::get<Bool>(m_value).value ? QStringLiteral("True") : QStringLiteral("False");
    case Type::Byte:
        return QString::number(std::get<uint8_t>(m_value));
    case Type::Integer:
        return QString::number(std::get<int16_t>(m_value));
    case Type::Long:
        return QString::number(std::get<int32_t>(m_value));
    case Type::Single:
        return numberText(std::get<float>(m_value), 7);
    case Type::Double:
        return numberText(std::get<double>(m_value), 15);
    case Type::String:
        return std::get<QString>(m_value);
    default:
        raiseError(ErrTypeMismatch);
    }
}

bool Variant::operator==(const Variant &other) const
{
    return m_value == other.m_value;
}

QString Variant::typeName(Type t)
{
    static const char *const names[] = {"Empty",  "Null",   "Boolean", "Byte",  "Integer",   "Long",
                                        "Single", "Double", "String",  "Array", "ByteArray", "Object"};
    return QString::fromLatin1(names[int(t)]);
}

QString Variant::debugText() const
{
    switch (type()) {
    case Type::Empty:
    case Type::Null:
        return typeName(type());
    case Type::String:
        return QStringLiteral("String \"%1\"").arg(std::get<QString>(m_value));
    case Type::Array: {
        QStringList parts;
        for (const Variant &v : std::get<VariantArray>(m_value))
            parts << v.debugText();
        return QStringLiteral("Array(%1)").arg(parts.join(QStringLiteral(", ")));
    }
    case Type::ByteArray:
        return QStringLiteral("ByteArray(%1)").arg(QString::fromLatin1(std::get<QByteArray>(m_value).toHex(' ')));
    case Type::Object:
        return QStringLiteral("Object");
    default:
        return typeName(type()) + u' ' + toString();
    }
}

} // namespace tarvisk
