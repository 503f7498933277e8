#include "jsonvariant.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <QStringList>

#include <cmath>
#include <limits>

namespace tarvisk::controller {

namespace {

// Qt's parser keeps no trace of how a number was written (2.0 and 1e2 come back as integers), so
// the text is scanned for its number tokens: true for each written with a fraction or exponent,
// in the order they appear, which is the order a depth-first walk of arrays meets them.
QList<bool> numberTokensAreFloats(const QString &text)
{
    QList<bool> floats;
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text[i];
        if (c == u'"') {
            for (++i; i < text.size() && text[i] != u'"'; ++i) {
                if (text[i] == u'\\')
                    ++i;
            }
            ++i;
        } else if (c == u'-' || c.isDigit()) {
            bool isFloat = false;
            for (; i < text.size(); ++i) {
                const QChar d = text[i];
                if (d == u'.' || d == u'e' || d == u'E')
                    isFloat = true;
                else if (!d.isDigit() && d != u'-' && d != u'+')
                    break;
            }
            floats.append(isFloat);
        } else {
            ++i;
        }
    }
    return floats;
}

bool fromJsonValue(const QJsonValue &json, QList<bool> &floats, Variant *out, QString *error)
{
    switch (json.type()) {
    case QJsonValue::Null:
        *out = Variant::null();
        return true;
    case QJsonValue::Bool:
        *out = Variant(json.toBool());
        return true;
    case QJsonValue::String:
        *out = Variant(json.toString());
        return true;
    case QJsonValue::Double: {
        const bool isFloat = floats.isEmpty() || floats.takeFirst();
        const double d = json.toDouble();
        if (isFloat) {
            *out = Variant(d);
            return true;
        }
        if (!(d >= std::numeric_limits<int32_t>::min() && d <= std::numeric_limits<int32_t>::max())) {
            *error = QStringLiteral("the integer %1 does not fit a Long (write it with a fraction for a Double)")
                         .arg(d, 0, 'g', 20);
            return false;
        }
        *out = Variant(int32_t(d));
        return true;
    }
    case QJsonValue::Array: {
        VariantArray items;
        for (const QJsonValue &item : json.toArray()) {
            Variant v;
            if (!fromJsonValue(item, floats, &v, error))
                return false;
            items.append(v);
        }
        *out = Variant(items);
        return true;
    }
    case QJsonValue::Object:
        *error = QStringLiteral("JSON objects have no value form; use arrays");
        return false;
    case QJsonValue::Undefined:
        break;
    }
    *error = QStringLiteral("not a JSON value");
    return false;
}

QString doubleText(double d)
{
    if (!std::isfinite(d))
        return std::isnan(d) ? QStringLiteral("NaN")
                             : (d > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity"));
    QString text = QString::number(d, 'g', 17);
    // The shortest form that reads back as the same double.
    for (int precision = 1; precision <= 17; ++precision) {
        const QString candidate = QString::number(d, 'g', precision);
        if (candidate.toDouble() == d) {
            text = candidate;
            break;
        }
    }
    if (!text.contains(u'.') && !text.contains(u'e'))
        text += QStringLiteral(".0");
    return text;
}

QString quoted(const QString &s)
{
    // A one-element array gives the string its JSON escapes.
    const QByteArray json = QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

} // namespace

bool variantFromJson(const QString &text, Variant *out, QString *error)
{
    if (text.trimmed().isEmpty()) {
        *error = QStringLiteral("a JSON value is missing");
        return false;
    }
    // Wrapped in an array, so that a bare number, string or null is taken too.
    const QByteArray wrapped = "[" + text.toUtf8() + "\n]";
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(wrapped, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = QStringLiteral("bad JSON near character %1: %2")
                     .arg(qMax(0, parseError.offset - 1))
                     .arg(parseError.errorString());
        return false;
    }
    const QJsonArray outer = doc.array();
    if (outer.size() != 1) {
        *error = QStringLiteral("exactly one JSON value expected");
        return false;
    }
    QList<bool> floats = numberTokensAreFloats(text);
    Variant value;
    if (!fromJsonValue(outer.first(), floats, &value, error))
        return false;
    *out = value;
    return true;
}

QString variantText(const Variant &value)
{
    switch (value.type()) {
    case Variant::Type::Empty:
        return QStringLiteral("Empty");
    case Variant::Type::Null:
        return QStringLiteral("null");
    case Variant::Type::Boolean:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case Variant::Type::Byte:
        return QStringLiteral("Byte(%1)").arg(value.toByte());
    case Variant::Type::Integer:
        return QStringLiteral("Integer(%1)").arg(value.toInteger());
    case Variant::Type::Long:
        return QString::number(value.toLong());
    case Variant::Type::Single:
        return QStringLiteral("Single(%1)").arg(doubleText(double(value.toSingle())));
    case Variant::Type::Double:
        return doubleText(value.toDouble());
    case Variant::Type::String:
        return quoted(value.toString());
    case Variant::Type::ByteArray:
        return QStringLiteral("bytes(%1)").arg(QString::fromLatin1(value.bytes()->toHex(' ')));
    case Variant::Type::Array: {
        QStringList parts;
        for (const Variant &item : *value.arrayItems())
            parts << variantText(item);
        return u'[' + parts.join(u',') + u']';
    }
    case Variant::Type::Object:
        return QStringLiteral("Object");
    }
    return QString();
}

} // namespace tarvisk::controller
