#include "pendantcommand.h"

#include "common/unitbitmap.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QEventLoop>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <optional>

namespace {

const QString kHostedService = QStringLiteral("ZephProv.Halvex.Tarvisk");
const QString kStandalonePrefix = QStringLiteral("ZephProv.Halvex.Tarvisk.Pendant.");
const QString kPath = QStringLiteral("/ZephProv/Halvex/Tarvisk/Pendant");
const QString kInterface = QStringLiteral("ZephProv.Halvex.Tarvisk.Pendant");

int g_stopFd = -1;

const char *const kUsage =
    "Usage: tarvisk-client pendant [--name NAME | --hosted] COMMAND [ARGUMENTS]\n"
    "       tarvisk-client pendants\n"
    "\n"
    "Drives and reads a pendant through its D-Bus interface (ZephProv.Halvex.Tarvisk.Pendant):\n"
    "the standalone pendant started with --name NAME, the hosted provider's with --hosted, or\n"
    "the only one there is. KEY is a key name of the pendant's table (TP_KEY_OK, MP_KEY_UP),\n"
    "without regard to case; the TP_KEY_ or MP_KEY_ prefix may be left out.\n"
    "\n"
    "  press KEY            hold a key (until release or release-all)\n"
    "  release KEY          let go of a key held by press\n"
    "  tap KEY [MS]         hold a key for MS milliseconds (100)\n"
    "  release-all          let go of every key scripts hold\n"
    "  mode AUTO|MAN|TEACH  turn the mode switch\n"
    "  jog DIRECTION [MS]   hold the jog dial or slider off centre (-1 up, 1 down) for MS (600)\n"
    "  enable [on|off|MS]   hold the enabling switch, let it go, or hold it for MS\n"
    "  keys                 the keys held, one a line\n"
    "  keystate             the 8-byte key-state bitmap in hex\n"
    "  keynames             the key names the pendant has\n"
    "  leds                 NUMBER<TAB>MODE<TAB>lit|unlit for each LED (mode 0 off, 1 on, 2 blink)\n"
    "  beeper               sounding<TAB>MS (-1: until the next request), or silent\n"
    "  state                DISCONNECT, CONNECT, TPLESS or TPERROR\n"
    "  link                 STATE<TAB>TEXT<TAB>ADDRESS:PORT, the link to the controller: NONE,\n"
    "                       UNKNOWN, ANSWERING, NOCONTROLLER or SILENT, and the title's text\n"
    "  display --text       the mini pendant's display, 62 lines of 126 characters (# lit)\n"
    "  display --png FILE [--scale N]   the display as a PNG, N x N pixels a pixel (1)\n"
    "  window --png FILE    the whole window as a PNG\n"
    "  watch [--count N] [--timeout SEC]   print each signal as a line until interrupted\n"
    "\n"
    "tarvisk-client pendants lists the pendants on the bus: NAME<TAB>TYPE<TAB>STATE<TAB>PID,\n"
    "with the hosted provider's pendant as \"(hosted)\".\n"
    "\n"
    "Exit status: 0 done; 1 the pendant refused (its message on stderr); 2 no pendant could be\n"
    "reached, or the command line is wrong.\n";

void out(const QString &line)
{
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int fail(int status, const QString &text)
{
    std::fprintf(stderr, "tarvisk-client: %s\n", text.toLocal8Bit().constData());
    return status;
}

QString kindName(int type)
{
    switch (type) {
    case -1:
        return QStringLiteral("old");
    case 1:
        return QStringLiteral("mini");
    case 2:
        return QStringLiteral("pendant-less");
    default:
        return QStringLiteral("standard");
    }
}

// One pendant on the bus.
class Pendant
{
public:
    Pendant(QDBusConnection &bus, QString service)
        : m_bus(bus)
        , m_service(std::move(service))
    {}

    const QString &service() const { return m_service; }

    // The reply, or an error printed (status 1 for the pendant's refusal, 2 when unreachable).
    std::optional<QDBusMessage> call(const QString &method, const QVariantList &args = {}, int *status = nullptr)
    {
        QDBusMessage m = QDBusMessage::createMethodCall(m_service, kPath, kInterface, method);
        m.setArguments(args);
        const QDBusMessage reply = m_bus.call(m, QDBus::Block, 120000);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return reply;
        const bool refused = reply.errorName().startsWith(kInterface + QStringLiteral(".Error."));
        const int s = fail(refused ? 1 : 2, QStringLiteral("%1: %2").arg(method, reply.errorMessage()));
        if (status)
            *status = s;
        return std::nullopt;
    }

    int simple(const QString &method, const QVariantList &args)
    {
        int status = 0;
        return call(method, args, &status) ? 0 : status;
    }

    // A key name as the pendant's table has it: the prefix added when it was left out.
    QString keyName(const QString &given)
    {
        const QString upper = given.toUpper();
        if (upper.startsWith(QLatin1String("TP_KEY_")) || upper.startsWith(QLatin1String("MP_KEY_")))
            return given;
        const auto reply = call(QStringLiteral("GetPendantType"));
        const int type = reply ? reply->arguments().value(0).toInt() : 0;
        return (type == 1 ? QStringLiteral("MP_KEY_") : QStringLiteral("TP_KEY_")) + upper;
    }

private:
    QDBusConnection &m_bus;
    QString m_service;
};

QStringList standaloneNames(QDBusConnection &bus)
{
    QStringList names;
    const QDBusReply<QStringList> reply = bus.interface()->registeredServiceNames();
    for (const QString &s : reply.value()) {
        if (s.startsWith(kStandalonePrefix))
            names << s.mid(kStandalonePrefix.size());
    }
    names.sort();
    return names;
}

bool hostedRunning(QDBusConnection &bus)
{
    return bus.interface()->isServiceRegistered(kHostedService).value();
}

// Prints each signal of the pendant as a line: the signal's name and its arguments, tab-separated.
class Watcher : public QObject
{
    Q_OBJECT
public:
    Watcher(QDBusConnection &bus, const QString &service, int count)
        : m_count(count)
    {
        const QString owner = bus.interface()->serviceOwner(service).value();
        for (const char *name :
             {"KeyChanged", "LedChanged", "BeeperChanged", "DisplayChanged", "StateChanged", "LinkStatusChanged"}) {
            bus.connect(owner, kPath, kInterface, QLatin1String(name), this, SLOT(onSignal(QDBusMessage)));
        }
        m_gone.setConnection(bus);
        m_gone.addWatchedService(owner);
        m_gone.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
        connect(&m_gone, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
            fail(0, QStringLiteral("the pendant went away"));
            m_loop.quit();
        });
    }

    void run(int timeoutMs)
    {
        if (timeoutMs >= 0)
            QTimer::singleShot(timeoutMs, &m_loop, &QEventLoop::quit);
        std::optional<QSocketNotifier> stop;
        if (g_stopFd >= 0) {
            stop.emplace(g_stopFd, QSocketNotifier::Read);
            connect(&*stop, &QSocketNotifier::activated, &m_loop, &QEventLoop::quit);
        }
        if (m_count != 0)
            m_loop.exec();
    }

private slots:
    void onSignal(const QDBusMessage &message)
    {
        QStringList parts{message.member()};
        for (const QVariant &a : message.arguments()) {
            if (a.typeId() == QMetaType::Bool)
                parts << (a.toBool() ? QStringLiteral("true") : QStringLiteral("false"));
            else
                parts << a.toString();
        }
        out(parts.join(u'\t'));
        if (m_count > 0 && ++m_seen >= m_count)
            m_loop.quit();
    }

private:
    QDBusServiceWatcher m_gone;
    QEventLoop m_loop;
    int m_count;
    int m_seen = 0;
};

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size()) {
        fail(1, QStringLiteral("cannot write %1: %2").arg(path, f.errorString()));
        return false;
    }
    return true;
}

