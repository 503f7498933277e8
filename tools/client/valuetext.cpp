#include "valuetext.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace tarvisk::valuetext {
namespace {

constexpr int kMaxNesting = 64;

class Parser
{
public:
    explicit Parser(const QString &text)
        : m_text(text)
    {}

    bool atEnd()
    {
        skipSeparators();
        return m_pos >= m_text.size();
    }

    bool value(Variant &out, int depth = 0)
    {
        skipSeparators();
        if (m_pos >= m_text.size())
            return fail(QStringLiteral("a value is missing"));
        const QChar c = m_text[m_pos];
        if (c == u'[')
            return array(out, depth);
        if (c == u'"') {
            QString s;
            if (!quoted(s))
                return false;
            out = Variant(s);
            return true;
        }
        return word(out);
    }

    QString error;

private:
    bool fail(const QString &why)
    {
        error = why + QStringLiteral(" at position %1").arg(m_pos + 1);
        return false;
    }

    void skipSeparators()
    {
        while (m_pos < m_text.size() && (m_text[m_pos].isSpace() || m_text[m_pos] == u','))
            ++m_pos;
    }

    static bool endsWord(QChar c) { return c.isSpace() || c == u',' || c == u'[' || c == u']'; }

    bool array(Variant &out, int depth)
    {
        if (depth >= kMaxNesting)
            return fail(QStringLiteral("arrays nest too deep"));
        ++m_pos; // '['
        VariantArray items;
        for (;;) {
            skipSeparators();
            if (m_pos >= m_text.size())
                return fail(QStringLiteral("an array is not closed"));
            if (m_text[m_pos] == u']') {
                ++m_pos;
                out = Variant(items);
                return true;
            }
            Variant item;
            if (!value(item, depth + 1))
                return false;
            items.append(item);
        }
    }

    bool quoted(QString &out)
    {
        ++m_pos; // '"'
        while (m_pos < m_text.size()) {
            const QChar c = m_text[m_pos++];
            if (c == u'"')
                return true;
            if (c == u'\\') {
                if (m_pos >= m_text.size())
                    break;
                const QChar e = m_text[m_pos++];
                if (e == u'n')
                    out += u'\n';
                else if (e == u't')
                    out += u'\t';
                else
                    out += e;
                continue;
            }
            out += c;
        }
        return fail(QStringLiteral("a quoted text is not closed"));
    }

    bool word(Variant &out)
    {
        const qsizetype start = m_pos;
        // A typed text takes the rest up to a separator, or a quoted text.
        if (m_pos + 1 < m_text.size() && m_text[m_pos + 1] == u':' && m_text[m_pos] == u's') {
            m_pos += 2;
            if (m_pos < m_text.size() && m_text[m_pos] == u'"') {
                QString s;
                if (!quoted(s))
                    return false;
                out = Variant(s);
                return true;
            }
        }
        while (m_pos < m_text.size() && !endsWord(m_text[m_pos]))
            ++m_pos;
        const QString w = m_text.mid(start, m_pos - start);
        if (w.isEmpty())
            return fail(QStringLiteral("unexpected '%1'").arg(m_text[m_pos]));
        if (!interpret(w, out))
            return fail(error);
        return true;
    }

    bool interpret(const QString &w, Variant &out)
    {
        if (w.size() >= 2 && w[1] == u':')
            return typed(w[0], w.mid(2), out);
        if (w == u"true" || w == u"false") {
            out = Variant(w == u"true");
            return true;
        }
        if (w == u"empty") {
            out = Variant();
            return true;
        }
        if (w == u"null") {
            out = Variant::null();
            return true;
        }
        bool ok = false;
        const qlonglong whole = w.toLongLong(&ok);
        if (ok && whole >= std::numeric_limits<int32_t>::min() && whole <= std::numeric_limits<int32_t>::max()) {
            out = Variant(int32_t(whole));
            return true;
        }
        // Words such as "inf" stay texts; d:inf is the Double.
        const bool hasDigit = std::any_of(w.begin(), w.end(), [](QChar c) { return c.isDigit(); });
        const double d = w.toDouble(&ok);
        if (ok && hasDigit) {
            out = Variant(d);
            return true;
        }
        out = Variant(w);
        return true;
    }

