// The hosted leg: the provider on a private session bus, this program as its client, and real
// X input on the standard pendant it shows.
#include "soakleg.h"

#include "host/dbusvalue.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>

namespace tarvisk::soak {

namespace {

const QString kService = QStringLiteral("ZephProv.Halvex.Tarvisk");
const QString kRoot = QStringLiteral("/ZephProv/Halvex/Tarvisk");
const QString kController = QStringLiteral("ZephProv.IProviderController");
const QString kMessage = QStringLiteral("ZephProv.IProviderMessage");
const QString kHandle = QStringLiteral("ZephProv.Halvex.Tarvisk.Handle");
const QString kDestination = QStringLiteral("x");

class HostedLeg : public SoakLeg
{
public:
    explicit HostedLeg(const LegOptions &options)
        : SoakLeg(QStringLiteral("hosted"), options)
        , m_bus(QDBusConnection::sessionBus())
        , m_checker(kDestination)
    {}

    int run() override;

private:
    bool start();
    void drive();
    void stop();
    QStringList summary() const;

    QDBusMessage call(const QString &path, const QString &interface, const QString &method,
                      const QVariantList &args = {});
    // FinalExecute; false (counted) when it fails.
    bool execute(const QString &command, const Variant &parameter, Variant *result = nullptr);
    // Fetches one message; false when the queue is empty.
    bool fetch();
    // Fetches until every expected message came; the missing ones count as lost after the time.
    void drain(const QString &after, int timeoutMs = -1);

    void pressKey();
    void releaseKey();
    void clickSwitch();
    // The client hides the window under a held key: the key is let go and reported at once, and
    // the mouse's late release reports nothing more.
    void hideWhileHeld();
    void sendLed();
    void sendBeep();
    void checkKeyState();

