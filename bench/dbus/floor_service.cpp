// The fair floor of the D-Bus benchmarks: a minimal Qt service whose one object lives on the
// main thread and answers a trivial method. Every provider call runs on the provider's main
// thread too, so what a call costs beyond this method is what the provider adds. Records(n)
// answers n ready-made key messages of the type TakeMessages answers: the cost of carrying n
// messages, without a queue behind them.
//   bench_floor_service        (serves on the session bus until the bus goes)
#include "host/messagerecord.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QObject>
#include <QTimer>

#include <cstdio>

namespace {

class Floor : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "ZephProv.Halvex.Tarvisk.BenchFloor")
public slots:
    int Trivial() { return 0; }
    tarvisk::MessageRecordList Records(uint count)
    {
        const tarvisk::MessageRecord keyMessage{1, QStringLiteral("17"), QString(), tarvisk::DBusValue(int32_t(14)), 0};
        return tarvisk::MessageRecordList(qsizetype(count), keyMessage);
    }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    tarvisk::registerMessageRecordTypes();
    QDBusConnection bus = QDBusConnection::sessionBus();
    Floor floor;
    if (!bus.registerObject(QStringLiteral("/Floor"), &floor, QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("ZephProv.Halvex.Tarvisk.BenchFloor"))) {
        std::fprintf(stderr, "bench_floor_service: cannot serve: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    QTimer check; // ends with its bus
    QObject::connect(&check, &QTimer::timeout, &app, [&] {
        if (!bus.isConnected())
            app.quit();
    });
    check.start(500);
    return app.exec();
}

#include "floor_service.moc"
