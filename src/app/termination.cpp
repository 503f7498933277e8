#include "app/termination.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace tarvisk {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Read end and write end of the self-pipe; the handler touches only the write end.
int g_pipe[2] = {-1, -1};

extern "C" void onTerminationSignal(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // Non-blocking: with the pipe full a signal is already waiting to be read.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = savedErrno;
}

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(what), QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent)
    : QObject(parent)
{
    if (g_pipe[0] >= 0) {
        m_error = QStringLiteral("the termination signals are handled already");
        return;
    }
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_error = systemError("cannot create the signal pipe");
        g_pipe[0] = g_pipe[1] = -1;
        return;
    }
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readPipe);

    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    // The first signal is handled; a second one of the same kind takes its default action, so an
    // ending that hangs can still be cut short.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (int s : kSignals) {
        if (::sigaction(s, &action, nullptr) != 0) {
            m_error = systemError("cannot handle a termination signal");
            return;
        }
    }
    m_installed = true;
}

TerminationSignals::~TerminationSignals()
{
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int s : kSignals)
        ::sigaction(s, &action, nullptr);
    delete m_notifier;
    for (int &fd : g_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void TerminationSignals::readPipe()
{
    unsigned char bytes[16];
    ssize_t n = 0;
    int first = 0;
    while ((n = ::read(g_pipe[0], bytes, sizeof bytes)) > 0) {
        if (first == 0)
            first = bytes[0];
    }
    if (first == 0 || m_received != 0)
        return;
    m_received = first;
    emit terminationRequested(first);
}

} // namespace tarvisk
