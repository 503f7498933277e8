// The pendant on a Wayland compositor (a headless weston that the test starts): the window
// system choice of the built program, the hosted commands that Wayland cannot carry out failing
// with their own error, and the see-through window's real transparency. The test's own
// application runs on the compositor too.
#include "desktop/desktop.h"

#include "common/proverror.h"
#include "pendant/frmtpless.h"
#include "pendant/pendants.h"
#include "provider/pendantwindow.h"
#include "provider/provstate.h"
#include "provider/windowprocs.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace tarvisk;
using namespace tarvisk::testing;

namespace {

// Set up by main() before the application object exists.
QString g_skipReason;
QByteArray g_xDisplay; // the X server the test was given, if any
QString g_runtimeDir;
QString g_socket;

} // namespace

class TestWayland : public QObject
{
    Q_OBJECT

    std::unique_ptr<HostedProvider> providerProcess;
    HostedProvider &provider() { return *providerProcess; }

    QProcessEnvironment waylandOnly() const
    {
        QProcessEnvironment env;
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), g_runtimeDir);
        env.insert(QStringLiteral("WAYLAND_DISPLAY"), g_socket);
        return env;
    }

private slots:
    void initTestCase()
    {
        if (!g_skipReason.isEmpty())
            QSKIP(qPrintable(g_skipReason));
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("wayland"));
    }

    void init() { providerProcess = std::make_unique<HostedProvider>(); }
    void cleanup()
    {
        providerProcess.reset();
        resetProcessState(); // no window may outlive the application object
    }

    void commandsThatCannotActFailWithTheirOwnError()
    {
        // Nothing asked for and no X server: the provider runs on the compositor.
        const QString error =
            provider().start(waylandOnly(), {QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("DISPLAY")});
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(provider().connectPendant(QStringLiteral("PendantType=0")), 0);

        Variant result = Variant(int32_t(7));
        QCOMPARE(provider().execute(QStringLiteral("gethwnd"), Variant(), &result), int(ErrWindowSystem));
        QVERIFY(result.isEmpty());
        QCOMPARE(provider().execute(QStringLiteral("move"), Variant::array({Variant(1500), Variant(900)})),
                 int(ErrWindowSystem));
        for (int32_t handle : {-1, 1, 0x1234})
            QCOMPARE(provider().execute(QStringLiteral("show"), Variant(handle)), int(ErrWindowSystem));
        // Refused without half doing it: the window was not shown by the refused forms.
        Variant visible;
        QCOMPARE(provider().execute(QStringLiteral("getvisible"), Variant(), &visible), 0);
        QVERIFY(!visible.toBool());

        // What Wayland does allow still works: showing, not topmost, hiding.
        QCOMPARE(provider().execute(QStringLiteral("show")), 0);
        QCOMPARE(provider().execute(QStringLiteral("show"), Variant(int32_t(-2))), 0);
        QCOMPARE(provider().execute(QStringLiteral("getvisible"), Variant(), &visible), 0);
        QVERIFY(visible.toBool());
        QCOMPARE(provider().execute(QStringLiteral("hide")), 0);
        QCOMPARE(provider().execute(QStringLiteral("led"), Variant::array({Variant(1), Variant(1)})), 0);
    }

    void anXServerBesideTheCompositorIsPreferred()
    {
        if (g_xDisplay.isEmpty())
            QSKIP("no X server was given to the test (tests/with-xvfb.sh)");
        QProcessEnvironment env = waylandOnly();
        env.insert(QStringLiteral("DISPLAY"), QString::fromLocal8Bit(g_xDisplay));
        env.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
        const QString error = provider().start(env, {QStringLiteral("QT_QPA_PLATFORM")});
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(provider().connectPendant(QStringLiteral("PendantType=0")), 0);
        Variant handle;
        QCOMPARE(provider().execute(QStringLiteral("gethwnd"), Variant(), &handle), 0);
        QVERIFY(handle.toLong() > 1);
        QCOMPARE(provider().execute(QStringLiteral("move"), Variant::array({Variant(1500), Variant(900)})), 0);
        QCOMPARE(provider().execute(QStringLiteral("show"), Variant(int32_t(-1))), 0);
    }

    void seeThroughWindowUsesRealTransparency()
    {
        resetProcessState();
        registerPendantWindows();
        ShowPendant(2, 1, false, false);
        auto *w = static_cast<frmTPLess *>(existingPendantWindow(PendantKind::TPLess));
        QVERIFY(w);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QCOMPARE(w->seeThrough(), frmTPLess::SeeThrough::Alpha);
        QVERIFY(w->testAttribute(Qt::WA_TranslucentBackground));
        QVERIFY(w->mask().isEmpty());
        // Nothing is painted around the text; the text itself is, with smooth edges.
        const QImage look = w->grab().toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(qAlpha(look.pixel(0, 0)), 0);
        int opaque = 0, partial = 0;
        for (int y = 0; y < look.height(); ++y) {
            for (int x = 0; x < look.width(); ++x) {
                const int a = qAlpha(look.pixel(x, y));
                opaque += a == 255;
                partial += a > 0 && a < 255;
            }
        }
        QVERIFY(opaque > 40);
        QVERIFY(partial > 0);
        QVERIFY(opaque < look.width() * look.height() / 4);
        resetProcessState();
    }

    void windowProceduresRefuseWhatWaylandCannotDo()
    {
        QWidget w;
        w.resize(100, 100);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        try {
            NativeWindowHandle(&w);
            QFAIL("a Wayland window has no handle to give");
        } catch (const ProvError &e) {
            QCOMPARE(e.number(), int32_t(ErrWindowSystem));
            QVERIFY2(e.description().contains(QLatin1String("QT_QPA_PLATFORM=xcb")), qPrintable(e.description()));
        }
        QVERIFY(compositorActive());
        QVERIFY(!windowManagerRunning());
    }
};

