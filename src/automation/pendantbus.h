#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

namespace tarvisk {

class PendantObject;

// The bus side of the pendant interface, and its composition root: the object with its generated
// adaptor at PendantObject::kPath, and for a standalone pendant its own bus name.
class PendantBus : public QObject
{
    Q_OBJECT
public:
    static const QString kStandalonePrefix; // "ZephProv.Halvex.Tarvisk.Pendant."

    // Whether NAME may name a standalone pendant: letters, digits and underscores, not beginning
    // with a digit, at most 200 characters. *why says what is wrong otherwise.
    static bool isValidName(const QString &name, QString *why = nullptr);
    // "p" and the process id.
    static QString defaultName();

    explicit PendantBus(const QDBusConnection &connection, QObject *parent = nullptr);
    ~PendantBus() override;

    // Registers the object with its adaptor; false with the reason when the bus is gone or the
    // path is taken on this connection.
    bool publish(QString *error);
    // Takes kStandalonePrefix + name; false with a reason that names the owner when it is taken.
    bool claimName(const QString &name, QString *error);
    // The name taken, empty before.
    const QString &serviceName() const { return m_serviceName; }

    PendantObject *object() const { return m_object; }
    QDBusConnection &connection() { return m_connection; }

private:
    QDBusConnection m_connection;
    PendantObject *m_object = nullptr;
    QString m_serviceName;
    bool m_published = false;
};

} // namespace tarvisk
