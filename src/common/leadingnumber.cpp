#include "common/leadingnumber.h"

#include <cmath>
#include <cstdint>

namespace tarvisk {

namespace {

int digitValue(QChar c, int radix)
{
    int v = -1;
    if (c >= u'0' && c <= u'9')
        v = c.unicode() - u'0';
    else if (c >= u'a' && c <= u'f')
        v = c.unicode() - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
        v = c.unicode() - u'A' + 10;
    return v < radix ? v : -1;
}

double radixNumber(QStringView digits, int radix)
{
    double value = 0;
    for (QChar c : digits) {
        const int d = digitValue(c, radix);
        if (d < 0)
            break;
        value = value * radix + d;
    }
    if (value <= double(UINT32_MAX))
        return double(int32_t(uint32_t(value)));
    return value;
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

double leadingNumber(const QString &text)
{
    QString s;
    s.reserve(text.size());
    for (QChar c : text) {
        if (c != u' ' && c != u'\t' && c != u'\n')
            s += c;
    }
    if (s.size() >= 2 && s[0] == u'&') {
        const QChar kind = s[1].toUpper();
        if (kind == u'H')
            return radixNumber(QStringView(s).mid(2), 16);
        if (kind == u'O')
            return radixNumber(QStringView(s).mid(2), 8);
        return 0;
    }
    qsizetype i = 0;
    QString mantissa;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
        mantissa += s[i++];
    int digits = 0;
    bool nonZero = false;
    auto takeDigits = [&] {
        for (; i < s.size() && isAsciiDigit(s[i]); ++i, ++digits) {
            mantissa += s[i];
            nonZero = nonZero || s[i] != u'0';
        }
    };
    takeDigits();
    if (i < s.size() && s[i] == u'.') {
        mantissa += s[i++];
        takeDigits();
    }
    if (digits == 0)
        return 0;
    long exponent = 0;
    if (i < s.size() && (s[i] == u'e' || s[i] == u'E' || s[i] == u'd' || s[i] == u'D')) {
        qsizetype j = i + 1;
        bool negative = false;
        if (j < s.size() && (s[j] == u'+' || s[j] == u'-'))
            negative = s[j++] == u'-';
        for (; j < s.size() && isAsciiDigit(s[j]); ++j)
            exponent = std::min(100000L, exponent * 10 + (s[j].unicode() - u'0'));
        if (negative)
            exponent = -exponent;
    }
    if (!nonZero)
        return 0;
    // QString::toDouble gives an infinity on overflow and 0 on underflow, which is what we want.
    const double value = (mantissa + u'e' + QString::number(exponent)).toDouble();
    return value;
}

} // namespace tarvisk
