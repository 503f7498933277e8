#include "commandrunner.h"

#include "commands.h"
#include "virtualcontroller.h"

#include <QFile>

namespace tarvisk::controller {

CommandRunner::CommandRunner(VirtualController &controller, const QString &source, QObject *parent)
    : QObject(parent)
    , m_controller(controller)
    , m_source(source)
{
    m_sleep.setSingleShot(true);
    connect(&m_sleep, &QTimer::timeout, this, &CommandRunner::runPending);
    connect(&m_controller, &VirtualController::pendantConnected, this, [this] {
        if (m_waiting) {
            m_waiting = false;
            runPending();
        }
    });
}

void CommandRunner::addLine(const QString &line)
{
    m_pending.append(line);
    runPending();
}

void CommandRunner::addLines(const QStringList &lines)
{
    m_pending.append(lines);
    runPending();
}

void CommandRunner::endOfInput()
{
    m_ended = true;
    checkFinished();
}

bool CommandRunner::addScriptFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    const QString text = QString::fromUtf8(file.readAll());
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    addLines(lines);
    return true;
}

void CommandRunner::runPending()
{
    // A command's output may re-enter through the controller's signals; one loop at a time.
    if (m_running)
        return;
    m_running = true;
    while (!m_quit && !m_pending.isEmpty() && !m_sleep.isActive() && !m_waiting) {
        const QString line = m_pending.takeFirst();
        const int lineNumber = m_nextLineNumber++;
        ++m_linesRun;
        const ParsedCommand parsed = parseCommand(line);
        if (!parsed.error.isEmpty()) {
            m_controller.printError(QStringLiteral("%1:%2: %3").arg(m_source).arg(lineNumber).arg(parsed.error));
            continue;
        }
        const Command &c = parsed.command;
        switch (c.kind) {
        case Command::Kind::Nothing:
            break;
        case Command::Kind::Send:
            m_controller.sendMessage(c.number, c.value);
            break;
        case Command::Kind::Sleep:
            if (c.sleepMs > 0)
                m_sleep.start(c.sleepMs);
            break;
        case Command::Kind::Wait:
            m_waiting = !m_controller.isConnected();
            break;
        case Command::Kind::State:
            m_controller.printState();
            break;
        case Command::Kind::Counters:
            m_controller.printCounters();
            break;
        case Command::Kind::Help:
            for (const QString &helpLine : commandHelp().split(u'\n', Qt::SkipEmptyParts))
                m_controller.printAnswer(helpLine);
            break;
        case Command::Kind::Quit:
            m_quit = true;
            m_pending.clear();
            emit quitRequested();
            break;
        }
    }
    m_running = false;
    checkFinished();
}

void CommandRunner::checkFinished()
{
    if (m_finished || !m_ended || !idle())
        return;
    m_finished = true;
    emit finished();
}

} // namespace tarvisk::controller
