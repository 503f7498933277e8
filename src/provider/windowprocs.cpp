// The one place with windowing-system specific code. Everything is recorded on the widget
// first (dynamic properties), then applied: Qt window flags everywhere, and on X11 the Motif
// window manager hints and _NET_WM_STATE, re-applied to every native window the widget gets
// (Qt replaces the X window on some flag changes) and whenever it is about to be mapped,
// since Qt rewrites its own hints at those moments. Requests that a window manager decides
// (stacking, states of a mapped window) go to it the EWMH way; the direct X request is made
// only where no window manager runs.
#include "provider/windowprocs.h"

#include "common/proverror.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>
// The XKB header names a member "explicit", a C++ keyword.
#define explicit xkb_explicit
#include <xcb/xkb.h>
#undef explicit

#include <cstring>

namespace tarvisk {

namespace {

const char *const kMenuProperty = "tarvisk.systemMenu";
const char *const kNoActivateProperty = "tarvisk.noActivate";
const char *const kAppWindowProperty = "tarvisk.appWindow";
const char *const kZOrderProperty = "tarvisk.zOrder";
// A restack that waits for the window manager to take the window on.
const char *const kPendingRestackProperty = "tarvisk.pendingRestack";
// "above", "below" or nothing: the window manager state the last SetZOrder asked for.
const char *const kStackingProperty = "tarvisk.stacking";
// The X window the hints were last written to.
const char *const kAppliedWindowProperty = "tarvisk.appliedWindow";

QStringList defaultMenu()
{
    return {QStringLiteral("Restore"),  QStringLiteral("Move"),     QStringLiteral("Size"),
            QStringLiteral("Minimize"), QStringLiteral("Maximize"), QStringLiteral("Close")};
}

bool isX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

bool isWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

[[noreturn]] void refuseOnWayland(const QString &what)
{
    raiseError(ErrWindowSystem,
               QStringLiteral("%1 is not possible on Wayland, which lets no program place, stack or identify its "
                              "windows; run the provider on X11 (QT_QPA_PLATFORM=xcb)")
                   .arg(what));
}

xcb_connection_t *xcbConnection()
{
    if (!isX11())
        return nullptr;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootWindow(xcb_connection_t *c)
{
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

xcb_atom_t internAtom(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    if (!reply)
        return XCB_ATOM_NONE;
    const xcb_atom_t atom = reply->atom;
    free(reply);
    return atom;
}

// A 32-bit property of a window as a list of values; empty when it is not set.
QList<uint32_t> property32(xcb_connection_t *c, xcb_window_t window, xcb_atom_t property, xcb_atom_t type)
{
    QList<uint32_t> values;
    xcb_get_property_reply_t *reply =
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, type, 0, 4096), nullptr);
    if (reply) {
        if (reply->format == 32) {
            const auto *data = static_cast<const uint32_t *>(xcb_get_property_value(reply));
            for (int i = 0; i < xcb_get_property_value_length(reply) / 4; ++i)
                values << data[i];
        }
        free(reply);
    }
    return values;
}

// The window manager's check window, or none when no (EWMH) window manager runs: the root
// names a window that names itself.
xcb_window_t supportingWmWindow(xcb_connection_t *c)
{
    const xcb_atom_t check = internAtom(c, "_NET_SUPPORTING_WM_CHECK");
    const QList<uint32_t> fromRoot = property32(c, rootWindow(c), check, XCB_ATOM_WINDOW);
    if (fromRoot.isEmpty() || fromRoot.first() == XCB_WINDOW_NONE)
        return XCB_WINDOW_NONE;
    const QList<uint32_t> fromChild = property32(c, fromRoot.first(), check, XCB_ATOM_WINDOW);
    return fromChild.value(0) == fromRoot.first() ? fromRoot.first() : xcb_window_t(XCB_WINDOW_NONE);
}

// The name the running window manager gives its check window (_NET_WM_NAME), empty when none runs.
QString windowManagerName(xcb_connection_t *c)
{
    const xcb_window_t wm = supportingWmWindow(c);
    if (wm == XCB_WINDOW_NONE)
        return {};
    QString name;
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, wm, internAtom(c, "_NET_WM_NAME"), internAtom(c, "UTF8_STRING"), 0, 256), nullptr);
    if (reply) {
        if (reply->format == 8)
            name = QString::fromUtf8(static_cast<const char *>(xcb_get_property_value(reply)),
                                     xcb_get_property_value_length(reply));
        free(reply);
    }
    return name;
}

