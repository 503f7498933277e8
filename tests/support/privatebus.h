#pragma once

#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace tarvisk::testing {

// A session-type dbus-daemon of the test's own, on a unix socket in a temporary folder, with
// optional folders of activatable services. Machines under test have no session bus, and a
// test must not touch one that exists.
class PrivateBus
{
public:
    PrivateBus() = default;
    ~PrivateBus();
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    // Starts the daemon and waits for its address; false with a reason when it cannot.
    bool start(const QStringList &serviceDirs = {}, QString *error = nullptr);
    // Ends the daemon. The services it started lose the bus and are given a few seconds to
    // end on their own before they are killed.
    void stop();

    const QString &address() const { return m_address; }
    // This process's environment with DBUS_SESSION_BUS_ADDRESS pointing at the bus.
    QProcessEnvironment environment() const;
    // The process ids of the bus's clients other than this process.
    QList<qint64> clientPids() const;

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
};

// Runs a program to its end while the calling thread's event loop keeps running (so a service
// in this process can answer it). Returns false on a time-out, after killing it.
struct RunResult
{
    int exitCode = -1;
    bool finished = false;
    QString out;
    QString err;
};
RunResult runProgram(const QString &program, const QStringList &arguments, const QProcessEnvironment &env,
                     int timeoutMs = 20000);

// `gdbus call` on the session bus of `env`: a method of `destination` at `path`, with the
// arguments in gdbus's text form. gdbus is a client of its own, outside this process.
RunResult gdbusCall(const QProcessEnvironment &env, const QString &destination, const QString &path,
                    const QString &method, const QStringList &arguments = {});

// The first capture group of the first match of `pattern` in `text` (a tool's output), or
// nothing.
QString firstMatch(const QString &text, const QString &pattern);

// Whether a process of that id is there.
bool processAlive(qint64 pid);

} // namespace tarvisk::testing