    bool typed(QChar type, const QString &body, Variant &out)
    {
        bool ok = false;
        switch (type.unicode()) {
        case 'y': {
            const uint v = body.toUInt(&ok);
            if (!ok || v > 255)
                break;
            out = Variant(uint8_t(v));
            return true;
        }
        case 'n': {
            const short v = body.toShort(&ok);
            if (!ok)
                break;
            out = Variant(int16_t(v));
            return true;
        }
        case 'i': {
            const int v = body.toInt(&ok);
            if (!ok)
                break;
            out = Variant(int32_t(v));
            return true;
        }
        case 'f': {
            const double v = body.toDouble(&ok);
            if (!ok || (std::isfinite(v) && std::fabs(v) > double(std::numeric_limits<float>::max())))
                break;
            out = Variant(float(v));
            return true;
        }
        case 'd': {
            const double v = body.toDouble(&ok);
            if (!ok)
                break;
            out = Variant(v);
            return true;
        }
        case 'b':
            if (body != u"true" && body != u"false")
                break;
            out = Variant(body == u"true");
            return true;
        case 's':
            out = Variant(body);
            return true;
        case 'B': {
            if (body.size() % 2 != 0)
                break;
            const QByteArray bytes = QByteArray::fromHex(body.toLatin1());
            if (bytes.size() * 2 != body.size())
                break;
            out = Variant(bytes);
            return true;
        }
        default:
            error = QStringLiteral("unknown type letter '%1'").arg(type);
            return false;
        }
        error = QStringLiteral("'%1' is no value of type '%2'").arg(body, type);
        return false;
    }

    const QString &m_text;
    qsizetype m_pos = 0;
};

QString quote(const QString &s)
{
    QString out = QStringLiteral("\"");
    for (QChar c : s) {
        if (c == u'"' || c == u'\\')
            out += u'\\';
        if (c == u'\n') {
            out += QStringLiteral("\\n");
            continue;
        }
        if (c == u'\t') {
            out += QStringLiteral("\\t");
            continue;
        }
        out += c;
    }
    return out + u'"';
}

QString formatDouble(double d)
{
    if (std::isnan(d))
        return QStringLiteral("d:nan");
    if (std::isinf(d))
        return d > 0 ? QStringLiteral("d:inf") : QStringLiteral("d:-inf");
    QString s = QString::number(d, 'g', QLocale::FloatingPointShortest);
    if (!s.contains(u'.') && !s.contains(u'e'))
        s += QStringLiteral(".0");
    return s;
}

// The shortest text that reads back as the same float.
QString formatSingle(float f)
{
    if (std::isnan(f))
        return QStringLiteral("f:nan");
    if (std::isinf(f))
        return f > 0 ? QStringLiteral("f:inf") : QStringLiteral("f:-inf");
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, f);
    return QStringLiteral("f:") + QString::fromLatin1(buffer, result.ptr - buffer);
}

} // namespace

bool parseValue(const QString &text, Variant &out, QString *error)
{
    Parser p(text);
    Variant v;
    if (!p.value(v) || !p.atEnd()) {
        if (error)
            *error = p.error.isEmpty() ? QStringLiteral("more than one value") : p.error;
        return false;
    }
    out = v;
    return true;
}

bool parseParameter(const QString &text, Variant &out, QString *error)
{
    Parser p(text);
    VariantArray items;
    while (!p.atEnd()) {
        Variant v;
        if (!p.value(v)) {
            if (error)
                *error = p.error;
            return false;
        }
        items.append(v);
    }
    if (items.isEmpty())
        out = Variant();
    else if (items.size() == 1)
        out = items.first();
    else
        out = Variant(items);
    return true;
}

QString formatValue(const Variant &value)
{
    switch (value.type()) {
    case Variant::Type::Empty:
        return QStringLiteral("empty");
    case Variant::Type::Null:
        return QStringLiteral("null");
    case Variant::Type::Boolean:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case Variant::Type::Byte:
        return QStringLiteral("y:%1").arg(value.toByte());
    case Variant::Type::Integer:
        return QStringLiteral("n:%1").arg(value.toInteger());
    case Variant::Type::Long:
        return QString::number(value.toLong());
    case Variant::Type::Single:
        return formatSingle(value.toSingle());
    case Variant::Type::Double:
        return formatDouble(value.toDouble());
    case Variant::Type::String:
        return quote(value.toString());
    case Variant::Type::ByteArray:
        return QStringLiteral("B:") + QString::fromLatin1(value.bytes()->toHex());
    case Variant::Type::Array: {
        QStringList parts;
        for (const Variant &item : *value.arrayItems())
            parts << formatValue(item);
        return u'[' + parts.join(u' ') + u']';
    }
    case Variant::Type::Object:
        return QStringLiteral("object");
    }
    return {};
}

void splitCommand(const QString &line, QString &command, QString &parameter)
{
    const QString trimmed = line.trimmed();
    const qsizetype space = trimmed.indexOf(QRegularExpression(QStringLiteral("\\s")));
    if (space < 0) {
        command = trimmed;
        parameter.clear();
    } else {
        command = trimmed.left(space);
        parameter = trimmed.mid(space + 1);
    }
}

} // namespace tarvisk::valuetext