// Whether the window manager keeps minimize on a normal window whatever its Motif hints say, and
// takes it away only from a toolbar (a tool kept beside another program's window). Openbox does;
// metacity and xfwm4 honour the hints, and metacity draws no frame, hence no caption, around a
// toolbar, so no other window manager is asked for that type. The type is read at the map.
bool minimizeOnlyOffByType(xcb_connection_t *c)
{
    return windowManagerName(c).compare(QLatin1String("Openbox"), Qt::CaseInsensitive) == 0;
}

bool isMapped(xcb_connection_t *c, xcb_window_t id)
{
    xcb_get_window_attributes_reply_t *attrs =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, id), nullptr);
    const bool mapped = attrs && attrs->map_state != XCB_MAP_STATE_UNMAPPED;
    free(attrs);
    return mapped;
}

// A client message to the root window, as EWMH asks for requests to the window manager.
void sendToWindowManager(xcb_connection_t *c, xcb_window_t window, xcb_atom_t type,
                         std::initializer_list<uint32_t> data)
{
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    int i = 0;
    for (uint32_t value : data)
        event.data.data32[i++] = value;
    xcb_send_event(c, 0, rootWindow(c), XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&event));
}

// Sets or clears one _NET_WM_STATE: on a window the window manager does not manage yet the
// property is written (Qt keeps foreign states when it maps), on a mapped one it is asked for.
void setNetWmState(xcb_connection_t *c, xcb_window_t id, const char *stateName, bool on)
{
    const xcb_atom_t state = internAtom(c, "_NET_WM_STATE");
    const xcb_atom_t which = internAtom(c, stateName);
    if (isMapped(c, id)) {
        enum { Remove = 0, Add = 1 };
        sendToWindowManager(c, id, state, {uint32_t(on ? Add : Remove), which, 0, 2, 0});
        return;
    }
    QList<uint32_t> atoms = property32(c, id, state, XCB_ATOM_ATOM);
    atoms.removeAll(which);
    if (on)
        atoms << which;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32, uint32_t(atoms.size()),
                        atoms.constData());
}

// The X window the widget has now. Qt can replace a window's native window behind the widget's
// back (on some flag changes), and QWidget::winId() then still names the old one; the QWindow
// always knows the current one. None when no native window exists.
xcb_window_t currentWindow(const QWidget *w)
{
    const QWindow *handle = w->windowHandle();
    return handle && handle->handle() ? xcb_window_t(handle->winId()) : xcb_window_t(XCB_WINDOW_NONE);
}

bool isFixedSize(const QWidget *w)
{
    return w->minimumSize() == w->maximumSize();
}

// What the platform offers: the system menu, less resizing and maximizing on a window whose
// size cannot change.
QStringList offeredItems(const QWidget *w)
{
    QStringList items = systemMenuItems(w);
    if (isFixedSize(w)) {
        items.removeAll(QStringLiteral("Size"));
        items.removeAll(QStringLiteral("Maximize"));
    }
    return items;
}

// Motif hints: which actions the window manager offers and which decorations it draws.
enum : uint32_t {
    MwmHintsFunctions = 1,
    MwmHintsDecorations = 2,
    MwmFuncResize = 2,
    MwmFuncMove = 4,
    MwmFuncMinimize = 8,
    MwmFuncMaximize = 16,
    MwmFuncClose = 32,
    MwmDecorBorder = 2,
    MwmDecorResize = 4,
    MwmDecorTitle = 8,
    MwmDecorMenu = 16,
    MwmDecorMinimize = 32,
    MwmDecorMaximize = 64,
};

