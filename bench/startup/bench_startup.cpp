// Start-up to first window shown, and resident memory with the window up, per pendant type.
// The parent starts itself as a child for every run, so each measurement is a fresh process:
//   bench_startup [runs per type]
// A child (--child TYPE) starts like `tarvisk 127.0.0.1 <port> 127.0.0.1 0 TYPE`, waits until
// its window is exposed, prints its resident memory and ends.
#include "link/udplink.h"
#include "pendant/pendants.h"
#include "provider/pendantwindow.h"
#include "provider/provstate.h"
#include "provider/startup.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QUdpSocket>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace tarvisk;

namespace {

long residentKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

int child(int argc, char **argv, int type)
{
    QApplication app(argc, argv);
    registerPendantWindows();
    QUdpSocket controller;
    controller.bind(QHostAddress::LocalHost, 0);
    StartupEnvironment env;
    env.commandLine = QStringLiteral("127.0.0.1 %1 127.0.0.1 0 %2").arg(controller.localPort()).arg(type);
    env.createLink = [] { return std::make_shared<UdpPendantLink>(); };
    if (!Main(env))
        return 1;
    QWidget *w = existingPendantWindow(pendantKindForType(type))->widget();
    QElapsedTimer guard;
    guard.start();
    while (!(w->windowHandle() && w->windowHandle()->isExposed()) && guard.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::processEvents();
    std::printf("shown %ld\n", residentKb());
    std::fflush(stdout);
    return 0;
}

struct Row
{
    const char *name;
    int type;
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc > 2 && QByteArray(argv[1]) == "--child")
        return child(argc, argv, std::atoi(argv[2]));

    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 10;
    const Row rows[] = {{"standard", 0}, {"mini", 1}, {"old", -1}, {"pendant-less", 2}};
    std::printf("%-13s %10s %10s %10s\n", "pendant", "median ms", "p99 ms", "RSS MiB");
    for (const Row &row : rows) {
        std::vector<double> ms;
        long rss = 0;
        for (int i = 0; i < runs; ++i) {
            QProcess p;
            QElapsedTimer t;
            t.start();
            p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), QString::number(row.type)});
            if (!p.waitForReadyRead(20000)) {
                std::fprintf(stderr, "%s: no window\n", row.name);
                return 1;
            }
            const QByteArray line = p.readLine();
            ms.push_back(t.nsecsElapsed() / 1e6);
            rss = line.mid(6).trimmed().toLong();
            p.waitForFinished(10000);
        }
        std::sort(ms.begin(), ms.end());
        std::printf("%-13s %10.1f %10.1f %10.1f\n", row.name, ms[ms.size() / 2],
                    ms[std::min(ms.size() - 1, size_t(ms.size() * 0.99))], rss / 1024.0);
    }
    return 0;
}
