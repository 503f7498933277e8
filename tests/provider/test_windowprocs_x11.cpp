// The window procedures as the window manager sees them on a real X server.
#include "provider/windowprocs.h"

#include <QGuiApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstring>

using namespace tarvisk;

namespace {

xcb_connection_t *connection()
{
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

xcb_atom_t atom(const char *name)
{
    xcb_connection_t *c = connection();
    auto *r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(r);
    return a;
}

QList<uint32_t> windowProperty(QWidget *w, const char *name)
{
    xcb_connection_t *c = connection();
    auto *r = xcb_get_property_reply(
        c, xcb_get_property(c, 0, xcb_window_t(w->winId()), atom(name), XCB_GET_PROPERTY_TYPE_ANY, 0, 64), nullptr);
    QList<uint32_t> out;
    if (r && r->format == 32) {
        const auto *data = static_cast<const uint32_t *>(xcb_get_property_value(r));
        for (int i = 0; i < xcb_get_property_value_length(r) / 4; ++i)
            out << data[i];
    }
    free(r);
    return out;
}

void settle()
{
    QTest::qWait(100);
}

} // namespace

class TestWindowProcsX11 : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs the X11 platform");
    }

    void hostedWindowHintsSurviveFlagChanges()
    {
        QWidget w;
        w.resize(100, 100);
        new QTimer(&w); // other children must not pass for the hint keeper
        RemoveSystemMenu(&w);
        SetNoActivate(&w);
        SetAppWindow(&w, false, true);
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        settle();
        // flags: functions and decorations; no function at all; border and title only.
        QCOMPARE(windowProperty(&w, "_MOTIF_WM_HINTS").mid(0, 3), (QList<uint32_t>{3, 0, 2 | 8}));
        QVERIFY(windowProperty(&w, "_NET_WM_STATE").contains(atom("_NET_WM_STATE_SKIP_TASKBAR")));
        const QList<uint32_t> hints = windowProperty(&w, "WM_HINTS");
        QVERIFY(hints.size() >= 2);
        QCOMPARE(hints[0] & 1u, 1u); // the input field is given
        QCOMPARE(hints[1], 0u);      // and says: no input focus
        SetZOrder(&w, kZTopmost);
        settle();
        QCOMPARE(windowProperty(&w, "_MOTIF_WM_HINTS").mid(0, 3), (QList<uint32_t>{3, 0, 2 | 8}));
    }

    void closeItemAloneKeepsMove()
    {
        QWidget w;
        w.resize(100, 100);
        RemoveCloseItem(&w);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        settle();
        const QList<uint32_t> motif = windowProperty(&w, "_MOTIF_WM_HINTS");
        QVERIFY(motif.size() >= 2);
        QCOMPARE(motif[1] & 32u, 0u); // no close
        QCOMPARE(motif[1] & 4u, 4u);  // move stays
    }

    void appWindowKeepsItsTaskbarEntry()
    {
        QWidget w;
        w.resize(100, 100);
        SetAppWindow(&w, true, true);
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        settle();
        QVERIFY(!windowProperty(&w, "_NET_WM_STATE").contains(atom("_NET_WM_STATE_SKIP_TASKBAR")));
    }

    void restackAfterAnotherWindow()
    {
        QWidget a, b;
        a.setGeometry(0, 0, 100, 100);
        b.setGeometry(50, 50, 100, 100);
        a.show();
        b.show();
        QVERIFY(QTest::qWaitForWindowExposed(&b));
        settle();
        // Without a window manager the request restacks at once: b goes just below a.
        SetZOrder(&b, qintptr(a.winId()));
        settle();
        xcb_connection_t *c = connection();
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        auto *tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
        QVERIFY(tree);
        const xcb_window_t *children = xcb_query_tree_children(tree);
        int ia = -1, ib = -1;
        for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
            if (children[i] == xcb_window_t(a.winId()))
                ia = i;
            if (children[i] == xcb_window_t(b.winId()))
                ib = i;
        }
        free(tree);
        QVERIFY(ia >= 0 && ib >= 0);
        QVERIFY2(ib < ia, "bottom-to-top order: b must now lie below a");
        QCOMPARE(zOrderRequest(&b), QStringLiteral("after:%1").arg(qintptr(a.winId())));
    }
};

QTEST_MAIN(TestWindowProcsX11)
#include "test_windowprocs_x11.moc"