// The compositor must run before the application object connects to it.
int main(int argc, char **argv)
{
    g_xDisplay = qgetenv("DISPLAY");
    QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    g_runtimeDir = runtime.path();
    g_socket = QStringLiteral("tarvisk-test-0");
    QProcess weston;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), g_runtimeDir);
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    weston.setProcessEnvironment(env);
    weston.setProcessChannelMode(QProcess::MergedChannels);
    weston.start(QStringLiteral("weston"),
                 {QStringLiteral("--backend=headless-backend.so"), QStringLiteral("--socket=") + g_socket,
                  QStringLiteral("--idle-time=0"), QStringLiteral("--width=1024"), QStringLiteral("--height=768")});
    const QString socketPath = g_runtimeDir + u'/' + g_socket;
    if (!weston.waitForStarted(5000)) {
        g_skipReason = QStringLiteral("weston is not installed (apt-get install weston)");
    } else {
        for (int i = 0; i < 100 && !QFileInfo::exists(socketPath) && weston.state() == QProcess::Running; ++i)
            QThread::msleep(50);
        if (!QFileInfo::exists(socketPath))
            g_skipReason = QStringLiteral("weston did not start: ") + QString::fromLocal8Bit(weston.readAll());
    }
    if (g_skipReason.isEmpty()) {
        qputenv("XDG_RUNTIME_DIR", g_runtimeDir.toLocal8Bit());
        qputenv("WAYLAND_DISPLAY", g_socket.toLocal8Bit());
        qputenv("QT_QPA_PLATFORM", "wayland");
    } else {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    int status = 0;
    {
        QApplication app(argc, argv);
        TestWayland test;
        status = QTest::qExec(&test, argc, argv);
    }
    weston.terminate();
    if (!weston.waitForFinished(3000))
        weston.kill();
    weston.waitForFinished(3000);
    return status;
}

#include "test_wayland.moc"
