// The hosted pendant under real X window managers, started by the test on its own X server: the
// built program on a private bus, driven as a client drives it, and judged by what the window
// manager says about the window (EWMH and ICCCM properties).
#include "desktop/desktop.h"

#include <QTest>
#include <QWidget>

#include <csignal>

using namespace tarvisk;
using namespace tarvisk::testing;

namespace {

constexpr int kShowTopmost = -1;
constexpr int kShowBottom = 1;

bool runXdotool(const QStringList &arguments)
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), arguments);
    return p.waitForFinished(5000) && p.exitCode() == 0;
}

// What a close button does: _NET_CLOSE_WINDOW to the window manager, which asks the window.
void requestClose(xcb_window_t w)
{
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = w;
    event.type = x11Atom("_NET_CLOSE_WINDOW");
    event.data.data32[1] = 2; // from a pager, which the window manager always obeys
    xcb_send_event(x11(), 0, x11Root(), XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&event));
    xcb_flush(x11());
}

QString hex(uint32_t w)
{
    return QStringLiteral("0x%1").arg(w, 0, 16);
}

} // namespace

class TestDesktop : public QObject
{
    Q_OBJECT

    // Fresh for every test: a window manager and a provider of its own.
    std::unique_ptr<Helper> wmProcess;
    std::unique_ptr<HostedProvider> providerProcess;
    std::unique_ptr<QWidget> clientWindow;

    HostedProvider &provider() { return *providerProcess; }

    // The provider's managed window once the window manager lists it.
    xcb_window_t pendantWindow()
    {
        xcb_window_t w = XCB_WINDOW_NONE;
        waitUntil([&] { return (w = x11ClientOf(provider().pid())) != XCB_WINDOW_NONE; });
        return w;
    }

    uint32_t gethwnd()
    {
        Variant result;
        const int status = provider().execute(QStringLiteral("gethwnd"), Variant(), &result);
        return status == 0 ? uint32_t(result.toLong()) : 0;
    }

    // A window of the test standing in for the client program's own window, active.
    xcb_window_t showClientWindow()
    {
        clientWindow = std::make_unique<QWidget>();
        clientWindow->setWindowTitle(QStringLiteral("client"));
        clientWindow->setGeometry(200, 150, 400, 400);
        clientWindow->show();
        clientWindow->activateWindow();
        const auto id = xcb_window_t(clientWindow->winId());
        waitUntil([&] { return x11ActiveWindow() == id; });
        return id;
    }

    int stackIndex(xcb_window_t w) { return int(x11Stacking().indexOf(w)); }