// Takes "--opt VALUE" out of the arguments; the value, or nothing when absent.
std::optional<QString> takeOption(QStringList &args, const QString &name, bool *missing)
{
    const qsizetype i = args.indexOf(name);
    if (i < 0)
        return std::nullopt;
    if (i + 1 >= args.size()) {
        *missing = true;
        return std::nullopt;
    }
    const QString value = args[i + 1];
    args.remove(i, 2);
    return value;
}

bool readNumber(const QString &text, qint64 min, qint64 max, qint64 *value)
{
    bool ok = false;
    *value = text.toLongLong(&ok);
    return ok && *value >= min && *value <= max;
}

int usage(const QString &text)
{
    fail(2, text);
    std::fputs("Run tarvisk-client pendant --help for the commands.\n", stderr);
    return 2;
}

int displayCommand(Pendant &p, QStringList args)
{
    bool missing = false;
    const auto png = takeOption(args, QStringLiteral("--png"), &missing);
    const auto scaleText = takeOption(args, QStringLiteral("--scale"), &missing);
    const bool text = args.removeAll(QStringLiteral("--text")) > 0;
    if (missing || !args.isEmpty() || (png.has_value() == text))
        return usage(QStringLiteral("display takes --text, or --png FILE with an optional --scale N"));
    if (text) {
        int status = 0;
        const auto reply = p.call(QStringLiteral("GetDisplay"), {}, &status);
        if (!reply)
            return status;
        const QVariantList a = reply->arguments();
        for (const QString &row : tarvisk::unitbitmap::textRows(a.value(2).toByteArray(), int(a.value(0).toUInt()),
                                                                int(a.value(1).toUInt())))
            out(row);
        return 0;
    }
    qint64 scale = 1;
    if (scaleText && !readNumber(*scaleText, 1, 16, &scale))
        return usage(QStringLiteral("--scale takes a whole number from 1 to 16"));
    int status = 0;
    const auto reply = p.call(QStringLiteral("GetDisplayPng"), {uint(scale)}, &status);
    if (!reply)
        return status;
    return writeFile(*png, reply->arguments().value(0).toByteArray()) ? 0 : 1;
}

