#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace tarvisk {

// One bitmap glyph of the hex format: 16 rows, 8 or 16 pixels wide. Bit 15 of a row is its
// leftmost pixel for both widths.
struct UnifontGlyph
{
    int width = 0;
    std::array<uint16_t, 16> rows{};

    bool pixel(int column, int row) const { return (rows[row] >> (15 - column)) & 1u; }
};

// Decodes the bitmap part of one hex line (32 hex digits for 8 × 16, 64 for 16 × 16).
// Returns nothing for any other length or a non-hex digit.
std::optional<UnifontGlyph> decodeUnifontBitmap(const char *hex, qsizetype length);

// Line offsets of a hex font file held in memory: "XXXX:bits" per line, code points of 4 to
// 6 hex digits, in any order. Malformed lines are skipped; a repeated code point keeps its
// first line.
class UnifontIndex
{
public:
    void build(const char *data, qsizetype size);
    // The glyph of a code point, decoded from the indexed text; nothing when absent or broken.
    std::optional<UnifontGlyph> glyph(char32_t codePoint) const;
    qsizetype glyphCount() const { return m_count; }

private:
    static constexpr uint32_t None = UINT32_MAX;
    const char *m_data = nullptr;
    qsizetype m_size = 0;
    qsizetype m_count = 0;
    std::vector<uint32_t> m_bmp;                    // offset of the bitmap part, per BMP code point
    std::unordered_map<char32_t, uint32_t> m_upper; // the same beyond U+FFFF
};

// The 16-pixel GNU Unifont read from its hex files: unifont_jp.hex first (Japanese forms of the
// kana, kanji and full-width letters), unifont.hex for whatever that file lacks. Nothing is read
// before the first glyph is asked for; each file is then mapped and indexed once and glyphs are
// decoded as they are needed. A directory without either file leaves every text undrawn and is
// reported once to the debugging output. Not thread-safe: the display lives on the UI thread.
class UnifontFace
{
public:
    // An empty directory means defaultDirectory() at the time of the first lookup.
    explicit UnifontFace(QString directory = {});
    ~UnifontFace();
    UnifontFace(const UnifontFace &) = delete;
    UnifontFace &operator=(const UnifontFace &) = delete;

    // The process-wide face the display uses unless it is handed another.
    static UnifontFace &shared();
    // $TARVISK_UNIFONT_DIR when set and not empty, else /usr/share/unifont.
    static QString defaultDirectory();

    // The glyph of a code point, or nullptr when no file has one. The pointer stays valid as
    // long as the face.
    const UnifontGlyph *glyph(char32_t codePoint);
    // Whether at least one hex file was found and held glyphs (loads the files).
    bool isAvailable();
    QString directory() const { return m_directory; }

private:
    struct Source;
    void load();

    QString m_directory;
    bool m_loaded = false;
    std::vector<std::unique_ptr<Source>> m_sources;
    std::unordered_map<char32_t, std::optional<UnifontGlyph>> m_cache;
};

} // namespace tarvisk
