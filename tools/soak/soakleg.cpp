#include "soakleg.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>

#include <algorithm>
#include <cstdio>

namespace tarvisk::soak {

namespace {

constexpr int kShownMismatches = 20;

void printLine(const QString &line)
{
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

SoakLeg::SoakLeg(const QString &name, const LegOptions &options)
    : m_name(name)
    , m_options(options)
    , m_random(options.seed)
{
    m_clock.start();
    m_sincePress.start();
    connect(&m_memoryTimer, &QTimer::timeout, this, &SoakLeg::sampleMemory);
}

bool SoakLeg::waitUntil(const std::function<bool()> &pred, int timeoutMs)
{
    if (pred())
        return true;
    QElapsedTimer t;
    t.start();
    QEventLoop loop;
    QTimer tick;
    bool result = false;
    connect(&tick, &QTimer::timeout, &loop, [&] {
        if (pred()) {
            result = true;
            loop.quit();
        } else if (t.elapsed() >= timeoutMs) {
            loop.quit();
        }
    });
    tick.start(1);
    loop.exec();
    return result;
}

void SoakLeg::pause(int ms)
{
    waitUntil([] { return false; }, ms);
}

void SoakLeg::mismatch(const QString &what)
{
    ++m_mismatches;
    if (m_mismatches <= kShownMismatches)
        printLine(QStringLiteral("%1 %2 s: MISMATCH %3").arg(m_name).arg(elapsedSeconds(), 0, 'f', 3).arg(what));
}

void SoakLeg::failure(const QString &what)
{
    m_failures << what;
    printLine(QStringLiteral("%1 %2 s: FAIL %3").arg(m_name).arg(elapsedSeconds(), 0, 'f', 3).arg(what));
}

void SoakLeg::note(const QString &what)
{
    printLine(QStringLiteral("%1 %2 s: %3").arg(m_name).arg(elapsedSeconds(), 0, 'f', 3).arg(what));
}

void SoakLeg::startMemorySampling(qint64 pid)
{
    m_pid = pid;
    sampleMemory();
    m_memoryTimer.start(2000);
}

void SoakLeg::sampleMemory()
{
    if (const auto kib = residentKib(m_pid))
        m_memory.add(elapsedSeconds(), *kib);
}

bool SoakLeg::findWindow(const PendantLayout &layout, int timeoutMs)
{
    const bool found = waitUntil(
        [&] {
            m_window = m_x.findWindow(layout.title);
            return m_window != 0 && m_x.windowRect(m_window, &m_windowRect);
        },
        timeoutMs);
    if (!found) {
        failure(QStringLiteral("no window \"%1\" on the X server").arg(layout.title));
        return false;
    }
    if (m_windowRect.size() != layout.size) {
        failure(QStringLiteral("the window is %1x%2 pixels, its layout %3x%4: the key positions would be wrong")
                    .arg(m_windowRect.width())
                    .arg(m_windowRect.height())
                    .arg(layout.size.width())
                    .arg(layout.size.height()));
        return false;
    }
    if (!m_x.screenRect().contains(m_windowRect)) {
        failure(QStringLiteral("the window lies partly off the screen"));
        return false;
    }
    return true;
}

QPoint SoakLeg::pointIn(const KeyTarget &t)
{
    return toRoot(pick(t.points));
}

QPoint SoakLeg::pointOutside()
{
    const QRect screen = m_x.screenRect();
    for (;;) {
        const QPoint p(randomInt(0, screen.width() - 1), randomInt(0, screen.height() - 1));
        if (!m_windowRect.adjusted(-4, -4, 4, 4).contains(p))
            return p;
    }
}

void SoakLeg::moveTo(QPoint root)
{
    m_x.moveTo(root);
    m_pointer = root;
    count(QStringLiteral("pointer moves"));
}

void SoakLeg::pressButton()
{
    m_x.press();
    m_x.sync();
    m_buttonDown = true;
    m_lastPress = m_pointer;
    m_sincePress.restart();
}

void SoakLeg::releaseButton()
{
    m_x.release();
    m_x.sync();
    m_buttonDown = false;
}

void SoakLeg::checkQuietLog(const QString &path, const QStringList &ignoredPrefixes)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return;
    for (const QByteArray &raw : f.readAll().split('\n')) {
        const QString line = QString::fromLocal8Bit(raw).trimmed();
        if (line.isEmpty() || std::any_of(ignoredPrefixes.begin(), ignoredPrefixes.end(),
                                          [&](const QString &p) { return line.startsWith(p); }))
            continue;
        mismatch(QStringLiteral("tarvisk wrote: ") + line);
    }
}

bool SoakLeg::wouldDoubleClick(QPoint root) const
{
    // Well beyond the platform's double-click interval and distance.
    return m_sincePress.elapsed() < 800 && (root - m_lastPress).manhattanLength() <= 16;
}

int SoakLeg::finish(const QStringList &lines)
{
    m_memoryTimer.stop();
    for (const QString &l : lines)
        printLine(QStringLiteral("%1: %2").arg(m_name, l));

    bool memoryOk = true;
    if (m_memory.count() < 2) {
        printLine(QStringLiteral("%1: memory: too few samples").arg(m_name));
    } else {
        const double mid = m_memory.midpoint();
        const double whole = m_memory.slopeKibPerMinute();
        const double second = m_memory.slopeKibPerMinute(mid);
        const double secondSpan = m_memory.span() / 2;
        QString verdict;
        if (secondSpan < m_options.memoryMinimumJudgedSeconds) {
            verdict = QStringLiteral("not judged (second half %1 s, under %2 s)")
                          .arg(secondSpan, 0, 'f', 0)
                          .arg(m_options.memoryMinimumJudgedSeconds, 0, 'f', 0);
        } else if (second > m_options.memoryLimitKibPerMinute) {
            memoryOk = false;
            verdict = QStringLiteral("GROWING (limit %1 KiB/min)").arg(m_options.memoryLimitKibPerMinute, 0, 'f', 0);
        } else {
            verdict = QStringLiteral("ok (limit %1 KiB/min)").arg(m_options.memoryLimitKibPerMinute, 0, 'f', 0);
        }
        printLine(QStringLiteral("%1: memory: RSS %2 KiB -> %3 KiB over %4 s in %5 samples; slope %6 KiB/min, "
                                 "second half %7 KiB/min: %8")
                      .arg(m_name)
                      .arg(m_memory.first())
                      .arg(m_memory.last())
                      .arg(m_memory.span(), 0, 'f', 0)
                      .arg(m_memory.count())
                      .arg(whole, 0, 'f', 1)
                      .arg(second, 0, 'f', 1)
                      .arg(verdict));
    }
    const bool ok = m_mismatches == 0 && m_failures.isEmpty() && memoryOk;
    printLine(QStringLiteral("%1: %2 mismatches, %3 failures: %4")
                  .arg(m_name)
                  .arg(m_mismatches)
                  .arg(m_failures.size())
                  .arg(ok ? QStringLiteral("PASS") : QStringLiteral("FAIL")));
    return ok ? 0 : 1;
}

} // namespace tarvisk::soak
