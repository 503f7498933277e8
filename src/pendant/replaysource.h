#pragma once

#include "pendant/inputpath.h"

#include <QHash>
#include <QSet>
#include <QString>

class QTimer;

namespace tarvisk {

// A recorded session's key reports played back on the path, as a source of their own: a reported
// press holds the key (chooses a mode-switch position, turns the dial one step, holds the slider
// off centre), a reported release lets go of what the replay holds. Reports the window makes by
// itself (the default mode at the first tick) are not played; the replay makes them again.
class ReplaySource : public InputPath::Source
{
public:
    // How long a release of a slider's jog key waits for the press that follows it in the same
    // repeat before it counts as the slider let go.
    static constexpr int kRepeatWindowMs = 30;

    static ReplaySource &of(InputPath &path);
    explicit ReplaySource(InputPath &path);

    // One recorded report: the key's name, pressed or let go, and the source it came from.
    // False with the reason only when the pendant refused a press.
    bool play(const QString &key, bool held, const QString &source, QString *why);
    // How long before its recorded time a report is played: the slider reports its first press
    // one jog period after it is taken hold of.
    int leadMs(const QString &key, bool held) const;

    void letGo(WayOut way) override;

private:
    InputPath::Holder holderOf(const QString &upperKey) const;
    void releaseNow(const QString &upperKey);

    QSet<QString> m_held; // upper-case names held by the replay
    QHash<QString, QTimer *> m_pendingRelease;
};

} // namespace tarvisk
