// tarvisk-controller: a virtual robot controller for the pendant link, without a window. It
// prints the pendant's key changes by key name and sends the commands of its standard input and
// of a script. See --help.

#include "commandrunner.h"
#include "commands.h"
#include "virtualcontroller.h"

#include "link/linkwire.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

using namespace tarvisk::controller;

namespace {

// Feeds standard input to a runner line by line as it arrives, without blocking the event loop.
class StdinReader : public QObject
{
public:
    explicit StdinReader(CommandRunner &runner)
        : m_runner(runner)
    {
        if (fcntl(STDIN_FILENO, F_GETFD) == -1) {
            m_runner.endOfInput();
            return;
        }
        m_notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &StdinReader::readSome);
    }

private:
    void readSome()
    {
        char chunk[4096];
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            return;
        if (n <= 0) {
            m_notifier->setEnabled(false);
            if (!m_buffer.isEmpty())
                m_runner.addLine(QString::fromUtf8(m_buffer));
            m_buffer.clear();
            m_runner.endOfInput();
            return;
        }
        m_buffer.append(chunk, n);
        qsizetype newline;
        while ((newline = m_buffer.indexOf('\n')) >= 0) {
            const QByteArray line = m_buffer.left(newline);
            m_buffer.remove(0, newline + 1);
            m_runner.addLine(QString::fromUtf8(line));
        }
    }

    CommandRunner &m_runner;
    QSocketNotifier *m_notifier = nullptr;
    QByteArray m_buffer;
};

bool readPort(const QString &text, bool allowZero, quint16 *out)
{
    bool ok = false;
    const uint v = text.toUInt(&ok, 10);
    if (!ok || v > 65535 || (v == 0 && !allowZero))
        return false;
    *out = quint16(v);
    return true;
}

bool readAddress(QString text, QHostAddress *out)
{
    if (text.startsWith(u'[') && text.endsWith(u']'))
        text = text.mid(1, text.size() - 2);
    return out->setAddress(text);
}

QString description()
{
    return QStringLiteral(
               "A virtual robot controller for the pendant link (UDP, protocol %1, see docs/link-protocol.md).\n"
               "It prints the pendant's key changes (\"TP_KEY_OK pressed\", \"TP_KEY_OK released\"; MP_KEY_ "
               "names with --mini),\n"
               "\"pendant connected\", \"pendant enabled\", \"pendant closed\" and replies, and sends the commands "
               "read from\n"
               "--script and from standard input (side by side). End of input does not end the controller; "
               "\"quit\" does.\n"
               "--demo answers like a controller: MOTOR toggles LED 1, STOP sounds the beeper 300 ms, and with "
               "--mini the\n"
               "display shows a menu of four entries (UP/DOWN move the bar, OK chooses, OK or CANCEL go back).\n\n")
               .arg(tarvisk::linkwire::ProtocolVersion) +
           commandHelp();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarvisk-controller"));
    // A pendant gone from the network is no reason to die of a broken pipe.
    std::signal(SIGPIPE, SIG_IGN);

    QCommandLineParser parser;
    parser.setApplicationDescription(description());
    parser.addHelpOption();
    const QCommandLineOption addressOption(QStringLiteral("address"), QStringLiteral("Local address to bind."),
                                           QStringLiteral("address"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Local UDP port (0: any free port)."),
                                        QStringLiteral("port"), QStringLiteral("5010"));
    const QCommandLineOption pendantPortOption(
        QStringLiteral("pendant-port"),
        QStringLiteral("The pendant's port; learnt from its first datagram when not given."), QStringLiteral("port"));
    const QCommandLineOption pendantAddressOption(
        QStringLiteral("pendant-address"),
        QStringLiteral("The pendant's address; learnt from its first datagram when not given."),
        QStringLiteral("address"));
    const QCommandLineOption miniOption(QStringLiteral("mini"), QStringLiteral("Mini pendant: MP_KEY_ names."));
    const QCommandLineOption demoOption(QStringLiteral("demo"), QStringLiteral("Answer keys like a controller."));
    const QCommandLineOption scriptOption(QStringLiteral("script"),
                                          QStringLiteral("Run the commands of this file (beside standard input)."),
                                          QStringLiteral("file"));
    const QCommandLineOption quietOption(QStringLiteral("quiet"),
                                         QStringLiteral("No event lines; answers and errors only."));
    const QCommandLineOption verboseOption(QStringLiteral("verbose"),
                                           QStringLiteral("Also report ignored datagrams and messages sent."));
    const QCommandLineOption watchdogOption(
        QStringLiteral("watchdog"),
        QStringLiteral("Release the keys of a pendant silent this long after a key state (0: never); its next "
                       "datagram then counts whatever its number."),
        QStringLiteral("ms"), QStringLiteral("500"));
    parser.addOptions({addressOption, portOption, pendantPortOption, pendantAddressOption, miniOption, demoOption,
                       scriptOption, quietOption, verboseOption, watchdogOption});
    parser.process(app);

    QTextStream out(stdout);
    QTextStream err(stderr);
    auto usageError = [&](const QString &text) {
        err << "tarvisk-controller: " << text << '\n';
        err.flush();
        return 2;
    };
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));

    ControllerOptions options;
    if (!readAddress(parser.value(addressOption), &options.address))
        return usageError(QStringLiteral("bad --address"));
    if (!readPort(parser.value(portOption), true, &options.port))
        return usageError(QStringLiteral("bad --port"));
    if (parser.isSet(pendantPortOption)) {
        quint16 port = 0;
        if (!readPort(parser.value(pendantPortOption), false, &port))
            return usageError(QStringLiteral("bad --pendant-port"));
        options.pendantPort = port;
    }
    if (parser.isSet(pendantAddressOption)) {
        QHostAddress address;
        if (!readAddress(parser.value(pendantAddressOption), &address))
            return usageError(QStringLiteral("bad --pendant-address"));
        options.pendantAddress = address;
    }
    bool watchdogOk = false;
    options.watchdogMs = parser.value(watchdogOption).toInt(&watchdogOk);
    if (!watchdogOk || options.watchdogMs < 0)
        return usageError(QStringLiteral("bad --watchdog"));
    options.mini = parser.isSet(miniOption);
    options.demo = parser.isSet(demoOption);
    options.quiet = parser.isSet(quietOption);
    options.verbose = parser.isSet(verboseOption);

    VirtualController controller(options, out, err);
    QString error;
    if (!controller.start(&error)) {
        err << "tarvisk-controller: " << error << '\n';
        err.flush();
        return 1;
    }

    // The script and standard input run side by side, each in its own order.
    auto quit = [] { QCoreApplication::exit(0); };
    CommandRunner scriptRunner(controller, parser.value(scriptOption));
    QObject::connect(&scriptRunner, &CommandRunner::quitRequested, &app, quit, Qt::QueuedConnection);
    if (parser.isSet(scriptOption)) {
        if (!scriptRunner.addScriptFile(parser.value(scriptOption), &error))
            return usageError(error);
        scriptRunner.endOfInput();
    }
    CommandRunner stdinRunner(controller, QStringLiteral("stdin"));
    QObject::connect(&stdinRunner, &CommandRunner::quitRequested, &app, quit, Qt::QueuedConnection);
    StdinReader stdinReader(stdinRunner);
    return app.exec();
}
