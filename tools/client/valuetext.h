#pragma once

#include "common/variant.h"

#include <QString>
#include <QStringList>

// The text form of values on the command line of tarvisk-client and in its output.
//
//   14  -7            Long (a whole number in the 32-bit range; a larger one is a Double)
//   1.5  2e3  2.0     Double
//   true  false       Boolean
//   empty  null       Empty, Null
//   "a b"  word       String (quoted with \" and \\ escapes; an unquoted word that is no number
//                     or keyword is taken as it stands)
//   y:5 n:5 i:5       Byte, Integer, Long
//   f:1.5 d:1.5       Single, Double
//   b:true s:text     Boolean, String
//   B:00ff10          ByteArray, two hexadecimal digits a byte
//   [1 2 [3 empty]]   Array; elements apart by blanks or commas
//
// formatValue writes every value so that parseValue reads it back with the same type and value.
namespace tarvisk::valuetext {

// Reads one value; false with a reason when the text is not one value.
bool parseValue(const QString &text, Variant &out, QString *error = nullptr);

// Reads the parameter of a command: nothing is Empty, one value is that value, several values
// apart by blanks are an Array of them.
bool parseParameter(const QString &text, Variant &out, QString *error = nullptr);

QString formatValue(const Variant &value);

// Splits "led 1 2" into the command name and the parameter text.
void splitCommand(const QString &line, QString &command, QString &parameter);

} // namespace tarvisk::valuetext
