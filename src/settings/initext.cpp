#include "settings/initext.h"

#include <QStringDecoder>

#include <algorithm>
#include <limits>

namespace tarvisk::initext {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QStringView trimBlanks(QStringView s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.mid(b, e - b);
}

// One line of the file as byte offsets into the file's data.
struct Line
{
    enum class Kind { Blank, Comment, Section, Key, Other };

    qsizetype begin = 0;      // where the line starts; a mark at the start of the file is before it
    qsizetype contentEnd = 0; // before the line ending
    qsizetype next = 0;       // after the line ending
    Kind kind = Kind::Blank;
    qsizetype nameBegin = 0; // section or key name, blanks removed
    qsizetype nameEnd = 0;
    qsizetype valueBegin = 0; // key lines: the value without the blanks around it
    qsizetype valueEnd = 0;
};

struct Document
{
    QByteArray data;
    QList<Line> lines;
    QByteArray lineEnding = "\n";
};

const QByteArray kBom = QByteArrayLiteral("\xEF\xBB\xBF");

// The text of a stretch of the file. A U+FEFF at its start stays, like any other character; the
// default conversion drops it, and a name or value written with one could then not be found.
bool isAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; });
}

QString decodeUtf8(const char *bytes, qsizetype size)
{
    const QByteArrayView view(bytes, size);
    // Names and values are mostly plain ASCII, which needs no decoder.
    if (isAscii(view))
        return QString::fromLatin1(view);
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(view);
}

// Trims blanks off [*b, *e) in data.
void trimRange(const QByteArray &data, qsizetype *b, qsizetype *e)
{
    while (*b < *e && isBlank(data[*b]))
        ++*b;
    while (*e > *b && isBlank(data[*e - 1]))
        --*e;
}

// Where the content of a line from begin to contentEnd starts: after a byte order mark that leads
// a section header, else at begin.
qsizetype contentBegin(const QByteArray &data, qsizetype begin, qsizetype contentEnd)
{
    if (contentEnd - begin < kBom.size() || QByteArrayView(data).sliced(begin, kBom.size()) != kBom)
        return begin;
    qsizetype b = begin + kBom.size(), e = contentEnd;
    trimRange(data, &b, &e);
    return b < e && data[b] == '[' ? begin + kBom.size() : begin;
}

Line parseLine(const QByteArray &data, qsizetype begin, qsizetype contentEnd, qsizetype next)
{
    Line line;
    line.begin = begin;
    line.contentEnd = contentEnd;
    line.next = next;
    qsizetype b = contentBegin(data, begin, contentEnd), e = contentEnd;
    trimRange(data, &b, &e);
    if (b == e)
        return line;
    if (data[b] == ';') {
        line.kind = Line::Kind::Comment;
        return line;
    }
    if (data[b] == '[') {
        qsizetype close = data.indexOf(']', b + 1);
        if (close < 0 || close > e)
            close = e; // an unclosed name runs to the end of the line
        qsizetype nb = b + 1, ne = close;
        trimRange(data, &nb, &ne);
        line.kind = Line::Kind::Section;
        line.nameBegin = nb;
        line.nameEnd = ne;
        return line;
    }
    const qsizetype eq = data.indexOf('=', b);
    if (eq < 0 || eq >= e) {
        line.kind = Line::Kind::Other;
        return line;
    }
    qsizetype kb = b, ke = eq;
    trimRange(data, &kb, &ke);
    if (kb == ke) {
        line.kind = Line::Kind::Other;
        return line;
    }
    line.kind = Line::Kind::Key;
    line.nameBegin = kb;
    line.nameEnd = ke;
    line.valueBegin = eq + 1;
    line.valueEnd = e;
    trimRange(data, &line.valueBegin, &line.valueEnd);
    return line;
}

QString nameOf(const QByteArray &data, const Line &line)
{
    return decodeUtf8(data.constData() + line.nameBegin, line.nameEnd - line.nameBegin);
}

// Whether a line's name is `name`, regardless of case; an ASCII name is compared as it is.
bool nameIs(const QByteArray &data, const Line &line, QStringView name)
{
    const QByteArrayView bytes(data.constData() + line.nameBegin, line.nameEnd - line.nameBegin);
    if (isAscii(bytes))
        return QLatin1StringView(bytes).compare(name, Qt::CaseInsensitive) == 0;
    return nameOf(data, line).compare(name, Qt::CaseInsensitive) == 0;
}

