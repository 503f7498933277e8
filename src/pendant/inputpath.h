#pragma once

#include "common/proverror.h"
#include "pendant/keymap.h"

#include <QEvent>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tarvisk {

class KeyTable;
class PendantKeys;

// Where a press comes from. Latch is the hold a latch gesture leaves on a key; Program marks the
// reports no input caused (the default mode on the first tick).
enum class InputSource { Mouse, Keyboard, Touch, Script, Replay, Latch, Program };
QString inputSourceName(InputSource source);

enum class ControlKind { PushKey, LatchTwin, ModeSwitchArea, JogDial, JogSlider, EnablingSwitch };

// Why held keys are let go. Deactivation and the latch view end what a hand holds (mouse,
// keyboard, touch); the others end every hold, latches and scripted ones included.
enum class WayOut { Deactivation, LatchView, Hide, Disable, Disconnect, Close, Unload, Quit };

// Where a key stands, for the window's own follow-up (the old pendant's twin locks).
struct KeyView
{
    bool held = false;
    bool latched = false;
    bool heldByHand = false; // held by something other than its latch
};

// A mouse event as a control's own handling sees it; the position is in the control's pixels.
struct PointerEvent
{
    QEvent::Type type;
    Qt::MouseButton button;
    Qt::MouseButtons buttons;
    QPointF position;
};

// What a control does beyond the report, which the path makes itself. Every member may be empty.
struct ControlHandlers
{
    // Keys: the pressed look, before the report.
    std::function<void(bool held)> look;
    // Keys: after a report went through, or after a change that needed none.
    std::function<void(const KeyView &view)> settle;
    // Keys: a report failed (a key name missing from the table, the host gone).
    std::function<void(const ProvError &error, bool press)> failed;
    // Mode-switch areas: choose the position.
    std::function<void()> select;
    // Jog dial: one step (-1 towards the jog-up key, +1 towards jog-down). Jog slider: held off
    // centre in that direction, or 0: let go.
    std::function<void(int direction)> jog;
    // The control's own mouse handling (the dial's drag, the drawn key's double click); true
    // when it took the event.
    std::function<bool(const PointerEvent &event)> pointer;
};

// One key control of a window, declared once.
struct KeyControl
{
    QWidget *widget = nullptr;
    ControlKind kind = ControlKind::PushKey;
    // As in the key table. Jog controls: the jog-up key; otherKeyName is the jog-down key.
    QString keyName;
    QString otherKeyName;
    ControlHandlers on;
};

// The one way in for key input. Every source (mouse, keyboard, touch, scripts, a replay) turns
// its events into "press key K as holder H" and "let go of key K as holder H". The path counts the
// holders of each key, reports the key when the first holder presses it and when the last lets
// go, refuses presses on hidden or disabled controls, lets go on every way out, and drives the
// control's own handlers so the look is the same whoever pressed.
class InputPath : public QObject
{
    Q_OBJECT
public:
    // One thing that holds keys: a source and which of its fingers, buttons or keys.
    struct Holder
    {
        InputSource source = InputSource::Program;
        quint64 id = 0;
        bool operator==(const Holder &) const = default;
    };

    // A source of input: one small class in its own file, owned by the path.
    class Source : public QObject
    {
    public:
        explicit Source(InputPath &path);
        // The path lets go of held keys; drop what the source tracks of them.
        virtual void letGo(WayOut way) { Q_UNUSED(way); }

    protected:
        InputPath &m_path;
    };

    // Reports made inside carry the scope's source, unless an outer scope set one already.
    class Scope
    {
    public:
        Scope(InputPath &path, InputSource source);
        ~Scope();
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        InputPath &m_path;
        std::optional<InputSource> m_saved;
    };

    // `table` gives the window's key table at the moment of each lookup (it may change).
    InputPath(QWidget *window, PendantKeys &keys, std::function<const KeyTable *()> table);
    ~InputPath() override;

    // Declares a control; returns its index.
    int declare(const KeyControl &control);
    // Starts the sources once the controls are declared: mouse and touch always, the keyboard
    // (with the variant's key map) when `keyboard`.
    void attachSources(PendantKind kind, bool keyboard);
    // Adds a source; the path owns it.
    void addSource(Source *source);

