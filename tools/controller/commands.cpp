#include "commands.h"

#include "jsonvariant.h"

#include <QRegularExpression>

namespace tarvisk::controller {

namespace {

constexpr int MaxSleepMs = 3600 * 1000;

bool readInt(const QString &word, int32_t *out)
{
    bool ok = false;
    const int v = word.toInt(&ok, 10);
    if (ok)
        *out = v;
    return ok;
}

ParsedCommand failure(const QString &error)
{
    return {Command(), error};
}

ParsedCommand send(int32_t number, const Variant &value)
{
    Command c;
    c.kind = Command::Kind::Send;
    c.number = number;
    c.value = value;
    return {c, QString()};
}

ParsedCommand simple(Command::Kind kind)
{
    Command c;
    c.kind = kind;
    return {c, QString()};
}

// Every item a list of at least a code and a parameter, the code a number.
QString drawingListFault(const Variant &list)
{
    const VariantArray *items = list.arrayItems();
    if (!items)
        return QStringLiteral("draw takes a JSON array of [code, parameter] items");
    for (qsizetype i = 0; i < items->size(); ++i) {
        const VariantArray *pair = items->at(i).arrayItems();
        if (!pair || pair->size() < 2)
            return QStringLiteral("draw: item %1 is not a [code, parameter] pair").arg(i);
        const Variant::Type code = pair->first().type();
        if (code != Variant::Type::Long && code != Variant::Type::Double)
            return QStringLiteral("draw: the code of item %1 is not a number").arg(i);
    }
    return QString();
}

} // namespace

ParsedCommand parseCommand(const QString &line)
{
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(u'#'))
        return {};

    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    const qsizetype gap = trimmed.indexOf(blanks);
    const QString word = (gap < 0 ? trimmed : trimmed.left(gap)).toLower();
    const QString rest = gap < 0 ? QString() : trimmed.mid(gap).trimmed();
    const QStringList args = rest.isEmpty() ? QStringList() : rest.split(blanks);

    auto noArguments = [&](Command::Kind kind) {
        return args.isEmpty() ? simple(kind) : failure(QStringLiteral("%1 takes no arguments").arg(word));
    };
    auto jsonValue = [&](const QString &text, Variant *out) {
        QString error;
        if (variantFromJson(text, out, &error))
            return QString();
        return QStringLiteral("%1: %2").arg(word, error);
    };

    if (word == QLatin1String("led")) {
        int32_t number = 0;
        int32_t mode = 0;
        if (args.size() != 2 || !readInt(args[0], &number) || !readInt(args[1], &mode))
            return failure(QStringLiteral("usage: led N MODE (integers; MODE 0 off, 1 on, 2 blink)"));
        return send(MsgLed, Variant::array({Variant(number), Variant(mode)}));
    }
    if (word == QLatin1String("beep")) {
        int32_t ms = 0;
        if (args.size() != 1 || !readInt(args[0], &ms))
            return failure(QStringLiteral("usage: beep MS (an integer)"));
        return send(MsgBeep, Variant(ms));
    }
    if (word == QLatin1String("text") || word == QLatin1String("draw")) {
        Variant value;
        const QString error = jsonValue(rest, &value);
        if (!error.isEmpty())
            return failure(error);
        if (word == QLatin1String("text"))
            return send(MsgText, value);
        const QString fault = drawingListFault(value);
        if (!fault.isEmpty())
            return failure(fault);
        return send(MsgDraw, value);
    }
    if (word == QLatin1String("msg")) {
        int32_t number = 0;
        if (args.isEmpty() || !readInt(args[0], &number))
            return failure(QStringLiteral("usage: msg NUMBER [json]"));
        const QString json = rest.mid(args[0].size()).trimmed();
        Variant value;
        if (!json.isEmpty()) {
            const QString error = jsonValue(json, &value);
            if (!error.isEmpty())
                return failure(error);
        }
        return send(number, value);
    }
    if (word == QLatin1String("sleep")) {
        int32_t ms = 0;
        if (args.size() != 1 || !readInt(args[0], &ms) || ms < 0 || ms > MaxSleepMs)
            return failure(QStringLiteral("usage: sleep MS (0 to %1)").arg(MaxSleepMs));
        Command c;
        c.kind = Command::Kind::Sleep;
        c.sleepMs = ms;
        return {c, QString()};
    }
    if (word == QLatin1String("wait"))
        return noArguments(Command::Kind::Wait);
    if (word == QLatin1String("state"))
        return noArguments(Command::Kind::State);
    if (word == QLatin1String("counters"))
        return noArguments(Command::Kind::Counters);
    if (word == QLatin1String("help"))
        return noArguments(Command::Kind::Help);
    if (word == QLatin1String("quit"))
        return noArguments(Command::Kind::Quit);
    return failure(QStringLiteral("unknown command \"%1\" (try help)").arg(word));
}

QString commandHelp()
{
    return QStringLiteral(
        "Commands (standard input and --script files, one a line; # starts a comment line):\n"
        "  led N MODE         LED N (1, 2; 1 to 3 on the mini pendant) off 0, on 1, blink 2 (message 257)\n"
        "  beep MS            beeper for MS ms; 0 off, negative until 0 (message 256)\n"
        "  text <json>        display text, any value (message 258)\n"
        "  draw <json>        mini display drawing list (message 259): [[code, parameter], ...]\n"
        "                       [16, c] pen (15 background, else black)\n"
        "                       [17, f] fill (255 transparent, 15 background, else black)\n"
        "                       [32, [text, x, y, frame, attributes]] text (frame & 100 framed,\n"
        "                                                             attributes & 1 inverted)\n"
        "                       [48, [x1, y1, x2, y2]] line   [49, [x1, y1, x2, y2]] box\n"
        "                       display units, 126 x 62 visible, a wide character 8 x 8;\n"
        "                       a box covers both corners: [49,[0,0,125,61]] is the whole display;\n"
        "                       draw checks this shape, msg 259 sends any value as it is\n"
        "  msg NUMBER [json]  any message; without a value it carries Empty (msg 0 asks for a reply)\n"
        "  sleep MS           pause the following commands of this input\n"
        "  wait               pause the following commands until a pendant is connected\n"
        "  state              print the keys held now\n"
        "  counters           print what was received, sent and ignored\n"
        "  help               print this list\n"
        "  quit               end the controller\n"
        "JSON to values: integers (written without fraction or exponent) -> Long (32-bit),\n"
        "other numbers -> Double, strings -> String, true/false -> Boolean, null -> Null,\n"
        "arrays -> Array (nested alike); objects are refused.\n"
        "Received values print in the same form; Empty, Byte(n), Integer(n), Single(x) and\n"
        "bytes(hex) mark the types JSON has no word for.\n");
}

} // namespace tarvisk::controller
