#include "automation/ledrecord.h"

#include <QDBusMetaType>

namespace tarvisk {

void registerLedRecordTypes()
{
    qDBusRegisterMetaType<LedRecord>();
    qDBusRegisterMetaType<LedRecordList>();
}

QDBusArgument &operator<<(QDBusArgument &arg, const LedRecord &record)
{
    arg.beginStructure();
    arg << record.number << record.mode << record.lit;
    arg.endStructure();
    return arg;
}

const QDBusArgument &operator>>(const QDBusArgument &arg, LedRecord &record)
{
    arg.beginStructure();
    arg >> record.number >> record.mode >> record.lit;
    arg.endStructure();
    return arg;
}

} // namespace tarvisk
