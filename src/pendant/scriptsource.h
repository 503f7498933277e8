#pragma once

#include "pendant/inputpath.h"

#include <QElapsedTimer>
#include <QList>
#include <QString>

#include <functional>

class QTimer;

namespace tarvisk {

// The declared control that carries a key name (a jog control carries both jog keys), without
// regard to case; -1 when the window has none.
int controlOfKey(const InputPath &path, const QString &keyName);

// Why the path would refuse a press of the key now, in words that say what is allowed; empty
// when it would take it (or when the window has no such key).
QString refusalOf(const InputPath &path, const QString &keyName);

// Scripts on the path: presses held for scripts until released, timed taps, the mode switch and
// the jog controls turned as a hand would. Every refusal comes back with a message that says what
// was wrong and what is allowed, and a refused call changes nothing.
class ScriptSource : public InputPath::Source
{
public:
    enum class Fault { None, UnknownKey, UnknownMode, Refused, NotHeld, NotOffered, InvalidArgs };
    struct Outcome
    {
        Fault fault = Fault::None;
        QString message;
        bool ok() const { return fault == Fault::None; }
    };
    // Called once when a timed call is over: with an empty text when its time ran out or
    // ReleaseAll ended it, and with what cut it short (a way out, the window's unloading, a
    // refused dial step), the time held and what was let go otherwise.
    using Done = std::function<void(const QString &interruption)>;

    // How often the jog dial steps while a script turns it, as the slider repeats.
    static constexpr int kDialStepMs = 150;
    static constexpr int kMaxHoldMs = 60000;

    // The path's script source, added the first time.
    static ScriptSource &of(InputPath &path);

    explicit ScriptSource(InputPath &path);
    // Timed calls still running are done.
    ~ScriptSource() override;

    // Holds a key for scripts until release() (from any script) or releaseAll().
    Outcome press(const QString &key);
    Outcome release(const QString &key);
    // Holds a key for the time, then lets it go and calls done.
    Outcome tap(const QString &key, int milliseconds, Done done);
    // Lets go of every key scripts hold; timed calls end at once, as if their time ran out.
    void releaseAll();
    // "AUTO", "MAN" or "TEACH", without regard to case.
    Outcome setMode(const QString &mode);
    // The slider held off centre (old pendant), or the dial turned one step at once and one every
    // kDialStepMs (standard pendant), towards the jog-up key for a direction below 0 and the
    // jog-down key above 0, for the time; then let go, and done is called.
    Outcome jog(int direction, int milliseconds, Done done);

    void letGo(WayOut way) override;

    // The keys scripts hold now, and the timed calls running.
    QStringList heldKeys() const;
    int runningCalls() const { return int(m_timed.size()); }

private:
    struct Timed
    {
        QString key;
        InputPath::Holder holder;
        QTimer *timer = nullptr;
        Done done;
        int milliseconds = 0;
        QElapsedTimer started;
        bool dial = false; // the dial keeps no hold: each step is a press of its own
        bool jog = false;
        qint64 stepsLeft = 0; // dial steps still to come
    };

    Outcome pressChecked(const QString &key, InputPath::Holder holder);
    QString windowName() const;
    QString jogKey(int direction, int *control) const;
    Timed *startTimed(const QString &key, InputPath::Holder holder, int milliseconds, Done done);
    // Ends a timed call: its hold let go (the dial keeps none), then done called with the
    // interruption (empty when the call ran its course).
    void finish(Timed *timed, const QString &interruption = QString());
    static QString interruption(const Timed &timed, const QString &cause);

    QList<QPair<QString, InputPath::Holder>> m_held;
    QList<Timed *> m_timed;
    quint64 m_serial = 0;
};

} // namespace tarvisk
