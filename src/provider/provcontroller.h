#pragma once

#include "common/variant.h"
#include "provider/provmessage.h"

#include <QString>

#include <cstdint>
#include <deque>
#include <memory>

namespace tarvisk {

// The root object a client connects to. Every host-facing operation returns a status:
// 0 on success, otherwise the number of the error that stopped it.
class ProvController : public std::enable_shared_from_this<ProvController>
{
public:
    ProvController();
    ~ProvController();

    // Element 1 of the array is the option string; element 2 is set to True on success.
    int32_t FinalConnect(Variant &parameters);
    int32_t FinalDisconnect();
    int32_t FinalExecute(const QString &command, const Variant &parameter, Variant &result);
    int32_t FinalGetAttribute(int32_t &out);
    int32_t FinalGetHelp(QString &out);
    int32_t FinalGetCommandNames(const QString &option, Variant &out);
    int32_t FinalGetExtensionNames(const QString &option, Variant &out);
    int32_t FinalGetFileNames(const QString &option, Variant &out);
    int32_t FinalGetRobotNames(const QString &option, Variant &out);
    int32_t FinalGetTaskNames(const QString &option, Variant &out);
    int32_t FinalGetVariableNames(const QString &option, Variant &out);
    int32_t FinalGetID(Variant &out);
    int32_t FinalPutID(const Variant &id);
    // The oldest queued message, removed from the queue; nullptr when the queue is empty.
    int32_t GetMessage(std::shared_ptr<ProvMessage> &out);

    // Queues a message for the host. Numbers 0 to 3 take a payload or (payload, addressed);
    // an addressed copy goes first when a state destination was given. Other numbers keep
    // the value whole.
    int32_t CreateMessage(int32_t &number, const Variant &value);

    int32_t pendantType() const { return m_lPendantType; }
    int32_t defaultMode() const { return m_lDefaultMode; }
    const QString &source() const { return m_strSource; }
    const QString &stateDestination() const { return m_strStateDestination; }
    size_t queuedMessages() const { return m_colMessage.size(); }
    // The queued message at index (0 the oldest), left in the queue; nullptr past the end.
    const ProvMessage *queuedMessage(size_t index) const
    {
        return index < m_colMessage.size() ? m_colMessage[index].get() : nullptr;
    }
    // Whether the last successful FinalConnect saw a "Debug" item.
    bool debugFlag() const { return m_debug; }

private:
    void parseOptions(const QString &options, bool &debug);
    void execute(const QString &command, Variant &parameter, Variant &result);

    std::deque<std::shared_ptr<ProvMessage>> m_colMessage;
    int32_t m_lPendantType = 0;
    int32_t m_lDefaultMode = 1;
    QString m_strSource;
    QString m_strStateDestination;
    bool m_debug = false;
};

} // namespace tarvisk
