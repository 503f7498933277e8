#pragma once

// The provider served in this process on a private bus, with the real pendant windows, and a
// client connection of the test that calls it the way an outside client does: what the tests of
// the hosted service share.
#include "common/diagnostics.h"
#include "host/dbusvalue.h"
#include "host/hostservice.h"
#include "host/messagerecord.h"
#include "pendant/frmtp.h"
#include "pendant/pendants.h"
#include "provider/keytables.h"
#include "provider/pendantwindow.h"
#include "provider/provstate.h"
#include "support/busclient.h"
#include "support/privatebus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QTest>

#include <memory>
#include <optional>

namespace tarvisk::testing {

inline const QString kControllerIface = QStringLiteral("ZephProv.IProviderController");
inline const QString kMessageIface = QStringLiteral("ZephProv.IProviderMessage");
inline const QString kProviderIface = QStringLiteral("ZephProv.Halvex.Tarvisk.Provider");
inline const QString kHandleIface = QStringLiteral("ZephProv.Halvex.Tarvisk.Handle");
inline const QString kQueueIface = QStringLiteral("ZephProv.Halvex.Tarvisk.Queue");

struct Msg
{
    int number = -1;
    QString value; // debug text
    QString source;
    QString destination;
    int attribute = -1;
};

inline QString toText(const QList<Msg> &list)
{
    QStringList parts;
    for (const Msg &m : list)
        parts << QStringLiteral("%1:%2:%3:%4:%5").arg(m.number).arg(m.value, m.source, m.destination).arg(m.attribute);
    return parts.join(QStringLiteral(" | "));
}

// Each test gets a fresh process state and a started service; the bus and both connections last
// the whole test program.
class HostServiceFixture
{
protected:
    PrivateBus bus;
    QDBusConnection serviceBus{QString()};
    QDBusConnection clientBus{QString()};
    std::unique_ptr<CapturingDiagnostics> diagnostics;
    std::unique_ptr<HostService> service;

    // A call from the client connection, answered while this thread's event loop runs.
    QDBusMessage call(const QString &path, const QString &interface, const QString &method,
                      const QVariantList &arguments = {}, QDBusConnection *from = nullptr)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(HostService::kServiceName, path, interface, method);
        message.setArguments(arguments);
        return callServed(from ? *from : clientBus, message, 15000);
    }

    static QVariant tagged(const Variant &v) { return QVariant::fromValue(DBusValue(v)); }

    static Variant valueAt(const QDBusMessage &reply, int i)
    {
        return qdbus_cast<DBusValue>(reply.arguments().value(i)).value;
    }

    QString create(const QString &kind, const QString &holder = QString(), QDBusConnection *from = nullptr)
    {
        const QDBusMessage r =
            call(HostService::kRootPath, kProviderIface, QStringLiteral("Create") + kind, {holder}, from);
        if (r.type() != QDBusMessage::ReplyMessage)
            return QStringLiteral("error: ") + r.errorName();
        return qdbus_cast<QDBusObjectPath>(r.arguments().first()).path();
    }

    int connectPendant(const QString &controller, const QString &options, QDBusConnection *from = nullptr)
    {
        const QDBusMessage r = call(controller, kControllerIface, QStringLiteral("FinalConnect"),
                                    {tagged(Variant::array({Variant(), Variant(options), Variant()}))}, from);
        return r.type() == QDBusMessage::ReplyMessage ? r.arguments().first().toInt() : -1000;
    }

    // FinalExecute: the status, and the result in *result.
    int execute(const QString &controller, const QString &command, const Variant &parameter = {},
                Variant *result = nullptr)
    {
        const QDBusMessage r =
            call(controller, kControllerIface, QStringLiteral("FinalExecute"), {command, tagged(parameter)});
        if (r.type() != QDBusMessage::ReplyMessage)
            return -1000;
        if (result)
            *result = valueAt(r, 1);
        return r.arguments().first().toInt();
    }

    void release(const QString &path) { call(path, kHandleIface, QStringLiteral("Release")); }

