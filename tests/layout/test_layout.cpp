// The pendant windows as they are laid out and drawn: the standard pendant's key table, and for
// every pendant, shown controls that stay inside the window without overlapping one another, keys
// that take the mouse over their whole face, and mode-switch detents that show on the window.
#include "pendant/frmminitp.h"
#include "pendant/frmoldtp.h"
#include "pendant/frmtp.h"
#include "pendant/paintbox.h"
#include "pendant/pictures.h"
#include "provider/provcontroller.h"
#include "support/pendantprocess.h"
#include "support/widgetprobe.h"
#include "widgets/buttonex.h"
#include "widgets/buttonpaint.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QStyleOptionGroupBox>
#include <QTest>

using namespace tarvisk;
using namespace tarvisk::testing;

namespace {

// The standard pendant's keys: name, label, place in twips.
struct KeyRow
{
    const char *name;
    const char *label;
    int left, top, width, height;
};

const KeyRow kStandardKeys[frmTP::kKeyCount] = {
    {"TP_KEY_MOTOR", "MOTOR", 120, 1560, 975, 480},   {"TP_KEY_LOCK", "LOCK", 120, 2100, 975, 480},
    {"TP_KEY_RSEL", "R-SEL", 120, 3210, 975, 480},    {"TP_KEY_MMOD", "M-MOD", 120, 3735, 975, 480},
    {"TP_KEY_SPD", "SPEED", 120, 4260, 975, 480},     {"TP_KEY_STOP", "STOP", 1500, 180, 1455, 480},
    {"TP_KEY_CANCEL", "Cancel", 1290, 795, 915, 480}, {"TP_KEY_OK", "OK", 2250, 795, 795, 480},
    {"TP_KEY_M_J1", "-", 1320, 1560, 675, 480},       {"TP_KEY_M_J2", "-", 1320, 2100, 675, 480},
    {"TP_KEY_M_J3", "-", 1320, 2640, 675, 480},       {"TP_KEY_M_J4", "-", 1320, 3180, 675, 480},
    {"TP_KEY_M_J5", "-", 1320, 3720, 675, 480},       {"TP_KEY_M_J6", "-", 1320, 4260, 675, 480},
    {"TP_KEY_P_J1", "+", 2400, 1560, 675, 480},       {"TP_KEY_P_J2", "+", 2400, 2100, 675, 480},
    {"TP_KEY_P_J3", "+", 2400, 2640, 675, 480},       {"TP_KEY_P_J4", "+", 2400, 3180, 675, 480},
    {"TP_KEY_P_J5", "+", 2400, 3720, 675, 480},       {"TP_KEY_P_J6", "+", 2400, 4260, 675, 480},
    {"TP_KEY_UP", "", 1980, 4920, 510, 510},          {"TP_KEY_LEFT", "", 1440, 5280, 510, 510},
    {"TP_KEY_DOWN", "", 1980, 5640, 510, 510},        {"TP_KEY_RIGHT", "", 2520, 5280, 510, 510},
    {"TP_KEY_SHIFT", "SHIFT", 120, 5700, 975, 480},   {"TP_KEY_F1", "F1", 120, 6240, 975, 480},
    {"TP_KEY_F2", "F2", 1140, 6240, 975, 480},        {"TP_KEY_F3", "F3", 2160, 6240, 975, 480},
    {"TP_KEY_F4", "F4", 120, 6780, 975, 480},         {"TP_KEY_F5", "F5", 1140, 6780, 975, 480},
    {"TP_KEY_F6", "F6", 2160, 6780, 975, 480},
};

// The look of a key group: radius, kept-square corners, face and caption colours, label size.
struct GroupLook
{
    int radius;
    int roundCorner;
    ColorValue backColor;
    ColorValue foreColor;
    double points;
};

GroupLook standardLook(int index)
{
    if (index == 5)
        return {300, 0, 0xA0FF, 0, 9};
    if (index == 6)
        return {200, 0, 0xC0C0C0, 0, 9};
    if (index == 7)
        return {200, 0, 0x20C020, 0, 9};
    if (index >= 8 && index <= 13)
        return {220, 10, 0, 0xFFFFFF, 14.25};
    if (index >= 14 && index <= 19)
        return {220, 5, 0, 0xFFFFFF, 14.25};
    if (index >= 20 && index <= 23)
        return {225, 0, 0, 0xFFFFFF, 11.25};
    return {210, RoundCornerAll, 0, 0xFFFFFF, 9};
}

// The widget's rectangle in its window, cut to what its parents let show.
QRect shownRect(const QWidget *w)
{
    QRect r = rectInWindow(w);
    for (const QWidget *p = w->parentWidget(); p && !p->isWindow(); p = p->parentWidget())
        r &= rectInWindow(p);
    return r;
}

struct Control
{
    QString name;
    QWidget *widget;
};

void add(QList<Control> &list, const QString &name, QWidget *w)
{
    if (w && w->isVisible())
        list << Control{name, w};
}

// What a control covers in its window: a label that lets the mouse through covers its text only,
// any other control its shown rectangle.
QRect footprint(const QWidget *w)
{
    const auto *label = qobject_cast<const QLabel *>(w);
    if (!label || !label->testAttribute(Qt::WA_TransparentForMouseEvents))
        return shownRect(w);
    const QRect text = label->fontMetrics().boundingRect(label->contentsRect(), int(label->alignment()), label->text());
    return text.translated(label->mapTo(label->window(), QPoint(0, 0))) & shownRect(w);
}

// Every pair of controls whose footprints share a pixel, as text.
QStringList overlaps(const QList<Control> &controls)
{
    QStringList out;
    for (qsizetype i = 0; i < controls.size(); ++i) {
        for (qsizetype j = i + 1; j < controls.size(); ++j) {
            const QRect common = footprint(controls[i].widget) & footprint(controls[j].widget);
            if (!common.isEmpty())
                out << QStringLiteral("%1 / %2 (%3x%4 at %5,%6)")
                           .arg(controls[i].name, controls[j].name)
                           .arg(common.width())
                           .arg(common.height())
                           .arg(common.x())
                           .arg(common.y());
        }
    }
    return out;
}

// The pixels along the edge of what a control shows (its shape where it has one) and its
// centre, in the window: where a neighbour reaching over it would take its clicks.
QList<QPoint> edgePoints(const QWidget *w)
{
    const QRegion shape = w->mask().isEmpty() ? QRegion(w->rect()) : w->mask();
    const QRegion face = shape.translated(w->mapTo(w->window(), QPoint(0, 0))) & shownRect(w);
    const QRect bounds = face.boundingRect();
    QList<QPoint> points{bounds.center()};
    for (int y = bounds.top(); y <= bounds.bottom(); ++y) {
        for (int x = bounds.left(); x <= bounds.right(); ++x) {
            const QPoint p(x, y);
            if (face.contains(p) && (!face.contains(p + QPoint(1, 0)) || !face.contains(p - QPoint(1, 0)) ||
                                     !face.contains(p + QPoint(0, 1)) || !face.contains(p - QPoint(0, 1))))
                points << p;
        }
    }
    return points;
}

bool isWithin(const QWidget *w, const QWidget *ancestor)
{
    for (; w; w = w->parentWidget()) {
        if (w == ancestor)
            return true;
    }
    return false;
}

double lightness(QColor c)
{
    return 0.299 * c.red() + 0.587 * c.green() + 0.114 * c.blue();
}

} // namespace

