#include "pendant/frmtp.h"

#include "common/diagnostics.h"
#include "common/twips.h"
#include "pendant/paintbox.h"
#include "pendant/pictures.h"
#include "provider/keytables.h"
#include "provider/provstate.h"
#include "widgets/buttonex.h"

#include <QComboBox>
#include <QLabel>
#include <QPainter>

namespace tarvisk {

namespace {

constexpr unsigned kBackColour = 0x606060;

struct KeyLayout
{
    const char *tag;
    int left, top, width, height;
};

// Tags carry the key name and, after ":", the label.
const KeyLayout kKeys[frmTP::kKeyCount] = {
    {"TP_KEY_MOTOR:MOTOR", 120, 1560, 975, 480},   {"TP_KEY_LOCK:LOCK", 120, 2100, 975, 480},
    {"TP_KEY_RSEL:R-SEL", 120, 3210, 975, 480},    {"TP_KEY_MMOD:M-MOD", 120, 3735, 975, 480},
    {"TP_KEY_SPD:SPEED", 120, 4260, 975, 480},     {"TP_KEY_STOP:STOP", 1500, 180, 1455, 480},
    {"TP_KEY_CANCEL:Cancel", 1290, 795, 915, 480}, {"TP_KEY_OK:OK", 2250, 795, 795, 480},
    {"TP_KEY_M_J1:-", 1320, 1560, 675, 480},       {"TP_KEY_M_J2:-", 1320, 2100, 675, 480},
    {"TP_KEY_M_J3:-", 1320, 2640, 675, 480},       {"TP_KEY_M_J4:-", 1320, 3180, 675, 480},
    {"TP_KEY_M_J5:-", 1320, 3720, 675, 480},       {"TP_KEY_M_J6:-", 1320, 4260, 675, 480},
    {"TP_KEY_P_J1:+", 2400, 1560, 675, 480},       {"TP_KEY_P_J2:+", 2400, 2100, 675, 480},
    {"TP_KEY_P_J3:+", 2400, 2640, 675, 480},       {"TP_KEY_P_J4:+", 2400, 3180, 675, 480},
    {"TP_KEY_P_J5:+", 2400, 3720, 675, 480},       {"TP_KEY_P_J6:+", 2400, 4260, 675, 480},
    {"TP_KEY_UP", 1980, 4920, 510, 510},           {"TP_KEY_LEFT", 1440, 5280, 510, 510},
    {"TP_KEY_DOWN", 1980, 5640, 510, 510},         {"TP_KEY_RIGHT", 2520, 5280, 510, 510},
    {"TP_KEY_SHIFT:SHIFT", 120, 5700, 975, 480},   {"TP_KEY_F1:F1", 120, 6240, 975, 480},
    {"TP_KEY_F2:F2", 1140, 6240, 975, 480},        {"TP_KEY_F3:F3", 2160, 6240, 975, 480},
    {"TP_KEY_F4:F4", 120, 6780, 975, 480},         {"TP_KEY_F5:F5", 1140, 6780, 975, 480},
    {"TP_KEY_F6:F6", 2160, 6780, 975, 480},
};

const char *const kMoveLabels[6] = {"J1/ X ", "J2/ Y ", "J3/ Z ", "J4/RX", "J5/RY", "J6/RZ"};
const char *const kSwitchKeys[3] = {"TP_KEY_AUTO", "TP_KEY_MAN", "TP_KEY_TC"};

// LED looks: (outline, fill).
constexpr unsigned kLedOff[2] = {0x4000, 0x808080};
constexpr unsigned kLedOn[2] = {0x8000, 0xC000};

} // namespace

frmTP::frmTP(QWidget *parent)
    : PendantWindowBase(QStringLiteral("frmTP"), parent)
{
    setWindowTitle(QStringLiteral("Halvex Pendant"));
    setBackground(this, kBackColour);
    setFixedSize(twips::toPixelsX(3195), twips::toPixelsY(7335));
}

frmTP::~frmTP() = default;

void frmTP::buildControls()
{
    // The switch lies under the keys where they overlap (Cancel's left edge).
    buildSwitch();
    m_jogDial = new clsJogDial(this);
    picJogDial = new QWidget(this);
    picJogDial->setObjectName(QStringLiteral("picJogDial"));
    picJogDial->setGeometry(twipsRect(120, 4800, 975, 795));
    setBackground(picJogDial, kBackColour);
    m_jogDial->setPictureFrame(picJogDial);
    connect(m_jogDial, &clsJogDial::Change, this, &frmTP::m_jogDial_Change);
    addControl(picJogDial);
    KeyControl dial;
    dial.widget = picJogDial;
    dial.kind = ControlKind::JogDial;
    dial.keyName = QStringLiteral("TP_KEY_JOG_UP");
    dial.otherKeyName = QStringLiteral("TP_KEY_JOG_DOWN");
    // A step from a key turns a little further than the dial's step, as a drag would.
    dial.on.jog = [this](int direction) {
        if (direction)
            m_jogDial->turnBy(float(direction) * (m_jogDial->AngleStep() + 5));
    };
    dial.on.pointer = [this](const PointerEvent &e) {
        m_jogDial->handleMouse(e.type, e.button, e.buttons, e.position);
        return true;
    };
    input().declare(dial);

    buildKeys();
    // Right of the dial, above the arrow keys: the place no key of the layout uses.
    createEnablingSwitch(this, QRect(1125, 4815, 795, 420), QStringLiteral("TP_KEY_DEAD"))->setEnabled(false);

    for (int i = 0; i < 6; ++i) {
        auto *label = new QLabel(QString::fromLatin1(kMoveLabels[i]).replace(u'/', QStringLiteral("\n")), this);
        label->setObjectName(QStringLiteral("lblMoveBtn%1").arg(i));
        label->setGeometry(twipsRect(1995, 1560 + 540 * i, 405, 480));
        label->setAlignment(Qt::AlignCenter);
        label->setFont(pendantFont(8, true));
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, Qt::white);
        pal.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0xA0, 0xA0, 0xA0));
        label->setPalette(pal);
        lblMoveBtn[i] = label;
        addControl(label);
    }

    m_leds = new LedBank(2, 1000, LedBank::Toggle::RecordedState, this);
    for (int i = 0; i < 2; ++i) {
        auto *led = new PaintBox(picHardKey[i], [this, i](QPainter &p, const QRect &r) {
            const unsigned *look = m_leds->isLit(i) ? kLedOn : kLedOff;
            pictures::paintLed(p, r, look[0], look[1]);
        });
        led->setObjectName(QStringLiteral("shpLED%1").arg(i));
        led->setGeometry(twipsRect(30, 30, 150, 150));
        led->setAttribute(Qt::WA_TransparentForMouseEvents);
        shpLED[i] = led;
    }
    m_leds->setLit(0, true);
    connect(m_leds, &LedBank::changed, this, [this](int i) { shpLED[i]->update(); });

    m_beeper = new Beeper(this);
    imgBeep = new QLabel(this);
    imgBeep->setObjectName(QStringLiteral("imgBeep"));
    imgBeep->setPixmap(QPixmap::fromImage(pictures::beeper()));
    imgBeep->setGeometry(twipsRect(1020, 1290, 240, 240));
    imgBeep->hide();
    connect(m_beeper, &Beeper::shownChanged, imgBeep, &QWidget::setVisible);
    addControl(imgBeep);

    // As tall as the band between Cancel and OK above and the J1 row below.
    QComboBox *states = createStateSelector(this, QRect(1290, 1275, 1725, 285));
    states->setObjectName(QStringLiteral("cmbState"));
    states->setFont(pendantFont(8, false));
}

