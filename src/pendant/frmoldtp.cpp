#include "pendant/frmoldtp.h"

#include "common/diagnostics.h"
#include "common/twips.h"
#include "pendant/frmoldtp_keys.h"
#include "pendant/frmoldtp_paint.h"
#include "pendant/paintbox.h"
#include "pendant/pictures.h"
#include "provider/keytables.h"
#include "provider/provstate.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSlider>

#include <algorithm>

namespace tarvisk {

namespace {

enum Group { Motor, RSel, Manual, Cursor, Jog, Func, GroupCount };

struct GroupLayout
{
    const char *name;
    const char *caption;
    int left, top, width, height;
};

const GroupLayout kGroups[GroupCount] = {
    {"fraMotor", "", 1530, 30, 1245, 1215},   {"fraRSel", "", 60, 1260, 2715, 1005},
    {"fraManual", "", 60, 2280, 2715, 2385},  {"fraCursor", "", 60, 4680, 1935, 1245},
    {"fraJog", "JOG", 2070, 4680, 705, 1245}, {"fraFunc", "", 60, 5940, 2715, 1335},
};

struct KeyLayout
{
    const char *caption;
    const char *tag;
    Group group;
    int left, top; // from the window's client origin
};

const KeyLayout kKeys[frmOldTP::kKeyCount] = {
    {"MOTOR", "TP_KEY_MOTOR", Motor, 1830, 300},   {"LOCK", "TP_KEY_LOCK", Motor, 1830, 750},
    {"R-SEL", "TP_KEY_RSEL", RSel, 180, 1470},     {"M-MOD", "TP_KEY_MMOD", RSel, 1020, 1470},
    {"SPEED", "TP_KEY_SPD", RSel, 1860, 1470},     {"STOP", "TP_KEY_STOP", RSel, 180, 1860},
    {"Cancel", "TP_KEY_CANCEL", RSel, 1020, 1860}, {"OK", "TP_KEY_OK", RSel, 1860, 1860},
    {"-", "TP_KEY_M_J1", Manual, 180, 2460},       {"-", "TP_KEY_M_J2", Manual, 180, 2820},
    {"-", "TP_KEY_M_J3", Manual, 180, 3180},       {"-", "TP_KEY_M_J4", Manual, 180, 3540},
    {"-", "TP_KEY_M_J5", Manual, 180, 3900},       {"-", "TP_KEY_M_J6", Manual, 180, 4260},
    {"+", "TP_KEY_P_J1", Manual, 1860, 2460},      {"+", "TP_KEY_P_J2", Manual, 1860, 2820},
    {"+", "TP_KEY_P_J3", Manual, 1860, 3180},      {"+", "TP_KEY_P_J4", Manual, 1860, 3540},
    {"+", "TP_KEY_P_J5", Manual, 1860, 3900},      {"+", "TP_KEY_P_J6", Manual, 1860, 4260},
    {"Up", "TP_KEY_UP", Cursor, 630, 4860},        {"Left", "TP_KEY_LEFT", Cursor, 180, 5190},
    {"Down", "TP_KEY_DOWN", Cursor, 630, 5520},    {"Right", "TP_KEY_RIGHT", Cursor, 1080, 5190},
    {"SHIFT", "TP_KEY_SHIFT", Func, 180, 6150},    {"F1", "TP_KEY_F1", Func, 180, 6510},
    {"F2", "TP_KEY_F2", Func, 1020, 6510},         {"F3", "TP_KEY_F3", Func, 1860, 6510},
    {"F4", "TP_KEY_F4", Func, 180, 6870},          {"F5", "TP_KEY_F5", Func, 1020, 6870},
    {"F6", "TP_KEY_F6", Func, 1860, 6870},
};

constexpr int kKeyWidth = 795;
constexpr int kKeyHeight = 300;

const char *const kAxisLabels[6] = {"J1 /  X ", "J2 /  Y ", "J3 /  Z ", "J4 / RX", "J5 / RY", "J6 / RZ"};
const char *const kSwitchKeys[3] = {"TP_KEY_AUTO", "TP_KEY_MAN", "TP_KEY_TC"};

// "Leave press" takes the free part of the SHIFT row (from fraFunc's origin). The state selector
// goes where nothing else is when Debug keeps it shown: the band between the mode switch and the
// R-SEL row, over the top edge of fraRSel (from the window's origin). No other free place of the
// window is wide enough for it.
const QRect kLeavePressTwips(960, 210, 1635, 300);
const QRect kStateSelectorTwips(60, 1215, 1440, 240);

} // namespace

frmOldTP::frmOldTP(QWidget *parent)
    : PendantWindowBase(QStringLiteral("frmOldTP"), parent)
{
    setWindowTitle(QStringLiteral("Halvex Pendant"));
    setFont(pendantFont(9, false));
    setFixedSize(twips::toPixelsX(2835), twips::toPixelsY(7335));
}

frmOldTP::~frmOldTP() = default;

void frmOldTP::buildControls()
{
    buildSwitch();
    buildGroups();
    buildKeys();
    buildIndicators();
    buildJog();

    chkLeavePress = new QCheckBox(QStringLiteral("Leave press"), fraFunc);
    chkLeavePress->setObjectName(QStringLiteral("chkLeavePress"));
    chkLeavePress->setGeometry(
        twipsRect(kLeavePressTwips.x(), kLeavePressTwips.y(), kLeavePressTwips.width(), kLeavePressTwips.height()));
    connect(chkLeavePress, &QCheckBox::toggled, this, [this](bool checked) { showLatchView(checked); });
    addControl(chkLeavePress);

    QComboBox *states = createStateSelector(this, kStateSelectorTwips);
    states->setObjectName(QStringLiteral("cmbState"));
    states->setFont(pendantFont(8, false));
    states->raise();

    previewKeys(this);
    // The window waits for its first-connection tick before it takes any input.
    setEnabled(false);
}

void frmOldTP::buildGroups()
{
    QGroupBox **targets[GroupCount] = {&fraMotor, &fraRSel, &fraManual, &fraCursor, &fraJog, &fraFunc};
    for (int g = 0; g < GroupCount; ++g) {
        const GroupLayout &l = kGroups[g];
        auto *box = new QGroupBox(QString::fromLatin1(l.caption), this);
        box->setObjectName(QString::fromLatin1(l.name));
        box->setGeometry(twipsRect(l.left, l.top, l.width, l.height));
        *targets[g] = box;
    }
}

void frmOldTP::buildKeys()
{
    QGroupBox *groups[GroupCount] = {fraMotor, fraRSel, fraManual, fraCursor, fraJog, fraFunc};
    const QFont keyFont = pendantFont(9, false);
    for (int i = 0; i < kKeyCount; ++i) {
        const KeyLayout &k = kKeys[i];
        const GroupLayout &g = kGroups[k.group];
        const QRect place = twipsRect(k.left - g.left, k.top - g.top, kKeyWidth, kKeyHeight);
        const QString caption = QString::fromLatin1(k.caption);
        m_keyNames[i] = QString::fromLatin1(k.tag);

        auto *key = new QPushButton(caption, groups[k.group]);
        key->setObjectName(QStringLiteral("cmdHardKey%1").arg(i));
        key->setGeometry(place);
        key->setFont(keyFont);
        key->setFocusPolicy(Qt::NoFocus);
        cmdHardKey[i] = key;
        addControl(key);

        // The twin lies over its key, hidden until the latch view is shown.
        auto *twin = new QPushButton(caption, groups[k.group]);
        twin->setObjectName(QStringLiteral("chkHardKey%1").arg(i));
        twin->setCheckable(true);
        twin->setGeometry(place);
        twin->setFont(keyFont);
        twin->setFocusPolicy(Qt::NoFocus);
        twin->setProperty("Tag", m_keyNames[i]);
        twin->hide();
        chkHardKey[i] = twin;
        addControl(twin);
        declareKey(i);
    }

    for (int i = 0; i < 6; ++i) {
        auto *label = new QLabel(QString::fromLatin1(kAxisLabels[i]), fraManual);
        label->setObjectName(QStringLiteral("lblBtn%1").arg(i));
        label->setGeometry(twipsRect(900, 240 + 360 * i, 915, 195));
        // The label reaches a pixel over the inner edges of its axis keys; clicks there are theirs.
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        label->setAlignment(Qt::AlignCenter);
        lblBtn[i] = label;
        addControl(label);
    }
}

void frmOldTP::buildSwitch()
{
    auto *sw = new PaintBox(
        this, [this](QPainter &p, const QRect &r) { paintOldModeSwitch(p, r, keys().model().switchPosition()); });
    sw->setObjectName(QStringLiteral("picSwitch"));
    sw->setGeometry(twipsRect(0, 0, 1500, 1215));
    picSwitch = sw;
    addControl(sw);

    const struct
    {
        const char *caption;
        int left, top;
    } captions[3] = {{"AUTO", 60, 120}, {"MAN", 600, 0}, {"TEACH", 960, 120}};
    for (const auto &c : captions) {
        auto *label = new QLabel(QString::fromLatin1(c.caption), picSwitch);
        label->setFont(pendantFont(7.5, true));
        label->adjustSize();
        label->move(twips::toPixelsX(c.left), twips::toPixelsY(c.top));
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    for (int i = 0; i < 3; ++i) {
        imgClickSwitch[i] =
            addSwitchArea(picSwitch, i, QString::fromLatin1(kSwitchKeys[i]), [this, i] { selectSwitch(i); });
    }
}

void frmOldTP::declareKey(int i)
{
    QPushButton *key = cmdHardKey[i];
    QPushButton *twin = chkHardKey[i];
    // A held key locks its twin; a latched twin holds its key and locks it.
    auto settle = [key, twin](const KeyView &v) {
        twin->setEnabled(!v.heldByHand);
        twin->setChecked(v.latched);
        key->setEnabled(!v.latched);
    };
    KeyControl push;
    push.widget = key;
    push.keyName = m_keyNames[i];
    push.on.look = [key](bool held) { key->setDown(held); };
    push.on.settle = settle;
    push.on.failed = [](const ProvError &e, bool) { showErrorBox(e.number(), e.description()); };
    input().declare(push);
    KeyControl latch;
    latch.widget = twin;
    latch.kind = ControlKind::LatchTwin;
    latch.keyName = m_keyNames[i];
    input().declare(latch);
}

void frmOldTP::buildIndicators()
{
    m_leds = new LedBank(2, 1000, LedBank::Toggle::Look, this);
    const int tops[2] = {300, 750};
    for (int i = 0; i < 2; ++i) {
        auto *led =
            new PaintBox(fraMotor, [this, i](QPainter &p, const QRect &r) { paintOldLed(p, r, m_leds->isLit(i)); });
        led->setObjectName(QStringLiteral("picLED%1").arg(i));
        led->setGeometry(twipsRect(120, tops[i], 135, 255));
        picLED[i] = led;
        addControl(led);
    }
    connect(m_leds, &LedBank::changed, this, [this](int i) { picLED[i]->update(); });

    m_beeper = new Beeper(this);
    imgBeep = new QLabel(fraMotor);
    imgBeep->setObjectName(QStringLiteral("imgBeep"));
    imgBeep->setPixmap(QPixmap::fromImage(pictures::beeper()));
    imgBeep->setGeometry(twipsRect(1050, -60, 240, 240));
    imgBeep->hide();
    connect(m_beeper, &Beeper::shownChanged, imgBeep, &QWidget::setVisible);
    addControl(imgBeep);

    // The free corner of the cursor group, beside the jog slider (window twips 1455, 4770).
    createEnablingSwitch(fraCursor, QRect(1395, 90, 510, 390), QStringLiteral("TP_KEY_DEAD"));
}

void frmOldTP::buildJog()
{
    sldJog = new QSlider(Qt::Vertical, fraJog);
    sldJog->setObjectName(QStringLiteral("sldJog"));
    sldJog->setRange(-1, 1);
    // -1 at the top, +1 at the bottom.
    sldJog->setInvertedAppearance(true);
    sldJog->setInvertedControls(true);
    sldJog->setPageStep(1);
    sldJog->setTickPosition(QSlider::TicksBothSides);
    sldJog->setTickInterval(1);
    sldJog->setValue(0);
    // The frame's title takes the top of the frame, where the slider's place would cross it: the
    // slider keeps its left edge, width and bottom, and starts below the title.
    const QRect place = twipsRect(30, 150, 555, 1050);
    sldJog->setGeometry(place.adjusted(0, std::max(0, fraJog->contentsRect().top() - place.top()), 0, 0));
    addControl(sldJog);
    KeyControl jog;
    jog.widget = sldJog;
    jog.kind = ControlKind::JogSlider;
    jog.keyName = QStringLiteral("TP_KEY_JOG_UP");
    jog.otherKeyName = QStringLiteral("TP_KEY_JOG_DOWN");
    jog.on.jog = [this](int direction) { holdJog(direction); };
    // A mouse press on the slider arms the repeat; the slider drags itself.
    jog.on.pointer = [this](const PointerEvent &e) {
        if (e.type == QEvent::MouseButtonPress || e.type == QEvent::MouseButtonDblClick)
            tmrJog->setEnabled(true);
        return false;
    };
    input().declare(jog);

    tmrJog = new WindowTimer(this, kJogIntervalMs, false);
    connect(tmrJog, &WindowTimer::Timer, this, &frmOldTP::tmrJog_Timer);
    // Held off centre the thumb only scrolls; letting it go, or any other way of moving it,
    // is a change.
    connect(sldJog, &QSlider::sliderReleased, this, &frmOldTP::sldJog_Change);
    connect(sldJog, &QSlider::valueChanged, this, [this] {
        if (!sldJog->isSliderDown())
            sldJog_Change();
    });
}

// Every key press on the window passes Form_KeyDown first, wherever the focus is.
void frmOldTP::previewKeys(QWidget *root)
{
    root->installEventFilter(this);
    for (QWidget *w : root->findChildren<QWidget *>())
        w->installEventFilter(this);
}

void frmOldTP::enableKeys()
{
    setEnabled(true);
}

const KeyTable *frmOldTP::keyTable() const
{
    return g_TPKeyTable.get();
}

bool frmOldTP::selectSwitch(int position)
{
    return chooseSwitch(position, g_TPKeyTable.get(), QString::fromLatin1(kSwitchKeys[position]), picSwitch);
}

void frmOldTP::selectSwitchPosition(int position)
{
    selectSwitch(position);
}

void frmOldTP::tmrFirstConn_Timer()
{
    firstConnectionTimer()->setInterval(0);
    firstConnectionTimer()->setEnabled(false);
    try {
        if (!g_Standalone) {
            stateSelector()->setCurrentIndex(1);
            cmbState_Click();
        }
        const int position = switchPositionForMode(defaultMode());
        if (position >= 0)
            selectSwitch(position);
    } catch (const ProvError &e) {
        reportTimerError(e);
    }
    setEnabled(true);
    if (g_Standalone)
        connectionState().set(ConnectionState::Connect);
}

void frmOldTP::letGoOfControls(const QList<int32_t> &codes)
{
    Q_UNUSED(codes);
    if (sldJog->value() != 0 || sldJog->isSliderDown()) {
        tmrJog->setEnabled(false);
        m_inJogChange = true;
        sldJog->setSliderDown(false);
        sldJog->setValue(0);
        m_inJogChange = false;
    }
}

void frmOldTP::holdJog(int direction)
{
    if (direction) {
        // Held off centre by a key or a finger, as a hand on the thumb holds it.
        m_inJogChange = true;
        sldJog->setSliderDown(true);
        sldJog->setValue(direction);
        m_inJogChange = false;
        tmrJog->setEnabled(true);
    } else if (sldJog->isSliderDown()) {
        sldJog->setSliderDown(false); // let go: the change springs it back and lets the jog key go
    } else {
        sldJog_Change();
    }
}

void frmOldTP::showLatchView(bool twins)
{
    if (!isLoaded())
        return;
    if (twins == m_latchView)
        return; // a held Ctrl repeats
    m_latchView = twins;
    for (int i = 0; i < kKeyCount; ++i) {
        cmdHardKey[i]->setVisible(!twins);
        chkHardKey[i]->setVisible(twins);
    }
    if (twins)
        letGo(WayOut::LatchView); // a push key hidden while pressed never sees its release
}

bool frmOldTP::Form_KeyDown(QObject *watched, QKeyEvent *event)
{
    const int32_t code = virtualKeyCode(event->key(), event->modifiers());
    debugPrint(QStringLiteral("Form_KeyDown ") + QString::number(code));
    if (code == 17)
        showLatchView(true);
    else if (code == 18)
        setStateSelectorVisible(true);
    // The slider's own key press arms the jog timer; the key itself never reaches it.
    if (watched == sldJog)
        tmrJog->setEnabled(true);
    return true;
}

void frmOldTP::Form_KeyUp(QKeyEvent *event)
{
    if (event->isAutoRepeat())
        return;
    const int32_t code = virtualKeyCode(event->key(), event->modifiers());
    if (code == 17)
        showLatchView(false);
    else if (code == 18)
        setStateSelectorVisible(false);
}

void frmOldTP::sldJog_Change()
{
    if (m_inJogChange)
        return;
    InputPath::Scope scope(input(), input().lastSourceOf(sldJog));
    m_inJogChange = true;
    sldJog->setValue(0);
    tmrJog_Timer();
    m_inJogChange = false;
}

void frmOldTP::tmrJog_Timer()
{
    InputPath::Scope scope(input(), input().lastSourceOf(sldJog));
    try {
        jogTick();
    } catch (const ProvError &e) {
        tmrJog->setEnabled(false);
        showErrorBox(e.number(), e.description());
    }
}

void frmOldTP::jogTick()
{
    const int value = sldJog->value();
    const int32_t down = g_TPKeyTable->Item(QStringLiteral("TP_KEY_JOG_DOWN"));
    const int32_t up = g_TPKeyTable->Item(QStringLiteral("TP_KEY_JOG_UP"));
    PendantKeys &k = keys();
    k.releaseHeld({down, up});
    if (value == -1)
        k.press(up);
    else if (value == 1)
        k.press(down);
}

void frmOldTP::SetLED(Variant &vntVal)
{
    Load();
    m_leds->SetLED(vntVal);
}

void frmOldTP::SetBeep(Variant &value)
{
    Load();
    m_beeper->SetBeep(value);
}

bool frmOldTP::event(QEvent *event)
{
    if (event->type() == QEvent::WindowDeactivate || event->type() == QEvent::FocusOut) {
        if (isLoaded())
            showLatchView(false);
    }
    return PendantWindowBase::event(event);
}

bool frmOldTP::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress)
        return Form_KeyDown(watched, static_cast<QKeyEvent *>(event));
    if (event->type() == QEvent::KeyRelease)
        Form_KeyUp(static_cast<QKeyEvent *>(event));
    return false;
}

} // namespace tarvisk
