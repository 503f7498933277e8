#pragma once

#include "common/variant.h"

#include <QString>

#include <cstdint>

namespace tarvisk {

// One message for the host: filled once by FinalInitialize, read-only afterwards.
class ProvMessage : public VariantObject
{
public:
    // Attribute of a message that carries a destination.
    static constexpr int32_t kDestinationAttribute = 1048576;

    // Empty: writes the attribute into the argument. Array (number, value, source, destination),
    // as many elements as given: fills the message; a number that does not convert fails with 13
    // and leaves the message unchanged. Anything else: no action.
    int32_t FinalInitialize(Variant &argument);
    int32_t FinalTerminate() { return 0; }
    int32_t FinalClear() { return 0; }
    int32_t FinalReply(const Variant &) { return 0; }
    int32_t FinalGetDateTime(Variant &out);
    int32_t FinalGetDescription(QString &out);
    int32_t FinalGetDestination(QString &out);
    int32_t FinalGetNumber(int32_t &out);
    int32_t FinalGetSource(QString &out);
    int32_t FinalGetValue(Variant &out);

    int32_t number() const { return m_lNumber; }
    const Variant &value() const { return m_vntValue; }
    int32_t attribute() const { return m_lAttribute; }
    const QString &source() const { return m_strSource; }
    const QString &destination() const { return m_strDestination; }

private:
    int32_t m_lNumber = -1;
    Variant m_vntValue;
    int32_t m_lAttribute = 0;
    QString m_strSource;
    QString m_strDestination;
};

} // namespace tarvisk
