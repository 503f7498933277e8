// The provider as `tarvisk --automation` runs it, with a benchmark control object beside it at
// /Bench (interface ZephProv.Halvex.Tarvisk.Bench) that presses keys on the real standard
// pendant and fills the connected controller's queue, so that a client in another process can
// time a press up to the message in its hands:
//   Press(b down)    presses (or lets go of) OK a millisecond after the call returned, so that
//                    the call's own reply is out of the way; the moment of the press is kept
//   LastPress() -> (x, x, x)  CLOCK_MONOTONIC nanoseconds at the last press, taken right before
//                    it; when the event loop began its next turn; and when the connected
//                    controller's MessageQueued had been handed to the bus after it
//   Fill(u count)    queues count key messages (number 1, key 14) on the connected controller
#include "benchstats.h"
#include "host/hostobjects.h"
#include "host/hostservice.h"
#include "pendant/frmtp.h"
#include "pendant/pendants.h"
#include "provider/keytables.h"
#include "provider/pendantwindow.h"
#include "provider/provcontroller.h"
#include "provider/provstate.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDBusConnection>
#include <QMouseEvent>
#include <QTimer>

#include <cstdio>
#include <ctime>

using namespace tarvisk;

using namespace tarvisk::bench;

namespace {

class BenchControl : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "ZephProv.Halvex.Tarvisk.Bench")
public:
    explicit BenchControl(HostService &service)
        : m_service(service)
    {}

public slots:
    void Press(bool down)
    {
        QTimer::singleShot(1, this, [this, down] {
            auto *tp = static_cast<frmTP *>(existingPendantWindow(PendantKind::Standard));
            if (!tp)
                return;
            QWidget *ok = tp->hardKey(7);
            const QPointF at(ok->width() / 2.0, ok->height() / 2.0);
            QMouseEvent e(down ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease, at, ok->mapToGlobal(at),
                          Qt::LeftButton, down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            watchSignal();
            m_lastPress = monotonicNs();
            QApplication::sendEvent(ok, &e);
            m_pressPending = true;
        });
    }
    qint64 LastPress(qint64 &turn, qint64 &signalled) const
    {
        turn = m_nextTurn;
        signalled = m_lastSignal;
        return m_lastPress;
    }

    // Connected to the event dispatcher before the service, so that it runs first in a turn.
    void noteTurn()
    {
        if (m_pressPending) {
            m_nextTurn = monotonicNs();
            m_pressPending = false;
        }
    }
    void Fill(uint count)
    {
        if (!g_Controller)
            return;
        for (uint i = 0; i < count; ++i) {
            int32_t number = 1;
            g_Controller->CreateMessage(number, Variant::array({Variant(int32_t(14)), Variant(true)}));
        }
    }

private:
    void watchSignal()
    {
        for (const QString &path : m_service.objectPaths()) {
            auto *c = qobject_cast<HostController *>(m_service.object(path));
            if (c && c->controller() == g_Controller && !m_watched.contains(c)) {
                m_watched << c;
                connect(c, &HostController::MessageQueued, this, [this] { m_lastSignal = monotonicNs(); });
            }
        }
    }

    HostService &m_service;
    QList<HostController *> m_watched;
    qint64 m_lastPress = 0;
    qint64 m_nextTurn = 0;
    qint64 m_lastSignal = 0;
    bool m_pressPending = false;
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    registerPendantWindows();
    InitKeyTables();
    HostService service;
    BenchControl control(service);
    QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
    QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, &control, &BenchControl::noteTurn);
    QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, &control, &BenchControl::noteTurn);
    if (!service.start()) {
        std::fprintf(stderr, "bench_host: %s\n", qPrintable(service.lastError()));
        return 2;
    }
    QDBusConnection::sessionBus().registerObject(QStringLiteral("/Bench"), &control, QDBusConnection::ExportAllSlots);
    QObject::connect(&service, &HostService::finished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    const int status = app.exec();
    releaseAllPendantWindows();
    return status;
}

#include "bench_host.moc"
