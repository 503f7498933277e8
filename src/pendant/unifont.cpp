#include "pendant/unifont.h"

#include "common/diagnostics.h"

#include <QDir>

#include <cstring>

namespace tarvisk {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Reads `digits` hex digits; -1 when one is not a hex digit.
int64_t hexNumber(const char *p, int digits)
{
    int64_t v = 0;
    for (int i = 0; i < digits; ++i) {
        const int d = hexValue(p[i]);
        if (d < 0)
            return -1;
        v = v * 16 + d;
    }
    return v;
}

} // namespace

std::optional<UnifontGlyph> decodeUnifontBitmap(const char *hex, qsizetype length)
{
    if (length != 32 && length != 64)
        return std::nullopt;
    UnifontGlyph g;
    g.width = length == 32 ? 8 : 16;
    const int perRow = length == 32 ? 2 : 4;
    for (int row = 0; row < 16; ++row) {
        const int64_t v = hexNumber(hex + row * perRow, perRow);
        if (v < 0)
            return std::nullopt;
        g.rows[row] = uint16_t(perRow == 2 ? v << 8 : v);
    }
    return g;
}

void UnifontIndex::build(const char *data, qsizetype size)
{
    m_data = data;
    m_size = size;
    m_count = 0;
    m_bmp.assign(0x10000, None);
    m_upper.clear();
    // Offsets are kept in 32 bits; a hex font is a few megabytes.
    if (!data || size <= 0 || size >= qsizetype(None))
        return;
    qsizetype pos = 0;
    while (pos < size) {
        const char *line = data + pos;
        const void *nl = std::memchr(line, '\n', size_t(size - pos));
        const qsizetype lineEnd = nl ? qsizetype(static_cast<const char *>(nl) - data) : size;
        qsizetype len = lineEnd - pos;
        if (len > 0 && line[len - 1] == '\r')
            --len;
        const char *colon = static_cast<const char *>(std::memchr(line, ':', size_t(len)));
        if (colon) {
            const int codeDigits = int(colon - line);
            const int64_t code = codeDigits >= 4 && codeDigits <= 6 ? hexNumber(line, codeDigits) : -1;
            const qsizetype bitsLen = len - codeDigits - 1;
            if (code >= 0 && code <= 0x10FFFF && (bitsLen == 32 || bitsLen == 64)) {
                const uint32_t offset = uint32_t(colon + 1 - data);
                if (code < 0x10000) {
                    if (m_bmp[size_t(code)] == None) {
                        m_bmp[size_t(code)] = offset;
                        ++m_count;
                    }
                } else if (m_upper.emplace(char32_t(code), offset).second) {
                    ++m_count;
                }
            }
        }
        pos = lineEnd + 1;
    }
}

std::optional<UnifontGlyph> UnifontIndex::glyph(char32_t codePoint) const
{
    uint32_t offset = None;
    if (codePoint < 0x10000) {
        if (!m_bmp.empty())
            offset = m_bmp[codePoint];
    } else if (const auto it = m_upper.find(codePoint); it != m_upper.end()) {
        offset = it->second;
    }
    if (offset == None)
        return std::nullopt;
    qsizetype len = 0;
    while (offset + len < m_size && len < 64 && hexValue(m_data[offset + len]) >= 0)
        ++len;
    return decodeUnifontBitmap(m_data + offset, len);
}

struct UnifontFace::Source
{
    QFile file;
    QByteArray copy; // the contents when the file cannot be mapped
    UnifontIndex index;
};

UnifontFace::UnifontFace(QString directory)
    : m_directory(std::move(directory))
{}

UnifontFace::~UnifontFace() = default;

UnifontFace &UnifontFace::shared()
{
    static UnifontFace face;
    return face;
}

QString UnifontFace::defaultDirectory()
{
    const QString dir = qEnvironmentVariable("TARVISK_UNIFONT_DIR");
    return dir.isEmpty() ? QStringLiteral("/usr/share/unifont") : dir;
}

void UnifontFace::load()
{
    m_loaded = true;
    if (m_directory.isEmpty())
        m_directory = defaultDirectory();
    const QDir dir(m_directory);
    for (const char *name : {"unifont_jp.hex", "unifont.hex"}) {
        auto source = std::make_unique<Source>();
        source->file.setFileName(dir.filePath(QString::fromLatin1(name)));
        if (!source->file.open(QIODevice::ReadOnly))
            continue;
        const qint64 size = source->file.size();
        const uchar *mapped = size > 0 ? source->file.map(0, size) : nullptr;
        if (mapped) {
            source->index.build(reinterpret_cast<const char *>(mapped), size);
        } else {
            source->copy = source->file.readAll();
            source->file.close();
            source->index.build(source->copy.constData(), source->copy.size());
        }
        if (source->index.glyphCount() > 0)
            m_sources.push_back(std::move(source));
    }
    if (m_sources.empty())
        debugPrint(QStringLiteral("Tarvisk: no glyphs in unifont_jp.hex or unifont.hex under %1; "
                                  "display texts are not drawn")
                       .arg(QDir::toNativeSeparators(m_directory)));
}

const UnifontGlyph *UnifontFace::glyph(char32_t codePoint)
{
    if (!m_loaded)
        load();
    auto it = m_cache.find(codePoint);
    if (it == m_cache.end()) {
        std::optional<UnifontGlyph> found;
        for (const auto &source : m_sources) {
            found = source->index.glyph(codePoint);
            if (found)
                break;
        }
        // Misses beyond the BMP are not kept, so texts full of odd code points cannot grow the
        // cache past the glyphs that exist.
        if (!found && codePoint > 0xFFFF)
            return nullptr;
        it = m_cache.emplace(codePoint, found).first;
    }
    return it->second ? &*it->second : nullptr;
}

bool UnifontFace::isAvailable()
{
    if (!m_loaded)
        load();
    return !m_sources.empty();
}

} // namespace tarvisk
