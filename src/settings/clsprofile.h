#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

namespace tarvisk {

// Reads and writes one INI settings file: "[section]" lines, each followed by "key=value" lines.
//
// Matching: section and key names ignore letter case and the blanks around them. When a name occurs
// twice, the first occurrence counts, for reading and for writing.
// Reading: the value is the text after the first "=", without the blanks around it and without one
// pair of matching quotes ("..." or '...') enclosing it. Lines starting with ";" are comments; lines
// without "=" and lines before the first section are kept but never match a key.
// Writing: only the lines that change are touched; everything else (comments, other sections,
// spacing, line endings, bytes that are no valid text) stays byte for byte as it was. A new key goes
// after the last key of its section, a new section to the end of the file. New lines take the
// file's line ending (CR LF when its first line ends so, else LF). Every change is written to a
// temporary file that then replaces the old one, so a failure leaves the old file whole.
// The file is read as UTF-8; values of plain ASCII read and write unchanged. A UTF-8 byte order mark
// at the start of the file belongs to no line (so the first line can be a section) and is kept.
//
// A value with blanks around it, or enclosed in a pair of matching quotes, is written in double
// quotes, so that it reads back as written.
//
// Names or values that would break the file's structure (a line break or NUL anywhere, "=" or a
// leading "[" or ";" in a key, "]" in a section name, an empty name) or that have no UTF-8 form (a
// lone surrogate) are refused: the write returns false and the file is left alone. So is every write to a file that exists but cannot be
// read whole (unreadable, a folder, larger than maxFileSize()).
//
// Nothing is cached: each call reads the file anew, so changes by others are seen at once.
class clsProfile
{
public:
    // FileName starts as "<program folder>/<program name>.ini".
    clsProfile();
    explicit clsProfile(const QString &fileName);
    ~clsProfile();

    clsProfile(const clsProfile &) = delete;
    clsProfile &operator=(const clsProfile &) = delete;

    // The value of key in section; defaultValue when the file, the section or the key is missing.
    // A key with nothing after its "=" gives empty text, not the default.
    QString GetString(const QString &section, const QString &key, const QString &defaultValue) const;
    // The whole number the value begins with (blanks, a sign and decimal digits; 0 when it does not
    // begin with digits, limited to the 32-bit range); defaultValue when the key is missing or its
    // value is empty.
    int32_t GetInt(const QString &section, const QString &key, int32_t defaultValue) const;
    // All section names in file order; empty when the file is missing or has no section.
    QStringList GetSectNames() const;

    // Creates or replaces key in section, creating section and file as needed (not the folder).
    // True when the file holds the value afterwards.
    bool WriteString(const QString &section, const QString &key, const QString &value);
    // Removes the key's line. True also when there was nothing to remove.
    bool DeleteKey(const QString &section, const QString &key);
    // Removes the section's header, its keys and the lines between them; comment and blank lines
    // after its last key stay, since they usually lead the next section. True also when there was
    // nothing to remove.
    bool DeleteSection(const QString &section);
    // Every change is on disk when its call returns, so there is nothing left to write; kept so that
    // callers need not know. Never changes the file.
    void Flush();

    QString FileName() const { return m_fileName; }
    // No check is made; the next call uses the new path.
    void setFileName(const QString &fileName) { m_fileName = fileName; }

    // Files larger than this are not read (reads give defaults) and never rewritten.
    static constexpr qint64 maxFileSize() { return 64 * 1024 * 1024; }

private:
    QString m_fileName;
};

} // namespace tarvisk