void applyX11(QWidget *w)
{
    xcb_connection_t *c = xcbConnection();
    if (!c)
        return;
    const xcb_window_t id = currentWindow(w);
    if (id == XCB_WINDOW_NONE)
        return;
    const QStringList items = offeredItems(w);

    uint32_t functions = 0;
    uint32_t decorations = MwmDecorBorder | MwmDecorTitle;
    if (items.contains(QLatin1String("Move")))
        functions |= MwmFuncMove;
    if (items.contains(QLatin1String("Size"))) {
        functions |= MwmFuncResize;
        decorations |= MwmDecorResize;
    }
    if (items.contains(QLatin1String("Minimize"))) {
        functions |= MwmFuncMinimize;
        decorations |= MwmDecorMinimize;
    }
    if (items.contains(QLatin1String("Maximize"))) {
        functions |= MwmFuncMaximize;
        decorations |= MwmDecorMaximize;
    }
    if (items.contains(QLatin1String("Close")))
        functions |= MwmFuncClose;
    if (!items.isEmpty())
        decorations |= MwmDecorMenu;
    const uint32_t hints[5] = {MwmHintsFunctions | MwmHintsDecorations, functions, decorations, 0, 0};
    const xcb_atom_t motif = internAtom(c, "_MOTIF_WM_HINTS");
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, motif, motif, 32, 5, hints);
    if (!items.contains(QLatin1String("Minimize")) && minimizeOnlyOffByType(c)) {
        const xcb_atom_t type = internAtom(c, "_NET_WM_WINDOW_TYPE");
        const xcb_atom_t toolbar = internAtom(c, "_NET_WM_WINDOW_TYPE_TOOLBAR");
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, type, XCB_ATOM_ATOM, 32, 1, &toolbar);
    }

    // The taskbar entry: _NET_WM_STATE_SKIP_TASKBAR (and the pager's) on a window that was made
    // no application window; a window never told keeps its entry, as a standalone pendant does.
    const bool skip = w->property(kAppWindowProperty).isValid() && !isAppWindow(w);
    setNetWmState(c, id, "_NET_WM_STATE_SKIP_TASKBAR", skip);
    setNetWmState(c, id, "_NET_WM_STATE_SKIP_PAGER", skip);
    // Kept on top or below: asked for here, not through Qt's stays-on-top flags, whose change
    // makes Qt replace the X window at its next show (losing every hint above).
    const QString stacking = w->property(kStackingProperty).toString();
    setNetWmState(c, id, "_NET_WM_STATE_ABOVE", stacking == QLatin1String("above"));
    setNetWmState(c, id, "_NET_WM_STATE_BELOW", stacking == QLatin1String("below"));
    w->setProperty(kAppliedWindowProperty, qulonglong(id));
    xcb_flush(c);
}

Qt::WindowFlags flagsFor(const QWidget *w)
{
    Qt::WindowFlags f = w->windowFlags();
    const QStringList items = offeredItems(w);
    f |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    f.setFlag(Qt::WindowSystemMenuHint, !items.isEmpty());
    f.setFlag(Qt::WindowCloseButtonHint, items.contains(QLatin1String("Close")));
    f.setFlag(Qt::WindowMinimizeButtonHint, items.contains(QLatin1String("Minimize")));
    f.setFlag(Qt::WindowMaximizeButtonHint, items.contains(QLatin1String("Maximize")));
    f.setFlag(Qt::WindowDoesNotAcceptFocus, hasNoActivate(w));
    return f;
}

void restackBelow(QWidget *w, xcb_window_t sibling);

// Keeps the platform in step with the recorded state while the window lives: on the widget
// (a new native window, a show) and on its QWindow (a new platform surface, the first expose
// after the window manager took the window on).
class HintKeeper : public QObject
{
public:
    HintKeeper(QWidget *w)
        : QObject(w)
        , m_widget(w)
    {
        setObjectName(name());
        w->installEventFilter(this);
        watchHandle();
    }

