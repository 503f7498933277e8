// libFuzzer target for the connection dialog's number reading. The input is the text of a field
// (or a stored value), read once as UTF-8 and once as Latin-1.
//
// checkFieldText is the check a field gets when the focus leaves it. Checked for every input:
// - it accepts exactly when the leading number, rounded with halves to even, lies within the signed
//   32-bit range; a refused text leaves the output alone;
// - the rounding is to the nearest whole number, an exact half to the even one;
// - the text it hands back is that number in decimal, reads back as the same number through the
//   dialog's readers, and passes the check again unchanged (a checked field stays as it is);
// - the conversions LoadIni applies to stored values (ports and type as 32-bit numbers, the flags as
//   Boolean text) either give a value or fail with error 6 or 13, and never with anything else.

#include "common/leadingnumber.h"
#include "common/proverror.h"
#include "common/variant.h"
#include "settings/frmconnect.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace tarvisk;

namespace {

void fail(const char *what)
{
    std::fprintf(stderr, "dialognumber_fuzzer: %s\n", what);
    std::abort();
}

#define CHECK(cond)                                                                                                    \
    do {                                                                                                               \
        if (!(cond))                                                                                                   \
            fail(#cond);                                                                                               \
    } while (0)

template <typename Fn> void conversionFailsCleanly(Fn &&fn)
{
    try {
        fn();
    } catch (const ProvError &e) {
        CHECK(e.number() == ErrOverflow || e.number() == ErrTypeMismatch);
    }
}

void checkOne(const QString &text)
{
    const double read = leadingNumber(text);
    CHECK(!std::isnan(read));
    const double rounded = roundHalfEven(read);
    if (std::isfinite(read)) {
        CHECK(std::floor(rounded) == rounded);
        CHECK(std::fabs(rounded - read) <= 0.5);
        if (std::fabs(rounded - read) == 0.5)
            CHECK(std::fmod(rounded, 2.0) == 0.0);
    }
    const bool inRange = rounded >= -2147483648.0 && rounded <= 2147483647.0;

    const QString untouched = QStringLiteral("\x01untouched");
    QString normalized = untouched;
    const bool accepted = checkFieldText(text, &normalized);
    CHECK(accepted == inRange);
    if (!accepted) {
        CHECK(normalized == untouched);
    } else {
        CHECK(normalized == QString::number(qint64(rounded)));
        CHECK(leadingNumber(normalized) == rounded);
        CHECK(Variant(normalized).toLong() == int32_t(rounded));
        QString again;
        CHECK(checkFieldText(normalized, &again));
        CHECK(again == normalized);
    }

    const Variant stored(text);
    conversionFailsCleanly([&] {
        const int32_t v = stored.toLong();
        // A stored number reads as itself after the dialog writes it back.
        CHECK(Variant(QString::number(v)).toLong() == v);
    });
    conversionFailsCleanly([&] { (void)stored.toBool(); });
    conversionFailsCleanly([&] { (void)stored.toInteger(); });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *text = reinterpret_cast<const char *>(data);
    checkOne(QString::fromUtf8(text, qsizetype(size)));
    checkOne(QString::fromLatin1(text, qsizetype(size)));
    return 0;
}
