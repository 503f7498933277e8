#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace tarvisk {

// What the process sees of its desktop before any window system is opened.
struct DisplayEnvironment
{
    QByteArray qpaPlatform;    // QT_QPA_PLATFORM
    QString platformOption;    // the value of -platform on the command line
    QByteArray display;        // DISPLAY
    QByteArray waylandDisplay; // WAYLAND_DISPLAY
    QByteArray runtimeDir;     // XDG_RUNTIME_DIR
    // Whether an X server answers on the given display.
    std::function<bool(const QByteArray &display)> x11Answers;
    // Whether a socket exists at the path (a Wayland compositor listens there).
    std::function<bool(const QString &path)> socketExists;

    // The process's own environment, with the real probes.
    static DisplayEnvironment current(const QString &platformOption);
};

struct PlatformChoice
{
    // The platform to ask Qt for; empty leaves Qt's own choice (or the one asked for) alone.
    QByteArray platform;
    // Set when no display can be reached: what was looked for and what to set instead.
    QString error;
};

// The policy: a platform the user asked for (QT_QPA_PLATFORM or -platform) is kept. Otherwise an
// X server that answers on DISPLAY wins over Wayland, also where Qt would pick Wayland by itself
// (XWayland), because only X lets a program stack, move and identify its windows as the hosted
// commands ask; Wayland is taken when no X server answers. With neither, or with an asked-for X
// or Wayland that does not answer, the choice carries an error in place of Qt's abort.
PlatformChoice choosePlatform(const DisplayEnvironment &env);

// The path of the Wayland socket the environment names.
QString waylandSocketPath(const DisplayEnvironment &env);

// Replaces Qt's abort when the window system cannot be opened (a broken platform plugin, a
// display that went away between the check and the start) by a plain message and exit status 1.
// Active until the returned guard ends.
class PlatformFailureGuard
{
public:
    PlatformFailureGuard();
    ~PlatformFailureGuard();
    PlatformFailureGuard(const PlatformFailureGuard &) = delete;
    PlatformFailureGuard &operator=(const PlatformFailureGuard &) = delete;
};

} // namespace tarvisk