void frmTP::buildKeys()
{
    for (int i = 0; i < kKeyCount; ++i) {
        const KeyLayout &k = kKeys[i];
        auto *box = new QWidget(this);
        box->setObjectName(QStringLiteral("picHardKey%1").arg(i));
        box->setGeometry(twipsRect(k.left, k.top, k.width, k.height));
        const bool axis = i >= 8 && i <= 19;
        const bool arrow = i >= 20 && i <= 23;
        box->setFont(pendantFont(axis ? 14.25 : arrow ? 11.25 : 9, true));
        box->setEnabled(false);
        picHardKey[i] = box;

        auto *button = new ButtonEx(this);
        button->setEventRouting(ButtonEx::EventRouting::PaintOnly);
        button->setPictureFrame(box);
        const QString tag = QString::fromLatin1(k.tag);
        const qsizetype colon = tag.indexOf(u':');
        m_keyNames[i] = keyNameOfTag(tag);
        button->setCaption(colon < 0 ? QString() : tag.mid(colon + 1));
        button->Redraw();
        button->setForeColor(0xFFFFFF);
        button->setBorderColor(0x402020);
        button->setBackColor(0);
        button->setBackGroundColor(0x606060);
        button->setRadius(210);
        button->setButtonStyle(4);
        if (i == 5) {
            button->setRadius(300);
            button->setRoundCorner(0);
            button->setBackColor(0xA0FF);
            button->setForeColor(0);
        } else if (i == 6) {
            button->setRadius(200);
            button->setRoundCorner(0);
            button->setBackColor(0xC0C0C0);
            button->setForeColor(0);
        } else if (i == 7) {
            button->setRadius(200);
            button->setRoundCorner(0);
            button->setBackColor(0x20C020);
            button->setForeColor(0);
        } else if (i >= 8 && i <= 13) {
            button->setRadius(220);
            button->setRoundCorner(10);
        } else if (i >= 14 && i <= 19) {
            button->setRadius(220);
            button->setRoundCorner(5);
        } else if (arrow) {
            button->setRadius(225);
            button->setRoundCorner(0);
            button->setPicture(QPixmap::fromImage(pictures::arrow(i - 20)));
        }
        m_keyButtons[i] = button;
        addControl(box);

        KeyControl key;
        key.widget = box;
        key.keyName = m_keyNames[i];
        key.on.look = [button](bool held) {
            if (held)
                button->MouseDown(1, 0, 0, 0);
            else
                button->MouseUp(1, 0, 0, 0);
        };
        key.on.failed = [](const ProvError &, bool press) {
            debugPrint(press ? QStringLiteral("picHardKey_MouseDown of Form frmTP")
                             : QStringLiteral("picHardKey_MouseUp of Form frmTP"));
        };
        // The key button sees the drag, and takes the double click as a second press.
        key.on.pointer = [button](const PointerEvent &e) {
            if (e.type == QEvent::MouseMove) {
                if (e.buttons & Qt::LeftButton)
                    button->MouseMove(1, 0, float(twips::fromPixelsX(e.position.x())),
                                      float(twips::fromPixelsY(e.position.y())));
                return true;
            }
            if (e.type == QEvent::MouseButtonDblClick) {
                button->DblClick();
                return true;
            }
            return false;
        };
        input().declare(key);
    }
}

