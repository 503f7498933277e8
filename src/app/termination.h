#pragma once

#include <QObject>
#include <QString>

class QSocketNotifier;

namespace tarvisk {

// SIGTERM, SIGINT and SIGHUP (kill, Ctrl+C, the end of the session) as a Qt signal on the
// user-interface thread, so that the process can end the way it ends when its last window
// closes. The handler only writes the signal's number into a pipe; a socket notifier reads it in
// whichever event loop runs, a message box's included. One instance per process.
class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    explicit TerminationSignals(QObject *parent = nullptr);
    // Restores the default handling of the signals.
    ~TerminationSignals() override;

    // False when the pipe or a handler could not be set up; error() tells why. The signals then
    // keep their default action.
    bool isInstalled() const { return m_installed; }
    const QString &error() const { return m_error; }
    // The first signal that arrived, 0 while none has.
    int received() const { return m_received; }

signals:
    // Emitted once, for the first of the signals; a second one ends the process at once.
    void terminationRequested(int signalNumber);

private:
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
    QString m_error;
    int m_received = 0;
    bool m_installed = false;
};

} // namespace tarvisk
