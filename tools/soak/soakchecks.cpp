#include "soakchecks.h"

#include <QFile>

namespace tarvisk::soak {

QByteArray bitmapOf(const QList<int32_t> &codes)
{
    QByteArray bits(8, 0);
    for (int32_t code : codes) {
        if (code >= 0 && code < 64)
            bits[code / 8] = char(uint8_t(bits[code / 8]) | (1u << (code % 8)));
    }
    return bits;
}

QByteArray bitmapOf(std::initializer_list<int32_t> codes)
{
    return bitmapOf(QList<int32_t>(codes));
}

QString bitmapText(const QByteArray &bitmap)
{
    return QString::fromLatin1(bitmap.toHex(' '));
}

void KeyStateTracker::expect(const QByteArray &state)
{
    if (m_history.empty() || m_history.back() != state)
        m_history.push_back(state);
}

bool KeyStateTracker::received(const QByteArray &state)
{
    ++m_keyStates;
    m_lastReceived = state;
    if (m_history.empty()) {
        ++m_unexpected;
        return false;
    }
    if (m_history.front() == state)
        return true;
    for (size_t k = 1; k < m_history.size(); ++k) {
        if (m_history[k] == state) {
            m_skipped += k - 1;
            m_history.erase(m_history.begin(), m_history.begin() + qsizetype(k));
            return true;
        }
    }
    ++m_unexpected;
    return false;
}

void KeyStateTracker::resync(const QByteArray &state)
{
    ++m_keyStates;
    m_lastReceived = state;
    m_history.assign(1, state);
}

bool KeyStateTracker::heartbeat(const QByteArray &state)
{
    ++m_heartbeats;
    if (state == m_lastReceived)
        return true;
    ++m_badHeartbeats;
    return false;
}

bool KeyStateTracker::settled() const
{
    return m_history.size() == 1 && m_history.front() == m_lastReceived;
}

void SequenceCounter::add(quint32 sequence)
{
    if (!m_newest) {
        m_newest = sequence;
        return;
    }
    const auto ahead = int32_t(sequence - *m_newest);
    if (ahead > 0) {
        m_missing += quint64(ahead - 1);
        m_newest = sequence;
    } else {
        ++m_late;
    }
}

QString messageText(const HostMessage &m)
{
    return QStringLiteral("%1 %2 to \"%3\"").arg(m.number).arg(m.value).arg(m.destination);
}

HostSequenceChecker::HostSequenceChecker(const QString &destination)
    : m_destination(destination)
{}

void HostSequenceChecker::expectPair(int32_t number, int32_t value)
{
    if (!m_destination.isEmpty())
        m_expected.push_back({number, value, m_destination});
    m_expected.push_back({number, value, QString()});
}

void HostSequenceChecker::expectState(int32_t state)
{
    expectPair(0, state);
}

void HostSequenceChecker::expectPress(int32_t code)
{
    expectPair(1, code);
}

void HostSequenceChecker::expectRelease(int32_t code)
{
    expectPair(2, code);
    expectPair(3, code);
}

void HostSequenceChecker::expectSwitch(int32_t code)
{
    expectPair(2, code);
    expectPair(1, code);
    expectPair(3, code);
}

bool HostSequenceChecker::received(const HostMessage &message)
{
    ++m_fetched;
    if (!m_expected.empty() && m_expected.front() == message) {
        m_expected.pop_front();
        m_previous = message;
        return true;
    }
    for (size_t k = 1; k < m_expected.size(); ++k) {
        if (m_expected[k] == message) {
            m_lost += k;
            m_expected.erase(m_expected.begin(), m_expected.begin() + qsizetype(k) + 1);
            m_previous = message;
            return false;
        }
    }
    if (m_previous && *m_previous == message)
        ++m_duplicates;
    else
        ++m_unexpected;
    return false;
}

void HostSequenceChecker::dropOutstanding()
{
    m_lost += m_expected.size();
    m_expected.clear();
}

void MemorySeries::add(double seconds, qint64 kib)
{
    m_samples.push_back({seconds, kib});
}

double MemorySeries::span() const
{
    return m_samples.size() < 2 ? 0 : m_samples.back().seconds - m_samples.front().seconds;
}

double MemorySeries::midpoint() const
{
    return m_samples.isEmpty() ? 0 : m_samples.front().seconds + span() / 2;
}

double MemorySeries::slopeKibPerMinute(double from) const
{
    double n = 0, st = 0, sy = 0;
    for (const Sample &s : m_samples) {
        if (s.seconds < from)
            continue;
        n += 1;
        st += s.seconds;
        sy += double(s.kib);
    }
    if (n < 2)
        return 0;
    const double mt = st / n, my = sy / n;
    double num = 0, den = 0;
    for (const Sample &s : m_samples) {
        if (s.seconds < from)
            continue;
        num += (s.seconds - mt) * (double(s.kib) - my);
        den += (s.seconds - mt) * (s.seconds - mt);
    }
    return den > 0 ? num / den * 60.0 : 0;
}

std::optional<qint64> residentKib(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    // Files under /proc have no size; atEnd() would hold at once.
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith("VmRSS:")) {
            bool ok = false;
            const qint64 kib = line.mid(6).trimmed().split(' ').value(0).toLongLong(&ok);
            if (ok)
                return kib;
        }
    }
    return std::nullopt;
}

} // namespace tarvisk::soak