class TestLayout : public QObject
{
    Q_OBJECT

    std::shared_ptr<ProvController> controller;

    // A pendant connected hosted with Debug (the state selector shown), past its first tick,
    // its beeper on: everything that can be shown at once.
    QWidget *showEverything(int type)
    {
        controller = connectController(QStringLiteral("PendantType=%1, Debug").arg(type));
        if (!controller)
            return nullptr;
        IPendantWindow *w = existingPendantWindow(pendantKindForType(type));
        if (!showHosted(*controller, w))
            return nullptr;
        emit static_cast<PendantWindowBase *>(w->widget())->firstConnectionTimer()->Timer();
        Variant r;
        controller->FinalExecute(QStringLiteral("beep"), Variant(-1), r);
        return w->widget();
    }

    // The controls each pendant shows, by name.
    QList<Control> controlsOf(QWidget *window)
    {
        QList<Control> list;
        if (auto *tp = qobject_cast<frmTP *>(window)) {
            for (int i = 0; i < frmTP::kKeyCount; ++i)
                add(list, tp->keyName(i), tp->hardKey(i));
            for (int i = 0; i < 6; ++i)
                add(list, QStringLiteral("lblMoveBtn%1").arg(i), tp->moveLabel(i));
            for (int i = 0; i < 3; ++i)
                add(list, tp->switchCaption(i)->text(), tp->switchCaption(i));
            add(list, QStringLiteral("picJogDial"), tp->jogDialBox());
            add(list, QStringLiteral("imgBeep"), tp->beeperIcon());
        } else if (auto *old = qobject_cast<frmOldTP *>(window)) {
            for (int i = 0; i < frmOldTP::kKeyCount; ++i)
                add(list, old->keyName(i), old->hardKey(i));
            for (int i = 0; i < 6; ++i)
                add(list, QStringLiteral("lblBtn%1").arg(i), old->axisLabel(i));
            for (int i = 0; i < 2; ++i)
                add(list, QStringLiteral("picLED%1").arg(i), old->ledView(i));
            add(list, QStringLiteral("picSwitch"), old->modeSwitch());
            add(list, QStringLiteral("Leave press"), old->leavePress());
            add(list, QStringLiteral("sldJog"), old->jogSlider());
            add(list, QStringLiteral("imgBeep"), old->beeperIcon());
        } else if (auto *mini = qobject_cast<frmMiniTP *>(window)) {
            for (int i = 0; i < frmMiniTP::kKeyCount; ++i)
                add(list, mini->keyName(i), mini->hardKey(i));
            for (int i = 0; i < 6; ++i)
                add(list, QStringLiteral("lblBtn%1").arg(i), mini->jointLabel(i));
            for (int i = 0; i < 3; ++i)
                add(list, QStringLiteral("picLED%1").arg(i), mini->ledView(i));
            add(list, QStringLiteral("picSwitch"), mini->modeSwitch());
            add(list, QStringLiteral("picDisplay"), mini->displayBox());
            add(list, QStringLiteral("imgBeep"), mini->beeperIcon());
        }
        add(list, QStringLiteral("cmbState"), static_cast<PendantWindowBase *>(window)->stateSelector());
        return list;
    }

private slots:
    void init() { startPendantProcess(); }
    void cleanup() { endHosted(controller); }

