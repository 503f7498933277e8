#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

namespace tarvisk {

// Reads and writes one INI settings file, by the rules of settings/initext.h: only the lines that
// change are touched, names ignore case and the blanks around them, the first occurrence of a name
// counts, a byte order mark before a section belongs to no line.
//
// Every change is written to a temporary file that then replaces the old one, so a failure leaves
// the old file whole. Names or values that would break the file's structure (initext's
// isWritable...) are refused: the write returns false and the file is left alone. So is every
// write to a file that exists but cannot be read whole (unreadable, a folder, larger than
// maxFileSize()).
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
