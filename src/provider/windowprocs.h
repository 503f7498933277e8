#pragma once

#include "settings/selectalltext.h"

#include <QStringList>
#include <QtGlobal>

class QWidget;

// Window procedures of the provider module, for Qt windows on Linux. Each window's
// system menu (the window manager's decorations and actions) is modelled as a list of
// items and applied to the platform; on X11 that means the window manager hints.
namespace tarvisk {

// The items still in a window's system menu, in menu order: "Restore", "Move", "Size",
// "Minimize", "Maximize", "Close".
QStringList systemMenuItems(const QWidget *window);

// Removes the close item, then the move item, then every other item.
void RemoveSystemMenu(QWidget *window);
// The window manager offers no close action and no close button.
void RemoveCloseItem(QWidget *window);
// The window manager offers no move action.
void RemoveMoveItem(QWidget *window);

// Z-order constants the client may give to "show".
constexpr qintptr kZTopmost = -1;
constexpr qintptr kZNoTopmost = -2;
constexpr qintptr kZBottom = 1;

// Places the window after insertAfter in the Z order and shows it without moving,
// resizing or activating it: -1 topmost, -2 not topmost, 1 bottom, anything else the
// native handle of another window (stacked just below it where the windowing system lets
// a client restack; elsewhere only recorded). A request of 0 does nothing.
void SetZOrder(QWidget *window, qintptr insertAfter);
// The last request SetZOrder carried out: "topmost", "notopmost", "bottom" or "after:<handle>".
QString zOrderRequest(const QWidget *window);

// The window takes no focus when it is clicked or shown.
void SetNoActivate(QWidget *window);
bool hasNoActivate(const QWidget *window);

// Gives the window a taskbar entry (application window) or takes it away; hides a visible
// window while the style changes and shows it modeless again when it was visible or show is set.
void SetAppWindow(QWidget *window, bool appWindow, bool show);
bool isAppWindow(const QWidget *window);

} // namespace tarvisk