    static QString name() { return QStringLiteral("tarvisk-hint-keeper"); }

    void watchHandle()
    {
        QWindow *handle = m_widget->windowHandle();
        if (handle && handle != m_handle) {
            m_handle = handle;
            handle->installEventFilter(this);
        }
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::WinIdChange:
        case QEvent::Show:
            watchHandle();
            applyX11(m_widget);
            break;
        case QEvent::PlatformSurface:
            if (watched == m_handle)
                applyX11(m_widget);
            break;
        case QEvent::Expose:
            if (watched == m_handle)
                exposeChanged();
            break;
        default:
            break;
        }
        return false;
    }

private:
    // Every time the window manager maps the window (the window comes to be exposed), the hints
    // are asked for again. The states written before a map do not always last until then: a
    // window manager that takes in a hide after the show had been asked for (it withdraws the
    // window, and deletes its _NET_WM_STATE as EWMH says) manages the window anew without them.
    // An expose while the window is still unmapped (the one Qt reports for the hide itself) is
    // no such moment. A native window that Qt made anew inside a show never announced itself
    // either, and is caught here too.
    void exposeChanged()
    {
        const bool exposed = m_handle->isExposed();
        const bool newlyExposed = exposed && !m_exposed;
        m_exposed = exposed;
        if (currentWindow(m_widget) == XCB_WINDOW_NONE)
            return;
        if (newlyExposed || m_widget->property(kAppliedWindowProperty).toULongLong() != currentWindow(m_widget))
            applyX11(m_widget);
        if (exposed) {
            const QVariant pending = m_widget->property(kPendingRestackProperty);
            if (pending.isValid()) {
                m_widget->setProperty(kPendingRestackProperty, QVariant());
                restackBelow(m_widget, xcb_window_t(pending.toULongLong()));
            }
        }
    }

    QWidget *m_widget;
    QPointer<QWindow> m_handle;
    bool m_exposed = false;
};

void apply(QWidget *w)
{
    // Found by name: the keeper has no meta-object of its own to be told apart by type.
    if (auto *keeper =
            static_cast<HintKeeper *>(w->findChild<QObject *>(HintKeeper::name(), Qt::FindDirectChildrenOnly)))
        keeper->watchHandle();
    else
        new HintKeeper(w);
    const Qt::WindowFlags f = flagsFor(w);
    if (f != w->windowFlags()) {
        // overrideWindowFlags keeps a visible window visible, unlike setWindowFlags.
        w->overrideWindowFlags(f);
        if (QWindow *handle = w->windowHandle())
            handle->setFlags(f);
    }
    applyX11(w);
}

void removeItem(QWidget *w, const QString &item)
{
    QStringList items = systemMenuItems(w);
    items.removeAll(item);
    w->setProperty(kMenuProperty, items);
    apply(w);
}

void setStacking(QWidget *w, bool top, bool bottom)
{
    if (isX11()) {
        w->setProperty(kStackingProperty, top ? QStringLiteral("above") : bottom ? QStringLiteral("below") : QString());
        apply(w);
        return;
    }
    Qt::WindowFlags f = w->windowFlags();
    f.setFlag(Qt::WindowStaysOnTopHint, top);
    f.setFlag(Qt::WindowStaysOnBottomHint, bottom);
    if (f != w->windowFlags()) {
        w->overrideWindowFlags(f);
        if (QWindow *handle = w->windowHandle())
            handle->setFlags(f);
    }
    apply(w);
}

void showWithoutActivating(QWidget *w)
{
    const bool was = w->testAttribute(Qt::WA_ShowWithoutActivating);
    w->setAttribute(Qt::WA_ShowWithoutActivating, true);
    w->show();
    w->setAttribute(Qt::WA_ShowWithoutActivating, was || hasNoActivate(w));
}

