#pragma once

#include "common/diagnostics.h"
#include "support/busclient.h"
#include "support/privatebus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariantList>

#include <memory>

namespace tarvisk::testing {

// A client of the pendant interface on its own connection: calls answered while this thread's
// event loop runs (the service may live in this process), and every signal kept as a line
// "Name arg arg".
class PendantClient : public QObject
{
    Q_OBJECT
public:
    PendantClient(QDBusConnection connection, QString service);

    QDBusMessage call(const QString &method, const QVariantList &arguments = {}, int timeoutMs = 15000);
    // The reply's first argument; the error name and message when the call failed.
    QVariant value(const QString &method, const QVariantList &arguments = {});
    // "Name: message" of the error, empty for a reply.
    static QString errorOf(const QDBusMessage &reply);

    // Starts keeping the signals of the service's owner.
    bool listen();
    QStringList signalsSeen() const { return m_signals; }
    void clearSignals() { m_signals.clear(); }
    // Waits until a signal line equal to `line` came; false after the time.
    bool waitForSignal(const QString &line, int timeoutMs = 5000);

    // GetLeds as "number:mode:lit" texts.
    QStringList leds();

private slots:
    void onSignal(const QDBusMessage &message);

private:
    QDBusConnection m_connection;
    QString m_service;
    QStringList m_signals;
};

// What the in-process pendant-interface tests share: a private bus with a service connection and
// a client connection of their own, and message boxes captured for each test.
class PendantBusFixture
{
protected:
    // For initTestCase and cleanupTestCase; false with the reason when the bus did not start.
    bool startBus(QString *error);
    void stopBus();
    // For init: the process as it starts, its message boxes captured.
    void startTest();

    PrivateBus bus;
    QDBusConnection serviceBus{QString()};
    QDBusConnection clientBus{QString()};
    std::unique_ptr<CapturingDiagnostics> diagnostics;
};

} // namespace tarvisk::testing
