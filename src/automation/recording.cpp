#include "automation/recording.h"

#include "common/unitbitmap.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <cmath>

namespace tarvisk::recording {

namespace {

const QStringList kTypeNames = {QStringLiteral("start"),   QStringLiteral("pendant"), QStringLiteral("press"),
                                QStringLiteral("release"), QStringLiteral("led"),     QStringLiteral("beeper"),
                                QStringLiteral("display"), QStringLiteral("state"),   QStringLiteral("end")};
const QStringList kSources = {QStringLiteral("mouse"),  QStringLiteral("keyboard"), QStringLiteral("touch"),
                              QStringLiteral("script"), QStringLiteral("replay"),   QStringLiteral("latch"),
                              QStringLiteral("program")};
const QStringList kStates = {QStringLiteral("DISCONNECT"), QStringLiteral("CONNECT"), QStringLiteral("TPLESS"),
                             QStringLiteral("TPERROR")};

// Reads the fields of one object, keeping the first fault.
class Reader
{
public:
    explicit Reader(const QJsonObject &o)
        : m_o(o)
    {}

    const QString &error() const { return m_error; }
    bool ok() const { return m_error.isEmpty(); }

    int64_t integer(const char *name, int64_t min, int64_t max)
    {
        const QJsonValue v = field(name);
        if (!ok())
            return 0;
        const double d = v.toDouble(std::nan(""));
        if (!v.isDouble() || std::floor(d) != d || d < double(min) || d > double(max)) {
            fail(QStringLiteral("\"%1\" must be a whole number from %2 to %3")
                     .arg(QLatin1String(name))
                     .arg(min)
                     .arg(max));
            return 0;
        }
        return int64_t(d);
    }

    bool boolean(const char *name)
    {
        const QJsonValue v = field(name);
        if (ok() && !v.isBool())
            fail(QStringLiteral("\"%1\" must be true or false").arg(QLatin1String(name)));
        return v.toBool();
    }

    QString text(const char *name)
    {
        const QJsonValue v = field(name);
        if (ok() && !v.isString())
            fail(QStringLiteral("\"%1\" must be a text").arg(QLatin1String(name)));
        return v.toString();
    }

    QString oneOf(const char *name, const QStringList &allowed)
    {
        const QString s = text(name);
        if (ok() && !allowed.contains(s))
            fail(QStringLiteral("\"%1\" is \"%2\"; it must be one of %3")
                     .arg(QLatin1String(name), s, allowed.join(QStringLiteral(", "))));
        return s;
    }

    QStringList texts(const char *name)
    {
        const QJsonValue v = field(name);
        QStringList list;
        if (!ok())
            return list;
        if (!v.isArray()) {
            fail(QStringLiteral("\"%1\" must be a list of texts").arg(QLatin1String(name)));
            return list;
        }
        for (const QJsonValue &e : v.toArray()) {
            if (!e.isString()) {
                fail(QStringLiteral("\"%1\" must be a list of texts").arg(QLatin1String(name)));
                return {};
            }
            list << e.toString();
        }
        return list;
    }

    void fail(const QString &text)
    {
        if (m_error.isEmpty())
            m_error = text;
    }

private:
    QJsonValue field(const char *name)
    {
        const QJsonValue v = m_o.value(QLatin1String(name));
        if (v.isUndefined())
            fail(QStringLiteral("\"%1\" is missing").arg(QLatin1String(name)));
        return v;
    }

