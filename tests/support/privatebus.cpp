#include "support/privatebus.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QRegularExpression>
#include <QTimer>

#include <csignal>
#include <sys/prctl.h>
#include <sys/types.h>
#include <unistd.h>

namespace tarvisk::testing {

PrivateBus::~PrivateBus()
{
    stop();
}

bool PrivateBus::start(const QStringList &serviceDirs, QString *error)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (!m_dir.isValid())
        return fail(QStringLiteral("no temporary folder"));
    QString dirs;
    for (const QString &d : serviceDirs)
        dirs += QStringLiteral("  <servicedir>%1</servicedir>\n").arg(d.toHtmlEscaped());
    const QString config =
        QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                       " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                       "<busconfig>\n"
                       "  <type>session</type>\n"
                       "  <listen>unix:dir=%1</listen>\n"
                       "%2"
                       "  <policy context=\"default\">\n"
                       "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                       "    <allow eavesdrop=\"true\"/>\n"
                       "    <allow own=\"*\"/>\n"
                       "  </policy>\n"
                       "</busconfig>\n")
            .arg(m_dir.path().toHtmlEscaped(), dirs);
    QFile file(m_dir.filePath(QStringLiteral("bus.conf")));
    if (!file.open(QIODevice::WriteOnly) || file.write(config.toUtf8()) < 0)
        return fail(QStringLiteral("cannot write the bus configuration"));
    file.close();

    m_daemon.setProgram(QStringLiteral("dbus-daemon"));
    m_daemon.setArguments({QStringLiteral("--config-file=") + file.fileName(), QStringLiteral("--nofork"),
                           QStringLiteral("--print-address=1")});
    m_daemon.setProcessChannelMode(QProcess::SeparateChannels);
    // A test that crashes takes its bus with it.
    m_daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_daemon.start();
    if (!m_daemon.waitForStarted(10000))
        return fail(QStringLiteral("dbus-daemon did not start: ") + m_daemon.errorString());
    QByteArray line;
    const QDeadlineTimer deadline(10000);
    while (!line.contains('\n') && !deadline.hasExpired()) {
        if (!m_daemon.waitForReadyRead(int(deadline.remainingTime())))
            break;
        line += m_daemon.readAllStandardOutput();
    }
    m_address = QString::fromUtf8(line).trimmed();
    if (m_address.isEmpty())
        return fail(QStringLiteral("dbus-daemon gave no address: ") +
                    QString::fromLocal8Bit(m_daemon.readAllStandardError()));
    return true;
}

QList<qint64> PrivateBus::clientPids() const
{
    QList<qint64> pids;
    if (m_address.isEmpty())
        return pids;
    const QString name = QStringLiteral("privatebus-census");
    {
        QDBusConnection bus = QDBusConnection::connectToBus(m_address, name);
        if (bus.isConnected()) {
            const QStringList names = bus.interface()->registeredServiceNames().value();
            for (const QString &n : names) {
                if (!n.startsWith(u':') || n == bus.baseService())
                    continue;
                const QDBusReply<uint> pid = bus.interface()->servicePid(n);
                if (pid.isValid() && qint64(pid.value()) != QCoreApplication::applicationPid() &&
                    !pids.contains(pid.value()))
                    pids << pid.value();
            }
        }
    }
    QDBusConnection::disconnectFromBus(name);
    return pids;
}

void PrivateBus::stop()
{
    if (m_daemon.state() == QProcess::NotRunning)
        return;
    const QList<qint64> clients = clientPids();
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(5000)) {
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
    // Clients this test started (activated services, tools) end when their bus goes.
    const QDeadlineTimer deadline(6000);
    for (qint64 pid : clients) {
        while (processAlive(pid) && !deadline.hasExpired())
            usleep(50000);
        if (processAlive(pid))
            ::kill(pid_t(pid), SIGKILL);
    }
    m_address.clear();
}

QProcessEnvironment PrivateBus::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
    return env;
}

RunResult runProgram(const QString &program, const QStringList &arguments, const QProcessEnvironment &env,
                     int timeoutMs)
{
    RunResult result;
    QProcess process;
    process.setProcessEnvironment(env);
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    process.start(program, arguments);
    if (process.state() != QProcess::NotRunning || process.error() != QProcess::FailedToStart)
        loop.exec();
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
    } else {
        result.finished = process.exitStatus() == QProcess::NormalExit && process.error() != QProcess::FailedToStart;
        result.exitCode = process.exitCode();
    }
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

RunResult gdbusCall(const QProcessEnvironment &env, const QString &destination, const QString &path,
                    const QString &method, const QStringList &arguments)
{
    return runProgram(QStringLiteral("gdbus"),
                      QStringList{QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("-d"),
                                  destination, QStringLiteral("-o"), path, QStringLiteral("-m"), method} +
                          arguments,
                      env);
}

QString firstMatch(const QString &text, const QString &pattern)
{
    const QRegularExpressionMatch m = QRegularExpression(pattern).match(text);
    return m.hasMatch() ? m.captured(1) : QString();
}

bool processAlive(qint64 pid)
{
    return pid > 0 && ::kill(pid_t(pid), 0) == 0;
}

} // namespace tarvisk::testing
