#include "automation/replayer.h"

#include "automation/outputevents.h"

#include "common/unitbitmap.h"

#include <algorithm>
#include <cstdio>

namespace tarvisk {

using recording::Event;
using recording::timeText;
using recording::Type;

namespace {

// In fast mode, how long the replay waits for more outputs once every recorded one has come.
constexpr int kSettleMs = 100;
// How long past its recorded time an input waits for the state change recorded before it.
constexpr int kStateWaitMs = 2000;

} // namespace

Replayer::Replayer(QList<Event> events, QString name, QObject *parent)
    : QObject(parent)
    , m_events(std::move(events))
    , m_name(std::move(name))
{
    for (const Event &e : std::as_const(m_events)) {
        m_endTime = std::max(m_endTime, e.t);
        if (e.isOutput())
            m_recorded[e.stream()] << e;
    }
    m_writer = [](const QString &text) {
        std::fputs(qPrintable(text + u'\n'), stdout);
        std::fflush(stdout);
    };
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &Replayer::schedule);

    connect(&m_follower, &PendantFollower::windowChanged, this, &Replayer::onWindow);
    connectOutputEvents(m_follower, this, [this](const Event &e) { onOutput(e); });
}

Replayer::~Replayer() = default;

void Replayer::start()
{
    m_clock.start();
    onWindow();
    // From the event loop: the pendant is loaded after this, by the start-up that follows.
    m_timer.start(0);
}

void Replayer::onWindow()
{
    const PendantParts &parts = m_follower.parts();
    if (m_pendantChecked || !parts.isValid() || !m_clock.isValid())
        return;
    m_pendantChecked = true;
    for (const Event &e : std::as_const(m_events)) {
        if (e.type != Type::Pendant)
            continue;
        if (e.pendantType != int(parts.kind)) {
            difference(0,
                       QStringLiteral("pendant: the recording is of the %1 pendant, the replay drives the %2 pendant")
                           .arg(pendantKindName(PendantKind(e.pendantType)), pendantKindName(parts.kind)));
        }
        break;
    }
}

void Replayer::onOutput(Event e)
{
    if (m_done || !m_clock.isValid())
        return;
    e.t = m_clock.elapsed();
    const bool state = e.type == Type::State;
    m_actual[e.stream()] << e;
    // Inputs waiting for this output are played from the event loop, not from inside the model
    // that raised it. Every input may wait for a state change.
    if (m_fast || state)
        m_timer.start(0);
}

bool Replayer::outputsBeforeSeen() const
{
    QHash<QString, int> needed;
    const qsizetype limit = std::min(m_next, m_events.size());
    for (qsizetype i = 0; i < limit; ++i) {
        if (m_events[i].isOutput())
            ++needed[m_events[i].stream()];
    }
    for (auto it = needed.cbegin(); it != needed.cend(); ++it) {
        if (m_actual.value(it.key()).size() < it.value())
            return false;
    }
    return true;
}

int64_t Replayer::dueOf(qsizetype index) const
{
    const Event &in = m_events[index];
    const int64_t due = in.t - (m_player.lead ? m_player.lead(in) : 0);
    // The pendant's own state changes (its first connection tick) come a few milliseconds earlier
    // or later in a replay than they did in the recording. An input recorded after one is timed
    // from it, so that it never reaches keys that take no input yet.
    qsizetype states = 0;
    int64_t recordedAt = 0;
    QString stream;
    for (qsizetype i = 0; i < index; ++i) {
        if (m_events[i].type == Type::State) {
            ++states;
            recordedAt = m_events[i].t;
            stream = m_events[i].stream();
        }
    }
    if (states == 0)
        return due;
    const QList<Event> actual = m_actual.value(stream);
    if (actual.size() < states)
        return due + kStateWaitMs; // not come yet: waited for, but not for ever
    return std::max(due, actual[states - 1].t + (due - recordedAt));
}

void Replayer::schedule()
{
    if (m_done)
        return;
    const int64_t now = m_clock.elapsed();
    for (;;) {
        while (m_next < m_events.size() && !m_events[m_next].isInput())
            ++m_next;
        if (m_next >= m_events.size())
            break;
        const Event &in = m_events[m_next];
        const int64_t due = dueOf(m_next);
        if (now < due && !(m_fast && outputsBeforeSeen())) {
            m_timer.start(int(due - now));
            return;
        }
        ++m_inputs;
        QString why;
        if (m_player.play && !m_player.play(in, &why)) {
            difference(in.t, QStringLiteral("%1 of %2 (recorded from the %3): the pendant refused it: %4")
                                 .arg(recording::typeName(in.type), in.key, in.source, why));
        }
        ++m_next;
        if (m_done)
            return;
    }
    // Every input is played: the session ends at its recorded end, or in fast mode once every
    // recorded output has come and nothing more came for a moment.
    int64_t wake = m_endTime + kGraceMs;
    if (m_fast && outputsBeforeSeen()) {
        int64_t last = 0;
        for (const auto &list : std::as_const(m_actual)) {
            if (!list.isEmpty())
                last = std::max(last, list.last().t);
        }
        wake = std::min(wake, last + kSettleMs);
    }
    if (now >= wake) {
        end();
        return;
    }
    m_timer.start(int(wake - now));
}