void restackBelow(QWidget *w, xcb_window_t sibling)
{
    xcb_connection_t *c = xcbConnection();
    if (!c)
        return;
    const xcb_window_t id = currentWindow(w);
    if (id == XCB_WINDOW_NONE)
        return;
    if (supportingWmWindow(c) != XCB_WINDOW_NONE) {
        // Source 2: the request stands for the user's own choice, as a pager's does.
        enum { SourcePager = 2, StackBelow = XCB_STACK_MODE_BELOW };
        sendToWindowManager(c, id, internAtom(c, "_NET_RESTACK_WINDOW"), {SourcePager, sibling, StackBelow, 0, 0});
    } else {
        const uint32_t values[2] = {sibling, XCB_STACK_MODE_BELOW};
        xcb_configure_window(c, id, XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
    }
    xcb_flush(c);
}

} // namespace

QStringList systemMenuItems(const QWidget *window)
{
    if (!window)
        return {};
    const QVariant v = window->property(kMenuProperty);
    return v.isValid() ? v.toStringList() : defaultMenu();
}

void RemoveCloseItem(QWidget *window)
{
    if (window)
        removeItem(window, QStringLiteral("Close"));
}

void RemoveMoveItem(QWidget *window)
{
    if (window)
        removeItem(window, QStringLiteral("Move"));
}

void RemoveSystemMenu(QWidget *window)
{
    if (!window)
        return;
    RemoveCloseItem(window);
    RemoveMoveItem(window);
    window->setProperty(kMenuProperty, QStringList());
    apply(window);
}

void ApplyWindowHints(QWidget *window)
{
    if (window)
        apply(window);
}

void SetNoActivate(QWidget *window)
{
    if (!window)
        return;
    window->setProperty(kNoActivateProperty, true);
    window->setAttribute(Qt::WA_ShowWithoutActivating, true);
    apply(window);
}

bool hasNoActivate(const QWidget *window)
{
    return window && window->property(kNoActivateProperty).toBool();
}

void SetAppWindow(QWidget *window, bool appWindow, bool show)
{
    if (!window)
        return;
    const bool wasVisible = window->isVisible();
    if (wasVisible)
        window->hide();
    window->setProperty(kAppWindowProperty, appWindow);
    apply(window);
    if (show || wasVisible)
        window->show();
}

bool isAppWindow(const QWidget *window)
{
    return window && window->property(kAppWindowProperty).toBool();
}

void SetZOrder(QWidget *window, qintptr insertAfter)
{
    if (!window || insertAfter == 0)
        return;
    if (isWayland() && insertAfter != kZNoTopmost)
        refuseOnWayland(insertAfter == kZTopmost  ? QStringLiteral("Keeping a window on top")
                        : insertAfter == kZBottom ? QStringLiteral("Keeping a window at the bottom")
                                                  : QStringLiteral("Stacking a window below another one"));
    QString request;
    if (insertAfter == kZTopmost) {
        setStacking(window, true, false);
        request = QStringLiteral("topmost");
    } else if (insertAfter == kZNoTopmost) {
        setStacking(window, false, false);
        request = QStringLiteral("notopmost");
    } else if (insertAfter == kZBottom) {
        setStacking(window, false, true);
        request = QStringLiteral("bottom");
    } else {
        // Placed among the normal windows: neither kept on top nor at the bottom any more.
        setStacking(window, false, false);
        request = QStringLiteral("after:%1").arg(insertAfter);
    }
    window->setProperty(kZOrderProperty, request);
    if (isMinimized(window))
        RestoreWindow(window);
    showWithoutActivating(window);
    if (insertAfter == kZTopmost) {
        window->raise();
    } else if (insertAfter == kZBottom) {
        window->lower();
    } else if (insertAfter != kZNoTopmost && isX11()) {
        const auto sibling = xcb_window_t(quint32(insertAfter));
        xcb_connection_t *c = xcbConnection();
        const xcb_window_t id = currentWindow(window);
        if (c && id != XCB_WINDOW_NONE && isMapped(c, id)) {
            restackBelow(window, sibling);
        } else {
            // A window the window manager has not taken on yet cannot be restacked: the
            // request waits for the first expose.
            window->setProperty(kPendingRestackProperty, qulonglong(sibling));
            apply(window);
        }
    }
}