// Calls visit with each line in file order until it returns false.
template <typename Visit> void forEachLine(const QByteArray &d, Visit visit)
{
    // The mark that editors put before the first line belongs to no line.
    qsizetype pos = d.startsWith(kBom) ? kBom.size() : 0;
    while (pos < d.size()) {
        qsizetype nl = d.indexOf('\n', pos);
        const qsizetype next = nl < 0 ? d.size() : nl + 1;
        qsizetype contentEnd = nl < 0 ? d.size() : nl;
        if (contentEnd > pos && d[contentEnd - 1] == '\r')
            --contentEnd;
        if (!visit(parseLine(d, pos, contentEnd, next)))
            return;
        pos = next;
    }
}

Document parse(const QByteArray &data)
{
    Document doc;
    doc.data = data;
    const qsizetype firstNewline = data.indexOf('\n');
    if (firstNewline > 0 && data[firstNewline - 1] == '\r')
        doc.lineEnding = "\r\n";
    doc.lines.reserve(data.count('\n') + 1);
    forEachLine(data, [&](Line &&line) {
        doc.lines.push_back(std::move(line));
        return true;
    });
    return doc;
}

struct SectionRange
{
    qsizetype header = -1;
    qsizetype end = -1;     // index of the next section's header, or the number of lines
    qsizetype lastKey = -1; // index of the last key line, or the header when there is none
};

std::optional<SectionRange> findSection(const Document &doc, QStringView name)
{
    for (qsizetype i = 0; i < doc.lines.size(); ++i) {
        const Line &l = doc.lines[i];
        if (l.kind != Line::Kind::Section || !nameIs(doc.data, l, name))
            continue;
        SectionRange r;
        r.header = i;
        r.lastKey = i;
        qsizetype j = i + 1;
        for (; j < doc.lines.size() && doc.lines[j].kind != Line::Kind::Section; ++j) {
            if (doc.lines[j].kind == Line::Kind::Key)
                r.lastKey = j;
        }
        r.end = j;
        return r;
    }
    return std::nullopt;
}

qsizetype findKey(const Document &doc, const SectionRange &section, QStringView name)
{
    for (qsizetype i = section.header + 1; i < section.end; ++i) {
        const Line &l = doc.lines[i];
        if (l.kind == Line::Kind::Key && nameIs(doc.data, l, name))
            return i;
    }
    return -1;
}

// Line breaks and NUL end a line early; a lone surrogate has no UTF-8 form, so it could not be
// read back as written.
bool hasBreakingChar(QStringView s)
{
    for (QChar c : s) {
        if (c == u'\n' || c == u'\r' || c == QChar(0))
            return true;
    }
    return !s.isValidUtf16();
}

// What goes after data before new lines are added to it: nothing when it is empty (or only a byte
// order mark) or ends with a line feed, else a line ending. A carriage return at the very end
// already reads as the end of its line, so it only gets the line feed; the line keeps the value it
// had.
QByteArray completion(const QByteArray &data, const QByteArray &lineEnding)
{
    if (data.isEmpty() || data.endsWith('\n') || data == kBom)
        return {};
    return data.endsWith('\r') ? QByteArray("\n") : lineEnding;
}

// The value as it goes into the file. Reading drops the blanks around a value and one pair of
// matching quotes enclosing it, so a value that has either is written in double quotes, which
// reading takes off again.
QByteArray storedValue(const QString &value)
{
    const QByteArray v = value.toUtf8();
    if (v.isEmpty())
        return v;
    const bool blanks = isBlank(v.front()) || isBlank(v.back());
    const bool quoted = v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front();
    return blanks || quoted ? '"' + v + '"' : v;
}

QString valueOf(const QByteArray &data, const Line &line)
{
    qsizetype b = line.valueBegin, e = line.valueEnd;
    if (e - b >= 2 && (data[b] == '"' || data[b] == '\'') && data[e - 1] == data[b]) {
        ++b;
        --e;
    }
    return decodeUtf8(data.constData() + b, e - b);
}

} // namespace