void Replayer::end()
{
    if (m_done)
        return;
    m_done = true;
    m_timer.stop();
    compare();
    emit finished(m_differences == 0 ? 0 : 1);
}

QByteArray Replayer::shownAt(const QList<Event> &displays, int64_t t)
{
    // The surface starts unlit; each change shows until the next.
    QByteArray bits(unitbitmap::byteCount(unitbitmap::Width, unitbitmap::Height), 0);
    for (const Event &e : displays) {
        if (e.t > t)
            break;
        bits = e.bits;
    }
    return bits;
}

void Replayer::compare()
{
    QStringList streams = m_recorded.keys();
    for (const QString &s : m_actual.keys()) {
        if (!streams.contains(s))
            streams << s;
    }
    int compared = 0;
    for (const QString &stream : std::as_const(streams)) {
        const QList<Event> recorded = m_recorded.value(stream);
        const QList<Event> actual = m_actual.value(stream);
        const qsizetype count = std::max(recorded.size(), actual.size());
        compared += int(recorded.size());
        for (qsizetype i = 0; i < count; ++i) {
            if (i < recorded.size() && i < actual.size()) {
                const Event &r = recorded[i], &a = actual[i];
                if (r.sameOutput(a))
                    continue;
                QStringList picture;
                if (r.type == Type::Display) {
                    picture = unitbitmap::sideBySide(unitbitmap::textRows(r.bits), unitbitmap::textRows(a.bits),
                                                     QStringLiteral("recorded at %1").arg(timeText(r.t)),
                                                     QStringLiteral("replay at %1").arg(timeText(a.t)));
                }
                difference(r.t,
                           QStringLiteral("%1: recorded %2, the replay gave %3 at %4")
                               .arg(stream, r.valueText(), a.valueText(), timeText(a.t)),
                           picture);
            } else if (i < recorded.size()) {
                const Event &r = recorded[i];
                QStringList picture;
                if (r.type == Type::Display) {
                    picture = unitbitmap::sideBySide(
                        unitbitmap::textRows(r.bits), unitbitmap::textRows(shownAt(actual, r.t)),
                        QStringLiteral("recorded at %1").arg(timeText(r.t)), QStringLiteral("replay then (unchanged)"));
                }
                difference(r.t, QStringLiteral("%1: recorded %2, the replay gave nothing").arg(stream, r.valueText()),
                           picture);
            } else {
                const Event &a = actual[i];
                QStringList picture;
                if (a.type == Type::Display) {
                    picture = unitbitmap::sideBySide(unitbitmap::textRows(shownAt(recorded, a.t)),
                                                     unitbitmap::textRows(a.bits), QStringLiteral("recorded then"),
                                                     QStringLiteral("replay at %1").arg(timeText(a.t)));
                }
                difference(a.t,
                           QStringLiteral("%1: the replay gave %2, which the recording does not have")
                               .arg(stream, a.valueText()),
                           picture);
            }
        }
    }
    std::stable_sort(m_found.begin(), m_found.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    if (m_found.isEmpty()) {
        line(QStringLiteral("replay of %1: all %2 outputs match (%3 inputs played)")
                 .arg(m_name)
                 .arg(compared)
                 .arg(m_inputs));
        return;
    }
    line(QStringLiteral("replay of %1: %2 difference%3 (%4 outputs recorded, %5 inputs played)")
             .arg(m_name)
             .arg(m_found.size())
             .arg(m_found.size() == 1 ? QString() : QStringLiteral("s"))
             .arg(compared)
             .arg(m_inputs));
    for (const auto &[t, lines] : std::as_const(m_found)) {
        for (const QString &text : lines)
            line(text);
    }
}

void Replayer::difference(int64_t t, const QString &text, const QStringList &picture)
{
    ++m_differences;
    QStringList lines{timeText(t) + QStringLiteral("  ") + text};
    for (const QString &row : picture)
        lines << QStringLiteral("    ") + row;
    m_found.append({t, lines});
}

void Replayer::line(const QString &text)
{
    m_report << text;
    if (m_writer)
        m_writer(text);
}

} // namespace tarvisk