    bool lacksActions(xcb_window_t w, const QStringList &actions)
    {
        const QList<uint32_t> allowed = x11Property(w, "_NET_WM_ALLOWED_ACTIONS", XCB_ATOM_ATOM);
        for (const QString &a : actions) {
            if (allowed.contains(x11Atom(a.toLatin1().constData())))
                return false;
        }
        return !allowed.isEmpty();
    }

private slots:
    void initTestCase_data()
    {
        QTest::addColumn<QString>("windowManager");
        QTest::newRow("openbox") << QStringLiteral("openbox");
        QTest::newRow("metacity") << QStringLiteral("metacity");
        QTest::newRow("xfwm4") << QStringLiteral("xfwm4");
    }

    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X server (tests/with-xvfb.sh)");
    }

    void init()
    {
        QFETCH_GLOBAL(QString, windowManager);
        wmProcess = std::make_unique<Helper>();
        providerProcess = std::make_unique<HostedProvider>();
        const QString wmError = startWindowManager(*wmProcess, windowManager);
        if (!wmError.isEmpty())
            QSKIP(qPrintable(wmError));
        // No platform asked for: the provider picks the X server by itself.
        const QString error = providerProcess->start({}, {QStringLiteral("QT_QPA_PLATFORM")});
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    void cleanup()
    {
        providerProcess.reset();
        clientWindow.reset();
        wmProcess.reset();
    }

    void hostedPendantNeverTakesFocus()
    {
        const xcb_window_t client = showClientWindow();
        QCOMPARE(provider().connectPendant(QStringLiteral("PendantType=0")), 0);
        QCOMPARE(provider().execute(QStringLiteral("show")), 0);
        const xcb_window_t pendant = pendantWindow();
        QVERIFY2(pendant, qPrintable(QStringLiteral("no managed window of the provider; it wrote: ") +
                                     provider().providerOutput()));
        QVERIFY(waitUntil([&] { return x11WmState(pendant) == 1; }));
        const QList<uint32_t> hints = x11Property(pendant, "WM_HINTS");
        QVERIFY(hints.size() >= 2 && (hints[0] & 1u) && hints[1] == 0); // input: none
        QTest::qWait(300);
        QCOMPARE(hex(x11ActiveWindow()), hex(client));

        // A click on the pendant leaves the focus with the client's window.
        const QPoint at = x11RootPosition(pendant) + QPoint(20, 200);
        QVERIFY(runXdotool({"mousemove", "--sync", QString::number(at.x()), QString::number(at.y()), "click", "1"}));
        QTest::qWait(300);
        QCOMPARE(hex(x11ActiveWindow()), hex(client));
    }

    void hostedWindowOffersNoMinimizeMaximizeOrClose()
    {
        QCOMPARE(provider().connectPendant(QStringLiteral("PendantType=1")), 0);
        QCOMPARE(provider().execute(QStringLiteral("show")), 0);
        const xcb_window_t pendant = pendantWindow();
        QVERIFY2(pendant, qPrintable(QStringLiteral("no managed window of the provider; it wrote: ") +
                                     provider().providerOutput()));
        QVERIFY(waitUntil([&] {
            return lacksActions(pendant, {"_NET_WM_ACTION_MINIMIZE", "_NET_WM_ACTION_MAXIMIZE_HORZ",
                                          "_NET_WM_ACTION_MAXIMIZE_VERT", "_NET_WM_ACTION_RESIZE"});
        }));
        QVERIFY(!x11Property(pendant, "_NET_WM_ICON").isEmpty());
        // ...yet keeps its title bar with the caption, by which a user sees and knows it: the
        // frame is taller above the window (left, right, top, bottom) than at its sides.
        QVERIFY(waitUntil([&] { return x11Property(pendant, "_NET_FRAME_EXTENTS").size() == 4; }));
        const QList<uint32_t> frame = x11Property(pendant, "_NET_FRAME_EXTENTS");
        QVERIFY2(frame[2] >= 10 && frame[2] > frame[3], qPrintable(QStringLiteral("no title bar; frame %1 %2 %3 %4")
                                                                       .arg(frame[0])
                                                                       .arg(frame[1])
                                                                       .arg(frame[2])
                                                                       .arg(frame[3])));
        QVERIFY(x11Text(pendant, "_NET_WM_NAME").startsWith(QLatin1String("Halvex")));

        // Where the window manager keeps a close action of its own (openbox never lets hints
        // take it away), a close request leaves the hosted window as it is.
        if (!lacksActions(pendant, {"_NET_WM_ACTION_CLOSE"}))
            requestClose(pendant);
        QTest::qWait(300);
        Variant visible;
        QCOMPARE(provider().execute(QStringLiteral("getvisible"), Variant(), &visible), 0);
        QVERIFY(visible.toBool());
        QCOMPARE(x11WmState(pendant), 1u);
    }

    void hintsSurviveZOrderHideAndShow()
    {
        QCOMPARE(provider().connectPendant(QStringLiteral("PendantType=0")), 0);
        QCOMPARE(provider().execute(QStringLiteral("show")), 0);
        QVERIFY2(pendantWindow(), qPrintable(QStringLiteral("no managed window of the provider; it wrote: ") +
                                             provider().providerOutput()));
        QCOMPARE(provider().execute(QStringLiteral("show"), Variant(int32_t(kShowTopmost))), 0);
        QCOMPARE(provider().execute(QStringLiteral("hide")), 0);
        QCOMPARE(provider().execute(QStringLiteral("show")), 0);
        QTest::qWait(300);

        const xcb_window_t pendant = pendantWindow();
        QVERIFY2(pendant, qPrintable(QStringLiteral("no managed window of the provider; it wrote: ") +
                                     provider().providerOutput()));
        QVERIFY(waitUntil([&] { return x11WmState(pendant) == 1; }));
        QCOMPARE(hex(gethwnd()), hex(pendant));
        QVERIFY(waitUntil([&] { return x11HasAtom(pendant, "_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR"); }));
        QVERIFY(!x11HasAtom(pendant, "_NET_WM_STATE", "_NET_WM_STATE_DEMANDS_ATTENTION"));
        QCOMPARE(x11Property(pendant, "_MOTIF_WM_HINTS").mid(0, 2), (QList<uint32_t>{3, 0}));
        QVERIFY(lacksActions(pendant, {"_NET_WM_ACTION_MINIMIZE", "_NET_WM_ACTION_MAXIMIZE_HORZ"}));
    }

    // The window manager takes in the hide only after the show (stopped meanwhile): it withdraws
    // the window, dropping the states written for the show, and takes it on anew.
    void hintsSurviveAHideTheWindowManagerTakesInLate()
    {
        QCOMPARE(provider().connectPendant(QStringLiteral("PendantType=0")), 0);
        QCOMPARE(provider().execute(QStringLiteral("show")), 0);
        const xcb_window_t pendant = pendantWindow();
        QVERIFY2(pendant, qPrintable(QStringLiteral("no managed window of the provider; it wrote: ") +
                                     provider().providerOutput()));
        QVERIFY(waitUntil([&] { return x11HasAtom(pendant, "_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR"); }));

        const auto wm = pid_t(wmProcess->process().processId());
        QCOMPARE(::kill(wm, SIGSTOP), 0);
        const int hidden = provider().execute(QStringLiteral("hide"));
        const int shown = provider().execute(QStringLiteral("show"));
        QCOMPARE(::kill(wm, SIGCONT), 0);
        QCOMPARE(hidden, 0);
        QCOMPARE(shown, 0);

        QVERIFY(waitUntil([&] { return x11ClientOf(provider().pid()) == pendant && x11WmState(pendant) == 1; }));
        // Each state is its own request to the window manager: both are waited for.
        QVERIFY2(waitUntil([&] {
                     return x11HasAtom(pendant, "_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR") &&
                            x11HasAtom(pendant, "_NET_WM_STATE", "_NET_WM_STATE_SKIP_PAGER");
                 }),
                 "skip-taskbar and skip-pager asked for again once the window is taken on anew");
        QCOMPARE(hex(gethwnd()), hex(pendant));
    }

    void showWithHandlePlacesBelowThatWindow()
    {
        const xcb_window_t client = showClientWindow();
        QCOMPARE(provider().connectPendant(QStringLiteral("PendantType=0")), 0);
        QCOMPARE(provider().execute(QStringLiteral("show"), Variant(int32_t(kShowTopmost))), 0);
        const xcb_window_t pendant = pendantWindow();
        QVERIFY2(pendant, qPrintable(QStringLiteral("no managed window of the provider; it wrote: ") +
                                     provider().providerOutput()));
        QVERIFY2(waitUntil([&] { return stackIndex(pendant) > stackIndex(client) && stackIndex(client) >= 0; }),
                 "topmost first: the pendant above the client's window");

        QCOMPARE(provider().execute(QStringLiteral("show"), Variant(int32_t(client))), 0);
        QVERIFY2(waitUntil([&] { return stackIndex(pendant) >= 0 && stackIndex(pendant) < stackIndex(client); }),
                 "then just below the window whose handle was given");
        QVERIFY(!x11HasAtom(pendant, "_NET_WM_STATE", "_NET_WM_STATE_ABOVE"));
        QCOMPARE(x11WmState(pendant), 1u);
    }

    void showBottomKeepsThePendantBelow()
    {
        const xcb_window_t client = showClientWindow();
        QCOMPARE(provider().connectPendant(QStringLiteral("PendantType=0")), 0);
        QCOMPARE(provider().execute(QStringLiteral("show"), Variant(int32_t(kShowTopmost))), 0);
        const xcb_window_t pendant = pendantWindow();
        QVERIFY(waitUntil([&] { return stackIndex(pendant) > stackIndex(client); }));

        QCOMPARE(provider().execute(QStringLiteral("show"), Variant(int32_t(kShowBottom))), 0);
        QVERIFY(waitUntil([&] { return x11HasAtom(pendant, "_NET_WM_STATE", "_NET_WM_STATE_BELOW"); }));
        QVERIFY(waitUntil([&] { return stackIndex(pendant) >= 0 && stackIndex(pendant) < stackIndex(client); }));
        // Lowering the client's window does not put it under the pendant: the pendant stays below.
        xcb_configure_window(x11(), client, XCB_CONFIG_WINDOW_STACK_MODE,
                             std::initializer_list<uint32_t>{XCB_STACK_MODE_BELOW}.begin());
        xcb_flush(x11());
        QTest::qWait(300);
        QVERIFY(stackIndex(pendant) < stackIndex(client));
    }

    void showRestoresAMinimizedPendant()
    {
        // Before FinalConnect the window still offers minimize, so a user can minimize it.
        QCOMPARE(provider().execute(QStringLiteral("show")), 0);
        const xcb_window_t pendant = pendantWindow();
        QVERIFY2(pendant, qPrintable(QStringLiteral("no managed window of the provider; it wrote: ") +
                                     provider().providerOutput()));
        QVERIFY(waitUntil([&] { return x11WmState(pendant) == 1; }));
        QVERIFY(runXdotool({"windowminimize", QString::number(pendant)}));
        QVERIFY(waitUntil([&] { return x11WmState(pendant) == 3; }));
        Variant visible;
        QCOMPARE(provider().execute(QStringLiteral("getvisible"), Variant(), &visible), 0);
        QVERIFY(visible.toBool());

        QCOMPARE(provider().execute(QStringLiteral("show")), 0);
        QVERIFY2(waitUntil([&] { return x11WmState(pendant) == 1; }), "show brings the window back");
    }

    void standaloneWindowHasIconAndFixedSize()
    {
        // A user's start, with no platform asked for either.
        QProcess standalone;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        standalone.setProcessEnvironment(env);
        standalone.start(qEnvironmentVariable("TARVISK_EXE"), {"127.0.0.1", "5010", "127.0.0.1", "0", "-1"});
        QVERIFY(standalone.waitForStarted());
        xcb_window_t w = XCB_WINDOW_NONE;
        QVERIFY(waitUntil([&] { return (w = x11ClientOf(standalone.processId())) != XCB_WINDOW_NONE; }, 10000));
        QVERIFY(waitUntil([&] { return x11WmState(w) == 1; }));
        QVERIFY(waitUntil([&] {
            return lacksActions(
                w, {"_NET_WM_ACTION_MAXIMIZE_HORZ", "_NET_WM_ACTION_MAXIMIZE_VERT", "_NET_WM_ACTION_RESIZE"});
        }));
        const QList<uint32_t> allowed = x11Property(w, "_NET_WM_ALLOWED_ACTIONS", XCB_ATOM_ATOM);
        QVERIFY(allowed.contains(x11Atom("_NET_WM_ACTION_MINIMIZE")));
        QVERIFY(allowed.contains(x11Atom("_NET_WM_ACTION_CLOSE")));
        // WM_NORMAL_HINTS: flags, x, y, w, h, min w, min h, max w, max h.
        const QList<uint32_t> size = x11Property(w, "WM_NORMAL_HINTS");
        QVERIFY(size.size() >= 9);
        QVERIFY((size[0] & 0x30u) == 0x30u); // minimum and maximum given
        QCOMPARE(size[5], size[7]);
        QCOMPARE(size[6], size[8]);
        QVERIFY(!x11HasAtom(w, "_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR")); // a user's window has its entry
        const QList<uint32_t> icon = x11Property(w, "_NET_WM_ICON");
        QVERIFY(icon.size() > 2 + 16 * 16);
        standalone.kill();
        standalone.waitForFinished();
    }
};

QTEST_MAIN(TestDesktop)
#include "test_desktop.moc"
