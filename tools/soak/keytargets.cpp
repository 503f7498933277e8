#include "keytargets.h"

#include "pendant/frmminitp.h"
#include "pendant/frmtp.h"
#include "provider/keytables.h"
#include "provider/provstate.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>

namespace tarvisk::soak {

namespace {

// Grid points inside the middle of the control where the window's hit test finds the control
// or one of its children. The middle keeps clear of rounded corners and neighbours' edges.
QList<QPoint> hitPoints(QWidget *window, QWidget *control, const QRect &rect)
{
    QList<QPoint> points;
    const QRect inner = rect.adjusted(rect.width() / 5, rect.height() / 5, -rect.width() / 5, -rect.height() / 5);
    for (int y = inner.top(); y <= inner.bottom(); y += 2) {
        for (int x = inner.left(); x <= inner.right(); x += 2) {
            QWidget *hit = window->childAt(QPoint(x, y));
            if (hit && (hit == control || control->isAncestorOf(hit)))
                points << QPoint(x, y);
        }
    }
    return points;
}

KeyTarget target(QWidget *window, QWidget *control, const QString &name, int32_t code)
{
    KeyTarget t;
    t.name = name;
    t.code = code;
    t.rect = QRect(control->mapTo(window, QPoint(0, 0)), control->size());
    t.points = hitPoints(window, control, t.rect);
    return t;
}

} // namespace

const KeyTarget *PendantLayout::switchAreaOfCode(int32_t code) const
{
    for (const KeyTarget &t : switchAreas) {
        if (t.code == code)
            return &t;
    }
    return nullptr;
}

PendantLayout miniPendantLayout()
{
    InitKeyTables();
    frmMiniTP w;
    w.Load();
    // What the running window shows: no state selector in a standalone run, and the beeper icon
    // now and then, which then takes the mouse where it lies.
    w.stateSelector()->hide();
    w.beeperIcon()->show();
    PendantLayout layout;
    layout.title = w.windowTitle();
    layout.size = w.size();
    for (int i = 0; i < frmMiniTP::kKeyCount; ++i)
        layout.keys << target(&w, w.hardKey(i), w.keyName(i), g_MPKeyTable->Item(w.keyName(i)));
    for (int p = 0; p < 3; ++p) {
        const QString name = w.switchArea(p)->property("Tag").toString();
        KeyTarget t = target(&w, w.switchArea(p), name, g_MPKeyTable->Item(name));
        t.switchPosition = p;
        layout.switchAreas << t;
    }
    // The latch view: the twins in place of the keys, where a click latches the twin's key.
    for (int i = 0; i < frmMiniTP::kKeyCount; ++i) {
        w.hardKey(i)->hide();
        w.hardKeyTwin(i)->show();
    }
    for (KeyTarget &t : layout.keys) {
        for (const QPoint &p : std::as_const(t.points)) {
            int32_t code = -1;
            for (int i = 0; i < frmMiniTP::kKeyCount && code < 0; ++i) {
                QWidget *hit = w.childAt(p);
                if (hit && (hit == static_cast<QWidget *>(w.hardKeyTwin(i)) || w.hardKeyTwin(i)->isAncestorOf(hit)))
                    code = g_MPKeyTable->Item(w.keyName(i));
            }
            t.latchCodes << code;
        }
    }
    return layout;
}

PendantLayout standardPendantLayout()
{
    InitKeyTables();
    frmTP w;
    w.Load();
    w.stateSelector()->hide();
    w.beeperIcon()->show();
    PendantLayout layout;
    layout.title = w.windowTitle();
    layout.size = w.size();
    for (int i = 0; i < frmTP::kKeyCount; ++i)
        layout.keys << target(&w, w.hardKey(i), w.keyName(i), g_TPKeyTable->Item(w.keyName(i)));
    for (int p = 0; p < 3; ++p) {
        const QString name = w.switchArea(p)->property("Tag").toString();
        KeyTarget t = target(&w, w.switchArea(p), name, g_TPKeyTable->Item(name));
        t.switchPosition = p;
        layout.switchAreas << t;
    }
    return layout;
}

} // namespace tarvisk::soak