void frmTP::buildSwitch()
{
    auto *sw = new PaintBox(this, [this](QPainter &p, const QRect &r) {
        const int position = keys().model().switchPosition();
        if (position < 0)
            return;
        const QImage img = pictures::modeSwitch(position);
        p.drawImage(QPoint((r.width() - img.width()) / 2, r.height() - img.height()), img);
    });
    sw->setObjectName(QStringLiteral("picSwitch"));
    sw->setGeometry(twipsRect(-60, 30, 1500, 1215));
    setBackground(sw, kBackColour);
    picSwitch = sw;
    addControl(sw);

    // Each caption stands centred over its detent, MAN above the other two; the switch reaches
    // past the window's left edge, the captions stay inside it.
    const char *const captions[3] = {"AUTO", "MAN", "TEACH"};
    for (int i = 0; i < 3; ++i) {
        auto *label = new QLabel(QString::fromLatin1(captions[i]), picSwitch);
        label->setObjectName(QStringLiteral("lblSwitch%1").arg(i));
        label->setFont(pendantFont(7.5, true));
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, Qt::white);
        label->setPalette(pal);
        label->adjustSize();
        const QSize picture = pictures::modeSwitchSize();
        const QPointF detent = pictures::modeSwitchDetent(i) +
                               QPointF((sw->width() - picture.width()) / 2.0, sw->height() - picture.height());
        const int margin = twips::toPixelsY(45);
        const int top = i == 1 ? margin : margin + label->height();
        label->move(int(detent.x() - label->width() / 2.0), top);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        lblSwitch[i] = label;
    }
    for (int i = 0; i < 3; ++i) {
        imgClickSwitch[i] =
            addSwitchArea(picSwitch, i, QString::fromLatin1(kSwitchKeys[i]), [this, i] { selectSwitch(i); });
    }
}

void frmTP::enableKeys()
{
    for (QWidget *box : picHardKey)
        box->setEnabled(true);
    enablingSwitch()->setEnabled(true);
}

const KeyTable *frmTP::keyTable() const
{
    return g_TPKeyTable.get();
}

void frmTP::Connect(int32_t lDefaultMode)
{
    PendantWindowBase::Connect(lDefaultMode);
    picSwitch->setVisible(!g_IsPellino);
}

bool frmTP::selectSwitch(int position)
{
    return chooseSwitch(position, g_TPKeyTable.get(), QString::fromLatin1(kSwitchKeys[position]), picSwitch);
}

void frmTP::selectSwitchPosition(int position)
{
    selectSwitch(position);
}

void frmTP::m_jogDial_Change(float &value)
{
    InputPath::Scope scope(input(), InputSource::Mouse);
    try {
        keys().jogChange(value, g_TPKeyTable->Item(QStringLiteral("TP_KEY_JOG_DOWN")),
                         g_TPKeyTable->Item(QStringLiteral("TP_KEY_JOG_UP")));
    } catch (const ProvError &e) {
        showErrorBox(e.number(), e.description());
    }
}

void frmTP::SetLED(Variant &vntVal)
{
    Load();
    m_leds->SetLED(vntVal);
}

void frmTP::SetBeep(Variant &value)
{
    Load();
    m_beeper->SetBeep(value);
}

} // namespace tarvisk
