// tarvisk-client: drives the pendant provider on the D-Bus session bus from a shell, for people
// and for scripts.
#include "common/proverror.h"
#include "host/dbusvalue.h"
#include "host/messagerecord.h"
#include "iprovidercontrollerinterface.h"
#include "pendantcommand.h"
#include "valuetext.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <memory>
#include <unistd.h>

using namespace tarvisk;

namespace {

const QString kService = QStringLiteral("ZephProv.Halvex.Tarvisk");
const QString kRoot = QStringLiteral("/ZephProv/Halvex/Tarvisk");

const char *const kDescription =
    "Connects to the pendant provider (ZephProv.Halvex.Tarvisk on the session bus; the bus starts it\n"
    "when needed), runs each COMMAND through FinalExecute and prints every result that is not empty\n"
    "as \"command<TAB>value\", then disconnects.\n"
    "\n"
    "A COMMAND is one argument: the command name and its parameter, e.g. \"show\", \"led 1 2\",\n"
    "\"beep 500\", \"move 1500 900\", \"setinproceventkey B:0000000000000000\". No value is Empty, one\n"
    "value is that value, several are an Array. Values: 14 (Long), 1.5 (Double), true, false, empty,\n"
    "null, \"text\" or a plain word (String), typed y:5 n:5 i:5 f:1.5 d:1.5 b:true s:text B:00ff (Byte,\n"
    "Integer, Long, Single, Double, Boolean, String, ByteArray), [1 2 [3]] (Array).\n"
    "\n"
    "Following prints each message as it arrives, one a line:\n"
    "  number<TAB>value<TAB>source<TAB>destination<TAB>attribute\n"
    "\n"
    "A command name that the provider does not know is warned about on stderr, and sent all the same.\n"
    "\n"
    "Exit status: 0 done; 1 a command or the connect failed (its status and the status's description\n"
    "on stderr); 2 the provider cannot be reached.\n"
    "\n"
    "tarvisk-client pendant [--name NAME | --hosted] COMMAND drives and reads a pendant as a hand\n"
    "would (press, release, tap, release-all, mode, jog, enable, keys, keystate, keynames, leds,\n"
    "beeper, state, display, window, watch); tarvisk-client pendants lists the pendants; see\n"
    "tarvisk-client pendant --help.";

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(g_signalPipe[1], &c, 1);
}

