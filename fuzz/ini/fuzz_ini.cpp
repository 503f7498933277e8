// libFuzzer target for the settings file's rules (settings/initext.h), in memory: clsProfile only
// adds the file access, which its own tests cover. Input: two bytes that choose an operation, a name
// and a value, then the bytes of the settings file. The file is read (sections, every key a plain
// scan of the file finds, as text and as number), changed once (write an existing key, a new key, a
// new section, delete a key or a section) and read again.
//
// Checked for every input:
// - a write is refused exactly when a name or the value would break the file's structure, and a
//   refused write leaves the file byte for byte as it was;
// - after an accepted write the key reads back as the value written;
// - every other key reads as before, and the section list changes only by the section written or
//   deleted;
// - the bytes outside the changed line are kept: old and new file differ only in one stretch that
//   holds no line break of the old file (a changed value, an inserted or a removed line).

#include "settings/initext.h"

#include <QStringDecoder>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace tarvisk;

namespace {

void fail(const char *what)
{
    std::fprintf(stderr, "ini_fuzzer: %s\n", what);
    std::abort();
}

#define CHECK(cond)                                                                                                    \
    do {                                                                                                               \
        if (!(cond))                                                                                                   \
            fail(#cond);                                                                                               \
    } while (0)

const QString kMissing = QStringLiteral("\x01missing\x01");

QString trimBlanks(const QString &s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && (s[b] == u' ' || s[b] == u'\t'))
        ++b;
    while (e > b && (s[e - 1] == u' ' || s[e - 1] == u'\t'))
        --e;
    return s.mid(b, e - b);
}

bool sameName(const QString &a, const QString &b)
{
    return trimBlanks(a).compare(trimBlanks(b), Qt::CaseInsensitive) == 0;
}

bool breaks(const QString &s)
{
    return s.contains(u'\n') || s.contains(u'\r') || s.contains(QChar(0)) || !s.isValidUtf16();
}

bool validSection(const QString &name)
{
    const QString t = trimBlanks(name);
    return !t.isEmpty() && !breaks(t) && !t.contains(u']');
}

// A mark (U+FEFF) before a "[" at the start of a line is a byte order mark before a section.
bool validKey(const QString &name)
{
    const QString t = trimBlanks(name);
    return !t.isEmpty() && !breaks(t) && !t.contains(u'=') && t[0] != u'[' && t[0] != u';' &&
           !(t[0] == QChar(0xFEFF) && trimBlanks(t.mid(1)).startsWith(u'['));
}

struct Pair
{
    QString section;
    QString key;
};

// The (section, key) pairs a plain scan of the file finds; the checks only compare what clsProfile
// itself reads before and after, so the scan need not agree with it on every odd line.
QList<Pair> scanPairs(const QByteArray &file)
{
    QList<Pair> pairs;
    QString section;
    bool inSection = false;
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const QByteArray bom("\xEF\xBB\xBF");
    for (QByteArray line : (file.startsWith(bom) ? file.mid(bom.size()) : file).split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        QString text = trimBlanks(decoder.decode(line));
        if (text.startsWith(QChar(0xFEFF)) && trimBlanks(text.mid(1)).startsWith(u'['))
            text = trimBlanks(text.mid(1)); // a byte order mark before a section header
        if (text.startsWith(u'[')) {
            const qsizetype close = text.indexOf(u']');
            section = trimBlanks(text.mid(1, close < 0 ? -1 : close - 1));
            inSection = true;
        } else if (inSection && !text.startsWith(u';') && text.contains(u'=')) {
            const QString key = trimBlanks(text.left(text.indexOf(u'=')));
            if (!key.isEmpty())
                pairs.push_back({section, key});
        }
        if (pairs.size() >= 24)
            break;
    }
    return pairs;
}

// Old and new differ in one stretch only; the old stretch holds at most maxOldBreaks line feeds and
// the new one at most maxNewBreaks.
void checkOneStretch(const QByteArray &oldFile, const QByteArray &newFile, int maxOldBreaks, int maxNewBreaks)
{
    const qsizetype limit = std::min(oldFile.size(), newFile.size());
    qsizetype prefix = 0;
    while (prefix < limit && oldFile[prefix] == newFile[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < limit - prefix && oldFile[oldFile.size() - 1 - suffix] == newFile[newFile.size() - 1 - suffix])
        ++suffix;
    const QByteArray oldPart = oldFile.mid(prefix, oldFile.size() - prefix - suffix);
    const QByteArray newPart = newFile.mid(prefix, newFile.size() - prefix - suffix);
    CHECK(oldPart.count('\n') <= maxOldBreaks);
    CHECK(newPart.count('\n') <= maxNewBreaks);
}

// Up to eight UTF-16 units straight from the file's first bytes: lone surrogates included.
QString rawUtf16(const QByteArray &file)
{
    QString s;
    for (qsizetype i = 0; i + 1 < std::min<qsizetype>(file.size(), 16); i += 2)
        s += QChar(char16_t(uint8_t(file[i]) | uint8_t(file[i + 1]) << 8));
    return s;
}

QString valueChoice(unsigned choice, const QByteArray &file)
{
    static const char *const values[] = {
        "v",          "",
        "new value",  " padded ",
        "\"quoted\"", "'single'",
        "a=b",        "[not a section]",
        ";comment",   "Gr\u00f6\u00dfe",
        "\t",         "x\ny",
        "\"",         "\"a'",
        "tail\r",
    };
    constexpr unsigned n = sizeof(values) / sizeof(values[0]);
    switch (choice % (n + 2)) {
    case n:
        return QString::fromUtf8(file.left(file.indexOf('\n') < 0 ? 32 : std::min<qsizetype>(32, file.indexOf('\n'))));
    case n + 1:
        return rawUtf16(file);
    default:
        return QString::fromUtf8(values[choice % (n + 2)]);
    }
}

// A name that is not in the file yet: two plain ones, or one from the file's first bytes.
QString newName(const char *stem, unsigned pick, const QByteArray &file)
{
    return pick % 3 == 2 ? rawUtf16(file) : QString::fromLatin1(stem) + QString::number(pick % 3);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const unsigned op = data[0] % 5;
    const unsigned pick = data[0] / 5;
    const unsigned valuePick = data[1];
    const QByteArray file(reinterpret_cast<const char *>(data) + 2, qsizetype(size - 2));

    const auto getString = [](const QByteArray &f, const Pair &p) {
        return initext::value(f, p.section, p.key).value_or(kMissing);
    };
    const QList<Pair> pairs = scanPairs(file);
    const QStringList sectionsBefore = initext::sectionNames(file);
    QStringList valuesBefore;
    for (const Pair &p : pairs) {
        valuesBefore << getString(file, p);
        (void)initext::leadingInteger(valuesBefore.last());
    }

    Pair target = pairs.isEmpty() ? Pair{QStringLiteral("Tarvisk"), QStringLiteral("k")} : pairs[pick % pairs.size()];
    if (op == 1) {
        if (pairs.isEmpty() && !sectionsBefore.isEmpty())
            target.section = sectionsBefore[pick % sectionsBefore.size()];
        target.key = newName("NewKey", pick, file);
    } else if (op == 2)
        target = {newName("New Section ", pick, file), QStringLiteral("k")};
    const QString value = valueChoice(valuePick, file);

    bool skipSection = false; // pairs of the target section may change (deleted section)
    QByteArray after;
    if (op <= 2) {
        const bool valid = validSection(target.section) && validKey(target.key) && !breaks(value);
        const std::optional<QByteArray> written = initext::withValue(file, target.section, target.key, value);
        CHECK(written.has_value() == valid);
        if (!written)
            return 0;
        after = *written;
        CHECK(getString(after, target) == value);
        checkOneStretch(file, after, 0, 3);
        QStringList expected = sectionsBefore;
        bool known = false;
        for (const QString &s : sectionsBefore)
            known = known || sameName(s, target.section);
        if (!known)
            expected << trimBlanks(target.section);
        CHECK(initext::sectionNames(after) == expected);
    } else if (op == 3) {
        after = initext::withoutKey(file, target.section, target.key);
        checkOneStretch(file, after, 1, 0);
        CHECK(initext::sectionNames(after) == sectionsBefore);
    } else {
        after = initext::withoutSection(file, target.section);
        skipSection = true;
        QStringList expected = sectionsBefore;
        for (qsizetype i = 0; i < expected.size(); ++i) {
            if (sameName(expected[i], target.section)) {
                expected.removeAt(i);
                break;
            }
        }
        CHECK(initext::sectionNames(after) == expected);
    }

    for (qsizetype i = 0; i < pairs.size(); ++i) {
        const Pair &p = pairs[i];
        if (sameName(p.section, target.section) && (skipSection || sameName(p.key, target.key)))
            continue;
        CHECK(getString(after, p) == valuesBefore[i]);
    }
    return 0;
}
