#pragma once

#include "keytargets.h"
#include "soakchecks.h"
#include "xinput.h"

#include <QElapsedTimer>
#include <QMap>
#include <QRandomGenerator>
#include <QStringList>
#include <QTimer>

#include <functional>

namespace tarvisk::soak {

struct LegOptions
{
    int seconds = 600;
    QString tarvisk; // the program under test (standalone leg)
    QString logDir;  // where the program's output goes
    quint32 seed = 0;
    double memoryLimitKibPerMinute = 512;
    // The memory trend is judged only over a second half at least this long: shorter runs
    // measure the warm-up, not a leak.
    double memoryMinimumJudgedSeconds = 60;
    int settleMs = 1000; // how long a reported state may lag behind the action
};

// What both legs share: the pointer on the pendant window, waiting with the event loop running,
// memory samples, the counters and the verdict.
class SoakLeg : public QObject
{
    Q_OBJECT
public:
    SoakLeg(const QString &name, const LegOptions &options);

    // Runs the leg to its end and prints its summary; 0 when every check passed.
    virtual int run() = 0;

protected:
    // Runs the event loop until pred() holds or the time is up; the result of pred().
    bool waitUntil(const std::function<bool()> &pred, int timeoutMs);
    void pause(int ms);

    // A check failed: counted, and the first ones are printed with the time.
    void mismatch(const QString &what);
    // A setup or tear-down step failed: the leg cannot judge what it wanted to.
    void failure(const QString &what);
    void note(const QString &what);
    double elapsedSeconds() const { return m_clock.elapsed() / 1000.0; }

    // Starts sampling the resident set of the process every two seconds.
    void startMemorySampling(qint64 pid);
    void sampleMemory();

    bool findWindow(const PendantLayout &layout, int timeoutMs);
    QPoint toRoot(QPoint windowPoint) const { return m_windowRect.topLeft() + windowPoint; }
    // A random point of a target where only it takes the mouse, in root coordinates.
    QPoint pointIn(const KeyTarget &t);
    // A point outside the window, on the screen.
    QPoint pointOutside();
    void moveTo(QPoint root);
    void pressButton();
    void releaseButton();
    // Whether a press at `root` now would be the second press of a double click for Qt.
    bool wouldDoubleClick(QPoint root) const;
    int randomInt(int lo, int hi) { return int(m_random.bounded(lo, hi + 1)); }
    bool chance(double p) { return m_random.generateDouble() < p; }
    template <class T> const T &pick(const QList<T> &list) { return list[int(m_random.bounded(int(list.size())))]; }

    void count(const QString &what, quint64 n = 1) { m_counts[what] += n; }
    quint64 counted(const QString &what) const { return m_counts.value(what); }

    // The program under test writes nothing while all goes well: each line of its log (but those
    // starting with one of `ignoredPrefixes`) is a mismatch. A missing log is not checked.
    void checkQuietLog(const QString &path, const QStringList &ignoredPrefixes = {});

    // Prints the summary: the counters, the memory trend and the verdict. Returns the exit status.
    int finish(const QStringList &lines);

    QString m_name;
    LegOptions m_options;
    XInput m_x;
    uint32_t m_window = 0;
    QRect m_windowRect;
    QRandomGenerator m_random;
    QElapsedTimer m_clock;
    bool m_buttonDown = false;

private:
    QTimer m_memoryTimer;
    qint64 m_pid = 0;
    MemorySeries m_memory;
    QMap<QString, quint64> m_counts;
    quint64 m_mismatches = 0;
    QStringList m_failures;
    QPoint m_pointer{-1000, -1000};
    QPoint m_lastPress{-1000, -1000};
    QElapsedTimer m_sincePress;
};

int runStandaloneLeg(const LegOptions &options);
int runHostedLeg(const LegOptions &options);

} // namespace tarvisk::soak
