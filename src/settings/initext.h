#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// The rules of the settings file, applied to its bytes in memory. clsProfile reads and writes the
// file through these; they touch no file themselves.
//
// Lines: "[section]" lines, each followed by "key=value" lines. Lines starting with ";" are
// comments; lines without "=" and lines before the first section are kept but never match a key.
// Names ignore letter case and the blanks around them; when a name occurs twice, the first
// occurrence counts, for reading and for writing.
//
// Byte order marks: a UTF-8 mark at the start of the file belongs to no line, so the first line can
// be a section; it is kept by every change. A mark at the start of a later line that opens a
// section ("[", after blanks) belongs to no line either: files joined together carry one there, and
// an editor shows the section. Anywhere else a U+FEFF is a character like any other, also at the
// start of a name.
//
// Values: the text after the first "=", without the blanks around it and without one pair of
// matching quotes ("..." or '...') enclosing it. The file is read as UTF-8.
//
// Changes touch only the lines that change; everything else (comments, other sections, spacing,
// line endings, bytes that are no valid text) stays byte for byte as it was. A new key goes after
// the last key of its section, a new section to the end of the file. New lines take the file's line
// ending (CR LF when its first line ends so, else LF). A value with blanks around it, or enclosed in
// a pair of matching quotes, is written in double quotes, so that it reads back as written.
namespace tarvisk::initext {

// The value of key in section; nothing when the section or the key is missing. A key with nothing
// after its "=" gives empty text.
std::optional<QString> value(const QByteArray &file, QStringView section, QStringView key);

// All section names in file order.
QStringList sectionNames(const QByteArray &file);

// The whole number a value begins with: blanks, a sign and decimal digits, limited to the 32-bit
// range; 0 when it does not begin with digits.
int32_t leadingInteger(QStringView value);

// Whether a name or a value can be written without breaking the file's structure: no line break
// or NUL anywhere and a UTF-8 form (no lone surrogate); a section name not empty and without "]";
// a key not empty, without "=", and not starting with "[" or ";" (also not after a U+FEFF, which
// would read as a byte order mark before a section). Names are taken without the blanks around
// them.
bool isWritableSection(QStringView section);
bool isWritableKey(QStringView key);
bool isWritableValue(QStringView value);

// The file with key in section set to value, the section created as needed; nothing when a name or
// the value is not writable. A key that already reads as the value keeps its line as it is.
std::optional<QByteArray> withValue(const QByteArray &file, QStringView section, QStringView key, const QString &value);

// The file without the key's line; the same bytes when there is no such key.
QByteArray withoutKey(const QByteArray &file, QStringView section, QStringView key);

// The file without the section's header, its keys and the lines between them; comment and blank
// lines after its last key stay, since they usually lead the next section. The same bytes when
// there is no such section.
QByteArray withoutSection(const QByteArray &file, QStringView section);

} // namespace tarvisk::initext