int readCommand(Pendant &p, const QString &command)
{
    int status = 0;
    if (command == u"keys" || command == u"keynames") {
        const auto r =
            p.call(command == u"keys" ? QStringLiteral("GetHeldKeys") : QStringLiteral("GetKeyNames"), {}, &status);
        if (!r)
            return status;
        for (const QString &k : r->arguments().value(0).toStringList())
            out(k);
    } else if (command == u"keystate") {
        const auto r = p.call(QStringLiteral("GetKeyState"), {}, &status);
        if (!r)
            return status;
        out(QString::fromLatin1(r->arguments().value(0).toByteArray().toHex()));
    } else if (command == u"leds") {
        const auto r = p.call(QStringLiteral("GetLeds"), {}, &status);
        if (!r)
            return status;
        const QDBusArgument arg = r->arguments().value(0).value<QDBusArgument>();
        arg.beginArray();
        while (!arg.atEnd()) {
            int number = 0, mode = 0;
            bool lit = false;
            arg.beginStructure();
            arg >> number >> mode >> lit;
            arg.endStructure();
            out(QStringLiteral("%1\t%2\t%3")
                    .arg(number)
                    .arg(mode)
                    .arg(lit ? QStringLiteral("lit") : QStringLiteral("unlit")));
        }
        arg.endArray();
    } else if (command == u"beeper") {
        const auto r = p.call(QStringLiteral("GetBeeper"), {}, &status);
        if (!r)
            return status;
        const QVariantList a = r->arguments();
        out(a.value(0).toBool() ? QStringLiteral("sounding\t%1").arg(a.value(1).toInt()) : QStringLiteral("silent"));
    } else if (command == u"link") {
        const auto r = p.call(QStringLiteral("GetLinkStatus"), {}, &status);
        if (!r)
            return status;
        const QVariantList a = r->arguments();
        out(QStringLiteral("%1\t%2\t%3").arg(a.value(0).toString(), a.value(1).toString(), a.value(2).toString()));
    } else {
        const auto r = p.call(QStringLiteral("GetState"), {}, &status);
        if (!r)
            return status;
        out(r->arguments().value(0).toString());
    }
    return 0;
}

