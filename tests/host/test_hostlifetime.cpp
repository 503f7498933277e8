// The hosted service's life and its ends, with the real pendant windows: the bus name given up
// the moment the service decides to end, windows that outlive a client's going while one of their
// handlers waits in a message box, and the last messages a disconnect leaves.
#include "hostservicefixture.h"

#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QPointer>
#include <QSignalSpy>
#include <QTimer>

#include <functional>
#include <optional>

using namespace tarvisk;
using namespace tarvisk::testing;

namespace {

// Message boxes that run an event loop of their own until the test presses OK, as real ones do:
// the provider goes on serving its clients inside them.
class NestedLoopBoxes : public Diagnostics
{
public:
    NestedLoopBoxes() { install(this); }
    ~NestedLoopBoxes() override { install(nullptr); }
    void debugOutput(const QString &) override {}
    void messageBox(const QString &text, Icon, const QString &) override
    {
        texts << text;
        QEventLoop loop;
        m_open = &loop;
        if (onShown)
            onShown();
        loop.exec();
        m_open = nullptr;
    }
    void pressOk()
    {
        if (m_open)
            m_open->quit();
    }

    QStringList texts;
    std::function<void()> onShown;

private:
    QEventLoop *m_open = nullptr;
};

} // namespace

class TestHostLifetime : public QObject, protected HostServiceFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { startCase(); }
    void cleanupTestCase() { endCase(); }
    void init() { startTest(); }
    void cleanup() { endTest(); }

    void lastReleaseFinishes()
    {
        QSignalSpy finished(service.get(), &HostService::finished);
        const QString robot = create(QStringLiteral("Robot"));
        const QString controller = create(QStringLiteral("Controller"));
        QCOMPARE(connectPendant(controller, QStringLiteral("PendantType=0")), 0);
        QCOMPARE(execute(controller, QStringLiteral("show")), 0);
        release(robot);
        QTest::qWait(50);
        QCOMPARE(finished.count(), 0);
        release(controller);
        // The name went before the release was answered: the client's next call would start a
        // fresh provider.
        QVERIFY(!service->ownsName());
        QVERIFY(!clientBus.interface()->isServiceRegistered(HostService::kServiceName).value());
        QTRY_COMPARE(finished.count(), 1);
        QVERIFY(!standardPendant());
        QDBusMessage stale =
            QDBusMessage::createMethodCall(serviceBus.baseService(), robot, kHandleIface, QStringLiteral("Release"));
        QCOMPARE(callServed(clientBus, stale).errorName(), QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"));
    }

    void createOnItsWayWhenTheNameWentIsServed()
    {
        // Served in this process, one after the other with no turn of the loop between: the
        // Create was on its way when the release made the service give the name up.
        QSignalSpy finished(service.get(), &HostService::finished);
        service->release(service->object(service->CreateController(QString()).path()));
        QVERIFY(!service->ownsName());
        const QString served = service->CreateController(QString()).path();
        QVERIFY(served.startsWith(HostService::kRootPath + QStringLiteral("/Controller/")));
        QVERIFY(service->ownsName());
        QTest::qWait(50);
        QCOMPARE(finished.count(), 0);

        // With another provider on the name by then, the late Create makes nothing.
        service->release(service->object(served));
        QVERIFY(!service->ownsName());
        QDBusConnection other = QDBusConnection::connectToBus(bus.address(), QStringLiteral("successor"));
        QVERIFY(other.registerService(HostService::kServiceName));
        QCOMPARE(service->CreateController(QString()).path(), QStringLiteral("/"));
        QCOMPARE(service->heldObjects(), 0);
        QTRY_COMPARE(finished.count(), 1);
        // Once it has finished, a call that still reaches it is told to call again.
        QDBusMessage late = QDBusMessage::createMethodCall(serviceBus.baseService(), HostService::kRootPath,
                                                           kProviderIface, QStringLiteral("CreateController"));
        late << QString();
        const QDBusMessage refused = callServed(clientBus, late);
        QCOMPARE(refused.errorName(), QStringLiteral("ZephProv.Halvex.Tarvisk.Error.Ending"));
        QDBusConnection::disconnectFromBus(QStringLiteral("successor"));
    }

    void graceEndsAnUnusedService()
    {
        QSignalSpy finished(service.get(), &HostService::finished);
        service->setStartupGrace(100);
        QTRY_COMPARE(finished.count(), 1);
    }

    void windowOutlivesAReleaseUnderItsMessageBox_data()
    {
        QTest::addColumn<bool>("leave");
        QTest::newRow("released") << false;
        QTest::newRow("client leaves") << true;
    }

    void windowOutlivesAReleaseUnderItsMessageBox()
    {
        QFETCH(bool, leave);
        const QString leaverName = QStringLiteral("boxLeaver");
        std::optional<QDBusConnection> leaver = QDBusConnection::connectToBus(bus.address(), leaverName);
        const QString controller = create(QStringLiteral("Controller"), {}, leave ? &*leaver : nullptr);
        // Shown without FinalConnect: no controller takes the window's messages.
        QCOMPARE(execute(controller, QStringLiteral("show")), 0);
        QPointer<frmTP> window = standardPendant();
        QVERIFY(window && window->isVisible());
        QSignalSpy finished(service.get(), &HostService::finished);

        NestedLoopBoxes boxes;
        bool aliveUnderBox = false;
        QTimer poll;
        QDeadlineTimer patience(10000);
        boxes.onShown = [&] {
            if (leave) {
                leaver.reset();
                QDBusConnection::disconnectFromBus(leaverName);
            } else {
                clientBus.asyncCall(QDBusMessage::createMethodCall(HostService::kServiceName, controller, kHandleIface,
                                                                   QStringLiteral("Release")));
            }
            // OK is pressed once the client's going has unloaded the window.
            connect(&poll, &QTimer::timeout, this, [&] {
                const bool gone = !existingPendantWindow(PendantKind::Standard) && service->heldObjects() == 0;
                if (!gone && !patience.hasExpired())
                    return;
                poll.stop();
                aliveUnderBox = gone && !window.isNull() && !window->isVisible();
                boxes.pressOk();
            });
            poll.start(20);
        };

        // The main loop runs the click; the switch cannot report to a missing controller, and the
        // "[5B]" box waits in its handler.
        QEventLoop mainLoop;
        QTimer::singleShot(0, window, [&] {
            QWidget *area = window->switchArea(0);
            QTest::mouseClick(area, Qt::LeftButton, {}, area->rect().center());
        });
        QTimer done;
        connect(&done, &QTimer::timeout, &mainLoop, [&] {
            if (window.isNull() && finished.count() == 1)
                mainLoop.quit();
        });
        done.start(20);
        QTimer::singleShot(15000, &mainLoop, &QEventLoop::quit);
        mainLoop.exec();

        QCOMPARE(boxes.texts, QStringList{QStringLiteral("[5B]\r\nObject variable or With block variable not set")});
        QVERIFY(aliveUnderBox);
        QVERIFY(window.isNull());
        QCOMPARE(finished.count(), 1);
        QCOMPARE(retiredPendantWindows(), 0);
        leaver.reset();
        QDBusConnection::disconnectFromBus(leaverName);
    }

    void disconnectLetsHeldKeysGoBeforeTheFinalState()
    {
        const QString controller = create(QStringLiteral("Controller"));
        QCOMPARE(connectPendant(controller, QStringLiteral("PendantType=0, StateDestination=x")), 0);
        QCOMPARE(execute(controller, QStringLiteral("show")), 0);
        waitForKeys(controller);
        QWidget *ok = standardPendant()->hardKey(7);
        QTest::mousePress(ok, Qt::LeftButton, {}, ok->rect().center());
        QCOMPARE(drain(controller).size(), 2);

        QCOMPARE(call(controller, kControllerIface, QStringLiteral("FinalDisconnect")).arguments().first().toInt(), 0);
        QCOMPARE(toText(drain(controller)), toText({{2, "Long 14", "17", "x", 1048576},
                                                    {2, "Long 14", "17", "", 0},
                                                    {3, "Long 14", "17", "x", 1048576},
                                                    {3, "Long 14", "17", "", 0},
                                                    {0, "Integer 0", "17", "x", 1048576},
                                                    {0, "Integer 0", "17", "", 0}}));
        // The mouse lets go somewhere else; the window is gone.
        QWidget elsewhere;
        QTest::mouseRelease(&elsewhere, Qt::LeftButton);
    }

    void stateMessagesOutsideTheSelectorAreIntegers()
    {
        // The mini pendant's first tick, then its first key-state read.
        const QString mini = create(QStringLiteral("Controller"));
        QCOMPARE(connectPendant(mini, QStringLiteral("PendantType=1")), 0);
        QList<Msg> got;
        QTRY_VERIFY_WITH_TIMEOUT((got << drain(mini), !got.isEmpty()), 10000);
        QCOMPARE(toText(got.mid(0, 1)), toText({{0, "Integer 1", "26", "", 0}}));
        QCOMPARE(execute(mini, QStringLiteral("getkeystate")), 0);
        QCOMPARE(toText(drain(mini)), toText({{0, "Integer 1", "26", "", 0}}));
        // The tag itself, as a client that knows nothing of this program reads it.
        QCOMPARE(execute(mini, QStringLiteral("hide")), 0);
        QCOMPARE(call(mini, kControllerIface, QStringLiteral("FinalDisconnect")).arguments().first().toInt(), 0);
        const RunResult r = gdbus(mini, kControllerIface + QStringLiteral(".GetMessage"));
        const QString path = firstMatch(r.out, QStringLiteral("objectpath '([^']+)'"));
        QCOMPARE(gdbus(path, kMessageIface + QStringLiteral(".FinalGetValue")).out.trimmed(),
                 QStringLiteral("(0, (byte 0x6e, <int16 0>))"));

        // The pendant-less keep-alive: a period of 0 is refused, a short one repeats.
        const QString less = create(QStringLiteral("Controller"));
        QCOMPARE(connectPendant(less, QStringLiteral("PendantType=2, TPLessInterval=0")), 5);
        QVERIFY(!existingPendantWindow(PendantKind::TPLess));
        QCOMPARE(connectPendant(less, QStringLiteral("PendantType=2, TPLessInterval=-1")), 5);
        QCOMPARE(connectPendant(less, QStringLiteral("PendantType=2, TPLessInterval=200")), 0);
        got.clear();
        QTRY_VERIFY_WITH_TIMEOUT((got << drain(less), got.size() >= 2), 10000);
        QCOMPARE(toText(got.mid(0, 2)), toText({{0, "Integer 2", "", "", 0}, {0, "Integer 2", "", "", 0}}));
    }
};

QTEST_MAIN(TestHostLifetime)
#include "test_hostlifetime.moc"
