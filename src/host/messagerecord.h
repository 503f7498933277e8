#pragma once

#include "host/dbusvalue.h"

#include <QDBusArgument>
#include <QList>
#include <QMetaType>
#include <QString>

#include <cstdint>

namespace tarvisk {

// One host message by value, as TakeMessages hands it out: the D-Bus struct (iss(yv)i) of
// number, source, destination, value and attribute. The caller owns it; no bus object stands
// behind it.
struct MessageRecord
{
    int32_t number = -1;
    QString source;
    QString destination;
    DBusValue value;
    int32_t attribute = 0;
};
using MessageRecordList = QList<MessageRecord>;

// Registers MessageRecord and its list with the D-Bus type system (and the tagged values they
// carry); call once before use.
void registerMessageRecordTypes();

QDBusArgument &operator<<(QDBusArgument &arg, const MessageRecord &record);
const QDBusArgument &operator>>(const QDBusArgument &arg, MessageRecord &record);

} // namespace tarvisk

Q_DECLARE_METATYPE(tarvisk::MessageRecord)
Q_DECLARE_METATYPE(tarvisk::MessageRecordList)
