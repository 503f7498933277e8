#pragma once

#include "settings/selectalltext.h"

#include <QByteArray>
#include <QPoint>
#include <QStringList>
#include <QtGlobal>

class QWidget;

// Window procedures of the provider module, for Qt windows on Linux. Each window's
// system menu (the window manager's decorations and actions) is modelled as a list of
// items and applied to the platform; on X11 that means the window manager hints.
//
// What a windowing system does not let a program do fails with ErrWindowSystem instead of
// pretending: on Wayland no program may place its window, stack it against another one or
// name it to another program.
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

// Keeps the window manager hints of the window (its system menu, the taskbar entry, the
// size hints of a fixed-size window) on every native window the widget ever gets. The
// procedures above call it; a window that none of them touches calls it once.
void ApplyWindowHints(QWidget *window);

// Z-order constants the client may give to "show".
constexpr qintptr kZTopmost = -1;
constexpr qintptr kZNoTopmost = -2;
constexpr qintptr kZBottom = 1;

// Places the window after insertAfter in the Z order and shows it without moving,
// resizing or activating it: -1 topmost, -2 not topmost, 1 bottom (kept below the other
// windows), anything else the native handle of another window (stacked just below it). Under
// a window manager the request goes to it (_NET_RESTACK_WINDOW, _NET_WM_STATE_ABOVE and
// _BELOW); without one the window is restacked directly. A request of 0 does nothing.
// Throws ErrWindowSystem, with nothing changed, where the windowing system cannot stack a
// program's windows (Wayland), except for -2, which is every window's state there.
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

// Whether the window is shown but minimized (iconic) by the window manager or the user.
bool isMinimized(const QWidget *window);
// Brings a minimized window back to its normal state, without activating it.
void RestoreWindow(QWidget *window);

// The native handle of the window as other programs know it (the X window id of the
// native window the widget has now). Throws ErrWindowSystem where windows have no such
// handle (Wayland).
qint32 NativeWindowHandle(QWidget *window);
// Moves the window's top-left corner to pos (pixels); throws ErrWindowSystem where a program
// cannot place its windows (Wayland).
void MoveWindow(QWidget *window, const QPoint &pos);

// Whether pixels of a window can be partly transparent on screen: a compositing manager runs
// on X11 (the _NET_WM_CM_S selection has an owner), or the platform composites itself (Wayland).
bool compositorActive();
// Whether a window manager runs on the X server (_NET_SUPPORTING_WM_CHECK names a live window).
bool windowManagerRunning();

// Whether an X server answers on the display ("DISPLAY" syntax); false for an empty one. Used
// before the application object exists.
bool x11ServerAnswers(const QByteArray &display);

// A key held down on the keyboard repeats as presses alone, with no release between them, so
// that a held key reads as held. The X server otherwise sends a release and a press for each
// repeat, which the toolkit does not always mark as repeats. True where repeats come marked or
// unreleased from now on: X11 once the server agreed, and every other platform (whose
// toolkit marks the repeats itself).
bool UseDetectableAutoRepeat();

} // namespace tarvisk
