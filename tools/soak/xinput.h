#pragma once

#include <QByteArray>
#include <QPoint>
#include <QRect>
#include <QString>

#include <cstdint>

struct xcb_connection_t;

namespace tarvisk::soak {

// Real pointer input on an X server through the XTest extension: the events arrive at the
// windows exactly as a person's mouse would make them, grabs and crossings included.
class XInput
{
public:
    XInput() = default;
    ~XInput();
    XInput(const XInput &) = delete;
    XInput &operator=(const XInput &) = delete;

    // Connects to $DISPLAY; false with a reason when there is no server or no XTest.
    bool open(QString *error);

    // The viewable top-level window whose title is `title`, or `title` followed by a bracketed note
    // (the link health a standalone pendant shows); 0 when there is none.
    uint32_t findWindow(const QString &title);
    // The window's client area on the root window; false when the window is gone.
    bool windowRect(uint32_t window, QRect *rect);
    QRect screenRect() const { return m_screen; }

    void moveTo(QPoint rootPosition);
    // The key code that types `keysym` (X11 keysym numbers, e.g. 0xffe3 Control_L); 0 if none.
    uint8_t keycodeOf(uint32_t keysym);
    void keyDown(uint8_t keycode);
    void keyUp(uint8_t keycode);
    void press(int button = 1);
    void release(int button = 1);
    // Asks the window to close as a window manager's close box does (WM_DELETE_WINDOW).
    void requestClose(uint32_t window);
    // Returns once the server has handled every request sent before.
    void sync();

private:
    uint32_t atom(const char *name);
    QByteArray property(uint32_t window, uint32_t property);

    xcb_connection_t *m_connection = nullptr;
    uint32_t m_root = 0;
    QRect m_screen;
};

} // namespace tarvisk::soak
