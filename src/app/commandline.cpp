#include "app/commandline.h"

#include "automation/pendantbus.h"
#include "common/twips.h"

namespace tarvisk {

namespace {

// Qt's own options, which Qt reads from the same command line (with one dash or two).
const char *const kQtOptionsWithValue[] = {"platform", "platformpluginpath", "platformtheme", "plugin",
                                           "display",  "qwindowgeometry",    "qwindowtitle",  "qwindowicon",
                                           "style",    "stylesheet",         "session"};
const char *const kQtFlags[] = {"reverse", "nograb", "dograb", "sync", "widgetcount"};

// A leading "-" and a digit (or a dot) is a negative number, the old pendant's type for one.
bool looksLikeOption(const QString &a)
{
    if (a.size() < 2 || !a.startsWith(u'-'))
        return false;
    const QChar second = a.at(1);
    return !(second.isDigit() || second == u'.');
}

QString optionName(const QString &a)
{
    QString name = a.mid(a.startsWith(QLatin1String("--")) ? 2 : 1);
    const qsizetype eq = name.indexOf(u'=');
    return eq >= 0 ? name.left(eq) : name;
}

template <size_t N> bool isOneOf(const QString &name, const char *const (&list)[N])
{
    for (const char *item : list) {
        if (name == QLatin1String(item))
            return true;
    }
    return false;
}

// The value of one of our options given as "--opt VALUE" or "--opt=VALUE"; empty when missing.
QString ourValue(const QStringList &arguments, qsizetype &i)
{
    const QString &a = arguments.at(i);
    if (const qsizetype eq = a.indexOf(u'='); eq >= 0)
        return a.mid(eq + 1);
    if (i + 1 < arguments.size())
        return arguments.at(++i);
    return {};
}

CommandLine refuse(CommandLine cl, const QString &error)
{
    cl.action = CommandLine::Action::Refuse;
    cl.error = error;
    return cl;
}

// The options that only make sense together, checked once every option is read.
CommandLine checkScripting(CommandLine cl, bool nameGiven)
{
    const ScriptingOptions &s = cl.scripting;
    QString why;
    if (nameGiven && !PendantBus::isValidName(s.name, &why))
        return refuse(cl, QStringLiteral("--name: %1").arg(why));
    if (s.fast && s.replay.isEmpty())
        return refuse(cl, QStringLiteral("--fast goes with --replay FILE"));
    if (cl.automation && nameGiven)
        return refuse(cl, QStringLiteral("--name names a standalone pendant; a hosted one is reached on the "
                                         "provider's name"));
    if (cl.automation && !s.replay.isEmpty())
        return refuse(cl, QStringLiteral("--replay replays a standalone session, not with --automation"));
    return cl;
}

} // namespace

int parseZoomPercent(const QString &text)
{
    QString digits = text.trimmed();
    if (digits.endsWith(u'%'))
        digits.chop(1);
    bool isNumber = false;
    const int percent = digits.trimmed().toInt(&isNumber);
    if (!isNumber || percent < twips::kMinZoomPercent || percent > twips::kMaxZoomPercent)
        return 0;
    return percent;
}

QString usageText()
{
    return QStringLiteral("Usage: tarvisk [OPTIONS] [DEST_IP [DEST_PORT [SRC_IP [SRC_PORT [PENDANT_TYPE]]]]]\n"
                          "       tarvisk --replay FILE [--fast] [OPTIONS] [DEST_IP ...]\n"
                          "       tarvisk --automation [--record FILE]\n"
                          "\n"
                          "Emulates a robot controller's teach pendant.\n"
                          "\n"
                          "Standalone (the default): the pendant talks to a robot controller over UDP.\n"
                          "  DEST_IP       the controller's address        (default 127.0.0.1)\n"
                          "  DEST_PORT     the controller's UDP port       (default 5010)\n"
                          "  SRC_IP        our own address, 255.255.255.255 for any (default)\n"
                          "  SRC_PORT      our own UDP port                (default 5009)\n"
                          "  PENDANT_TYPE  0 standard, 1 mini, -1 old, 2 pendant-less (default 0)\n"
                          "  Without arguments the connection dialog asks, and remembers the choice in\n"
                          "  $XDG_CONFIG_HOME/Tarvisk/Tarvisk.ini.\n"
                          "\n"
                          "  --name NAME   scripting name of a standalone pendant: it is driven and read on the\n"
                          "                session bus as ZephProv.Halvex.Tarvisk.Pendant.NAME (letters, digits\n"
                          "                and _; default p and the process id)\n"
                          "  --record FILE record the session: inputs and outputs, one JSON object a line;\n"
                          "                FILE without a folder goes to $XDG_STATE_HOME/Tarvisk/\n"
                          "  --replay FILE play a recorded session's inputs at their recorded times and compare\n"
                          "                every output; exit 0 when all match, 1 otherwise. Without address\n"
                          "                arguments, those of the recording\n"
                          "  --fast        with --replay: play each input as soon as the outputs before it came\n"
                          "  --automation  serve the provider objects on the D-Bus session bus under\n"
                          "                ZephProv.Halvex.Tarvisk for a client program, and the loaded pendant\n"
                          "                at /ZephProv/Halvex/Tarvisk/Pendant\n"
                          "  --zoom PERCENT  draw the pendant PERCENT large, 50 to 400 (default: the\n"
                          "                zoom stored by the connection dialog, else 100)\n"
                          "  --help        show this text\n"
                          "  --version     show the version\n"
                          "  --            what follows is arguments, also when it begins with \"-\"\n"
                          "\n"
                          "Qt's own options are passed on: -platform NAME (xcb, wayland, offscreen),\n"
                          "-display DISPLAY, -style NAME and the like. Without -platform or QT_QPA_PLATFORM\n"
                          "the pendant runs on the X server of DISPLAY where one answers, also on a Wayland\n"
                          "desktop, since only X lets it place its window as a client asks.\n"
                          "\n"
                          "Exit status: 0 done (a replay: every output matched); 1 the start failed (a taken\n"
                          "name, a recording that cannot be read or written) or a replay differed; 2 a usage\n"
                          "error.\n");
}

QString versionText()
{
    return QStringLiteral("tarvisk " TARVISK_VERSION "\n");
}

CommandLine parseCommandLine(const QStringList &arguments)
{
    CommandLine cl;
    bool onlyArguments = false;
    bool nameGiven = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (onlyArguments || !looksLikeOption(a)) {
            cl.positional << a;
            continue;
        }
        if (a == QLatin1String("--")) {
            onlyArguments = true;
            continue;
        }
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            cl.action = CommandLine::Action::Help;
            return cl;
        }
        if (a == QLatin1String("--version")) {
            cl.action = CommandLine::Action::Version;
            return cl;
        }
        if (a == QLatin1String("--automation")) {
            cl.automation = true;
            continue;
        }
        if (a == QLatin1String("--zoom") || a.startsWith(QLatin1String("--zoom="))) {
            const bool joined = a.contains(u'=');
            if (!joined && i + 1 >= arguments.size()) {
                cl.action = CommandLine::Action::Refuse;
                cl.error = QStringLiteral("the option --zoom needs a value, a percentage such as 150");
                return cl;
            }
            const QString value = joined ? a.mid(a.indexOf(u'=') + 1) : arguments.at(++i);
            cl.zoomPercent = parseZoomPercent(value);
            if (cl.zoomPercent == 0) {
                cl.action = CommandLine::Action::Refuse;
                cl.error = QStringLiteral("--zoom \"%1\" is no percentage from %2 to %3; give a whole number such "
                                          "as 150")
                               .arg(value)
                               .arg(twips::kMinZoomPercent)
                               .arg(twips::kMaxZoomPercent);
                return cl;
            }
            continue;
        }
        const QString name = optionName(a);
        if (name == QLatin1String("fast") && a.startsWith(QLatin1String("--")) && !a.contains(u'=')) {
            cl.scripting.fast = true;
            continue;
        }
        if ((name == QLatin1String("name") || name == QLatin1String("record") || name == QLatin1String("replay")) &&
            a.startsWith(QLatin1String("--"))) {
            const QString value = ourValue(arguments, i);
            if (value.isEmpty())
                return refuse(cl, QStringLiteral("the option --%1 needs a value").arg(name));
            if (name == QLatin1String("name")) {
                cl.scripting.name = value;
                nameGiven = true;
            } else if (name == QLatin1String("record")) {
                cl.scripting.record = value;
            } else {
                cl.scripting.replay = value;
            }
            continue;
        }
        if (isOneOf(name, kQtFlags) && !a.contains(u'=')) {
            cl.qtOptions << a;
            continue;
        }
        if (isOneOf(name, kQtOptionsWithValue)) {
            QString value;
            if (const qsizetype eq = a.indexOf(u'='); eq >= 0) {
                value = a.mid(eq + 1);
                cl.qtOptions << QLatin1Char('-') + name << value;
            } else if (i + 1 < arguments.size()) {
                value = arguments.at(++i);
                cl.qtOptions << a << value;
            } else {
                cl.action = CommandLine::Action::Refuse;
                cl.error = QStringLiteral("the option %1 needs a value").arg(a);
                return cl;
            }
            if (name == QLatin1String("platform"))
                cl.platform = value;
            continue;
        }
        return refuse(cl, QStringLiteral("unknown option %1").arg(a));
    }
    return checkScripting(cl, nameGiven);
}

} // namespace tarvisk