    QWidget *window() const { return m_window; }
    int controlCount() const { return int(m_controls.size()); }
    const KeyControl &control(int index) const { return m_controls[size_t(index)].decl; }
    // The declared control that is w or holds it; -1 for none.
    int controlOf(const QWidget *w) const;
    // The enabling switch's key name; empty when the window has none.
    QString enablingSwitchName() const { return m_enablingSwitch; }
    // Every key name the sources can reach on this window.
    QStringList keyNames() const;
    // Whether a control takes a press now: shown and enabled. The windows keep their keys (and
    // the enabling switch) disabled until their first connection tick.
    bool takes(int index) const;

    // The sources' way in. Names as in the key table, without regard to case. A press on a
    // push key or the enabling switch holds it; on a mode-switch position chooses it; on a jog
    // key turns the dial one step or holds the slider off centre. False when refused.
    bool press(const QString &keyName, Holder holder);
    bool release(const QString &keyName, Holder holder);
    // A latch holds a key until it is latched off or a way out lets go of latches.
    bool setLatched(const QString &keyName, bool latched, InputSource by);
    bool toggleLatch(const QString &keyName, InputSource by);

    // Lets go of what the way out ends, reporting each key (in the order they were pressed).
    void letGo(WayOut way);
    // Applies every key's view again (after "enable every control" undid the locks).
    void resettle();

    bool isHeld(const QString &keyName) const;
    bool isLatched(const QString &keyName) const;
    QList<Holder> holdersOf(const QString &keyName) const;

    // The source of the scope in force, Program outside any.
    InputSource currentSource() const { return m_scope.value_or(InputSource::Program); }
    // The source that last pressed, moved or let go of a control.
    InputSource lastSourceOf(const QWidget *control) const;
    void noteSource(int index, InputSource source);

    // The keyboard map in force (empty without a keyboard source) and the bindings drawing.
    const Keymap &keymap() const { return m_keymap; }
    void setKeymap(const Keymap &map);
    bool showsBindings() const { return m_showBindings; }
    void setShowsBindings(bool shown);
    // While a touch sequence holds keys, mouse events made up from it are not input of their own.
    bool touchActive() const { return m_touchActive; }
    void setTouchActive(bool active) { m_touchActive = active; }

    // The drawing over the controls: bindings and latch marks.
    QWidget *overlay() const { return m_overlay; }

signals:
    // One per key reported to the controller or host: the first press and the last release, a
    // mode-switch position chosen (held true), a jog key.
    void keyReported(const QString &keyName, int32_t code, bool held, tarvisk::InputSource source);
    void latchChanged(const QString &keyName, bool latched, tarvisk::InputSource by);
    // Anything the drawing shows changed: a latch, the bindings, the map, a way out.
    void changed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Control
    {
        KeyControl decl;
        InputSource lastSource = InputSource::Program;
        QList<QPair<Holder, int>> jogHolders; // slider: who holds it off centre, which way
    };
    struct Key
    {
        QString name;
        int control = -1;  // push key, enabling switch, switch area, dial or slider
        int twin = -1;     // the latch twin
        int direction = 0; // jog keys: -1 up, +1 down
        QList<Holder> holders;
    };

    Key *key(const QString &name);
    const Key *key(const QString &name) const;
    KeyView view(const Key &k) const;
    bool latchTakes(const Key &k) const;
    // The first press or last release of a key: look, report, settle. False when the report failed.
    bool run(Key &k, bool press);
    void settle(Key &k);
    void addHolder(Key &k, Holder holder);
    void removeHolder(Key &k, Holder holder);
    bool jogPress(Key &k, Holder holder);
    bool jogRelease(Key &k, Holder holder);
    void onReported(int32_t code, bool held);
    QString nameOfCode(int32_t code);
    void buildOverlay();

    QPointer<QWidget> m_window;
    PendantKeys &m_keys;
    std::function<const KeyTable *()> m_table;
    std::vector<Control> m_controls;
    QHash<QString, Key> m_keysByName; // upper-case name
    QStringList m_heldOrder;          // upper-case names of held keys, first pressed first
    QList<Source *> m_sources;
    QString m_enablingSwitch;
    std::optional<InputSource> m_scope;
    Keymap m_keymap;
    bool m_showBindings = false;
    bool m_touchActive = false;
    QWidget *m_overlay = nullptr;
    QHash<int32_t, QString> m_namesByCode;
    const KeyTable *m_namesTable = nullptr; // compared only
    int32_t m_namesTableCount = -1;
};

// The sources, one file each.
InputPath::Source *makeMouseSource(InputPath &path);
InputPath::Source *makeKeyboardSource(InputPath &path, PendantKind kind);
InputPath::Source *makeTouchSource(InputPath &path);

} // namespace tarvisk
