// A left press on the OK key of a connected hosted standard pendant, up to the key message
// being in the host queue: the real window, real mouse events, in-process.
#include "pendant/frmtp.h"
#include "pendant/pendants.h"
#include "provider/provcontroller.h"
#include "provider/provstate.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace tarvisk;

namespace {

void send(QWidget *w, QEvent::Type type)
{
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    QMouseEvent e(type, at, w->mapToGlobal(at), Qt::LeftButton,
                  type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int presses = argc > 1 ? std::atoi(argv[1]) : 10000;
    registerPendantWindows();
    InitKeyTables();
    auto controller = std::make_shared<ProvController>();
    Variant params = Variant::array({Variant(), Variant("PendantType=0, StateDestination=x"), Variant()});
    controller->FinalConnect(params);
    Variant r;
    controller->FinalExecute(QStringLiteral("show"), Variant(), r);
    auto *tp = static_cast<frmTP *>(existingPendantWindow(PendantKind::Standard));
    emit tp->firstConnectionTimer()->Timer();
    QWidget *ok = tp->hardKey(7);
    std::shared_ptr<ProvMessage> m;
    while (controller->GetMessage(m) == 0 && m) {
    }

    std::vector<double> us;
    us.reserve(presses);
    QElapsedTimer t;
    for (int i = 0; i < presses; ++i) {
        t.start();
        send(ok, QEvent::MouseButtonPress);
        const qint64 ns = t.nsecsElapsed();
        if (controller->queuedMessages() != 2) {
            std::fprintf(stderr, "press %d queued %zu messages\n", i, controller->queuedMessages());
            return 1;
        }
        us.push_back(ns / 1000.0);
        send(ok, QEvent::MouseButtonRelease);
        while (controller->GetMessage(m) == 0 && m) {
        }
        if (i % 64 == 0)
            QCoreApplication::processEvents();
    }
    std::sort(us.begin(), us.end());
    std::printf("press to host queue over %d presses: median %.1f us, p99 %.1f us, max %.1f us\n", presses,
                us[us.size() / 2], us[size_t(us.size() * 0.99)], us.back());
    controller->FinalDisconnect();
    return 0;
}
