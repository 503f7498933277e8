#pragma once

#include "common/variant.h"
#include "link/linkwire.h"

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QTimer>
#include <QUdpSocket>

#include <array>
#include <cstdint>
#include <optional>

class QTextStream;

namespace tarvisk::controller {

struct ControllerOptions
{
    QHostAddress address = QHostAddress(QHostAddress::LocalHost);
    quint16 port = 5010; // 0 takes a free port
    // Where messages go. When not given, the pendant's datagrams tell: its hello, or before any
    // hello the first datagram that arrives. When given, datagrams from elsewhere are foreign.
    std::optional<QHostAddress> pendantAddress;
    std::optional<quint16> pendantPort;
    bool mini = false;    // key names of the mini pendant (MP_KEY_) instead of TP_KEY_
    bool demo = false;    // answer keys like a controller would
    bool quiet = false;   // no event lines (keys, connection, demo); answers and errors still print
    bool verbose = false; // also a line for every datagram ignored or not shown otherwise
    // A pendant that sends nothing for this long once it sent a key state counts as gone and its
    // keys are released; 0 never.
    int watchdogMs = 500;
};

// What the controller did with datagrams since it started.
struct ControllerCounters
{
    quint64 received = 0;     // every datagram read
    quint64 keyStates = 0;    // key states applied, heartbeats included
    quint64 heartbeats = 0;   // of those, heartbeat repeats
    quint64 malformed = 0;    // not a well-formed datagram of the protocol
    quint64 tooDeep = 0;      // a value nested too deeply
    quint64 tooLarge = 0;     // longer than the protocol allows
    quint64 unknownKind = 0;  // well formed, of a kind this version does not know
    quint64 unexpected = 0;   // a controller's kind ("msg") sent to the controller
    quint64 foreign = 0;      // from another sender than the pendant
    quint64 stale = 0;        // a key state older than one already applied, or a datagram of an ended opening
    quint64 badKeyState = 0;  // a SetKeyState whose value is no 8-byte bitmap
    quint64 sent = 0;         // messages sent
    quint64 pongs = 0;        // answers to the pendant's pings
    quint64 sendFailures = 0; // messages the socket refused

    quint64 ignored() const
    {
        return malformed + tooDeep + tooLarge + unknownKind + unexpected + foreign + stale + badKeyState;
    }
};

// A robot controller's side of the pendant link: takes the pendant's datagrams, reports key
// changes by key name, and sends LED, beeper and display messages. Every line it writes goes to
// the given streams (events and answers to out, errors to err), flushed line by line.
class VirtualController : public QObject
{
    Q_OBJECT
public:
    VirtualController(const ControllerOptions &options, QTextStream &out, QTextStream &err, QObject *parent = nullptr);
    ~VirtualController() override;

    // Binds the port; false with the reason in *error when it cannot.
    bool start(QString *error);
    quint16 localPort() const { return m_socket.localPort(); }

    // Sends one message to the pendant; false (with an error line written) when no pendant is
    // known yet, the value cannot travel, or the socket refuses it.
    bool sendMessage(int32_t number, const Variant &value);

    // A pendant spoke (hello or first datagram) and has not closed since.
    bool isConnected() const { return m_connected; }
    // Messages have somewhere to go: the pendant is connected, or its address and port were given.
    bool pendantKnown() const { return m_pendantKnown; }
    // The codes held in the last key state applied, ascending.
    QList<int> heldKeys() const;
    // The key name of a code in the table of this pendant family, or "key N" for a code outside it.
    QString keyName(int code) const;
    const ControllerCounters &counters() const { return m_counters; }

    // Output helpers shared with the command runners.
    void printEvent(const QString &line);   // unless quiet
    void printVerbose(const QString &line); // with verbose only
    void printAnswer(const QString &line);  // always
    void printError(const QString &line);   // always, to err

    void printState();
    void printCounters();

signals:
    void pendantConnected();
    void pendantGone();

private:
    using KeyBits = std::array<uint8_t, 8>;

    void readPending();
    void handleDatagram(const QByteArray &bytes, const QHostAddress &from, quint16 port);
    bool acceptSender(const linkwire::Datagram &d, const QHostAddress &from, quint16 port);
    void handleHello(const linkwire::Datagram &d);
    void handleExec(const linkwire::Datagram &d, const QString &origin);
    void handleSet(const linkwire::Datagram &d);
    void answerPing(const linkwire::Datagram &ping);
    void applyKeyState(const KeyBits &bits, bool heartbeat);
    // Reports every key that changed, releases first, and lets the demo answer the presses.
    void changeKeys(const KeyBits &bits);
    void releaseAll(const QString &why);
    void watchdogExpired();
    void demoKeyPressed(int code);
    void drawDemoScreen();

    ControllerOptions m_options;
    QTextStream &m_out;
    QTextStream &m_err;
    QUdpSocket m_socket;
    QTimer m_watchdog;
    QHash<int, QString> m_names; // code -> key name of the pendant family

    bool m_connected = false;
    bool m_pendantKnown = false;
    QHostAddress m_pendantAddress;
    quint16 m_pendantPort = 0;
    bool m_silent = false; // the watchdog released the keys; the pendant has not been heard since
    KeyBits m_keys{};
    // The session id of the pendant's opening (none from a pendant of protocol 1), and those of
    // openings it replaced, whose late datagrams are stale.
    std::optional<quint32> m_session;
    QList<quint32> m_endedSessions;
    // The newest key state applied; reset by a new opening and by the watchdog.
    std::optional<quint32> m_lastKeySequence;
    quint32 m_nextSequence = 0;
    ControllerCounters m_counters;

    // The demo.
    int m_motorCode = -1;
    int m_stopCode = -1;
    int m_upCode = -1;
    int m_downCode = -1;
    int m_okCode = -1;
    int m_cancelCode = -1;
    bool m_led1On = false;
    bool m_screenShown = false; // drawn since the pendant connected
    int m_selected = 0;
    int m_chosen = -1; // the entry shown after OK, -1 while the menu is shown
};

} // namespace tarvisk::controller
