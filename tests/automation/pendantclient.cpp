#include "pendantclient.h"

#include "support/pendantprocess.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QTest>

namespace tarvisk::testing {

namespace {
const QString kPath = QStringLiteral("/ZephProv/Halvex/Tarvisk/Pendant");
const QString kInterface = QStringLiteral("ZephProv.Halvex.Tarvisk.Pendant");
} // namespace

PendantClient::PendantClient(QDBusConnection connection, QString service)
    : m_connection(std::move(connection))
    , m_service(std::move(service))
{}

QDBusMessage PendantClient::call(const QString &method, const QVariantList &arguments, int timeoutMs)
{
    QDBusMessage m = QDBusMessage::createMethodCall(m_service, kPath, kInterface, method);
    m.setArguments(arguments);
    return callServed(m_connection, m, timeoutMs);
}

QVariant PendantClient::value(const QString &method, const QVariantList &arguments)
{
    const QDBusMessage r = call(method, arguments);
    if (r.type() != QDBusMessage::ReplyMessage)
        return errorOf(r);
    return r.arguments().value(0);
}

QString PendantClient::errorOf(const QDBusMessage &reply)
{
    if (reply.type() != QDBusMessage::ErrorMessage)
        return QString();
    return reply.errorName() + QStringLiteral(": ") + reply.errorMessage();
}

bool PendantClient::listen()
{
    const QString owner = m_connection.interface()->serviceOwner(m_service).value();
    if (owner.isEmpty())
        return false;
    for (const char *name :
         {"KeyChanged", "LedChanged", "BeeperChanged", "DisplayChanged", "StateChanged", "LinkStatusChanged"}) {
        if (!m_connection.connect(owner, kPath, kInterface, QLatin1String(name), this, SLOT(onSignal(QDBusMessage))))
            return false;
    }
    return true;
}

void PendantClient::onSignal(const QDBusMessage &message)
{
    QStringList parts{message.member()};
    for (const QVariant &a : message.arguments())
        parts << (a.typeId() == QMetaType::Bool ? (a.toBool() ? QStringLiteral("true") : QStringLiteral("false"))
                                                : a.toString());
    m_signals << parts.join(u' ');
}

bool PendantClient::waitForSignal(const QString &line, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_signals.contains(line) && !deadline.hasExpired())
        QTest::qWait(10);
    return m_signals.contains(line);
}

QStringList PendantClient::leds()
{
    const QDBusMessage r = call(QStringLiteral("GetLeds"));
    if (r.type() != QDBusMessage::ReplyMessage)
        return {errorOf(r)};
    QStringList out;
    const QDBusArgument arg = r.arguments().value(0).value<QDBusArgument>();
    arg.beginArray();
    while (!arg.atEnd()) {
        int number = 0, mode = 0;
        bool lit = false;
        arg.beginStructure();
        arg >> number >> mode >> lit;
        arg.endStructure();
        out << QStringLiteral("%1:%2:%3").arg(number).arg(mode).arg(lit ? 1 : 0);
    }
    arg.endArray();
    return out;
}

bool PendantBusFixture::startBus(QString *error)
{
    if (!bus.start({}, error))
        return false;
    serviceBus = QDBusConnection::connectToBus(bus.address(), QStringLiteral("service"));
    clientBus = QDBusConnection::connectToBus(bus.address(), QStringLiteral("client"));
    if (!serviceBus.isConnected() || !clientBus.isConnected()) {
        *error = QStringLiteral("cannot connect to the private bus at %1").arg(bus.address());
        return false;
    }
    return true;
}

void PendantBusFixture::stopBus()
{
    QDBusConnection::disconnectFromBus(QStringLiteral("service"));
    QDBusConnection::disconnectFromBus(QStringLiteral("client"));
    bus.stop();
}

void PendantBusFixture::startTest()
{
    startPendantProcess();
    diagnostics = std::make_unique<CapturingDiagnostics>();
}

} // namespace tarvisk::testing
