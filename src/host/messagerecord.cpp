#include "host/messagerecord.h"

#include <QDBusMetaType>

namespace tarvisk {

void registerMessageRecordTypes()
{
    static const bool registered = [] {
        registerDBusValueTypes();
        qDBusRegisterMetaType<MessageRecord>();
        qDBusRegisterMetaType<MessageRecordList>();
        return true;
    }();
    Q_UNUSED(registered);
}

QDBusArgument &operator<<(QDBusArgument &arg, const MessageRecord &record)
{
    arg.beginStructure();
    arg << record.number << record.source << record.destination << record.value << record.attribute;
    arg.endStructure();
    return arg;
}

const QDBusArgument &operator>>(const QDBusArgument &arg, MessageRecord &record)
{
    arg.beginStructure();
    arg >> record.number >> record.source >> record.destination >> record.value >> record.attribute;
    arg.endStructure();
    return arg;
}

} // namespace tarvisk
