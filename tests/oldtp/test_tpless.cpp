#include "common/diagnostics.h"
#include "pendant/frmtpless.h"
#include "pendant/pendants.h"
#include "provider/provcontroller.h"
#include "provider/provstate.h"
#include "support/hostqueue.h"
#include "support/pendantprocess.h"

#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QTest>

using namespace tarvisk;
using namespace tarvisk::testing;

class TestTPLess : public QObject
{
    Q_OBJECT

    std::shared_ptr<ProvController> controller;
    CapturingDiagnostics *diag = nullptr;

    QStringList drain() { return messageTexts(drainQueue(*controller)); }

    frmTPLess *connectHosted(const QString &options)
    {
        controller = connectController(options);
        return controller ? pendantOf<frmTPLess>(PendantKind::TPLess) : nullptr;
    }

private slots:
    void init()
    {
        startPendantProcess();
        diag = new CapturingDiagnostics;
    }
    void cleanup()
    {
        endHosted(controller);
        delete diag;
        diag = nullptr;
    }

    void keepAliveAtTheConfiguredInterval()
    {
        frmTPLess *w = connectHosted(QStringLiteral("PendantType=2, TPLessInterval=500"));
        QVERIFY(w);
        QCOMPARE(w->keepAliveTimer()->interval(), 100);
        QVERIFY(w->keepAliveTimer()->isEnabled());
        QVERIFY(!w->isStateSelectorVisible());
        QTest::qWait(1300);
        // Expected at about 100, 600 and 1100 ms.
        const QStringList got = drain();
        QVERIFY2(got.size() >= 2 && got.size() <= 4, qPrintable(got.join(u' ')));
        QCOMPARE(got, QStringList(got.size(), QStringLiteral("0:2")));
        QCOMPARE(w->keepAliveTimer()->interval(), 500);
        QVERIFY(w->keepAliveTimer()->isRunning());
        QVERIFY(diag->boxes.isEmpty());
    }

    void standaloneSendsNothingAndErrorsAreIgnored()
    {
        g_Standalone = true;
        controller = std::make_shared<ProvController>();
        g_Controller = controller; // only to see that nothing arrives
        ShowPendant(2, 1, false, false);
        auto *w = pendantOf<frmTPLess>(PendantKind::TPLess);
        QVERIFY(w);
        QVERIFY(w->isVisible());
        emit w->keepAliveTimer()->Timer();
        QCOMPARE(w->keepAliveTimer()->interval(), 10000);
        QVERIFY(drain().isEmpty());

        // Hosted with the controller gone: the send fails, the timer goes on.
        g_Standalone = false;
        g_Controller.reset();
        g_TPLessInterval = 700;
        emit w->keepAliveTimer()->Timer();
        QCOMPARE(w->keepAliveTimer()->interval(), 700);
        QVERIFY(w->keepAliveTimer()->isRunning());
        QVERIFY(diag->boxes.isEmpty() && diag->debugLines.isEmpty());

        g_Standalone = true;
        QVERIFY(w->close());
        QVERIFY(!w->keepAliveTimer()->isEnabled());
        controller.reset();
    }

    void seeThroughLeavesOnlyTheText()
    {
        frmTPLess *w = connectHosted(QStringLiteral("PendantType=2"));
        QVERIFY(w);
        QVERIFY(w->isSeeThrough());
        QCOMPARE(w->label()->text(), QStringLiteral("TPLess"));
        QCOMPARE(w->size(), QSize(213, 49));
        const QRegion shape = w->mask();
        QVERIFY(!shape.isEmpty());
        // Inside the label, and far from filling it: glyph pixels only.
        QVERIFY(w->label()->geometry().contains(shape.boundingRect()));
        qint64 area = 0;
        for (const QRect &r : shape)
            area += qint64(r.width()) * r.height();
        QVERIFY(area > 40);
        QVERIFY(area < w->label()->width() * w->label()->height() / 3);
        QVERIFY(!shape.contains(QPoint(0, 0)));

        // What shows through the shape is the text, never the background colour.
        const QImage look = w->grab().toImage();
        QCOMPARE(look.pixelColor(0, 0), QColor(0, 255, 255));
        for (const QRect &r : shape) {
            for (int y = r.top(); y <= r.bottom(); ++y) {
                for (int x = r.left(); x <= r.right(); ++x)
                    QVERIFY(look.pixelColor(x, y) != QColor(0, 255, 255));
            }
        }
    }

    void debugModeKeepsTheDesignLook()
    {
        frmTPLess *w = connectHosted(QStringLiteral("PendantType=2, Debug"));
        QVERIFY(w);
        QVERIFY(w->DebugMode());
        QVERIFY(!w->isSeeThrough());
        QVERIFY(w->mask().isEmpty());
        QVERIFY(w->isStateSelectorVisible());
        QCOMPARE(w->stateSelector()->count(), 4);
        QCOMPARE(w->stateSelector()->itemText(2), QStringLiteral("TPLESS"));
        Variant r;
        QCOMPARE(controller->FinalExecute(QStringLiteral("show"), Variant(), r), 0);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QVERIFY(w->stateSelector()->isVisible());
        QVERIFY(w->grab().toImage().pixelColor(w->width() - 2, w->height() - 2) != QColor(0, 255, 255));
        // Choosing an entry is the user's view only; the keep-alive is the window's message.
        w->stateSelector()->setCurrentIndex(0);
        emit w->stateSelector()->activated(0);
        QVERIFY(drain().isEmpty());
    }

    void offersOnlyConnectAndDebugMode()
    {
        frmTPLess *w = connectHosted(QStringLiteral("PendantType=2"));
        QVERIFY(w);
        Variant v = Variant::array({1, 1});
        IPendantWindow &c = *w;
        QCOMPARE(statusOf([&] { c.SetLED(v); }), 438);
        QCOMPARE(statusOf([&] { c.SetBeep(v); }), 438);
        QCOMPARE(statusOf([&] { c.GetKeyState(); }), 438);
        QCOMPARE(statusOf([&] { c.SetInprocEventKey(v); }), 438);
        QCOMPARE(statusOf([&] { c.GetInprocEventKey(); }), 438);
        QCOMPARE(statusOf([&] { c.Disconnect(); }), 438);
        QCOMPARE(statusOf([&] { c.SetLCD(v); }), 438);
        QCOMPARE(statusOf([&] { c.DrawDisplay(v); }), 438);
        // The commands skip the pendant-less window.
        Variant r;
        QCOMPARE(controller->FinalExecute(QStringLiteral("led"), v, r), 0);
        QCOMPARE(controller->FinalExecute(QStringLiteral("getkeystate"), Variant(), r), 0);
        QVERIFY(r.isEmpty());
        // Hosted, the user cannot close it, so the keep-alive goes on.
        QVERIFY(!w->close());
        QVERIFY(w->keepAliveTimer()->isEnabled());
        w->Unload();
        QVERIFY(!w->keepAliveTimer()->isEnabled());
    }
};

QTEST_MAIN(TestTPLess)
#include "test_tpless.moc"
