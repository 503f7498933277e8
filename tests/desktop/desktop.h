#pragma once

// A desktop for tests: window managers and Wayland compositors started by the test, what the X
// server says about windows, and the real provider driven by a client over a private bus.
#include "common/variant.h"
#include "support/privatebus.h"

#include <QDBusConnection>
#include <QList>
#include <QProcess>
#include <QString>

#include <functional>
#include <memory>

#include <xcb/xcb.h>

namespace tarvisk::testing {

// Waits up to ms for the condition, keeping the event loop running.
bool waitUntil(const std::function<bool()> &condition, int ms = 15000);

// The test's own connection to the X server (the Qt platform's).
xcb_connection_t *x11();
xcb_window_t x11Root();
xcb_atom_t x11Atom(const char *name);
QList<uint32_t> x11Property(xcb_window_t window, const char *name, xcb_atom_t type = XCB_GET_PROPERTY_TYPE_ANY);
// A UTF8_STRING property (_NET_WM_NAME), empty when not set.
QString x11Text(xcb_window_t window, const char *name);
bool x11HasAtom(xcb_window_t window, const char *property, const char *atom);
// The WM_STATE of a client window: 1 normal, 3 iconic, 0 withdrawn or unknown.
uint32_t x11WmState(xcb_window_t window);
// The managed client windows in stacking order, bottom first.
QList<uint32_t> x11Stacking();
// The top-level client window whose _NET_WM_PID is pid (among those the window manager lists).
xcb_window_t x11ClientOf(qint64 pid);
// The window's top-left corner on the root window.
QPoint x11RootPosition(xcb_window_t window);
xcb_window_t x11ActiveWindow();

// A program run for the length of a test (a window manager, a compositor), ended by the
// destructor.
class Helper
{
public:
    Helper() = default;
    ~Helper();
    Helper(const Helper &) = delete;
    Helper &operator=(const Helper &) = delete;

    bool start(const QString &program, const QStringList &arguments, const QProcessEnvironment &env = {});
    void stop();
    QProcess &process() { return m_process; }
    QString output();
    // A session bus of its own, for a program that keeps its settings behind one (xfwm4).
    PrivateBus &bus() { return m_bus; }

private:
    PrivateBus m_bus;
    QProcess m_process;
};

// Starts an X window manager and waits until it has announced itself (_NET_SUPPORTING_WM_CHECK);
// returns an empty reason on success.
QString startWindowManager(Helper &wm, const QString &name);

// The built tarvisk as a hosted provider on a private bus, and a client holding one controller.
class HostedProvider
{
public:
    ~HostedProvider();

    // Starts `tarvisk --automation` with env changes applied to the system environment, and
    // creates a controller; returns an empty reason on success.
    QString start(const QProcessEnvironment &changes = {}, const QStringList &unset = {});
    void stop();

    qint64 pid() const { return m_provider.processId(); }
    // FinalConnect with an option string; the status.
    int connectPendant(const QString &options);
    // FinalExecute; the status, and the result in *result when given.
    int execute(const QString &command, const Variant &parameter = Variant(), Variant *result = nullptr);
    QString providerOutput();

private:
    PrivateBus m_bus;
    QProcess m_provider;
    std::unique_ptr<QDBusConnection> m_connection;
    QString m_controller;
};

} // namespace tarvisk::testing
