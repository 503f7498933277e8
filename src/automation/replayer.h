#pragma once

#include "automation/pendantfollower.h"
#include "automation/recording.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>

#include <functional>

namespace tarvisk {

// How a replay reaches the pendant: play one input (false with the reason when the pendant
// refused it), and how long before its recorded time an input is to be played.
struct InputPlayer
{
    std::function<bool(const recording::Event &input, QString *why)> play;
    std::function<int(const recording::Event &input)> lead;
};

// Plays inputs into the pendant window that is loaded, through its input path as a source of
// their own ("replay").
InputPlayer makeReplayInputPlayer();

// Plays a recording's inputs into the pendant and compares every output with the recording.
// Inputs come at their recorded times, or with fast() as soon as every output recorded before
// them has come (never later than their recorded time). An input recorded after a change of the
// window's state is timed from that change as the replay sees it. Outputs are compared per stream (each
// LED, the beeper, the display, the state) in order, so outputs of different streams may
// interleave differently without counting as a difference. When the session is over the report
// is written and finished() tells the exit status: 0 when everything matched, 1 otherwise.
class Replayer : public QObject
{
    Q_OBJECT
public:
    // How long after the recorded end the replay still takes outputs, to catch extra ones.
    static constexpr int kGraceMs = 500;

    Replayer(QList<recording::Event> events, QString name, QObject *parent = nullptr);
    ~Replayer() override;

    void setFast(bool fast) { m_fast = fast; }
    void setInputPlayer(InputPlayer player) { m_player = std::move(player); }
    // Where the report goes; standard output by default.
    void setReportWriter(std::function<void(const QString &line)> writer) { m_writer = std::move(writer); }

    // The clock starts here, as the recording's did when it opened.
    void start();
    // Ends the session now (the window went away): compares what came, and reports.
    void stop() { end(); }

    // The report's lines so far (complete once finished).
    const QStringList &report() const { return m_report; }
    int differences() const { return m_differences; }

signals:
    void finished(int exitCode);

private:
    void schedule();
    // When the input at index is to be played on the replay's clock.
    int64_t dueOf(qsizetype index) const;
    // Whether every output recorded before the next input (or, past the last input, every
    // output) has its counterpart in the replay.
    bool outputsBeforeSeen() const;
    void onOutput(recording::Event e);
    void onWindow();
    void end();
    void compare();
    // The display as a stream of changes showed it at time t.
    static QByteArray shownAt(const QList<recording::Event> &displays, int64_t t);
    void line(const QString &text);
    void difference(int64_t t, const QString &text, const QStringList &picture = {});

    QList<recording::Event> m_events;
    QString m_name;
    bool m_fast = false;
    InputPlayer m_player;
    std::function<void(const QString &)> m_writer;
    PendantFollower m_follower;
    QElapsedTimer m_clock;
    QTimer m_timer;
    qsizetype m_next = 0; // the next event to look at for inputs
    int64_t m_endTime = 0;
    QHash<QString, QList<recording::Event>> m_recorded; // by stream
    QHash<QString, QList<recording::Event>> m_actual;
    QList<QPair<int64_t, QStringList>> m_found; // differences, by time
    QStringList m_report;
    int m_inputs = 0;
    int m_differences = 0;
    bool m_done = false;
    bool m_pendantChecked = false;
};

} // namespace tarvisk
