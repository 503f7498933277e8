#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <deque>
#include <optional>

// The judging half of the soak run, free of X, sockets and buses so that it can be tested on its
// own: what the soak's actions imply, compared with what the pendant reported.
namespace tarvisk::soak {

// An 8-byte key-state bitmap with the given codes set.
QByteArray bitmapOf(std::initializer_list<int32_t> codes);
QByteArray bitmapOf(const QList<int32_t> &codes);
// "08 40 00 00 00 00 00 00".
QString bitmapText(const QByteArray &bitmap);

// Follows the key states a standalone pendant sends against the states the soak's actions imply.
//
// Every action that changes the implied state appends it to the expected history. The states
// received must walk that history in order: each one is either the state matched last (a
// repeat) or a later one. Passing over expected states means a change was never reported; a
// state that is nowhere ahead in the history is one the actions never produced.
class KeyStateTracker
{
public:
    // The implied state after an action; a state equal to the last expected one is no change.
    void expect(const QByteArray &state);
    // A key state that is no heartbeat. False when it matches no state expected from the last
    // matched one on.
    bool received(const QByteArray &state);
    // A key state taken as the truth from now on: the first one, or the pendant's word after a
    // mismatch was counted, so that one fault is counted once.
    void resync(const QByteArray &state);
    // A heartbeat, which must repeat the last key state received. False when it does not.
    bool heartbeat(const QByteArray &state);

    // The last state received equals the last one expected.
    bool settled() const;
    QByteArray expected() const { return m_history.empty() ? QByteArray() : m_history.back(); }
    QByteArray lastReceived() const { return m_lastReceived; }

    quint64 keyStates() const { return m_keyStates; }
    quint64 heartbeats() const { return m_heartbeats; }
    // States received that the actions never implied at that point.
    quint64 unexpected() const { return m_unexpected; }
    // Expected states passed over: changes that were never reported.
    quint64 skipped() const { return m_skipped; }
    // Heartbeats that did not repeat the last key state.
    quint64 badHeartbeats() const { return m_badHeartbeats; }

private:
    // Expected states from the last matched one (the front) on.
    std::deque<QByteArray> m_history;
    QByteArray m_lastReceived;
    quint64 m_keyStates = 0;
    quint64 m_heartbeats = 0;
    quint64 m_unexpected = 0;
    quint64 m_skipped = 0;
    quint64 m_badHeartbeats = 0;
};

// Counts the gaps in a sender's sequence numbers (serial-number arithmetic: a number behind the
// newest one is late, not lost).
class SequenceCounter
{
public:
    void add(quint32 sequence);
    // Numbers never seen between the first and the newest.
    quint64 missing() const { return m_missing; }
    // Numbers seen again, or older than the newest.
    quint64 late() const { return m_late; }

private:
    std::optional<quint32> m_newest;
    quint64 m_missing = 0;
    quint64 m_late = 0;
};

// One message fetched from the hosted controller's queue.
struct HostMessage
{
    int32_t number = 0;
    int32_t value = 0; // the key code, or the state of message 0
    QString destination;

    bool operator==(const HostMessage &) const = default;
};
QString messageText(const HostMessage &m);

// Follows the hosted controller's queue against the messages the soak's actions imply. With a
// state destination every key message comes twice, addressed and then general.
class HostSequenceChecker
{
public:
    explicit HostSequenceChecker(const QString &destination);

    // State message 0 with the state's number.
    void expectState(int32_t state);
    // A key press: message 1.
    void expectPress(int32_t code);
    // A key release: message 2, then 3.
    void expectRelease(int32_t code);
    // A new mode-switch position: 2 with its key, then 1 and 3.
    void expectSwitch(int32_t code);

    // A fetched message. False when it is not the next one expected; then it is judged lost
    // messages (it matches a later expected one, those before it are dropped), a duplicate of
    // the message before it, or unexpected.
    bool received(const HostMessage &message);

    // Messages expected and not yet fetched.
    int outstanding() const { return int(m_expected.size()); }
    // Gives up on the outstanding messages, counting them lost.
    void dropOutstanding();
    const std::deque<HostMessage> &pending() const { return m_expected; }

    quint64 fetched() const { return m_fetched; }
    quint64 lost() const { return m_lost; }
    quint64 duplicates() const { return m_duplicates; }
    quint64 unexpected() const { return m_unexpected; }
    quint64 mismatches() const { return m_lost + m_duplicates + m_unexpected; }

private:
    void expectPair(int32_t number, int32_t value);

    QString m_destination;
    std::deque<HostMessage> m_expected;
    std::optional<HostMessage> m_previous;
    quint64 m_fetched = 0;
    quint64 m_lost = 0;
    quint64 m_duplicates = 0;
    quint64 m_unexpected = 0;
};

// Resident-set samples of a process over time, with their least-squares trend.
class MemorySeries
{
public:
    void add(double seconds, qint64 kib);
    int count() const { return int(m_samples.size()); }
    bool isEmpty() const { return m_samples.isEmpty(); }
    qint64 first() const { return m_samples.isEmpty() ? 0 : m_samples.front().kib; }
    qint64 last() const { return m_samples.isEmpty() ? 0 : m_samples.back().kib; }
    double span() const;
    // Least-squares slope in KiB per minute over the samples from time `from` on; 0 with fewer
    // than two samples there.
    double slopeKibPerMinute(double from = 0) const;
    // The time halfway between the first and the last sample.
    double midpoint() const;

private:
    struct Sample
    {
        double seconds;
        qint64 kib;
    };
    QList<Sample> m_samples;
};

// VmRSS of a process from /proc/PID/status, in KiB; nothing when the process is gone.
std::optional<qint64> residentKib(qint64 pid);

} // namespace tarvisk::soak
