#include "provider/provmessage.h"

namespace tarvisk {

int32_t ProvMessage::FinalInitialize(Variant &argument)
{
    return statusOf([&] {
        if (argument.isEmpty()) {
            argument = Variant(m_lAttribute);
            return;
        }
        if (!argument.isArray())
            return;
        // Everything is converted before anything is stored, so a failure leaves the message as it was.
        const int32_t upper = argument.upperBound();
        if (upper < 0)
            raiseError(ErrSubscript);
        const int32_t number = argument.at(0).toLong();
        Variant value = upper >= 1 ? argument.at(1) : m_vntValue;
        QString source = upper >= 2 ? argument.at(2).toString() : m_strSource;
        QString destination = upper >= 3 ? argument.at(3).toString() : m_strDestination;
        m_lNumber = number;
        m_vntValue = std::move(value);
        m_strSource = std::move(source);
        m_strDestination = std::move(destination);
        if (!m_strDestination.isEmpty())
            m_lAttribute = kDestinationAttribute;
    });
}

int32_t ProvMessage::FinalGetDateTime(Variant &out)
{
    out = Variant();
    return 0;
}

int32_t ProvMessage::FinalGetDescription(QString &out)
{
    out.clear();
    return 0;
}

int32_t ProvMessage::FinalGetDestination(QString &out)
{
    out = m_strDestination;
    return 0;
}

int32_t ProvMessage::FinalGetNumber(int32_t &out)
{
    out = m_lNumber;
    return 0;
}

int32_t ProvMessage::FinalGetSource(QString &out)
{
    out = m_strSource;
    return 0;
}

int32_t ProvMessage::FinalGetValue(Variant &out)
{
    out = m_vntValue;
    return 0;
}

} // namespace tarvisk