void printLine(const QString &line)
{
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void printError(const QString &line)
{
    std::fprintf(stderr, "tarvisk-client: %s\n", line.toLocal8Bit().constData());
}

// The provider's command set; it accepts other names too, and does nothing with them.
const char *const kKnownCommands[] = {"getvisible",
                                      "gethwnd",
                                      "show",
                                      "hide",
                                      "move",
                                      "led",
                                      "getkeystate",
                                      "beep",
                                      "drawminitp",
                                      "lcd",
                                      "setinproceventkey",
                                      "getinproceventkey",
                                      "resetudpdest",
                                      "setkeystate",
                                      "setpanelstate",
                                      "backlight"};

bool isKnownCommand(const QString &command)
{
    const QString lower = command.toLower();
    for (const char *known : kKnownCommands) {
        if (lower == QLatin1String(known))
            return true;
    }
    return false;
}

// "status 438 (Object doesn't support this property or method)".
QString statusText(int status)
{
    return QStringLiteral("status %1 (%2)").arg(status).arg(errorDescription(status));
}

struct Options
{
    QString connectOptions;
    QStringList commands;
    bool follow = false;
    int count = -1;
    int timeoutMs = -1;
    bool readStdin = false;
    bool keep = false;
};

class Client : public QObject
{
    Q_OBJECT
public:
    Client(const QDBusConnection &bus, Options options)
        : m_bus(bus)
        , m_options(std::move(options))
    {}

    int run()
    {
        // The well-known name starts the provider; from then on the calls go to the connection
        // that answered, which is the one holding the objects.
        QDBusMessage create = QDBusMessage::createMethodCall(
            kService, kRoot, QStringLiteral("ZephProv.Halvex.Tarvisk.Provider"), QStringLiteral("CreateController"));
        create << QString();
        const QDBusMessage created = m_bus.call(create);
        if (created.type() != QDBusMessage::ReplyMessage || created.arguments().size() != 1) {
            printError(QStringLiteral("cannot reach the provider: ") + QDBusError(created).message());
            return 2;
        }
        m_service = created.service();
        m_path = qdbus_cast<QDBusObjectPath>(created.arguments().first()).path();
        m_controller = std::make_unique<ZephProv::IProviderController>(m_service, m_path, m_bus);
        m_bus.connect(m_service, m_path, QStringLiteral("ZephProv.Halvex.Tarvisk.Queue"),
                      QStringLiteral("MessageQueued"), this, SLOT(onQueued(uint)));

        int rc = connectController() ? 0 : 1;
        for (const QString &command : std::as_const(m_options.commands)) {
            if (rc != 0)
                break;
            if (!execute(command))
                rc = 1;
        }
        if (rc == 0 && m_options.follow)
            follow();
        if (!m_options.keep) {
            const QDBusReply<int> status = m_controller->FinalDisconnect();
            if (m_options.follow && !m_countReached)
                drain();
            if (status.isValid() && status.value() != 0)
                printError(QStringLiteral("FinalDisconnect failed with %1").arg(statusText(status.value())));
        }
        release(m_path);
        return rc;
    }

private slots:
    void onQueued(uint)
    {
        if (m_following)
            drain();
    }

private:
    bool connectController()
    {
        const DBusValue parameters(Variant::array({Variant(), Variant(m_options.connectOptions), Variant()}));
        QDBusPendingReply<int, DBusValue> reply = m_controller->FinalConnect(parameters);
        reply.waitForFinished();
        if (reply.isError()) {
            printError(QStringLiteral("FinalConnect: ") + reply.error().message());
            return false;
        }
        if (reply.argumentAt<0>() != 0) {
            printError(QStringLiteral("FinalConnect failed with %1").arg(statusText(reply.argumentAt<0>())));
            return false;
        }
        return true;
    }

    bool execute(const QString &line)
    {
        QString command, parameterText, error;
        valuetext::splitCommand(line, command, parameterText);
        if (command.isEmpty())
            return true;
        if (!isKnownCommand(command))
            printError(QStringLiteral("warning: \"%1\" is no command of the provider; it is sent all the same, and "
                                      "the provider accepts it without doing anything")
                           .arg(command));
        Variant parameter;
        if (!valuetext::parseParameter(parameterText, parameter, &error)) {
            printError(QStringLiteral("\"%1\": %2").arg(line, error));
            return false;
        }
        QDBusPendingReply<int, DBusValue> reply = m_controller->FinalExecute(command, DBusValue(parameter));
        reply.waitForFinished();
        if (reply.isError()) {
            printError(QStringLiteral("\"%1\": %2").arg(command, reply.error().message()));
            return false;
        }
        if (const int status = reply.argumentAt<0>(); status != 0) {
            printError(QStringLiteral("\"%1\" failed with %2").arg(command, statusText(status)));
            return false;
        }
        const Variant result = reply.argumentAt<1>().value;
        if (!result.isEmpty())
            printLine(command + u'\t' + valuetext::formatValue(result));
        return true;
    }

    void follow()
    {
        m_following = true;
        QEventLoop loop;
        m_loop = &loop;
        QSocketNotifier stopSignal(g_signalPipe[0], QSocketNotifier::Read);
        connect(&stopSignal, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
        std::unique_ptr<QSocketNotifier> input;
        if (m_options.readStdin) {
            input = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
            connect(input.get(), &QSocketNotifier::activated, this, [this, &input] { readInput(input.get()); });
        }
        // The signal makes polling unneeded; a slow poll covers a signal that never came.
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, &Client::drain);
        poll.start(1000);
        if (m_options.timeoutMs >= 0)
            QTimer::singleShot(m_options.timeoutMs, &loop, &QEventLoop::quit);
        drain();
        if (!m_countReached)
            loop.exec();
        m_loop = nullptr;
        m_following = false;
    }

    void readInput(QSocketNotifier *notifier)
    {
        char buffer[4096];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            notifier->setEnabled(false);
            if (m_loop)
                m_loop->quit();
            return;
        }
        m_input += QByteArray(buffer, int(n));
        qsizetype newline;
        while ((newline = m_input.indexOf('\n')) >= 0) {
            const QString line = QString::fromLocal8Bit(m_input.left(newline));
            m_input.remove(0, newline + 1);
            execute(line);
        }
    }

    // Takes and prints every queued message (up to the count asked for), many in one call.
    void drain()
    {
        while (!m_countReached) {
            const uint max = m_options.count >= 0 ? uint(m_options.count - m_printed) : 1024u;
            QDBusMessage call = QDBusMessage::createMethodCall(
                m_service, m_path, QStringLiteral("ZephProv.Halvex.Tarvisk.Queue"), QStringLiteral("TakeMessages"));
            call << max;
            const QDBusMessage reply = m_bus.call(call);
            if (reply.type() != QDBusMessage::ReplyMessage) {
                printError(QStringLiteral("TakeMessages: ") + reply.errorMessage());
                if (m_loop)
                    m_loop->quit();
                return;
            }
            const MessageRecordList taken = qdbus_cast<MessageRecordList>(reply.arguments().value(0));
            if (taken.isEmpty())
                return;
            for (const MessageRecord &m : taken) {
                printLine(QStringLiteral("%1\t%2\t%3\t%4\t%5")
                              .arg(m.number)
                              .arg(valuetext::formatValue(m.value.value), m.source, m.destination)
                              .arg(m.attribute));
            }
            m_printed += int(taken.size());
            if (m_options.count >= 0 && m_printed >= m_options.count) {
                m_countReached = true;
                if (m_loop)
                    m_loop->quit();
            }
        }
    }

    void release(const QString &path)
    {
        QDBusMessage call = QDBusMessage::createMethodCall(
            m_service, path, QStringLiteral("ZephProv.Halvex.Tarvisk.Handle"), QStringLiteral("Release"));
        m_bus.call(call);
    }

    QDBusConnection m_bus;
    Options m_options;
    QString m_service;
    QString m_path;
    std::unique_ptr<ZephProv::IProviderController> m_controller;
    QEventLoop *m_loop = nullptr;
    QByteArray m_input;
    bool m_following = false;
    bool m_countReached = false;
    int m_printed = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarvisk-client"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TARVISK_VERSION));
    registerMessageRecordTypes();

    // The pendant's own interface: subcommands of their own.
    const QStringList all = QCoreApplication::arguments();
    if (all.size() > 1 && (all[1] == u"pendant" || all[1] == u"pendants")) {
        if (::pipe(g_signalPipe) == 0) {
            std::signal(SIGINT, onSignal);
            std::signal(SIGTERM, onSignal);
            setPendantStopSignal(g_signalPipe[0]);
        }
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected()) {
            printError(QStringLiteral("no session bus: ") + bus.lastError().message());
            return 2;
        }
        const QStringList rest = all.mid(2);
        return all[1] == u"pendant" ? runPendantCommand(bus, rest) : runPendantsCommand(bus, rest);
    }

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption optionsOpt(
        {QStringLiteral("o"), QStringLiteral("options")},
        QStringLiteral("The connection option string, e.g. \"PendantType=0, StateDestination=x\"."),
        QStringLiteral("text"));
    const QCommandLineOption followOpt({QStringLiteral("f"), QStringLiteral("follow")},
                                       QStringLiteral("After the commands, print each message as it arrives."));
    const QCommandLineOption countOpt({QStringLiteral("n"), QStringLiteral("count")},
                                      QStringLiteral("Stop following after N messages (implies --follow)."),
                                      QStringLiteral("N"));
    const QCommandLineOption timeoutOpt({QStringLiteral("t"), QStringLiteral("timeout")},
                                        QStringLiteral("Stop following after SEC seconds (implies --follow)."),
                                        QStringLiteral("SEC"));
    const QCommandLineOption stdinOpt({QStringLiteral("i"), QStringLiteral("stdin")},
                                      QStringLiteral("While following, run the commands read from standard input, "
                                                     "one a line; its end stops following."));
    const QCommandLineOption keepOpt({QStringLiteral("k"), QStringLiteral("keep")},
                                     QStringLiteral("Leave the pendant connected: no FinalDisconnect at the end."));
    parser.addOptions({optionsOpt, followOpt, countOpt, timeoutOpt, stdinOpt, keepOpt});
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("A command and its parameter, one argument each."),
                                 QStringLiteral("[COMMAND...]"));
    parser.process(app);

    Options options;
    options.connectOptions = parser.value(optionsOpt);
    options.commands = parser.positionalArguments();
    options.follow =
        parser.isSet(followOpt) || parser.isSet(countOpt) || parser.isSet(timeoutOpt) || parser.isSet(stdinOpt);
    options.readStdin = parser.isSet(stdinOpt);
    options.keep = parser.isSet(keepOpt);
    bool ok = true;
    if (parser.isSet(countOpt)) {
        options.count = parser.value(countOpt).toInt(&ok);
        if (!ok || options.count < 0) {
            printError(QStringLiteral("--count needs a number"));
            return 2;
        }
    }
    if (parser.isSet(timeoutOpt)) {
        const double seconds = parser.value(timeoutOpt).toDouble(&ok);
        if (!ok || seconds < 0) {
            printError(QStringLiteral("--timeout needs a number of seconds"));
            return 2;
        }
        options.timeoutMs = int(seconds * 1000);
    }

    if (::pipe(g_signalPipe) == 0) {
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        printError(QStringLiteral("no session bus: ") + bus.lastError().message());
        return 2;
    }
    Client client(bus, options);
    return client.run();
}

#include "main.moc"
