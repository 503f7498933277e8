// The mouse on the path. Only the left button works the keys, the twins, the mode-switch areas, the
// dial and the slider, as each window always did; a middle-button click on a key or twin latches
// it or lets its latch go; the right button held on the body (anywhere that is not a control)
// holds the enabling switch, and does nothing on a control.
//
// While one button is held every mouse event goes to the widget it was pressed on, so a second
// button's press is placed by where the pointer is, not by the widget that receives it: the right
// button can hold the enabling switch while the left holds a key. So is a press that reaches the
// window itself.
#include "pendant/inputpath.h"

#include <QHash>
#include <QMouseEvent>
#include <QPointingDevice>

namespace tarvisk {

namespace {

constexpr int kNowhere = -1;
constexpr int kBody = -2;

class MouseSource : public InputPath::Source
{
public:
    explicit MouseSource(InputPath &path)
        : Source(path)
    {
        path.window()->installEventFilter(this);
        for (int i = 0; i < path.controlCount(); ++i) {
            if (QWidget *w = path.control(i).widget)
                w->installEventFilter(this);
        }
    }

    void letGo(WayOut way) override
    {
        // The latch view hides push keys only: their releases then find nothing held, and what
        // stays shown stays in the hand.
        if (way == WayOut::LatchView)
            return;
        // A click cut short by a way out does not complete; a drag on the dial ends here.
        const int left = m_pressedOn.value(Qt::LeftButton, kNowhere);
        if (left >= 0 && m_path.control(left).kind == ControlKind::JogDial && m_path.control(left).on.pointer) {
            InputPath::Scope scope(m_path, InputSource::Mouse);
            m_path.control(left).on.pointer({QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, QPointF()});
        }
        m_pressedOn.clear();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
            type != QEvent::MouseButtonDblClick && type != QEvent::MouseMove)
            return false;
        auto *w = qobject_cast<QWidget *>(watched);
        QWidget *window = m_path.window();
        if (!w || !window)
            return false;
        auto *e = static_cast<QMouseEvent *>(event);
        const bool onWindow = w == window;
        // A touch point that already holds keys is not a mouse press as well.
        if (m_path.touchActive() && e->pointingDevice() &&
            e->pointingDevice()->type() == QInputDevice::DeviceType::TouchScreen)
            return !onWindow;
        const QPointF windowPos = w->mapTo(window, e->position());

        int target = kNowhere;
        if (type == QEvent::MouseButtonRelease) {
            // A release whose press a way out forgot completes nothing.
            target = m_pressedOn.contains(e->button()) ? m_pressedOn.take(e->button()) : kNowhere;
        } else if (type == QEvent::MouseMove) {
            target = m_pressedOn.value(Qt::LeftButton, kNowhere);
            if (target == kNowhere)
                return !onWindow && !isNative(m_path.controlOf(w));
        } else if (onWindow || (e->buttons() & ~e->button())) {
            // What reaches the window came from the body, or was sent to the window itself.
            target = placeOf(windowPos);
            m_pressedOn.insert(e->button(), target);
        } else {
            // The control's own press, also one it sends itself (a drawn key's double click at
            // its corner, which its rounded shape may leave out).
            target = m_path.controlOf(w);
            m_pressedOn.insert(e->button(), target);
        }

        bool handled = false;
        if (target == kBody)
            handled = onBody(type, e->button());
        else if (target >= 0)
            handled = onControl(target, type, e, windowPos);
        // Events that reach the window from the body stay the body's unless taken here. Controls
        // take no mouse input of their own, except the slider's left button and moves.
        if (onWindow)
            return handled;
        if (!handled && isNative(m_path.controlOf(w)) && (type == QEvent::MouseMove || e->button() == Qt::LeftButton))
            return false;
        return true;
    }

private:
    // The slider keeps its own mouse handling for the left button.
    bool isNative(int index) const { return index >= 0 && m_path.control(index).kind == ControlKind::JogSlider; }

    int placeOf(const QPointF &windowPos) const
    {
        QWidget *window = m_path.window();
        if (!window->rect().contains(windowPos.toPoint()))
            return kNowhere;
        QWidget *hit = window->childAt(windowPos.toPoint());
        const int control = hit ? m_path.controlOf(hit) : kNowhere;
        return control >= 0 ? control : kBody;
    }

    bool inside(int index, const QPointF &windowPos) const
    {
        const QWidget *w = m_path.control(index).widget;
        return w && w->rect().contains(w->mapFrom(m_path.window(), windowPos).toPoint());
    }

    bool onBody(QEvent::Type type, Qt::MouseButton button)
    {
        const QString dead = m_path.enablingSwitchName();
        if (button != Qt::RightButton || dead.isEmpty())
            return false;
        const InputPath::Holder holder{InputSource::Mouse, quint64(button)};
        if (type == QEvent::MouseButtonRelease)
            m_path.release(dead, holder);
        else if (type != QEvent::MouseMove)
            m_path.press(dead, holder);
        return true;
    }

    // True when the event was taken here.
    bool onControl(int index, QEvent::Type type, QMouseEvent *e, const QPointF &windowPos)
    {
        const KeyControl &c = m_path.control(index);
        const Qt::MouseButton button = e->button();
        const bool press = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick;
        const bool release = type == QEvent::MouseButtonRelease;
        const InputPath::Holder holder{InputSource::Mouse, quint64(button)};
        InputPath::Scope scope(m_path, InputSource::Mouse);
        m_path.noteSource(index, InputSource::Mouse);

        // A disabled or hidden control starts and moves nothing; a release still ends its drag.
        if (!release && !m_path.takes(index))
            return true;
        if (c.on.pointer && (type == QEvent::MouseMove || button == Qt::LeftButton)) {
            const PointerEvent pe{type, button, e->buttons(), c.widget->mapFrom(m_path.window(), windowPos)};
            if (c.on.pointer(pe))
                return true;
        }
        switch (c.kind) {
        case ControlKind::PushKey:
        case ControlKind::EnablingSwitch: {
            const bool holds =
                button == Qt::LeftButton || (c.kind == ControlKind::EnablingSwitch && button == Qt::RightButton);
            if (holds && press)
                m_path.press(c.keyName, holder);
            else if (holds && release)
                m_path.release(c.keyName, holder);
            else if (button == Qt::MiddleButton && release && inside(index, windowPos))
                m_path.toggleLatch(c.keyName, InputSource::Mouse);
            return true;
        }
        case ControlKind::LatchTwin:
            if ((button == Qt::LeftButton || button == Qt::MiddleButton) && release && inside(index, windowPos))
                m_path.toggleLatch(c.keyName, InputSource::Mouse);
            return true;
        case ControlKind::ModeSwitchArea:
            if (button == Qt::LeftButton && release && inside(index, windowPos))
                m_path.press(c.keyName, holder);
            return true;
        case ControlKind::JogDial:
            return true;
        case ControlKind::JogSlider:
            // The left button drags the slider itself; the others do nothing here.
            return button != Qt::LeftButton && type != QEvent::MouseMove;
        }
        return true;
    }

    QHash<Qt::MouseButton, int> m_pressedOn; // the control (or the body) each held button went down on
};

} // namespace

InputPath::Source *makeMouseSource(InputPath &path)
{
    return new MouseSource(path);
}

} // namespace tarvisk