std::optional<QString> value(const QByteArray &file, QStringView section, QStringView key)
{
    // Read up to the key only: the keys of the first section of that name, up to the next header.
    const QStringView sectionName = trimBlanks(section);
    const QStringView keyName = trimBlanks(key);
    bool inSection = false;
    std::optional<QString> found;
    forEachLine(file, [&](const Line &l) {
        if (l.kind == Line::Kind::Section) {
            if (inSection)
                return false;
            inSection = nameIs(file, l, sectionName);
        } else if (inSection && l.kind == Line::Kind::Key && nameIs(file, l, keyName)) {
            found = valueOf(file, l);
            return false;
        }
        return true;
    });
    return found;
}

QStringList sectionNames(const QByteArray &file)
{
    QStringList names;
    forEachLine(file, [&](const Line &l) {
        if (l.kind == Line::Kind::Section && l.nameEnd > l.nameBegin)
            names << nameOf(file, l);
        return true;
    });
    return names;
}

int32_t leadingInteger(QStringView value)
{
    const QStringView s = trimBlanks(value);
    qsizetype i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
        negative = s[i++] == u'-';
    constexpr int64_t limit = int64_t(std::numeric_limits<int32_t>::max()) + 1;
    int64_t magnitude = 0;
    for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i)
        magnitude = std::min(limit, magnitude * 10 + (s[i].unicode() - u'0'));
    if (negative)
        return int32_t(-magnitude);
    return int32_t(std::min<int64_t>(magnitude, std::numeric_limits<int32_t>::max()));
}

bool isWritableSection(QStringView section)
{
    const QStringView name = trimBlanks(section);
    return !name.isEmpty() && !hasBreakingChar(name) && !name.contains(u']');
}

bool isWritableKey(QStringView key)
{
    const QStringView name = trimBlanks(key);
    if (name.isEmpty() || hasBreakingChar(name) || name.contains(u'=') || name.startsWith(u'[') ||
        name.startsWith(u';'))
        return false;
    // After a U+FEFF, a "[" would read as a byte order mark before a section header.
    return !(name.startsWith(QChar(0xFEFF)) && trimBlanks(name.mid(1)).startsWith(u'['));
}

bool isWritableValue(QStringView value)
{
    return !hasBreakingChar(value);
}

std::optional<QByteArray> withValue(const QByteArray &file, QStringView section, QStringView key, const QString &value)
{
    if (!isWritableSection(section) || !isWritableKey(key) || !isWritableValue(value))
        return std::nullopt;
    const QStringView sectionName = trimBlanks(section);
    const QStringView keyName = trimBlanks(key);
    const Document doc = parse(file);
    const QByteArray newValue = storedValue(value);
    const QByteArray newLine = keyName.toUtf8() + '=' + newValue + doc.lineEnding;
    const auto range = findSection(doc, sectionName);
    if (!range) {
        QByteArray out = file + completion(file, doc.lineEnding);
        return out + '[' + sectionName.toUtf8() + ']' + doc.lineEnding + newLine;
    }
    const qsizetype i = findKey(doc, *range, keyName);
    if (i >= 0) {
        // Only the value changes; the key's spelling and the spacing around "=" stay.
        const Line &l = doc.lines[i];
        if (valueOf(file, l) == value)
            return file;
        return file.left(l.valueBegin) + newValue + file.mid(l.valueEnd);
    }
    const Line &after = doc.lines[range->lastKey];
    QByteArray out = file.left(after.next);
    out += completion(out, doc.lineEnding) + newLine + file.mid(after.next);
    return out;
}

QByteArray withoutKey(const QByteArray &file, QStringView section, QStringView key)
{
    const Document doc = parse(file);
    const auto range = findSection(doc, trimBlanks(section));
    if (!range)
        return file;
    const qsizetype i = findKey(doc, *range, trimBlanks(key));
    if (i < 0)
        return file;
    const Line &l = doc.lines[i];
    return file.left(l.begin) + file.mid(l.next);
}

QByteArray withoutSection(const QByteArray &file, QStringView section)
{
    const Document doc = parse(file);
    const auto range = findSection(doc, trimBlanks(section));
    if (!range)
        return file;
    return file.left(doc.lines[range->header].begin) + file.mid(doc.lines[range->lastKey].next);
}

} // namespace tarvisk::initext