    void standardKeyTable()
    {
        auto *tp = qobject_cast<frmTP *>(showEverything(0));
        QVERIFY(tp);
        for (int i = 0; i < frmTP::kKeyCount; ++i) {
            const KeyRow &row = kStandardKeys[i];
            const GroupLook look = standardLook(i);
            const ButtonEx *button = tp->keyButton(i);
            const QString where = QStringLiteral("key %1 (%2)").arg(i).arg(QLatin1String(row.name));
            QVERIFY2(tp->keyName(i) == QLatin1String(row.name), qPrintable(where));
            QVERIFY2(rectInWindow(tp->hardKey(i)) == twipsRect(row.left, row.top, row.width, row.height),
                     qPrintable(where));
            QVERIFY2(button->Caption() == QLatin1String(row.label), qPrintable(where));
            QVERIFY2(button->ButtonStyle() == ButtonStyleRoundFrame, qPrintable(where));
            QVERIFY2(button->Radius() == look.radius, qPrintable(where));
            QVERIFY2(button->RoundCorner() == look.roundCorner, qPrintable(where));
            QVERIFY2(button->BackColor() == look.backColor, qPrintable(where));
            QVERIFY2(button->ForeColor() == look.foreColor, qPrintable(where));
            QVERIFY2(button->BorderColor() == 0x402020, qPrintable(where));
            QVERIFY2(button->BackGroundColor() == 0x606060, qPrintable(where));
            const QFont font = tp->hardKey(i)->font();
            QVERIFY2(font.bold() && qFuzzyCompare(font.pointSizeF(), look.points), qPrintable(where));
            // The arrow keys show a picture and no caption; the others a caption and no picture.
            QVERIFY2(button->Picture().isNull() == !(i >= 20 && i <= 23), qPrintable(where));
        }
        // The axis labels between the keys, each on two lines.
        const char *const axes[6][2] = {{"J1", " X "}, {"J2", " Y "}, {"J3", " Z "},
                                        {"J4", "RX"},  {"J5", "RY"},  {"J6", "RZ"}};
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(tp->moveLabel(i)->text().split(u'\n'),
                     QStringList({QLatin1String(axes[i][0]), QLatin1String(axes[i][1])}));
            QCOMPARE(rectInWindow(tp->moveLabel(i)), twipsRect(1995, 1560 + 540 * i, 405, 480));
        }
        // The switch and its click areas.
        QCOMPARE(rectInWindow(tp->modeSwitch()), twipsRect(-60, 30, 1500, 1215));
        const char *const switchKeys[3] = {"TP_KEY_AUTO", "TP_KEY_MAN", "TP_KEY_TC"};
        const char *const captions[3] = {"AUTO", "MAN", "TEACH"};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(rectInWindow(tp->switchArea(i)), twipsRect(-60 + 495 * i, 30, 495, 1215));
            QCOMPARE(tp->switchArea(i)->property("Tag").toString(), QLatin1String(switchKeys[i]));
            QCOMPARE(tp->switchCaption(i)->text(), QLatin1String(captions[i]));
        }
        const QRect states = rectInWindow(tp->stateSelector());
        QCOMPARE(states.topLeft(), twipsRect(1290, 1275, 1, 1).topLeft());
        QCOMPARE(states.width(), twipsRect(0, 0, 1725, 1).width());
    }

    void standardLedsLightInsideMotorAndLock()
    {
        auto *tp = qobject_cast<frmTP *>(showEverything(0));
        QVERIFY(tp);
        // 150 x 150 twips at (30, 30) inside MOTOR and LOCK, drawn over the key's face.
        QCOMPARE(tp->ledView(0)->parentWidget(), tp->hardKey(0));
        QCOMPARE(tp->ledView(1)->parentWidget(), tp->hardKey(1));
        QCOMPARE(rectInWindow(tp->ledView(0)), twipsRect(120 + 30, 1560 + 30, 150, 150));
        QCOMPARE(rectInWindow(tp->ledView(1)), twipsRect(120 + 30, 2100 + 30, 150, 150));
        const QImage shown = tp->grab().toImage();
        QCOMPARE(shown.pixelColor(rectInWindow(tp->ledView(0)).center()), QColor(0, 0xC0, 0));
        QCOMPARE(shown.pixelColor(rectInWindow(tp->ledView(1)).center()), QColor(0x80, 0x80, 0x80));
        // And as a client switches them.
        Variant r;
        QCOMPARE(controller->FinalExecute(QStringLiteral("led"), Variant::array({1, 0}), r), 0);
        QCOMPARE(controller->FinalExecute(QStringLiteral("led"), Variant::array({2, 1}), r), 0);
        const QImage switched = tp->grab().toImage();
        QCOMPARE(switched.pixelColor(rectInWindow(tp->ledView(0)).center()), QColor(0x80, 0x80, 0x80));
        QCOMPARE(switched.pixelColor(rectInWindow(tp->ledView(1)).center()), QColor(0, 0xC0, 0));
    }

    void pendants_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("standard") << 0;
        QTest::newRow("mini") << 1;
        QTest::newRow("old") << -1;
    }

    void shownControlsStayInsideAndApart_data() { pendants_data(); }
    void shownControlsStayInsideAndApart()
    {
        QFETCH(int, type);
        QWidget *window = showEverything(type);
        QVERIFY(window);
        const QList<Control> controls = controlsOf(window);
        QVERIFY(controls.size() > 40);
        QVERIFY(static_cast<PendantWindowBase *>(window)->stateSelector()->isVisible());
        for (const Control &c : controls) {
            // The mini pendant's beeper icon is laid out across the window's top right corner,
            // which cuts it.
            if (type == 1 && c.name == QLatin1String("imgBeep"))
                continue;
            QVERIFY2(window->rect().contains(shownRect(c.widget)), qPrintable(c.name));
        }
        const QStringList found = overlaps(controls);
        QVERIFY2(found.isEmpty(), qPrintable(found.join(QStringLiteral("; "))));
    }

    void keysTakeTheMouseOverTheirWholeFace_data() { pendants_data(); }
    void keysTakeTheMouseOverTheirWholeFace()
    {
        QFETCH(int, type);
        QWidget *window = showEverything(type);
        QVERIFY(window);
        for (const Control &c : controlsOf(window)) {
            if (c.widget->testAttribute(Qt::WA_TransparentForMouseEvents) || qobject_cast<QLabel *>(c.widget))
                continue;
            for (const QPoint &p : edgePoints(c.widget)) {
                QWidget *hit = window->childAt(p);
                QVERIFY2(isWithin(hit, c.widget), qPrintable(QStringLiteral("%1 at %2,%3 reaches %4")
                                                                 .arg(c.name)
                                                                 .arg(p.x())
                                                                 .arg(p.y())
                                                                 .arg(hit ? hit->objectName() : QString())));
            }
        }
    }

    void oldPendantWithDebugKeepsLeavePressInReach()
    {
        auto *old = qobject_cast<frmOldTP *>(showEverything(-1));
        QVERIFY(old);
        QVERIFY(old->stateSelector()->isVisible());
        // A click where "Leave press" shows checks it, and the twins take the keys' places.
        const QPoint at = rectInWindow(old->leavePress()).center();
        QWidget *hit = old->childAt(at);
        QCOMPARE(hit, old->leavePress());
        QTest::mouseClick(hit, Qt::LeftButton, {}, hit->mapFrom(old, at));
        QVERIFY(old->leavePress()->isChecked());
        QVERIFY(old->isLatchViewShown());
        QVERIFY(old->twin(7)->isVisible());
        // The state list is still there to choose from.
        QCOMPARE(old->childAt(rectInWindow(old->stateSelector()).center()), old->stateSelector());
    }

    void standardSwitchCaptionsKeepClearOfTheEdges()
    {
        auto *tp = qobject_cast<frmTP *>(showEverything(0));
        QVERIFY(tp);
        const QRect inner = tp->rect().adjusted(2, 2, -2, -2);
        for (int i = 0; i < 3; ++i) {
            const QLabel *caption = tp->switchCaption(i);
            QVERIFY2(inner.contains(rectInWindow(caption)), qPrintable(caption->text()));
            // Not cut by the switch they belong to, and wide enough for their text.
            QVERIFY2(caption->parentWidget()->rect().contains(caption->geometry()), qPrintable(caption->text()));
            QVERIFY(caption->width() >= caption->sizeHint().width());
        }
    }

    void oldJogSliderStaysBelowItsFrameTitle()
    {
        auto *old = qobject_cast<frmOldTP *>(showEverything(-1));
        QVERIFY(old);
        QGroupBox *frame = old->jogFrame();
        QStyleOptionGroupBox option;
        option.initFrom(frame);
        option.text = frame->title();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        option.lineWidth = 1;
        const QRect title =
            frame->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, frame);
        QVERIFY(!title.isEmpty());
        QSlider *slider = old->jogSlider();
        QVERIFY2(
            !slider->geometry().intersects(title),
            qPrintable(
                QStringLiteral("slider top %1, title bottom %2").arg(slider->geometry().top()).arg(title.bottom())));
        // Left edge, width and bottom as laid out.
        const QRect place = twipsRect(30, 150, 555, 1050);
        QCOMPARE(slider->geometry().left(), place.left());
        QCOMPARE(slider->geometry().width(), place.width());
        QCOMPARE(slider->geometry().bottom(), place.bottom());
    }

    void switchDetentsShowOnTheBackground_data() { pendants_data(); }
    void switchDetentsShowOnTheBackground()
    {
        QFETCH(int, type);
        QWidget *window = showEverything(type);
        QVERIFY(window);
        QWidget *sw = type == 0   ? qobject_cast<frmTP *>(window)->modeSwitch()
                      : type == 1 ? qobject_cast<frmMiniTP *>(window)->modeSwitch()
                                  : qobject_cast<frmOldTP *>(window)->modeSwitch();
        const QImage shown = sw->grab().toImage();
        const QColor background = shown.pixelColor(1, shown.height() - 2);
        // The picture stands centred and on the bottom edge.
        const QSize picture = pictures::modeSwitchSize();
        const QPoint origin((sw->width() - picture.width()) / 2, sw->height() - picture.height());
        for (int position = 0; position < 3; ++position) {
            const QPoint tick = origin + pictures::modeSwitchDetent(position).toPoint();
            double contrast = 0;
            for (int dy = -2; dy <= 2; ++dy) {
                for (int dx = -2; dx <= 2; ++dx)
                    contrast = std::max(
                        contrast, std::abs(lightness(shown.pixelColor(tick + QPoint(dx, dy))) - lightness(background)));
            }
            QVERIFY2(
                contrast >= 100,
                qPrintable(
                    QStringLiteral("detent %1: contrast %2 on %3").arg(position).arg(contrast).arg(background.name())));
        }
    }
};

QTEST_MAIN(TestLayout)
#include "test_layout.moc"