    const QJsonObject &m_o;
    QString m_error;
};

} // namespace

QString typeName(Type type)
{
    return kTypeNames.value(int(type));
}

QString Event::stream() const
{
    switch (type) {
    case Type::Led:
        return QStringLiteral("LED %1").arg(number);
    case Type::Beeper:
        return QStringLiteral("beeper");
    case Type::Display:
        return QStringLiteral("display");
    case Type::State:
        return QStringLiteral("state");
    default:
        return QString();
    }
}

QString Event::valueText() const
{
    switch (type) {
    case Type::Led:
        return QStringLiteral("mode %1").arg(mode);
    case Type::Beeper:
        if (!sounding)
            return QStringLiteral("silent");
        return milliseconds < 0 ? QStringLiteral("sounding until the next request")
                                : QStringLiteral("sounding %1 ms").arg(milliseconds);
    case Type::Display:
        return digest;
    case Type::State:
        return state;
    default:
        return QString();
    }
}

bool Event::sameOutput(const Event &o) const
{
    if (type != o.type)
        return false;
    switch (type) {
    case Type::Led:
        return number == o.number && mode == o.mode;
    case Type::Beeper:
        return sounding == o.sounding && milliseconds == o.milliseconds;
    case Type::Display:
        return digest == o.digest;
    case Type::State:
        return state == o.state;
    default:
        return false;
    }
}

QByteArray toJsonLine(const Event &e)
{
    QJsonObject o;
    o.insert(QStringLiteral("t"), double(e.t));
    o.insert(QStringLiteral("event"), typeName(e.type));
    switch (e.type) {
    case Type::Start:
        o.insert(QStringLiteral("format"), QLatin1String(kFormatName));
        o.insert(QStringLiteral("version"), e.version);
        o.insert(QStringLiteral("setting"), e.setting);
        o.insert(QStringLiteral("arguments"), QJsonArray::fromStringList(e.arguments));
        break;
    case Type::Pendant:
        o.insert(QStringLiteral("type"), e.pendantType);
        break;
    case Type::Press:
    case Type::Release:
        o.insert(QStringLiteral("key"), e.key);
        o.insert(QStringLiteral("source"), e.source);
        break;
    case Type::Led:
        o.insert(QStringLiteral("number"), e.number);
        o.insert(QStringLiteral("mode"), e.mode);
        break;
    case Type::Beeper:
        o.insert(QStringLiteral("sounding"), e.sounding);
        o.insert(QStringLiteral("ms"), e.milliseconds);
        break;
    case Type::Display:
        o.insert(QStringLiteral("digest"), e.digest);
        o.insert(QStringLiteral("bits"), QString::fromLatin1(e.bits.toBase64()));
        break;
    case Type::State:
        o.insert(QStringLiteral("state"), e.state);
        break;
    case Type::End:
        break;
    }
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

bool parseLine(const QByteArray &line, Event &e, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(line, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error =
            QStringLiteral("not JSON (%1 at character %2)").arg(parseError.errorString()).arg(parseError.offset + 1);
        return false;
    }
    if (!doc.isObject()) {
        *error = QStringLiteral("not a JSON object");
        return false;
    }
    const QJsonObject o = doc.object();
    Reader r(o);
    e = Event();
    e.t = r.integer("t", 0, int64_t(1) << 50);
    const QString type = r.oneOf("event", kTypeNames);
    if (!r.ok()) {
        *error = r.error();
        return false;
    }
    e.type = Type(kTypeNames.indexOf(type));
    constexpr int64_t kMaxInt = 0x7FFFFFFF;
    switch (e.type) {
    case Type::Start: {
        if (r.text("format") != QLatin1String(kFormatName) && r.ok())
            r.fail(QStringLiteral("\"format\" must be \"%1\"").arg(QLatin1String(kFormatName)));
        e.version = int(r.integer("version", 1, kMaxInt));
        if (r.ok() && e.version != kFormatVersion)
            r.fail(QStringLiteral("the recording is of format version %1; this build reads version %2")
                       .arg(e.version)
                       .arg(kFormatVersion));
        e.setting = r.oneOf("setting", {QStringLiteral("standalone"), QStringLiteral("hosted")});
        e.arguments = r.texts("arguments");
        if (r.ok() && e.arguments.size() > 5)
            r.fail(QStringLiteral("\"arguments\" holds at most five texts"));
        break;
    }
    case Type::Pendant:
        e.pendantType = int(r.integer("type", -1, 2));
        break;
    case Type::Press:
    case Type::Release:
        e.key = r.text("key");
        e.source = r.oneOf("source", kSources);
        break;
    case Type::Led:
        e.number = int(r.integer("number", 1, 64));
        e.mode = int(r.integer("mode", 0, 2));
        break;
    case Type::Beeper:
        e.sounding = r.boolean("sounding");
        e.milliseconds = int(r.integer("ms", -1, kMaxInt));
        break;
    case Type::Display: {
        e.digest = r.text("digest");
        static const QRegularExpression digestPattern(QStringLiteral("^sha256:[0-9a-f]{64}$"));
        if (r.ok() && !digestPattern.match(e.digest).hasMatch())
            r.fail(QStringLiteral("\"digest\" must be \"sha256:\" and 64 lower-case hex digits"));
        const QString bits = r.text("bits");
        if (r.ok()) {
            const auto decoded =
                QByteArray::fromBase64Encoding(bits.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
            constexpr int kBytes = unitbitmap::byteCount(unitbitmap::Width, unitbitmap::Height);
            if (!decoded || decoded.decoded.size() != kBytes)
                r.fail(
                    QStringLiteral("\"bits\" must be base64 of %1 bytes (126 x 62 units, 16 bytes a row)").arg(kBytes));
            else
                e.bits = decoded.decoded;
        }
        break;
    }
    case Type::State:
        e.state = r.oneOf("state", kStates);
        break;
    case Type::End:
        break;
    }
    if (r.ok() && e.key.isEmpty() && e.isInput())
        r.fail(QStringLiteral("\"key\" is empty"));
    if (!r.ok()) {
        *error = QStringLiteral("%1 event: %2").arg(type, r.error());
        return false;
    }
    return true;
}

bool readRecording(const QString &path, QList<Event> &events, QString *error)
{
    events.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the recording %1: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray content = file.readAll();
    QList<QByteArray> lines = content.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    auto fail = [&](qsizetype index, const QString &text) {
        *error = QStringLiteral("%1, line %2: %3").arg(path).arg(index + 1).arg(text);
        events.clear();
        return false;
    };
    if (lines.isEmpty())
        return fail(0, QStringLiteral("the file is empty; a recording begins with a \"start\" event"));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.trimmed().isEmpty())
            return fail(i, QStringLiteral("the line is empty; every line holds one event"));
        Event e;
        QString why;
        if (!parseLine(line, e, &why))
            return fail(i, why);
        if (i == 0 && e.type != Type::Start)
            return fail(i,
                        QStringLiteral("a recording begins with a \"start\" event, not \"%1\"").arg(typeName(e.type)));
        if (i > 0 && e.type == Type::Start)
            return fail(i, QStringLiteral("a second \"start\" event; one recording a file"));
        if (!events.isEmpty() && events.last().type == Type::End)
            return fail(i, QStringLiteral("an event after \"end\""));
        if (!events.isEmpty() && e.t < events.last().t)
            return fail(i, QStringLiteral("time %1 ms comes before the time of the line above (%2 ms); lines are in "
                                          "time order")
                               .arg(e.t)
                               .arg(events.last().t));
        events << e;
    }
    // Without its end the session may have gone on: what it saw after the last line is unknown,
    // and a replay of the rest would pass what it never compared.
    if (events.last().type != Type::End)
        return fail(lines.size() - 1, QStringLiteral("the recording stops without its \"end\" event: the recording "
                                                     "process did not finish; record the session again"));
    return true;
}

QString resolvePath(const QString &file)
{
    if (file.contains(u'/'))
        return file;
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/Tarvisk/") + file;
}

QString timeText(int64_t ms)
{
    return QStringLiteral("%1.%2 s").arg(ms / 1000).arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

} // namespace tarvisk::recording
