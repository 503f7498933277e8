#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

namespace tarvisk::controller {

class VirtualController;

// Runs the command lines of one input (standard input or a script) in order. "sleep" and "wait"
// hold back only the lines after them in the same input, while the event loop goes on, so key
// reports and other inputs keep flowing. A line that is not understood prints an error naming
// the input and line, and the lines after it still run.
class CommandRunner : public QObject
{
    Q_OBJECT
public:
    // source names the input in error lines ("stdin", a script path).
    CommandRunner(VirtualController &controller, const QString &source, QObject *parent = nullptr);

    // Runs at once what nothing holds back; the rest waits its turn.
    void addLine(const QString &line);
    void addLines(const QStringList &lines);
    // No more lines will come; finished() follows once the last has run.
    void endOfInput();

    // Reads a script file; false with the reason in *error when it cannot be read.
    bool addScriptFile(const QString &path, QString *error);

    bool idle() const { return m_pending.isEmpty() && !m_sleep.isActive() && !m_waiting; }
    int linesRun() const { return m_linesRun; }

signals:
    void quitRequested();
    void finished();

private:
    void runPending();
    void checkFinished();

    VirtualController &m_controller;
    QString m_source;
    QStringList m_pending;
    int m_nextLineNumber = 1; // of the first pending line
    int m_linesRun = 0;
    QTimer m_sleep;
    bool m_waiting = false;
    bool m_ended = false;
    bool m_finished = false;
    bool m_quit = false;
    bool m_running = false;
};

} // namespace tarvisk::controller