// The pendant the command is for; nothing (with the error printed) when none can be chosen.
std::optional<QString> choosePendant(QDBusConnection &bus, const std::optional<QString> &name, bool hosted)
{
    if (hosted) {
        if (!hostedRunning(bus)) {
            fail(2, QStringLiteral("no hosted provider (%1) on the session bus").arg(kHostedService));
            return std::nullopt;
        }
        return kHostedService;
    }
    const QStringList names = standaloneNames(bus);
    if (name) {
        if (names.contains(*name))
            return kStandalonePrefix + *name;
        fail(2, QStringLiteral("no pendant named \"%1\" on the session bus%2")
                    .arg(*name, names.isEmpty() ? QString()
                                                : QStringLiteral("; running: ") + names.join(QStringLiteral(", "))));
        return std::nullopt;
    }
    const bool withHosted = hostedRunning(bus);
    if (names.size() + (withHosted ? 1 : 0) == 1)
        return withHosted ? kHostedService : kStandalonePrefix + names.first();
    if (names.isEmpty() && !withHosted) {
        fail(2, QStringLiteral("no pendant on the session bus: start one (tarvisk --name NAME ...), or a hosted "
                               "provider"));
        return std::nullopt;
    }
    fail(2, QStringLiteral("%1 pendants on the session bus (%2%3): choose one with --name NAME or --hosted")
                .arg(names.size() + (withHosted ? 1 : 0))
                .arg(names.join(QStringLiteral(", ")),
                     withHosted ? QStringLiteral("%1the hosted one").arg(names.isEmpty() ? "" : ", ") : QString()));
    return std::nullopt;
}

} // namespace

void setPendantStopSignal(int fd)
{
    g_stopFd = fd;
}

int runPendantsCommand(QDBusConnection &bus, const QStringList &arguments)
{
    if (!arguments.isEmpty())
        return usage(QStringLiteral("pendants takes no arguments"));
    auto describe = [&](const QString &label, const QString &service) {
        Pendant p(bus, service);
        QDBusMessage typeCall =
            QDBusMessage::createMethodCall(service, kPath, kInterface, QStringLiteral("GetPendantType"));
        QDBusMessage stateCall = QDBusMessage::createMethodCall(service, kPath, kInterface, QStringLiteral("GetState"));
        const QDBusMessage type = bus.call(typeCall);
        const QDBusMessage state = bus.call(stateCall);
        const QDBusReply<uint> pid = bus.interface()->servicePid(service);
        out(QStringLiteral("%1\t%2\t%3\t%4")
                .arg(label,
                     type.type() == QDBusMessage::ReplyMessage ? kindName(type.arguments().value(0).toInt())
                                                               : QStringLiteral("-"),
                     state.type() == QDBusMessage::ReplyMessage ? state.arguments().value(0).toString()
                                                                : QStringLiteral("-"))
                .arg(pid.isValid() ? QString::number(pid.value()) : QStringLiteral("-")));
    };
    for (const QString &name : standaloneNames(bus))
        describe(name, kStandalonePrefix + name);
    if (hostedRunning(bus))
        describe(QStringLiteral("(hosted)"), kHostedService);
    return 0;
}

