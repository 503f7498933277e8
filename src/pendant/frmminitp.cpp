#include "pendant/frmminitp.h"

#include "common/diagnostics.h"
#include "common/twips.h"
#include "pendant/frmminitp_key.h"
#include "pendant/paintbox.h"
#include "pendant/pictures.h"
#include "provider/keytables.h"
#include "provider/provstate.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace tarvisk {

namespace {

struct GroupLayout
{
    const char *name;
    int left, top, width, height;
};

// Window coordinates, in twips.
const GroupLayout kGroups[frmMiniTP::GroupCount] = {
    {"fraMotor", 0, 3450, 4095, 495}, {"fraStop", 2070, 3960, 2025, 1245},   {"fraShift", 0, 3960, 2235, 495},
    {"fraFunc", 0, 4470, 2055, 3405}, {"fraManual", 2100, 5385, 2025, 3975}, {"fraCursor", 0, 7920, 2055, 1485},
};

// fraShift reaches under the left edge of STOP; fraStop lies above it so that the whole key
// takes the mouse.
constexpr frmMiniTP::Group kGroupOrder[] = {frmMiniTP::fraMotor, frmMiniTP::fraShift,  frmMiniTP::fraStop,
                                            frmMiniTP::fraFunc,  frmMiniTP::fraManual, frmMiniTP::fraCursor};

enum class KeyFont { Gothic, GothicBold, Dialog };
constexpr int kNoFace = -1;

struct KeyLayout
{
    const char *caption; // "/" marks a line break
    const char *tag;
    frmMiniTP::Group group;
    int left, top, width, height; // window coordinates, twips
    int face;                     // &HBBGGRR, or kNoFace for the system button face
    KeyFont font;
};

constexpr int kLightYellow = 0xC0FFFF; // RGB(255, 255, 192)
constexpr int kWhite = 0xFFFFFF;
constexpr int kLightGreen = 0xC0FFC0; // RGB(192, 255, 192)
constexpr int kLightGrey = 0xE0E0E0;  // RGB(224, 224, 224)

using G = frmMiniTP::Group;
const KeyLayout kKeys[frmMiniTP::kKeyCount] = {
    {"MOTOR", "MP_KEY_MOTOR", G::fraMotor, 330, 3510, 705, 390, kNoFace, KeyFont::Gothic},
    {"R-SEL", "MP_KEY_RSEL", G::fraMotor, 1110, 3510, 915, 390, kNoFace, KeyFont::Gothic},
    {"M-MOD", "MP_KEY_MMOD", G::fraMotor, 2100, 3510, 915, 390, kNoFace, KeyFont::Gothic},
    {"SPEED", "MP_KEY_SPD", G::fraMotor, 3090, 3510, 915, 390, kNoFace, KeyFont::Gothic},
    {"STOP", "MP_KEY_STOP", G::fraStop, 2100, 4020, 1905, 390, kLightYellow, KeyFont::Gothic},
    {"Cancel", "MP_KEY_CANCEL", G::fraStop, 2100, 4500, 915, 690, kWhite, KeyFont::Gothic},
    {"OK", "MP_KEY_OK", G::fraStop, 3090, 4500, 915, 690, kLightGreen, KeyFont::Gothic},
    {"-/1", "MP_KEY_M_J1", G::fraManual, 2130, 5385, 765, 510, kNoFace, KeyFont::GothicBold},
    {"-/2/ABC", "MP_KEY_M_J2", G::fraManual, 2130, 5985, 765, 510, kNoFace, KeyFont::GothicBold},
    {"-/3/DEF", "MP_KEY_M_J3", G::fraManual, 2130, 6585, 765, 510, kNoFace, KeyFont::GothicBold},
    {"-/4/GHI", "MP_KEY_M_J4", G::fraManual, 2130, 7245, 765, 510, kNoFace, KeyFont::GothicBold},
    {"-/5/JKL", "MP_KEY_M_J5", G::fraManual, 2130, 7845, 765, 510, kNoFace, KeyFont::GothicBold},
    {"-/-", "MP_KEY_M_J6", G::fraManual, 2130, 8445, 765, 510, kNoFace, KeyFont::GothicBold},
    {"+/6/MNO", "MP_KEY_P_J1", G::fraManual, 3255, 5385, 765, 510, kNoFace, KeyFont::GothicBold},
    {"+/7/PQRS", "MP_KEY_P_J2", G::fraManual, 3255, 5985, 765, 510, kNoFace, KeyFont::GothicBold},
    {"+/8/TUV", "MP_KEY_P_J3", G::fraManual, 3255, 6585, 765, 510, kNoFace, KeyFont::GothicBold},
    {"+/9/WXYZ", "MP_KEY_P_J4", G::fraManual, 3255, 7245, 765, 510, kNoFace, KeyFont::GothicBold},
    {"+/0", "MP_KEY_P_J5", G::fraManual, 3255, 7845, 765, 510, kNoFace, KeyFont::GothicBold},
    {"+/.", "MP_KEY_P_J6", G::fraManual, 3255, 8445, 765, 510, kNoFace, KeyFont::Gothic},
    {"Up", "MP_KEY_UP", G::fraCursor, 630, 7950, 915, 390, kNoFace, KeyFont::Gothic},
    {"Left", "MP_KEY_LEFT", G::fraCursor, 120, 8430, 915, 390, kNoFace, KeyFont::Gothic},
    {"Down", "MP_KEY_DOWN", G::fraCursor, 630, 8970, 915, 390, kNoFace, KeyFont::Gothic},
    {"Right", "MP_KEY_RIGHT", G::fraCursor, 1110, 8430, 915, 390, kNoFace, KeyFont::Gothic},
    {"SHIFT", "MP_KEY_SHIFT", G::fraShift, 330, 4020, 705, 390, kNoFace, KeyFont::Gothic},
    {"IN/EXT", "MP_KEY_INTEXT", G::fraShift, 1110, 4020, 915, 390, kNoFace, KeyFont::Gothic},
    {"Pro//[Reset]", "MP_KEY_PRO", G::fraFunc, 120, 4530, 915, 690, kLightGrey, KeyFont::Dialog},
    {"RUN//[Display]", "MP_KEY_RUN", G::fraFunc, 1110, 4530, 915, 690, kLightGrey, KeyFont::Dialog},
    {"SteoBack//[Var]", "MP_KEY_STEPBACK", G::fraFunc, 120, 5370, 915, 690, kLightGrey, KeyFont::Dialog},
    {"StpFwd//[I O]", "MP_KEY_STEPFWD", G::fraFunc, 1110, 5370, 915, 690, kLightGrey, KeyFont::Dialog},
    {"Stp-Stop/CAL/[   ]", "MP_KEY_STEPSTOP", G::fraFunc, 120, 6120, 915, 690, kLightGrey, KeyFont::Dialog},
    {"Cstp/Brake/[Log]", "MP_KEY_CYCLESTOP", G::fraFunc, 1110, 6120, 915, 690, kLightGrey, KeyFont::Dialog},
    {"HALT\nCOM", "MP_KEY_CONTSTOP", G::fraFunc, 120, 6900, 915, 690, kLightGrey, KeyFont::Dialog},
    {"AUX", "MP_KEY_AUX", G::fraFunc, 1110, 6900, 915, 690, kLightGrey, KeyFont::Dialog},
};

// Twins sit at their key's left and top with a size of their own.
constexpr int kTwinWidth = 795;
constexpr int kTwinHeight = 300;

const char *const kSwitchKeys[3] = {"MP_KEY_AUTO", "MP_KEY_MAN", "MP_KEY_TC"};

constexpr unsigned kShapeGrey = 0x808080;
constexpr unsigned kLedOutline = 0x404040;

QFont keyFont(KeyFont f)
{
    switch (f) {
    case KeyFont::GothicBold:
        return pendantFont(8.25, true);
    case KeyFont::Dialog:
        // The platform's dialog face stands in as the 8-point regular sans.
        return pendantFont(8, false);
    case KeyFont::Gothic:
        break;
    }
    return pendantFont(8.25, false);
}

QRect groupRectPixels(frmMiniTP::Group g)
{
    const GroupLayout &l = kGroups[g];
    return twipsRect(l.left, l.top, l.width, l.height);
}

// A rectangle given in window twips, in pixels of the group box that holds it. Rounded on
// the window's grid so that controls of neighbouring groups line up.
QRect inGroup(frmMiniTP::Group g, int left, int top, int width, int height)
{
    return twipsRect(left, top, width, height).translated(-groupRectPixels(g).topLeft());
}

// The same for a rectangle given from the group box's own origin.
QRect inGroupRelative(frmMiniTP::Group g, int left, int top, int width, int height)
{
    return inGroup(g, kGroups[g].left + left, kGroups[g].top + top, width, height);
}

QLabel *addLabel(QWidget *parent, const QString &text, int left, int top, const QFont &font)
{
    auto *label = new QLabel(text, parent);
    label->setFont(font);
    label->adjustSize();
    label->move(twips::toPixelsX(left), twips::toPixelsY(top));
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

} // namespace

frmMiniTP::frmMiniTP(QWidget *parent)
    : PendantWindowBase(QStringLiteral("frmMiniTP"), parent)
{
    setWindowTitle(QStringLiteral("Halvex Mini Pendant"));
    setFixedSize(twips::toPixelsX(4200), twips::toPixelsY(9480));
    setFont(pendantFont(8.25, false));
}

frmMiniTP::~frmMiniTP() = default;

QString frmMiniTP::keyName(int index) const
{
    return cmdHardKey[index]->property("Tag").toString();
}

unsigned frmMiniTP::ledColor(int index) const
{
    return m_leds->isLit(index) ? kLedGreen : kLedWhite;
}

void frmMiniTP::buildControls()
{
    buildSwitch();
    buildDisplay();
    buildGroups();
    buildKeys();
    buildIndicators();
    // The in-process mask starts with every byte 255 as the key model's own start state.
    // The window waits for its first-connection tick, which enables it, before it takes any input.
    setEnabled(false);
}

void frmMiniTP::buildGroups()
{
    for (Group g : kGroupOrder) {
        auto *frame = new QFrame(this);
        frame->setObjectName(QString::fromLatin1(kGroups[g].name));
        frame->setFrameShape(QFrame::NoFrame);
        frame->setGeometry(groupRectPixels(g));
        m_groups[g] = frame;
    }
}

void frmMiniTP::buildKeys()
{
    for (int i = 0; i < kKeyCount; ++i) {
        const KeyLayout &k = kKeys[i];
        QFrame *group = m_groups[k.group];
        const QString stored = QString::fromUtf8(k.caption);
        const QString tag = QString::fromLatin1(k.tag);

        auto *key = new MiniHardKey(group);
        key->setObjectName(QStringLiteral("cmdHardKey%1").arg(i));
        key->setProperty("Tag", tag);
        key->setGeometry(inGroup(k.group, k.left, k.top, k.width, k.height));
        key->setFont(keyFont(k.font));
        // The keys report only what the mouse does; a key taking the keyboard could be
        // pressed without a report.
        key->setFocusPolicy(Qt::NoFocus);
        if (k.face != kNoFace) {
            QPalette pal = key->palette();
            pal.setColor(QPalette::Button, colorFromBgr(unsigned(k.face)));
            key->setPalette(pal);
        }
        cmdHardKey[i] = key;
        addControl(key);

        // The twin takes the caption as stored, before the line breaks are put in.
        auto *twin = new QCheckBox(stored, group);
        twin->setObjectName(QStringLiteral("chkHardKey%1").arg(i));
        twin->setProperty("Tag", tag);
        twin->setGeometry(inGroup(k.group, k.left, k.top, kTwinWidth, kTwinHeight));
        twin->setFocusPolicy(Qt::NoFocus);
        twin->hide();
        chkHardKey[i] = twin;
        addControl(twin);

        key->setText(QString(stored).replace(u'/', u'\n'));
        declareKey(i);
    }

    for (int i = 0; i < 6; ++i) {
        auto *label = new QLabel(QStringLiteral("J%1").arg(i + 1), m_groups[fraManual]);
        label->setObjectName(QStringLiteral("lblBtn%1").arg(i));
        static constexpr int tops[6] = {120, 720, 1320, 1980, 2580, 3180};
        label->setGeometry(inGroupRelative(fraManual, 780, tops[i], 315, 195));
        label->setAlignment(Qt::AlignCenter);
        label->setFont(pendantFont(9, true));
        // The label reaches a pixel over the inner edge of its minus key; clicks there are the key's.
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        lblBtn[i] = label;
        addControl(label);
    }

    QComboBox *states = createStateSelector(m_groups[fraManual], QRect(30, 3660, 1935, 315));
    states->setObjectName(QStringLiteral("cmbState"));
    states->setFont(pendantFont(8.25, false));
}

void frmMiniTP::buildSwitch()
{
    auto *sw = new PaintBox(this, [this](QPainter &p, const QRect &r) {
        const int position = keys().model().switchPosition();
        if (position < 0)
            return;
        const QImage img = pictures::modeSwitch(position);
        p.drawImage(QPoint((r.width() - img.width()) / 2, r.height() - img.height()), img);
    });
    sw->setObjectName(QStringLiteral("picSwitch"));
    sw->setGeometry(twipsRect(0, 0, 1500, 1215));
    picSwitch = sw;
    addControl(sw);

    const QFont captionFont = pendantFont(8.25, false);
    addLabel(picSwitch, QStringLiteral("AUTO"), 60, 120, captionFont);
    addLabel(picSwitch, QStringLiteral("MAN"), 600, 0, captionFont);
    addLabel(picSwitch, QStringLiteral("TEACH"), 960, 120, captionFont);
    for (int i = 0; i < 3; ++i) {
        imgClickSwitch[i] =
            addSwitchArea(picSwitch, i, QString::fromLatin1(kSwitchKeys[i]), [this, i] { selectSwitch(i); });
    }
}

void frmMiniTP::declareKey(int i)
{
    QPushButton *key = cmdHardKey[i];
    QCheckBox *twin = chkHardKey[i];
    // A held key locks its twin; a latched twin holds its key and locks it.
    auto settle = [key, twin](const KeyView &v) {
        twin->setEnabled(!v.heldByHand);
        twin->setChecked(v.latched);
        key->setEnabled(!v.latched);
    };
    auto failed = [](const ProvError &e, bool) { showErrorBox(e.number(), e.description()); };
    KeyControl push;
    push.widget = key;
    push.keyName = keyName(i);
    push.on.look = [key](bool held) { key->setDown(held); };
    push.on.settle = settle;
    push.on.failed = failed;
    input().declare(push);
    KeyControl latch;
    latch.widget = twin;
    latch.kind = ControlKind::LatchTwin;
    latch.keyName = keyName(i);
    input().declare(latch);
}

void frmMiniTP::buildIndicators()
{
    m_leds = new LedBank(kLedCount, 400, LedBank::Toggle::Look, this);
    // LED 1 belongs to the window; 2 and 3 to their groups, beside SHIFT and MOTOR.
    const QRect ledRects[kLedCount] = {twipsRect(2310, 60, 135, 345), inGroupRelative(fraShift, 150, 90, 135, 345),
                                       inGroupRelative(fraMotor, 150, 90, 135, 345)};
    QWidget *const ledParents[kLedCount] = {this, m_groups[fraShift], m_groups[fraMotor]};
    for (int i = 0; i < kLedCount; ++i) {
        auto *led = new PaintBox(ledParents[i], [this, i](QPainter &p, const QRect &r) {
            p.fillRect(r, colorFromBgr(ledColor(i)));
            p.setPen(colorFromBgr(kLedOutline));
            p.drawRect(r.adjusted(0, 0, -1, -1));
        });
        led->setObjectName(QStringLiteral("picLED%1").arg(i));
        led->setGeometry(ledRects[i]);
        picLED[i] = led;
        addControl(led);
    }
    connect(m_leds, &LedBank::changed, this, [this](int i) { picLED[i]->update(); });
    addLabel(this, QStringLiteral("Power"), 2490, 120, pendantFont(8.25, false));

    m_beeper = new Beeper(this);
    imgBeep = new QLabel(this);
    imgBeep->setObjectName(QStringLiteral("imgBeep"));
    imgBeep->setPixmap(QPixmap::fromImage(pictures::beeper()));
    imgBeep->setGeometry(twipsRect(3990, -15, 240, 240));
    imgBeep->hide();
    connect(m_beeper, &Beeper::shownChanged, imgBeep, &QWidget::setVisible);
    addControl(imgBeep);

    // Below the power lamp, beside the mode switch: no key of the layout lies there.
    createEnablingSwitch(this, QRect(2520, 630, 1200, 405), QStringLiteral("MP_KEY_DEAD"));
}

void frmMiniTP::buildDisplay()
{
    auto *shape = new PaintBox(this, [](QPainter &p, const QRect &r) {
        p.setPen(colorFromBgr(kShapeGrey));
        p.drawRect(r.adjusted(0, 0, -1, -1));
    });
    shape->setObjectName(QStringLiteral("Shape1"));
    shape->setGeometry(twipsRect(30, 1230, 4065, 2175));
    shape->setAttribute(Qt::WA_TransparentForMouseEvents);
    Shape1 = shape;

    const QRect outer = MiniDisplay::outerRectTwips();
    auto *box = new PaintBox(this, [this](QPainter &p, const QRect &r) { paintMiniDisplay(p, r, m_display); });
    box->setObjectName(QStringLiteral("picDisplay"));
    box->setGeometry(twipsRect(outer.x(), outer.y(), outer.width(), outer.height()));
    picDisplay = box;
    addControl(box);
}

void frmMiniTP::enableKeys()
{
    setEnabled(true);
}

void frmMiniTP::tmrFirstConn_Timer()
{
    firstConnectionTimer()->setInterval(0);
    firstConnectionTimer()->setEnabled(false);
    try {
        if (!g_Standalone)
            sendHostMessage(0, Variant(int16_t(1)));
        const int position = switchPositionForMode(defaultMode());
        if (position >= 0)
            selectSwitch(position);
    } catch (const ProvError &e) {
        reportTimerError(e);
    }
    enableKeys();
    connectionState().set(ConnectionState::Connect);
}

const KeyTable *frmMiniTP::keyTable() const
{
    return g_MPKeyTable.get();
}

bool frmMiniTP::selectSwitch(int position)
{
    return chooseSwitch(position, g_MPKeyTable.get(), imgClickSwitch[position]->property("Tag").toString(), picSwitch);
}

void frmMiniTP::selectSwitchPosition(int position)
{
    selectSwitch(position);
}

void frmMiniTP::SetLED(Variant &vntVal)
{
    Load();
    try {
        m_leds->SetLED(vntVal);
    } catch (const ProvError &) {
        // A malformed value is dropped without a word.
    }
}

void frmMiniTP::SetBeep(Variant &value)
{
    Load();
    m_beeper->SetBeep(value);
}

Variant frmMiniTP::GetKeyState()
{
    if (!m_bFirstKeyState) {
        m_bFirstKeyState = true;
        if (!g_Standalone) {
            connectionState().set(ConnectionState::Connect);
            sendHostMessage(0, Variant(int16_t(1)));
        }
    }
    return PendantWindowBase::GetKeyState();
}

void frmMiniTP::SetLCD(Variant &vntData)
{
    Load();
    m_display.SetLCD(vntData);
}

void frmMiniTP::DrawDisplay(Variant &data)
{
    Load();
    m_display.DrawDisplay(data);
    if (m_display.changeCount() != m_paintedChanges) {
        m_paintedChanges = m_display.changeCount();
        picDisplay->update();
    }
}

bool frmMiniTP::dispatchLinkMessage(int32_t number, Variant &value)
{
    switch (number) {
    case 258:
        SetLCD(value);
        return true;
    case 259:
        DrawDisplay(value);
        return true;
    default:
        return false;
    }
}

void frmMiniTP::showLatchView(bool shown)
{
    if (shown == m_latchView)
        return; // a held Ctrl repeats
    m_latchView = shown;
    for (int i = 0; i < kKeyCount; ++i) {
        cmdHardKey[i]->setVisible(!shown);
        chkHardKey[i]->setVisible(shown);
    }
    if (shown)
        letGo(WayOut::LatchView); // a push key hidden while pressed never sees its release
}

void frmMiniTP::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Control && isLoaded()) {
        showLatchView(true);
        event->accept();
        return;
    }
    PendantWindowBase::keyPressEvent(event);
}

void frmMiniTP::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Control && isLoaded()) {
        if (!event->isAutoRepeat())
            showLatchView(false);
        event->accept();
        return;
    }
    PendantWindowBase::keyReleaseEvent(event);
}

void frmMiniTP::focusOutEvent(QFocusEvent *event)
{
    if (isLoaded())
        showLatchView(false);
    PendantWindowBase::focusOutEvent(event);
}

bool frmMiniTP::event(QEvent *event)
{
    if (event->type() == QEvent::WindowDeactivate && isLoaded())
        showLatchView(false);
    return PendantWindowBase::event(event);
}

} // namespace tarvisk
