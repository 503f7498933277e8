#pragma once

#include "host/dbusvalue.h"
#include "host/messagerecord.h"
#include "provider/provcontroller.h"
#include "provider/provmessage.h"

#include <QDBusContext>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace tarvisk {

// The bus side of one provider object the service handed out: it holds the provider object,
// turns the tagged values into Variants and back, and refuses a call whose values do not
// decode (InvalidArgs) or whose results cannot travel. The provider objects know nothing of
// the bus. The generated adaptors call these methods; the status is the provider's own.
class HostObject : public QObject, protected QDBusContext
{
    Q_OBJECT
public:
    HostObject(const QString &path, const QString &holder);

    const QString &path() const { return m_path; }
    // The unique bus name of the connection that holds the object; empty when it is held
    // until released.
    const QString &holder() const { return m_holder; }

    // ZephProv.Halvex.Tarvisk.Handle
    void Release();

signals:
    void releaseRequested(tarvisk::HostObject *object);

protected:
    // True (and the caller answered InvalidArgs) when the value did not decode.
    bool refused(const DBusValue &in);
    // Puts a result into its out argument; one that cannot travel answers the call with an
    // error and sends Empty.
    void answer(const Variant &value, DBusValue &out);
    // Runs an operation with one out Variant and answers it.
    template <class Op> int withResult(DBusValue &out, Op op)
    {
        Variant result;
        const int status = op(result);
        answer(result, out);
        return status;
    }

private:
    QString m_path;
    QString m_holder;
};

// A controller: ZephProv.IProviderController and ZephProv.Halvex.Tarvisk.Queue.
class HostController : public HostObject
{
    Q_OBJECT
public:
    // Makes the bus object of a message that GetMessage hands out and answers its path.
    using MessagePublisher = std::function<QDBusObjectPath(std::shared_ptr<ProvMessage>, const QString &holder)>;

    HostController(const QString &path, const QString &holder, MessagePublisher publish);

    const std::shared_ptr<ProvController> &controller() const { return m_controller; }

    int FinalConnect(const DBusValue &parameters, DBusValue &parametersOut);
    int FinalDisconnect();
    int FinalExecute(const QString &command, const DBusValue &parameter, DBusValue &result);
    int FinalGetAttribute(int &attribute);
    int FinalGetHelp(QString &help);
    int FinalGetCommandNames(const QString &option, DBusValue &names);
    int FinalGetExtensionNames(const QString &option, DBusValue &names);
    int FinalGetFileNames(const QString &option, DBusValue &names);
    int FinalGetRobotNames(const QString &option, DBusValue &names);
    int FinalGetTaskNames(const QString &option, DBusValue &names);
    int FinalGetVariableNames(const QString &option, DBusValue &names);
    int FinalGetID(DBusValue &id);
    int FinalPutID(const DBusValue &id);
    // The oldest message as an object of its own, or the path "/" when the queue is empty.
    int GetMessage(QDBusObjectPath &message);

    // ZephProv.Halvex.Tarvisk.Queue: up to max messages, oldest first, by value. Stops before a
    // message whose value cannot travel; one at the head answers NotTransferable and stays.
    MessageRecordList TakeMessages(uint max);
    // The most messages one TakeMessages answers, so that a reply stays far below the bus's
    // message size limit whatever the queue holds.
    static constexpr uint kMaxTakenMessages = 65536;

    // Emits MessageQueued when the queue grew since the last look.
    void noteQueue();

signals:
    void MessageQueued(uint queued);

private:
    std::shared_ptr<ProvController> m_controller;
    MessagePublisher m_publish;
    size_t m_seen = 0;
};

// A fetched message: ZephProv.IProviderMessage.
class HostMessage : public HostObject
{
    Q_OBJECT
public:
    HostMessage(const QString &path, const QString &holder, std::shared_ptr<ProvMessage> message);

    const std::shared_ptr<ProvMessage> &message() const { return m_message; }

    int FinalInitialize(const DBusValue &argument, DBusValue &argumentOut);
    int FinalTerminate();
    int FinalClear();
    int FinalReply(const DBusValue &value);
    int FinalGetDateTime(DBusValue &dateTime);
    int FinalGetDescription(QString &description);
    int FinalGetDestination(QString &destination);
    int FinalGetNumber(int &number);
    int FinalGetSource(QString &source);
    int FinalGetValue(DBusValue &value);

private:
    std::shared_ptr<ProvMessage> m_message;
};

} // namespace tarvisk