    // The oldest message, read through its own object and released; nothing when none waits.
    std::optional<Msg> fetch(const QString &controller)
    {
        const QDBusMessage r = call(controller, kControllerIface, QStringLiteral("GetMessage"));
        if (r.type() != QDBusMessage::ReplyMessage || r.arguments().first().toInt() != 0)
            return Msg{-1000, r.errorMessage(), {}, {}, -1};
        const QString path = qdbus_cast<QDBusObjectPath>(r.arguments().at(1)).path();
        if (path == u"/")
            return std::nullopt;
        Msg m;
        m.number = call(path, kMessageIface, QStringLiteral("FinalGetNumber")).arguments().at(1).toInt();
        m.value = valueAt(call(path, kMessageIface, QStringLiteral("FinalGetValue")), 1).debugText();
        m.source = call(path, kMessageIface, QStringLiteral("FinalGetSource")).arguments().at(1).toString();
        m.destination = call(path, kMessageIface, QStringLiteral("FinalGetDestination")).arguments().at(1).toString();
        m.attribute =
            valueAt(call(path, kMessageIface, QStringLiteral("FinalInitialize"), {tagged(Variant())}), 1).toLong();
        release(path);
        return m;
    }

    // TakeMessages(max) through the client connection; an error reply gives one Msg of number
    // -1000 whose value is the error name.
    QList<Msg> take(const QString &controller, uint max)
    {
        const QDBusMessage r = call(controller, kQueueIface, QStringLiteral("TakeMessages"), {max});
        if (r.type() != QDBusMessage::ReplyMessage)
            return {Msg{-1000, r.errorName(), {}, {}, -1}};
        QList<Msg> out;
        for (const MessageRecord &m : qdbus_cast<MessageRecordList>(r.arguments().value(0)))
            out << Msg{m.number, m.value.value.debugText(), m.source, m.destination, m.attribute};
        return out;
    }

    void clickOk()
    {
        QWidget *ok = standardPendant()->hardKey(7);
        QTest::mouseClick(ok, Qt::LeftButton, {}, ok->rect().center());
    }

    QList<Msg> drain(const QString &controller)
    {
        QList<Msg> out;
        while (const std::optional<Msg> m = fetch(controller))
            out << *m;
        return out;
    }

    RunResult gdbus(const QString &path, const QString &method, const QStringList &arguments = {})
    {
        return runProgram(QStringLiteral("gdbus"),
                          QStringList{QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("-d"),
                                      HostService::kServiceName, QStringLiteral("-o"), path, QStringLiteral("-m"),
                                      method} +
                              arguments,
                          bus.environment());
    }

    frmTP *standardPendant() { return static_cast<frmTP *>(existingPendantWindow(PendantKind::Standard)); }

    // Waits for the first-connection tick to enable the keys, then empties the queue.
    void waitForKeys(const QString &controller)
    {
        QTRY_VERIFY_WITH_TIMEOUT(standardPendant() && standardPendant()->hardKey(7)->isEnabled(), 10000);
        drain(controller);
    }

    void startCase()
    {
        registerMessageRecordTypes();
        QString error;
        QVERIFY2(bus.start({}, &error), qPrintable(error));
        serviceBus = QDBusConnection::connectToBus(bus.address(), QStringLiteral("service"));
        clientBus = QDBusConnection::connectToBus(bus.address(), QStringLiteral("client"));
        QVERIFY(serviceBus.isConnected() && clientBus.isConnected());
    }

    void endCase()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("service"));
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        bus.stop();
    }

    void startTest()
    {
        resetProcessState();
        registerPendantWindows();
        InitKeyTables();
        diagnostics = std::make_unique<CapturingDiagnostics>();
        service = std::make_unique<HostService>(serviceBus);
        QVERIFY2(service->start(), qPrintable(service->lastError()));
    }

    void endTest()
    {
        service.reset();
        resetProcessState();
        diagnostics.reset();
    }
};

} // namespace tarvisk::testing