QString zOrderRequest(const QWidget *window)
{
    return window ? window->property(kZOrderProperty).toString() : QString();
}

bool isMinimized(const QWidget *window)
{
    if (!window || !window->isVisible())
        return false;
    if (window->windowState() & Qt::WindowMinimized)
        return true;
    xcb_connection_t *c = xcbConnection();
    const xcb_window_t id = currentWindow(window);
    if (!c || id == XCB_WINDOW_NONE)
        return false;
    // WM_STATE as the window manager wrote it: 3 is iconic.
    const xcb_atom_t wmState = internAtom(c, "WM_STATE");
    const QList<uint32_t> state = property32(c, id, wmState, wmState);
    return state.value(0) == 3;
}

void RestoreWindow(QWidget *window)
{
    if (!isMinimized(window))
        return;
    const bool was = window->testAttribute(Qt::WA_ShowWithoutActivating);
    window->setAttribute(Qt::WA_ShowWithoutActivating, true);
    // Qt maps the window again when it leaves the minimized state, which a window manager
    // takes as the request to restore it (ICCCM). The direct map covers a change Qt missed.
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    xcb_connection_t *c = xcbConnection();
    if (c && currentWindow(window) != XCB_WINDOW_NONE) {
        xcb_map_window(c, currentWindow(window));
        xcb_flush(c);
    }
    window->setAttribute(Qt::WA_ShowWithoutActivating, was);
}

qint32 NativeWindowHandle(QWidget *window)
{
    if (isWayland())
        refuseOnWayland(QStringLiteral("Naming a window to another program"));
    window->winId(); // makes the native window when there is none yet
    return qint32(quint32(window->windowHandle()->winId()));
}

void MoveWindow(QWidget *window, const QPoint &pos)
{
    if (isWayland())
        refuseOnWayland(QStringLiteral("Moving a window"));
    window->move(pos);
}

bool compositorActive()
{
    if (isWayland())
        return true;
    xcb_connection_t *c = xcbConnection();
    if (!c)
        return false;
    // The manager of the first screen, the one the pendant windows open on.
    xcb_get_selection_owner_reply_t *owner =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, internAtom(c, "_NET_WM_CM_S0")), nullptr);
    const bool active = owner && owner->owner != XCB_WINDOW_NONE;
    free(owner);
    return active;
}

bool windowManagerRunning()
{
    xcb_connection_t *c = xcbConnection();
    return c && supportingWmWindow(c) != XCB_WINDOW_NONE;
}

bool x11ServerAnswers(const QByteArray &display)
{
    if (display.isEmpty())
        return false;
    xcb_connection_t *c = xcb_connect(display.constData(), nullptr);
    const bool ok = c && xcb_connection_has_error(c) == 0;
    if (c)
        xcb_disconnect(c);
    return ok;
}

bool UseDetectableAutoRepeat()
{
    if (!isX11())
        return true;
    xcb_connection_t *c = xcbConnection();
    if (!c)
        return false;
    // The extension is in use on the toolkit's connection already; asking again is harmless and
    // makes the request below valid on any connection.
    free(xcb_xkb_use_extension_reply(c, xcb_xkb_use_extension(c, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION),
                                     nullptr));
    const uint32_t flag = XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT;
    xcb_xkb_per_client_flags_reply_t *reply = xcb_xkb_per_client_flags_reply(
        c, xcb_xkb_per_client_flags(c, XCB_XKB_ID_USE_CORE_KBD, flag, flag, 0, 0, 0), nullptr);
    const bool on = reply && (reply->value & flag);
    free(reply);
    return on;
}

} // namespace tarvisk
