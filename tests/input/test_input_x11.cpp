// The keyboard on a real X server: the server's own key repeat, and what Shift makes of a digit.
// Run under Xvfb (tests/with-xvfb.sh); the keys go in through XTest as a user's would.
#include "inputtest.h"
#include "pendant/frmtp.h"
#include "provider/provstate.h"

#include <QApplication>
#include <QTest>
#include <QWindow>

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <cstdlib>

using namespace tarvisk;
using namespace tarvisk::inputtest;

namespace {

xcb_connection_t *connection()
{
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

uint8_t keycodeOf(xcb_keysym_t keysym)
{
    xcb_connection_t *c = connection();
    const xcb_setup_t *setup = xcb_get_setup(c);
    const uint8_t first = setup->min_keycode;
    const int count = setup->max_keycode - first + 1;
    auto *map = xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, first, uint8_t(count)), nullptr);
    uint8_t found = 0;
    if (map) {
        const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(map);
        for (int i = 0; i < count * map->keysyms_per_keycode && !found; ++i) {
            if (syms[i] == keysym)
                found = uint8_t(first + i / map->keysyms_per_keycode);
        }
    }
    std::free(map);
    return found;
}

void fakeKey(uint8_t type, uint8_t keycode)
{
    xcb_test_fake_input(connection(), type, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_flush(connection());
}

// Counts the key events a window gets.
struct KeyCounter : QObject
{
    int presses = 0;
    int releases = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        presses += e->type() == QEvent::KeyPress;
        releases += e->type() == QEvent::KeyRelease;
        return false;
    }
};

} // namespace

class TestInputX11 : public QObject
{
    Q_OBJECT

    std::shared_ptr<RecordingLink> link;
    std::unique_ptr<ConfigHome> home;
    frmTP *tp = nullptr;

    // The key states sent so far, each as its codes.
    QList<QList<int>> sent()
    {
        QList<QList<int>> out;
        for (const QByteArray &b : std::as_const(link->bitmaps))
            out << codesOf(b);
        return out;
    }

private slots:
    void init()
    {
        testing::startPendantProcess();
        home = std::make_unique<ConfigHome>();
        link = std::make_shared<RecordingLink>();
        tp = static_cast<frmTP *>(startStandalone(0, link));
        QVERIFY(tp);
        QTRY_VERIFY(QApplication::focusWindow() == tp->windowHandle());
    }
    void cleanup()
    {
        resetProcessState();
        home.reset();
    }

    // Held past the server's repeat delay, a key is pressed once and let go once. The server
    // repeats from 660 ms on, 25 times a second; asked to, it repeats presses alone, where it would
    // otherwise send a release before each, which the toolkit does not always mark as a repeat.
    void heldKeyRepeatsNothing()
    {
        const uint8_t ret = keycodeOf(0xff0d); // Return
        QVERIFY(ret);
        KeyCounter counter;
        tp->windowHandle()->installEventFilter(&counter);
        fakeKey(XCB_KEY_PRESS, ret);
        QTRY_COMPARE(sent(), QList<QList<int>>{{14}});
        QTest::qWait(1500);
        QVERIFY(counter.presses > 5);
        QCOMPARE(counter.releases, 0);
        fakeKey(XCB_KEY_RELEASE, ret);
        QTRY_COMPARE(sent(), (QList<QList<int>>{{14}, {}}));
        QTest::qWait(100);
        QCOMPARE(sent().size(), 2);
    }

    // Shift turns "1" into "!"; the key is still J1+, and lets go when "1" does.
    void shiftedDigitIsTheSameKey()
    {
        const uint8_t shift = keycodeOf(0xffe1); // Shift_L
        const uint8_t one = keycodeOf('1');
        QVERIFY(shift && one);
        fakeKey(XCB_KEY_PRESS, shift);
        fakeKey(XCB_KEY_PRESS, one);
        QTRY_COMPARE(sent(), (QList<QList<int>>{{20}, {20, 51}}));
        fakeKey(XCB_KEY_RELEASE, shift);
        fakeKey(XCB_KEY_RELEASE, one);
        QTRY_COMPARE(sent(), (QList<QList<int>>{{20}, {20, 51}, {51}, {}}));
    }
};

QTEST_MAIN(TestInputX11)
#include "test_input_x11.moc"
