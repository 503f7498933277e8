// libFuzzer target for SplitCommandLine and leadingNumber. The input is a command line, read once
// as UTF-8 and once as Latin-1.
//
// Checked for every input:
// - the count is 0 to 5 and the array has six elements, element 0 and those past the count empty;
// - the arguments are pieces of the command line, in order and without overlap (nothing invented);
// - a list of up to five arguments without quotes, made from the input's lines, survives
//   joinCommandLine followed by SplitCommandLine whole, count included;
// - leadingNumber never gives NaN, ignores blanks wherever they stand, agrees with the Variant
//   conversion on plain decimal text, and its value converts to a 32-bit integer the way the
//   start-up converts the pendant type (a number, or error 6 when it does not fit).

#include "common/leadingnumber.h"
#include "common/proverror.h"
#include "common/variant.h"
#include "provider/startup.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace tarvisk;

namespace {

void fail(const char *what)
{
    std::fprintf(stderr, "cmdline_fuzzer: %s\n", what);
    std::abort();
}

#define CHECK(cond)                                                                                                    \
    do {                                                                                                               \
        if (!(cond))                                                                                                   \
            fail(#cond);                                                                                               \
    } while (0)

bool isPlainDecimal(const QString &s)
{
    if (s.isEmpty())
        return false;
    for (QChar c : s) {
        if (!((c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.' || c == u'e' || c == u'E' || c == u'd' ||
              c == u'D'))
            return false;
    }
    return true;
}

void checkNumber(const QString &text)
{
    const double v = leadingNumber(text);
    CHECK(!std::isnan(v));
    QString squeezed = text;
    squeezed.remove(u' ').remove(u'\t').remove(u'\n');
    CHECK(leadingNumber(squeezed) == v);
    try {
        const int32_t type = Variant(v).toLong();
        CHECK(std::fabs(double(type) - v) <= 0.5);
    } catch (const ProvError &e) {
        CHECK(e.number() == ErrOverflow);
        CHECK(!(v >= -2147483648.5 && v <= 2147483647.5));
    }
    // Where both readers accept the whole text as a decimal number, they read the same number
    // (underflow to zero aside, which the Variant reader refuses).
    double parsed = 0;
    if (isPlainDecimal(text) && parseNumber(text, &parsed))
        CHECK(parsed == v);
}

void checkSplit(const QString &line)
{
    QStringList args{QStringLiteral("stale")};
    const int16_t n = SplitCommandLine(args, line);
    CHECK(n >= 0 && n <= 5);
    CHECK(args.size() == 6);
    CHECK(args[0].isEmpty());
    for (int i = n + 1; i < 6; ++i)
        CHECK(args[i].isEmpty());
    qsizetype pos = 0;
    for (int i = 1; i <= n; ++i) {
        const qsizetype at = line.indexOf(args[i], pos);
        CHECK(at >= 0);
        pos = at + args[i].size();
    }
    QString nonBlank = line;
    nonBlank.remove(u' ').remove(u'\t');
    if (nonBlank.isEmpty())
        CHECK(n == 0);
    for (const QString &a : args)
        checkNumber(a);
}

void checkRoundTrip(const QString &text)
{
    QStringList list = text.split(u'\n');
    while (list.size() > 5)
        list.removeLast();
    for (QString &a : list)
        a.remove(u'"');
    const QString joined = joinCommandLine(list);
    QStringList args;
    const int16_t n = SplitCommandLine(args, joined);
    CHECK(n == list.size());
    for (int i = 0; i < n; ++i)
        CHECK(args[i + 1] == list[i]);
}

void checkOne(const QString &text)
{
    checkSplit(text);
    checkRoundTrip(text);
    checkNumber(text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *text = reinterpret_cast<const char *>(data);
    checkOne(QString::fromUtf8(text, qsizetype(size)));
    checkOne(QString::fromLatin1(text, qsizetype(size)));
    return 0;
}
