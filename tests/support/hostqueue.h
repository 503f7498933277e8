#pragma once

#include "common/variant.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace tarvisk {
class ProvController;
}

namespace tarvisk::testing {

// One message the host fetched from a controller's queue, as the host reads it.
struct QueuedMessage
{
    QueuedMessage() = default;
    QueuedMessage(int32_t number, Variant value, QString destination = {});

    int32_t number = -1;
    Variant value;
    QString destination;
    QString source;
    int32_t attribute = 0;

    // Number, value and destination; what a pendant decides.
    bool operator==(const QueuedMessage &other) const;
};

// Fetches every queued message, oldest first, through the host's own getters; the queue is
// empty afterwards.
QList<QueuedMessage> drainQueue(ProvController &controller);

// The messages without a destination: the general ones, addressed copies left out.
QList<QueuedMessage> generalMessages(const QList<QueuedMessage> &messages);

// "number:value" for each message, the value in its debug text, "@destination" after it
// when there is one; joined with " | ". Shows the value's type, so 1 and True differ.
QString describeMessages(const QList<QueuedMessage> &messages);

// "number" + separator + the value as text, for each message.
QStringList messageTexts(const QList<QueuedMessage> &messages, QStringView separator = u":");

} // namespace tarvisk::testing
