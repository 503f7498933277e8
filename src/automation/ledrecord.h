#pragma once

#include <QDBusArgument>
#include <QList>
#include <QMetaType>

#include <cstdint>

namespace tarvisk {

// One LED as GetLeds answers it: the D-Bus struct (iib) of its number from 1, its mode (0 off,
// 1 on, 2 blinking) and whether it is lit now.
struct LedRecord
{
    int32_t number = 0;
    int32_t mode = 0;
    bool lit = false;
    bool operator==(const LedRecord &) const = default;
};
using LedRecordList = QList<LedRecord>;

// Registers LedRecord and its list with the D-Bus type system; call once before use.
void registerLedRecordTypes();

QDBusArgument &operator<<(QDBusArgument &arg, const LedRecord &record);
const QDBusArgument &operator>>(const QDBusArgument &arg, LedRecord &record);

} // namespace tarvisk

Q_DECLARE_METATYPE(tarvisk::LedRecord)
Q_DECLARE_METATYPE(tarvisk::LedRecordList)
