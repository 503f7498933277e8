// Touch on the path: each finger presses the key under it and lets go when lifted, so two fingers
// hold two keys. A tap on a twin latches, a tap on a mode-switch area chooses it, a finger drags
// the dial, and a finger in the top or bottom third of the slider holds it there. A cancelled
// sequence lets go of everything it held.
//
// A sequence that starts away from the controls is left to Qt, which makes mouse events of it
// (for the check box and the state list); one that starts on a control is taken here, and the
// mouse events Qt may still make up from it are ignored by the mouse source.
#include "pendant/inputpath.h"

#include <QHash>
#include <QTouchEvent>

namespace tarvisk {

namespace {

class TouchSource : public InputPath::Source
{
public:
    explicit TouchSource(InputPath &path)
        : Source(path)
    {
        path.window()->setAttribute(Qt::WA_AcceptTouchEvents);
        path.window()->installEventFilter(this);
    }

    void letGo(WayOut way) override
    {
        if (way == WayOut::LatchView)
            return; // fingers on keys the latch view hid find nothing held when lifted
        endDrag();
        m_points.clear();
        m_path.setTouchActive(false);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_path.window())
            return false;
        switch (event->type()) {
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd: {
            auto *e = static_cast<QTouchEvent *>(event);
            if (event->type() == QEvent::TouchBegin && !startsOnControl(e)) {
                e->ignore();
                return true;
            }
            e->accept();
            for (const QEventPoint &p : e->points())
                point(p);
            m_path.setTouchActive(!m_points.isEmpty());
            return true;
        }
        case QEvent::TouchCancel:
            cancel();
            event->accept();
            return true;
        default:
            return false;
        }
    }

private:
    struct Point
    {
        int control = -1;
        QString holding; // the key name it holds, if any
    };

    int controlAt(const QPointF &pos) const
    {
        QWidget *hit = m_path.window()->childAt(pos.toPoint());
        return hit ? m_path.controlOf(hit) : -1;
    }

    bool startsOnControl(const QTouchEvent *e) const
    {
        for (const QEventPoint &p : e->points()) {
            if (p.state() == QEventPoint::State::Pressed && controlAt(p.position()) >= 0)
                return true;
        }
        return false;
    }

    QPointF inControl(int index, const QPointF &windowPos) const
    {
        return m_path.control(index).widget->mapFrom(m_path.window(), windowPos);
    }

    bool inside(int index, const QPointF &windowPos) const
    {
        return m_path.control(index).widget->rect().contains(inControl(index, windowPos).toPoint());
    }

    // The slider's key for a place on it: the top third jogs up, the bottom third down.
    QString sliderKeyAt(int index, const QPointF &windowPos) const
    {
        const KeyControl &c = m_path.control(index);
        const double y = inControl(index, windowPos).y();
        const double h = c.widget->height();
        if (y < h / 3)
            return c.keyName;
        if (y > 2 * h / 3)
            return c.otherKeyName;
        return {};
    }

    void dial(int index, QEvent::Type type, const QPointF &windowPos)
    {
        const KeyControl &c = m_path.control(index);
        if (c.on.pointer)
            c.on.pointer({type, Qt::LeftButton, type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          inControl(index, windowPos)});
    }

    void endDrag()
    {
        if (m_dialPoint < 0)
            return;
        const int control = m_points.value(m_dialPoint).control;
        m_dialPoint = -1;
        if (control >= 0) {
            InputPath::Scope scope(m_path, InputSource::Touch);
            dial(control, QEvent::MouseButtonRelease, QPointF());
        }
    }

    void hold(Point &pt, const QString &name, quint64 id)
    {
        if (pt.holding == name)
            return;
        if (!pt.holding.isEmpty())
            m_path.release(pt.holding, {InputSource::Touch, id});
        pt.holding.clear();
        if (!name.isEmpty() && m_path.press(name, {InputSource::Touch, id}))
            pt.holding = name;
    }

    void point(const QEventPoint &p)
    {
        const quint64 id = quint64(p.id());
        InputPath::Scope scope(m_path, InputSource::Touch);
        if (p.state() == QEventPoint::State::Pressed) {
            Point pt;
            pt.control = controlAt(p.position());
            if (pt.control >= 0) {
                const KeyControl &c = m_path.control(pt.control);
                m_path.noteSource(pt.control, InputSource::Touch);
                if (c.kind == ControlKind::PushKey || c.kind == ControlKind::EnablingSwitch) {
                    hold(pt, c.keyName, id);
                } else if (c.kind == ControlKind::JogDial && m_dialPoint < 0 && m_path.takes(pt.control)) {
                    m_dialPoint = p.id();
                    dial(pt.control, QEvent::MouseButtonPress, p.position());
                } else if (c.kind == ControlKind::JogSlider) {
                    hold(pt, sliderKeyAt(pt.control, p.position()), id);
                }
            }
            m_points.insert(p.id(), pt);
            return;
        }
        if (!m_points.contains(p.id()))
            return;
        Point &pt = m_points[p.id()];
        const int control = pt.control;
        if (p.state() == QEventPoint::State::Released) {
            if (!pt.holding.isEmpty())
                m_path.release(pt.holding, {InputSource::Touch, id});
            if (control >= 0) {
                const KeyControl &c = m_path.control(control);
                if (c.kind == ControlKind::LatchTwin && inside(control, p.position()))
                    m_path.toggleLatch(c.keyName, InputSource::Touch);
                else if (c.kind == ControlKind::ModeSwitchArea && inside(control, p.position()))
                    m_path.press(c.keyName, {InputSource::Touch, id});
                else if (p.id() == m_dialPoint)
                    endDrag();
            }
            m_points.remove(p.id());
            return;
        }
        if (control < 0)
            return;
        if (p.id() == m_dialPoint)
            dial(control, QEvent::MouseMove, p.position());
        else if (m_path.control(control).kind == ControlKind::JogSlider)
            hold(pt, sliderKeyAt(control, p.position()), id);
    }

    void cancel()
    {
        InputPath::Scope scope(m_path, InputSource::Touch);
        endDrag();
        for (auto it = m_points.cbegin(); it != m_points.cend(); ++it) {
            if (!it->holding.isEmpty())
                m_path.release(it->holding, {InputSource::Touch, quint64(it.key())});
        }
        m_points.clear();
        m_path.setTouchActive(false);
    }

    QHash<int, Point> m_points; // finger id -> what it does
    int m_dialPoint = -1;       // the finger turning the dial
};

} // namespace

InputPath::Source *makeTouchSource(InputPath &path)
{
    return new TouchSource(path);
}

} // namespace tarvisk
