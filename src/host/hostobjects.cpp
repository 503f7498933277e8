#include "host/hostobjects.h"

#include <QDBusError>

#include <algorithm>

namespace tarvisk {

namespace {
const QString kNotTransferable = QStringLiteral("ZephProv.Halvex.Tarvisk.Error.NotTransferable");
}

HostObject::HostObject(const QString &path, const QString &holder)
    : m_path(path)
    , m_holder(holder)
{}

void HostObject::Release()
{
    emit releaseRequested(this);
}

bool HostObject::refused(const DBusValue &in)
{
    if (in.ok())
        return false;
    if (calledFromDBus())
        sendErrorReply(QDBusError::InvalidArgs, in.error);
    return true;
}

void HostObject::answer(const Variant &value, DBusValue &out)
{
    QString why;
    if (dbusvalue::isTransferable(value, &why)) {
        out = DBusValue(value);
        return;
    }
    out = DBusValue();
    if (calledFromDBus())
        sendErrorReply(kNotTransferable, why);
}

HostController::HostController(const QString &path, const QString &holder, MessagePublisher publish)
    : HostObject(path, holder)
    , m_controller(std::make_shared<ProvController>())
    , m_publish(std::move(publish))
{}

int HostController::FinalConnect(const DBusValue &parameters, DBusValue &parametersOut)
{
    if (refused(parameters))
        return 0;
    // The array is passed by reference: what the controller writes into it goes back.
    Variant array = parameters.value;
    const int status = m_controller->FinalConnect(array);
    answer(array, parametersOut);
    return status;
}

int HostController::FinalDisconnect()
{
    return m_controller->FinalDisconnect();
}

int HostController::FinalExecute(const QString &command, const DBusValue &parameter, DBusValue &result)
{
    if (refused(parameter))
        return 0;
    return withResult(result, [&](Variant &out) { return m_controller->FinalExecute(command, parameter.value, out); });
}

int HostController::FinalGetAttribute(int &attribute)
{
    int32_t value = 0;
    const int status = m_controller->FinalGetAttribute(value);
    attribute = value;
    return status;
}

int HostController::FinalGetHelp(QString &help)
{
    return m_controller->FinalGetHelp(help);
}

int HostController::FinalGetCommandNames(const QString &option, DBusValue &names)
{
    return withResult(names, [&](Variant &out) { return m_controller->FinalGetCommandNames(option, out); });
}

int HostController::FinalGetExtensionNames(const QString &option, DBusValue &names)
{
    return withResult(names, [&](Variant &out) { return m_controller->FinalGetExtensionNames(option, out); });
}

int HostController::FinalGetFileNames(const QString &option, DBusValue &names)
{
    return withResult(names, [&](Variant &out) { return m_controller->FinalGetFileNames(option, out); });
}

int HostController::FinalGetRobotNames(const QString &option, DBusValue &names)
{
    return withResult(names, [&](Variant &out) { return m_controller->FinalGetRobotNames(option, out); });
}

int HostController::FinalGetTaskNames(const QString &option, DBusValue &names)
{
    return withResult(names, [&](Variant &out) { return m_controller->FinalGetTaskNames(option, out); });
}

int HostController::FinalGetVariableNames(const QString &option, DBusValue &names)
{
    return withResult(names, [&](Variant &out) { return m_controller->FinalGetVariableNames(option, out); });
}

int HostController::FinalGetID(DBusValue &id)
{
    return withResult(id, [&](Variant &out) { return m_controller->FinalGetID(out); });
}

int HostController::FinalPutID(const DBusValue &id)
{
    if (refused(id))
        return 0;
    return m_controller->FinalPutID(id.value);
}

int HostController::GetMessage(QDBusObjectPath &message)
{
    std::shared_ptr<ProvMessage> next;
    const int status = m_controller->GetMessage(next);
    m_seen = m_controller->queuedMessages();
    message = next ? m_publish(std::move(next), holder()) : QDBusObjectPath(QStringLiteral("/"));
    return status;
}

MessageRecordList HostController::TakeMessages(uint max)
{
    MessageRecordList taken;
    const size_t count = std::min<size_t>({size_t(max), size_t(kMaxTakenMessages), m_controller->queuedMessages()});
    taken.reserve(qsizetype(count));
    for (size_t i = 0; i < count; ++i) {
        const ProvMessage *next = m_controller->queuedMessage(0);
        QString why;
        if (!dbusvalue::isTransferable(next->value(), &why)) {
            // Checked before it leaves the queue, so nothing is lost: the caller still has the
            // messages before it and can take this one as an object.
            if (taken.isEmpty() && calledFromDBus())
                sendErrorReply(kNotTransferable,
                               QStringLiteral("the oldest message (number %1) has a value that cannot travel (%2); "
                                              "take it with GetMessage")
                                   .arg(next->number())
                                   .arg(why));
            break;
        }
        std::shared_ptr<ProvMessage> message;
        m_controller->GetMessage(message);
        taken.append(MessageRecord{message->number(), message->source(), message->destination(),
                                   DBusValue(message->value()), message->attribute()});
    }
    m_seen = m_controller->queuedMessages();
    return taken;
}

void HostController::noteQueue()
{
    const size_t queued = m_controller->queuedMessages();
    if (queued > m_seen)
        emit MessageQueued(uint(queued));
    m_seen = queued;
}

HostMessage::HostMessage(const QString &path, const QString &holder, std::shared_ptr<ProvMessage> message)
    : HostObject(path, holder)
    , m_message(std::move(message))
{}

int HostMessage::FinalInitialize(const DBusValue &argument, DBusValue &argumentOut)
{
    if (refused(argument))
        return 0;
    Variant value = argument.value;
    const int status = m_message->FinalInitialize(value);
    answer(value, argumentOut);
    return status;
}

int HostMessage::FinalTerminate()
{
    return m_message->FinalTerminate();
}

int HostMessage::FinalClear()
{
    return m_message->FinalClear();
}

int HostMessage::FinalReply(const DBusValue &value)
{
    if (refused(value))
        return 0;
    return m_message->FinalReply(value.value);
}

int HostMessage::FinalGetDateTime(DBusValue &dateTime)
{
    return withResult(dateTime, [&](Variant &out) { return m_message->FinalGetDateTime(out); });
}

int HostMessage::FinalGetDescription(QString &description)
{
    return m_message->FinalGetDescription(description);
}

int HostMessage::FinalGetDestination(QString &destination)
{
    return m_message->FinalGetDestination(destination);
}

int HostMessage::FinalGetNumber(int &number)
{
    int32_t value = 0;
    const int status = m_message->FinalGetNumber(value);
    number = value;
    return status;
}

int HostMessage::FinalGetSource(QString &source)
{
    return m_message->FinalGetSource(source);
}

int HostMessage::FinalGetValue(DBusValue &value)
{
    return withResult(value, [&](Variant &out) { return m_message->FinalGetValue(out); });
}

} // namespace tarvisk
