#pragma once

#include "common/variant.h"

#include <QString>

// The JSON form of the values the controller sends, and a readable form of the values it receives.
//
// JSON to Variant: integers (no fraction, no exponent) -> Long, and must lie in -2147483648..
// 2147483647; other numbers -> Double; strings -> String; true / false -> Boolean; null -> Null;
// arrays -> Array of the same mapping. Objects have no Variant form and are refused.
namespace tarvisk::controller {

// Reads one JSON value (any kind, not only arrays and objects). On failure gives false and a
// description of the fault in *error; *out is left alone then.
bool variantFromJson(const QString &text, Variant *out, QString *error);

// JSON for the values the mapping produces (a Double always shows a fraction or an exponent, so
// it reads back as a Double); the narrow types, Empty and byte strings are shown by type name:
// Empty, Byte(200), Integer(-2), Single(1.5), bytes(00 ff).
QString variantText(const Variant &value);

} // namespace tarvisk::controller
