#include "support/hostqueue.h"

#include "provider/provcontroller.h"
#include "provider/provmessage.h"

#include <memory>

namespace tarvisk::testing {

QueuedMessage::QueuedMessage(int32_t number, Variant value, QString destination)
    : number(number)
    , value(std::move(value))
    , destination(std::move(destination))
{}

bool QueuedMessage::operator==(const QueuedMessage &other) const
{
    return number == other.number && value == other.value && destination == other.destination;
}

QList<QueuedMessage> drainQueue(ProvController &controller)
{
    QList<QueuedMessage> out;
    for (;;) {
        std::shared_ptr<ProvMessage> m;
        if (controller.GetMessage(m) != 0 || !m)
            break;
        QueuedMessage msg;
        m->FinalGetNumber(msg.number);
        m->FinalGetValue(msg.value);
        m->FinalGetSource(msg.source);
        m->FinalGetDestination(msg.destination);
        msg.attribute = m->attribute();
        out << msg;
    }
    return out;
}

QList<QueuedMessage> generalMessages(const QList<QueuedMessage> &messages)
{
    QList<QueuedMessage> out;
    for (const QueuedMessage &m : messages) {
        if (m.destination.isEmpty())
            out << m;
    }
    return out;
}

QString describeMessages(const QList<QueuedMessage> &messages)
{
    QStringList parts;
    for (const QueuedMessage &m : messages)
        parts << QStringLiteral("%1:%2%3").arg(m.number).arg(
            m.value.debugText(), m.destination.isEmpty() ? QString() : u'@' + m.destination);
    return parts.join(QStringLiteral(" | "));
}

QStringList messageTexts(const QList<QueuedMessage> &messages, QStringView separator)
{
    QStringList out;
    for (const QueuedMessage &m : messages)
        out << QString::number(m.number) + separator.toString() + m.value.toString();
    return out;
}

} // namespace tarvisk::testing