    QDBusConnection m_bus;
    QString m_provider; // the unique name of the provider's connection
    QString m_path;     // the controller
    qint64 m_pid = 0;
    PendantLayout m_layout;
    HostSequenceChecker m_checker;
    const KeyTarget *m_held = nullptr;
    int32_t m_switchCode = -1;
};

int HostedLeg::run()
{
    if (start())
        drive();
    stop();
    return finish(summary());
}

QDBusMessage HostedLeg::call(const QString &path, const QString &interface, const QString &method,
                             const QVariantList &args)
{
    QDBusMessage m =
        QDBusMessage::createMethodCall(m_provider.isEmpty() ? kService : m_provider, path, interface, method);
    m.setArguments(args);
    const QDBusMessage reply = m_bus.call(m, QDBus::Block, 20000);
    count(QStringLiteral("bus calls"));
    if (reply.type() != QDBusMessage::ReplyMessage)
        mismatch(QStringLiteral("%1.%2 on %3 answered %4: %5")
                     .arg(interface, method, path, reply.errorName(), reply.errorMessage()));
    return reply;
}

bool HostedLeg::execute(const QString &command, const Variant &parameter, Variant *result)
{
    const QDBusMessage r =
        call(m_path, kController, QStringLiteral("FinalExecute"), {command, QVariant::fromValue(DBusValue(parameter))});
    if (r.type() != QDBusMessage::ReplyMessage || r.arguments().size() != 2)
        return false;
    if (const int status = r.arguments().at(0).toInt(); status != 0) {
        mismatch(QStringLiteral("\"%1\" %2 failed with status %3").arg(command, parameter.debugText()).arg(status));
        return false;
    }
    if (result)
        *result = qdbus_cast<DBusValue>(r.arguments().at(1)).value;
    return true;
}

bool HostedLeg::start()
{
    registerDBusValueTypes();
    QString error;
    if (!m_x.open(&error)) {
        failure(error);
        return false;
    }
    m_layout = standardPendantLayout();
    for (const KeyTarget &t : m_layout.keys + m_layout.switchAreas) {
        if (t.points.isEmpty()) {
            failure(QStringLiteral("no point of %1 takes the mouse").arg(t.name));
            return false;
        }
    }
    if (!m_bus.isConnected()) {
        failure(QStringLiteral("no session bus: ") + m_bus.lastError().message());
        return false;
    }

    // The bus starts the provider on the first call to its name.
    const QDBusMessage created = call(kRoot, QStringLiteral("ZephProv.Halvex.Tarvisk.Provider"),
                                      QStringLiteral("CreateController"), {QString()});
    if (created.type() != QDBusMessage::ReplyMessage || created.arguments().size() != 1) {
        failure(QStringLiteral("cannot create a controller"));
        return false;
    }
    m_provider = created.service();
    m_path = qdbus_cast<QDBusObjectPath>(created.arguments().first()).path();
    m_pid = qint64(m_bus.interface()->servicePid(m_provider).value());
    if (m_pid <= 0) {
        failure(QStringLiteral("no process id for %1").arg(m_provider));
        return false;
    }
    note(QStringLiteral("provider %1 (process %2), controller %3").arg(m_provider).arg(m_pid).arg(m_path));

    const Variant options =
        Variant::array({Variant(), Variant(QStringLiteral("PendantType=0, StateDestination=x")), Variant()});
    const QDBusMessage connected =
        call(m_path, kController, QStringLiteral("FinalConnect"), {QVariant::fromValue(DBusValue(options))});
    if (connected.type() != QDBusMessage::ReplyMessage || connected.arguments().value(0).toInt() != 0) {
        failure(QStringLiteral("FinalConnect failed"));
        return false;
    }
    // A second after the connect: "CONNECT", then the mode switch in the default mode (MAN).
    const KeyTarget *man = nullptr;
    for (const KeyTarget &area : std::as_const(m_layout.switchAreas)) {
        if (area.switchPosition == 1)
            man = &area;
    }
    m_checker.expectState(1);
    m_checker.expectSwitch(man->code);
    m_switchCode = man->code;

    if (!execute(QStringLiteral("show"), Variant()) ||
        !execute(QStringLiteral("move"), Variant::array({Variant(int32_t(1500)), Variant(int32_t(1500))})))
        return false;
    if (!findWindow(m_layout, 10000))
        return false;
    startMemorySampling(m_pid);
    drain(QStringLiteral("the connect"), 10000);
    note(QStringLiteral("window at %1,%2; %3 keys")
             .arg(m_windowRect.x())
             .arg(m_windowRect.y())
             .arg(m_layout.keys.size()));
    checkKeyState();
    return true;
}

bool HostedLeg::fetch()
{
    const QDBusMessage r = call(m_path, kController, QStringLiteral("GetMessage"));
    if (r.type() != QDBusMessage::ReplyMessage || r.arguments().size() != 2)
        return false;
    const QString path = qdbus_cast<QDBusObjectPath>(r.arguments().at(1)).path();
    if (r.arguments().at(0).toInt() != 0 || path == QLatin1String("/"))
        return false;

    HostMessage m;
    m.number = call(path, kMessage, QStringLiteral("FinalGetNumber")).arguments().value(1).toInt();
    const QDBusMessage value = call(path, kMessage, QStringLiteral("FinalGetValue"));
    if (value.arguments().size() == 2) {
        try {
            m.value = qdbus_cast<DBusValue>(value.arguments().at(1)).value.toLong();
        } catch (const ProvError &) {
            m.value = INT32_MIN;
        }
    }
    m.destination = call(path, kMessage, QStringLiteral("FinalGetDestination")).arguments().value(1).toString();
    call(path, kHandle, QStringLiteral("Release"));
    count(QStringLiteral("messages fetched"));

    const QString next =
        m_checker.pending().empty() ? QStringLiteral("none") : messageText(m_checker.pending().front());
    const quint64 lost = m_checker.lost();
    const quint64 repeated = m_checker.duplicates();
    if (!m_checker.received(m)) {
        if (m_checker.lost() > lost)
            mismatch(QStringLiteral("%1 messages lost before %2").arg(m_checker.lost() - lost).arg(messageText(m)));
        else if (m_checker.duplicates() > repeated)
            mismatch(QStringLiteral("message %1 repeated").arg(messageText(m)));
        else
            mismatch(QStringLiteral("message %1 unexpected (expected %2)").arg(messageText(m), next));
    }
    return true;
}

void HostedLeg::drain(const QString &after, int timeoutMs)
{
    if (timeoutMs < 0)
        timeoutMs = 2 * m_options.settleMs;
    const bool done = waitUntil(
        [this] {
            while (fetch()) {
            }
            return m_checker.outstanding() == 0;
        },
        timeoutMs);
    if (!done) {
        QStringList missing;
        for (const HostMessage &m : m_checker.pending())
            missing << messageText(m);
        mismatch(QStringLiteral("after %1 never fetched: %2").arg(after, missing.join(QStringLiteral(", "))));
        m_checker.dropOutstanding();
    }
}

void HostedLeg::drive()
{
    const qint64 end = m_clock.elapsed() + qint64(m_options.seconds) * 1000;
    while (m_clock.elapsed() < end) {
        if (!residentKib(m_pid)) {
            failure(QStringLiteral("the provider ended during the run"));
            return;
        }
        if (m_held) {
            const double r = m_random.generateDouble();
            if (r < 0.15) {
                moveTo(pointIn(*m_held));
            } else if (r < 0.17) {
                hideWhileHeld();
            } else if (r < 0.25) {
                sendLed();
                sendBeep();
            } else {
                releaseKey();
            }
        } else {
            const double r = m_random.generateDouble();
            if (r < 0.50)
                pressKey();
            else if (r < 0.58)
                clickSwitch();
            else if (r < 0.70)
                sendLed();
            else if (r < 0.80)
                sendBeep();
            else if (r < 0.85)
                checkKeyState();
            else if (r < 0.92)
                moveTo(chance(0.5) ? pointOutside()
                                   : toRoot(QPoint(randomInt(0, m_windowRect.width() - 1),
                                                   randomInt(0, m_windowRect.height() - 1))));
            else
                drain(QStringLiteral("an idle check"));
        }
    }
}

void HostedLeg::pressKey()
{
    const KeyTarget &key = pick(m_layout.keys);
    moveTo(pointIn(key));
    pressButton();
    m_held = &key;
    m_checker.expectPress(key.code);
    count(QStringLiteral("presses"));
    if (chance(0.5))
        drain(QStringLiteral("pressing ") + key.name);
}

void HostedLeg::releaseKey()
{
    const double r = m_random.generateDouble();
    QString where;
    if (r < 0.2) {
        moveTo(pointIn(pick(m_layout.keys)));
        where = QStringLiteral(" over another key");
        count(QStringLiteral("releases over another key"));
    } else if (r < 0.4) {
        moveTo(pointOutside());
        where = QStringLiteral(" outside the window");
        count(QStringLiteral("releases outside"));
    }
    const KeyTarget *key = m_held;
    releaseButton();
    m_held = nullptr;
    m_checker.expectRelease(key->code);
    count(QStringLiteral("releases"));
    drain(QStringLiteral("releasing ") + key->name + where);
}

void HostedLeg::clickSwitch()
{
    const KeyTarget &area = pick(m_layout.switchAreas);
    QPoint p = pointIn(area);
    // The second press of a double click chooses no switch position on this pendant.
    if (wouldDoubleClick(p))
        pause(850);
    moveTo(p);
    pressButton();
    const bool elsewhere = chance(0.2);
    if (elsewhere)
        moveTo(chance(0.5) ? pointOutside() : pointIn(pick(m_layout.keys)));
    releaseButton();
    if (!elsewhere && area.code != m_switchCode) {
        m_checker.expectSwitch(area.code);
        m_switchCode = area.code;
    }
    count(QStringLiteral("switch clicks"));
    drain(QStringLiteral("clicking ") + area.name +
          (elsewhere ? QStringLiteral(" and releasing elsewhere") : QString()));
}

void HostedLeg::hideWhileHeld()
{
    const KeyTarget *key = m_held;
    // The press travels over X, the hide over the bus: a press still queued when the window hides
    // holds nothing, so the press must have been taken first for its release to be due.
    drain(QStringLiteral("pressing ") + key->name);
    if (!execute(QStringLiteral("hide"), Variant()))
        return;
    m_checker.expectRelease(key->code);
    drain(QStringLiteral("hiding the window under ") + key->name);
    releaseButton();
    m_held = nullptr;
    checkKeyState();
    execute(QStringLiteral("show"), Variant());
    count(QStringLiteral("hides under a held key"));
    if (!findWindow(m_layout, 10000))
        failure(QStringLiteral("the window did not come back after \"show\""));
}

void HostedLeg::sendLed()
{
    if (execute(QStringLiteral("led"),
                Variant::array({Variant(int32_t(randomInt(1, 2))), Variant(int32_t(randomInt(0, 2)))})))
        count(QStringLiteral("led commands"));
}

void HostedLeg::sendBeep()
{
    const int choice = randomInt(0, 9);
    const int32_t ms = choice == 0 ? -1 : choice == 1 ? 0 : randomInt(20, 800);
    if (execute(QStringLiteral("beep"), Variant(ms)))
        count(QStringLiteral("beep commands"));
}

void HostedLeg::checkKeyState()
{
    drain(QStringLiteral("asking for the key state"));
    Variant state;
    if (!execute(QStringLiteral("getkeystate"), Variant(), &state))
        return;
    count(QStringLiteral("key-state queries"));
    const QByteArray expected = bitmapOf({m_switchCode});
    const QByteArray *bits = state.bytes();
    if (!bits || *bits != expected)
        mismatch(QStringLiteral("getkeystate with no key held answered %1, expected %2")
                     .arg(bits ? bitmapText(*bits) : state.debugText(), bitmapText(expected)));
}

void HostedLeg::stop()
{
    if (m_path.isEmpty())
        return;
    if (m_buttonDown) {
        const KeyTarget *key = m_held;
        releaseButton();
        m_held = nullptr;
        if (key)
            m_checker.expectRelease(key->code);
    }
    if (residentKib(m_pid)) {
        drain(QStringLiteral("the last action"));
        sampleMemory();
        // The disconnect queues "DISCONNECT", which can still be fetched.
        const QDBusMessage r = call(m_path, kController, QStringLiteral("FinalDisconnect"));
        if (r.arguments().value(0).toInt() != 0)
            mismatch(QStringLiteral("FinalDisconnect failed"));
        m_checker.expectState(0);
        drain(QStringLiteral("the disconnect"));
        // Anything late would show up now.
        pause(500);
        while (fetch()) {
        }
    }
    // With its last object released the provider ends.
    call(m_path, kHandle, QStringLiteral("Release"));
    if (!waitUntil([this] { return !residentKib(m_pid); }, 15000))
        failure(QStringLiteral("the provider still runs 15 s after its last object was released"));
    // The bus's log, which holds the provider's output when run-soak.sh started the bus.
    checkQuietLog(m_options.logDir + QStringLiteral("/hosted-tarvisk.log"), {QStringLiteral("dbus-daemon[")});
}

QStringList HostedLeg::summary() const
{
    QStringList lines;
    lines << QStringLiteral("%1 s of input: %2 presses, %3 releases (%4 over another key, %5 outside the window), %6 "
                            "switch clicks, %7 pointer moves")
                 .arg(m_options.seconds)
                 .arg(counted(QStringLiteral("presses")))
                 .arg(counted(QStringLiteral("releases")))
                 .arg(counted(QStringLiteral("releases over another key")))
                 .arg(counted(QStringLiteral("releases outside")))
                 .arg(counted(QStringLiteral("switch clicks")))
                 .arg(counted(QStringLiteral("pointer moves")));
    lines << QStringLiteral("%1 commands: %2 led, %3 beep, %4 getkeystate, %6 hide and show under a held key; "
                            "%5 bus calls")
                 .arg(counted(QStringLiteral("led commands")) + counted(QStringLiteral("beep commands")) +
                      counted(QStringLiteral("key-state queries")) +
                      2 * counted(QStringLiteral("hides under a held key")))
                 .arg(counted(QStringLiteral("led commands")))
                 .arg(counted(QStringLiteral("beep commands")))
                 .arg(counted(QStringLiteral("key-state queries")))
                 .arg(counted(QStringLiteral("bus calls")))
                 .arg(counted(QStringLiteral("hides under a held key")));
    lines << QStringLiteral("%1 messages fetched: %2 lost, %3 repeated, %4 unexpected")
                 .arg(m_checker.fetched())
                 .arg(m_checker.lost())
                 .arg(m_checker.duplicates())
                 .arg(m_checker.unexpected());
    return lines;
}

} // namespace

int runHostedLeg(const LegOptions &options)
{
    HostedLeg leg(options);
    return leg.run();
}

} // namespace tarvisk::soak
