// The one place with windowing-system specific code. Everything is recorded on the widget
// first (dynamic properties), then applied: Qt window flags everywhere, and on X11 the
// Motif window manager hints and _NET_WM_STATE, re-applied whenever the native window is
// (re)created or about to be mapped, since Qt rewrites its own hints at those moments.
#include "provider/windowprocs.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstring>

namespace tarvisk {

namespace {

const char *const kMenuProperty = "tarvisk.systemMenu";
const char *const kNoActivateProperty = "tarvisk.noActivate";
const char *const kAppWindowProperty = "tarvisk.appWindow";
const char *const kZOrderProperty = "tarvisk.zOrder";

QStringList defaultMenu()
{
    return {QStringLiteral("Restore"),  QStringLiteral("Move"),     QStringLiteral("Size"),
            QStringLiteral("Minimize"), QStringLiteral("Maximize"), QStringLiteral("Close")};
}

bool isX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

xcb_connection_t *xcbConnection()
{
    if (!isX11())
        return nullptr;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
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
    MwmDecorTitle = 8,
    MwmDecorMenu = 16,
    MwmDecorMinimize = 32,
    MwmDecorMaximize = 64,
};

void applyX11(QWidget *w)
{
    xcb_connection_t *c = xcbConnection();
    if (!c || !w->testAttribute(Qt::WA_WState_Created))
        return;
    const xcb_window_t id = xcb_window_t(w->winId());
    const QStringList items = systemMenuItems(w);

    uint32_t functions = 0;
    uint32_t decorations = MwmDecorBorder | MwmDecorTitle;
    if (items.contains(QLatin1String("Move")))
        functions |= MwmFuncMove;
    if (items.contains(QLatin1String("Size")))
        functions |= MwmFuncResize;
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

    // The taskbar entry: _NET_WM_STATE_SKIP_TASKBAR on a window that is no application
    // window. Written while unmapped; Qt keeps foreign states when it maps the window.
    if (!w->isVisible()) {
        const xcb_atom_t state = internAtom(c, "_NET_WM_STATE");
        const xcb_atom_t skip = internAtom(c, "_NET_WM_STATE_SKIP_TASKBAR");
        QList<xcb_atom_t> atoms;
        xcb_get_property_reply_t *reply =
            xcb_get_property_reply(c, xcb_get_property(c, 0, id, state, XCB_ATOM_ATOM, 0, 1024), nullptr);
        if (reply) {
            if (reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
                const auto *data = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply));
                for (int i = 0; i < xcb_get_property_value_length(reply) / 4; ++i)
                    atoms << data[i];
            }
            free(reply);
        }
        atoms.removeAll(skip);
        if (!isAppWindow(w))
            atoms << skip;
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32, uint32_t(atoms.size()),
                            atoms.constData());
    }
    xcb_flush(c);
}

Qt::WindowFlags flagsFor(const QWidget *w)
{
    Qt::WindowFlags f = w->windowFlags();
    const QStringList items = systemMenuItems(w);
    f |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    f.setFlag(Qt::WindowSystemMenuHint, !items.isEmpty());
    f.setFlag(Qt::WindowCloseButtonHint, items.contains(QLatin1String("Close")));
    f.setFlag(Qt::WindowMinimizeButtonHint, items.contains(QLatin1String("Minimize")));
    f.setFlag(Qt::WindowMaximizeButtonHint, items.contains(QLatin1String("Maximize")));
    f.setFlag(Qt::WindowDoesNotAcceptFocus, hasNoActivate(w));
    return f;
}

// Keeps the platform in step with the recorded state while the window lives.
class HintKeeper : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::WinIdChange || event->type() == QEvent::Show)
            applyX11(static_cast<QWidget *>(watched));
        return false;
    }
};

void apply(QWidget *w)
{
    // Found by name: the keeper has no meta-object of its own to be told apart by type.
    static const QString keeperName = QStringLiteral("tarvisk-hint-keeper");
    if (!w->findChild<QObject *>(keeperName, Qt::FindDirectChildrenOnly)) {
        auto *keeper = new HintKeeper(w);
        keeper->setObjectName(keeperName);
        w->installEventFilter(keeper);
    }
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

void setStaysOnTop(QWidget *w, bool top, bool bottom)
{
    Qt::WindowFlags f = w->windowFlags();
    f.setFlag(Qt::WindowStaysOnTopHint, top);
    f.setFlag(Qt::WindowStaysOnBottomHint, bottom);
    if (f != w->windowFlags()) {
        w->overrideWindowFlags(f);
        if (QWindow *handle = w->windowHandle())
            handle->setFlags(f);
        // Qt rewrites its own window manager hints on a flag change; ours go on top again.
        applyX11(w);
    }
}

void showWithoutActivating(QWidget *w)
{
    const bool was = w->testAttribute(Qt::WA_ShowWithoutActivating);
    w->setAttribute(Qt::WA_ShowWithoutActivating, true);
    w->show();
    w->setAttribute(Qt::WA_ShowWithoutActivating, was || hasNoActivate(w));
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
    QString request;
    if (insertAfter == kZTopmost) {
        setStaysOnTop(window, true, false);
        request = QStringLiteral("topmost");
    } else if (insertAfter == kZNoTopmost) {
        setStaysOnTop(window, false, false);
        request = QStringLiteral("notopmost");
    } else if (insertAfter == kZBottom) {
        setStaysOnTop(window, false, false);
        request = QStringLiteral("bottom");
    } else {
        request = QStringLiteral("after:%1").arg(insertAfter);
    }
    window->setProperty(kZOrderProperty, request);
    showWithoutActivating(window);
    if (insertAfter == kZTopmost)
        window->raise();
    else if (insertAfter == kZBottom)
        window->lower();
    else if (insertAfter != kZNoTopmost) {
        if (xcb_connection_t *c = xcbConnection()) {
            // Without a window manager this restacks at once; a window manager may
            // honour or refuse the request, as it does for any client.
            const uint32_t values[2] = {uint32_t(insertAfter), XCB_STACK_MODE_BELOW};
            xcb_configure_window(c, xcb_window_t(window->winId()),
                                 XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
            xcb_flush(c);
        }
    }
}

QString zOrderRequest(const QWidget *window)
{
    return window ? window->property(kZOrderProperty).toString() : QString();
}

} // namespace tarvisk