int runPendantCommand(QDBusConnection &bus, const QStringList &arguments)
{
    QStringList args = arguments;
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    bool missing = false;
    const auto name = takeOption(args, QStringLiteral("--name"), &missing);
    const bool hosted = args.removeAll(QStringLiteral("--hosted")) > 0;
    if (missing)
        return usage(QStringLiteral("--name needs a NAME"));
    if (name && hosted)
        return usage(QStringLiteral("--name and --hosted choose different pendants; give one"));
    if (args.isEmpty())
        return usage(QStringLiteral("pendant needs a command"));
    const QString command = args.takeFirst();
    const auto service = choosePendant(bus, name, hosted);
    if (!service)
        return 2;
    Pendant p(bus, *service);
    auto wrongArguments = [&](const QString &form) { return usage(QStringLiteral("usage: pendant %1").arg(form)); };

    if (command == u"press" || command == u"release") {
        if (args.size() != 1)
            return wrongArguments(command + QStringLiteral(" KEY"));
        return p.simple(command == u"press" ? QStringLiteral("Press") : QStringLiteral("Release"),
                        {p.keyName(args[0])});
    }
    if (command == u"tap") {
        qint64 ms = 100;
        if (args.isEmpty() || args.size() > 2 || (args.size() == 2 && !readNumber(args[1], 0, 60000, &ms)))
            return wrongArguments(QStringLiteral("tap KEY [MS], MS from 0 to 60000"));
        return p.simple(QStringLiteral("Tap"), {p.keyName(args[0]), uint(ms)});
    }
    if (command == u"release-all") {
        if (!args.isEmpty())
            return wrongArguments(QStringLiteral("release-all"));
        return p.simple(QStringLiteral("ReleaseAll"), {});
    }
    if (command == u"mode") {
        if (args.size() != 1)
            return wrongArguments(QStringLiteral("mode AUTO|MAN|TEACH"));
        return p.simple(QStringLiteral("SetMode"), {args[0].toUpper()});
    }
    if (command == u"jog") {
        qint64 direction = 0, ms = 600;
        if (args.isEmpty() || args.size() > 2 || !readNumber(args[0], -1000, 1000, &direction) ||
            (args.size() == 2 && !readNumber(args[1], 0, 60000, &ms)))
            return wrongArguments(QStringLiteral("jog DIRECTION [MS]: DIRECTION -1 (up) or 1 (down), MS to 60000"));
        return p.simple(QStringLiteral("Jog"), {int(direction), uint(ms)});
    }
    if (command == u"enable") {
        const QString dead = p.keyName(QStringLiteral("DEAD"));
        qint64 ms = 0;
        if (args.isEmpty() || args == QStringList{QStringLiteral("on")})
            return p.simple(QStringLiteral("Press"), {dead});
        if (args == QStringList{QStringLiteral("off")})
            return p.simple(QStringLiteral("Release"), {dead});
        if (args.size() == 1 && readNumber(args[0], 0, 60000, &ms))
            return p.simple(QStringLiteral("Tap"), {dead, uint(ms)});
        return wrongArguments(QStringLiteral("enable [on|off|MS]"));
    }
    if (command == u"keys" || command == u"keystate" || command == u"keynames" || command == u"leds" ||
        command == u"beeper" || command == u"state" || command == u"link") {
        if (!args.isEmpty())
            return wrongArguments(command);
        return readCommand(p, command);
    }
    if (command == u"display")
        return displayCommand(p, args);
    if (command == u"window") {
        const auto png = takeOption(args, QStringLiteral("--png"), &missing);
        if (!png || missing || !args.isEmpty())
            return wrongArguments(QStringLiteral("window --png FILE"));
        int status = 0;
        const auto reply = p.call(QStringLiteral("GetWindowPng"), {}, &status);
        if (!reply)
            return status;
        return writeFile(*png, reply->arguments().value(0).toByteArray()) ? 0 : 1;
    }
    if (command == u"watch") {
        const auto countText = takeOption(args, QStringLiteral("--count"), &missing);
        const auto timeoutText = takeOption(args, QStringLiteral("--timeout"), &missing);
        qint64 count = -1;
        bool ok = true;
        const double seconds = timeoutText ? timeoutText->toDouble(&ok) : -1;
        if (missing || !args.isEmpty() || (countText && !readNumber(*countText, 0, 1 << 30, &count)) || !ok ||
            (timeoutText && seconds < 0))
            return wrongArguments(QStringLiteral("watch [--count N] [--timeout SEC]"));
        Watcher watcher(bus, *service, int(count));
        watcher.run(timeoutText ? int(seconds * 1000) : -1);
        return 0;
    }
    return usage(QStringLiteral("unknown pendant command \"%1\"").arg(command));
}

#include "pendantcommand.moc"
