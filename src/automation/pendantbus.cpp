#include "automation/pendantbus.h"

#include "automation/pendantobject.h"
#include "pendantadaptor.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusError>

namespace tarvisk {

const QString PendantBus::kStandalonePrefix = QStringLiteral("ZephProv.Halvex.Tarvisk.Pendant.");

bool PendantBus::isValidName(const QString &name, QString *why)
{
    auto fail = [why](const QString &text) {
        if (why)
            *why = text;
        return false;
    };
    if (name.isEmpty())
        return fail(QStringLiteral("a pendant name cannot be empty"));
    if (name.size() > 200)
        return fail(QStringLiteral("a pendant name has at most 200 characters"));
    if (name.front().isDigit())
        return fail(
            QStringLiteral("\"%1\" begins with a digit; a pendant name begins with a letter or \"_\"").arg(name));
    for (QChar c : name) {
        const bool ok = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_';
        if (!ok)
            return fail(QStringLiteral("\"%1\" holds \"%2\"; a pendant name has letters, digits and \"_\" only")
                            .arg(name, QString(c)));
    }
    return true;
}

QString PendantBus::defaultName()
{
    return QStringLiteral("p%1").arg(QCoreApplication::applicationPid());
}

PendantBus::PendantBus(const QDBusConnection &connection, QObject *parent)
    : QObject(parent)
    , m_connection(connection)
    , m_object(new PendantObject(this))
{
    new PendantAdaptor(m_object);
}

PendantBus::~PendantBus()
{
    if (!m_serviceName.isEmpty() && m_connection.isConnected() && m_connection.interface())
        m_connection.interface()->unregisterService(m_serviceName);
    if (m_published)
        m_connection.unregisterObject(PendantObject::kPath);
}

bool PendantBus::publish(QString *error)
{
    if (m_published)
        return true;
    if (!m_connection.isConnected()) {
        *error = QStringLiteral("no D-Bus session bus (%1)").arg(m_connection.lastError().message());
        return false;
    }
    if (!m_connection.registerObject(PendantObject::kPath, m_object, QDBusConnection::ExportAdaptors)) {
        *error = QStringLiteral("the path %1 is taken on this connection").arg(PendantObject::kPath);
        return false;
    }
    m_published = true;
    return true;
}

bool PendantBus::claimName(const QString &name, QString *error)
{
    QString why;
    if (!isValidName(name, &why)) {
        *error = why;
        return false;
    }
    const QString service = kStandalonePrefix + name;
    QDBusConnectionInterface *bus = m_connection.interface();
    if (!bus) {
        *error = QStringLiteral("no D-Bus session bus (%1)").arg(m_connection.lastError().message());
        return false;
    }
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = bus->registerService(
        service, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        m_serviceName = service;
        return true;
    }
    if (!reply.isValid()) {
        *error = QStringLiteral("the bus refused the name %1: %2").arg(service, reply.error().message());
        return false;
    }
    const QString owner = bus->serviceOwner(service).value();
    const QDBusReply<uint> pid = bus->servicePid(owner);
    *error = QStringLiteral("the name %1 is taken%2: another pendant runs as \"%3\"; choose another name with "
                            "--name")
                 .arg(service, pid.isValid() ? QStringLiteral(" by process %1").arg(pid.value()) : QString(), name);
    return false;
}

} // namespace tarvisk
