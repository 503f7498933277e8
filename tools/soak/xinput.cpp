#include "xinput.h"

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <cstdlib>
#include <cstring>

namespace tarvisk::soak {

XInput::~XInput()
{
    if (m_connection)
        xcb_disconnect(m_connection);
}

bool XInput::open(QString *error)
{
    int screenNumber = 0;
    m_connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(m_connection)) {
        *error = QStringLiteral("cannot connect to the X server of DISPLAY=%1")
                     .arg(QString::fromLocal8Bit(std::getenv("DISPLAY")));
        xcb_disconnect(m_connection);
        m_connection = nullptr;
        return false;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    m_root = it.data->root;
    m_screen = QRect(0, 0, it.data->width_in_pixels, it.data->height_in_pixels);

    xcb_test_get_version_reply_t *version =
        xcb_test_get_version_reply(m_connection, xcb_test_get_version(m_connection, 2, 2), nullptr);
    if (!version) {
        *error = QStringLiteral("the X server has no XTest extension");
        return false;
    }
    std::free(version);
    return true;
}

uint32_t XInput::atom(const char *name)
{
    xcb_intern_atom_reply_t *r = xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, uint16_t(std::strlen(name)), name), nullptr);
    const uint32_t a = r ? r->atom : 0;
    std::free(r);
    return a;
}

QByteArray XInput::property(uint32_t window, uint32_t prop)
{
    xcb_get_property_reply_t *r = xcb_get_property_reply(
        m_connection, xcb_get_property(m_connection, 0, window, prop, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr);
    QByteArray value;
    if (r) {
        value = QByteArray(static_cast<const char *>(xcb_get_property_value(r)), xcb_get_property_value_length(r));
        std::free(r);
    }
    return value;
}

uint32_t XInput::findWindow(const QString &title)
{
    const QByteArray wanted = title.toUtf8();
    const uint32_t netWmName = atom("_NET_WM_NAME");
    xcb_query_tree_reply_t *tree = xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, m_root), nullptr);
    if (!tree)
        return 0;
    uint32_t found = 0;
    const xcb_window_t *children = xcb_query_tree_children(tree);
    for (int i = 0; i < xcb_query_tree_children_length(tree) && !found; ++i) {
        const xcb_window_t w = children[i];
        xcb_get_window_attributes_reply_t *a =
            xcb_get_window_attributes_reply(m_connection, xcb_get_window_attributes(m_connection, w), nullptr);
        const bool viewable = a && a->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(a);
        if (!viewable)
            continue;
        // A standalone pendant adds the link's health after its caption: "CAPTION (no controller at ...)".
        for (const QByteArray &name : {property(w, netWmName), property(w, XCB_ATOM_WM_NAME)}) {
            if (name == wanted || name.startsWith(wanted + " ("))
                found = w;
        }
    }
    std::free(tree);
    return found;
}

bool XInput::windowRect(uint32_t window, QRect *rect)
{
    xcb_get_geometry_reply_t *g = xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr);
    if (!g)
        return false;
    const QSize size(g->width, g->height);
    std::free(g);
    xcb_translate_coordinates_reply_t *t = xcb_translate_coordinates_reply(
        m_connection, xcb_translate_coordinates(m_connection, window, m_root, 0, 0), nullptr);
    if (!t)
        return false;
    *rect = QRect(QPoint(t->dst_x, t->dst_y), size);
    std::free(t);
    return true;
}

void XInput::moveTo(QPoint p)
{
    xcb_test_fake_input(m_connection, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, m_root, int16_t(p.x()), int16_t(p.y()),
                        0);
    xcb_flush(m_connection);
}

uint8_t XInput::keycodeOf(uint32_t keysym)
{
    const xcb_setup_t *setup = xcb_get_setup(m_connection);
    const uint8_t first = setup->min_keycode;
    const int count = setup->max_keycode - first + 1;
    xcb_get_keyboard_mapping_reply_t *map = xcb_get_keyboard_mapping_reply(
        m_connection, xcb_get_keyboard_mapping(m_connection, first, uint8_t(count)), nullptr);
    if (!map)
        return 0;
    const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(map);
    uint8_t found = 0;
    for (int i = 0; i < count * map->keysyms_per_keycode && !found; ++i) {
        if (syms[i] == keysym)
            found = uint8_t(first + i / map->keysyms_per_keycode);
    }
    std::free(map);
    return found;
}

void XInput::keyDown(uint8_t keycode)
{
    xcb_test_fake_input(m_connection, XCB_KEY_PRESS, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_flush(m_connection);
}

void XInput::keyUp(uint8_t keycode)
{
    xcb_test_fake_input(m_connection, XCB_KEY_RELEASE, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_flush(m_connection);
}

void XInput::press(int button)
{
    xcb_test_fake_input(m_connection, XCB_BUTTON_PRESS, uint8_t(button), XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_flush(m_connection);
}

void XInput::release(int button)
{
    xcb_test_fake_input(m_connection, XCB_BUTTON_RELEASE, uint8_t(button), XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_flush(m_connection);
}

void XInput::requestClose(uint32_t window)
{
    xcb_client_message_event_t e;
    std::memset(&e, 0, sizeof e);
    e.response_type = XCB_CLIENT_MESSAGE;
    e.format = 32;
    e.window = window;
    e.type = atom("WM_PROTOCOLS");
    e.data.data32[0] = atom("WM_DELETE_WINDOW");
    e.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(m_connection, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&e));
    xcb_flush(m_connection);
}

void XInput::sync()
{
    std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

} // namespace tarvisk::soak
