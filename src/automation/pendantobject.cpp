#include "automation/pendantobject.h"

#include "pendant/displaybits.h"
#include "pendant/keystate.h"
#include "pendant/ledbank.h"
#include "pendant/minidisplay.h"

#include <QBuffer>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QWidget>

namespace tarvisk {

const QString PendantObject::kPath = QStringLiteral("/ZephProv/Halvex/Tarvisk/Pendant");
const QString PendantObject::kInterface = QStringLiteral("ZephProv.Halvex.Tarvisk.Pendant");
const QString PendantObject::kErrorPrefix = QStringLiteral("ZephProv.Halvex.Tarvisk.Pendant.Error.");

namespace {

QByteArray toPng(const QImage &image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

} // namespace

PendantObject::PendantObject(QObject *parent)
    : QObject(parent)
{
    registerLedRecordTypes();
    connect(&m_follower, &PendantFollower::keyChanged, this, &PendantObject::KeyChanged);
    connect(&m_follower, &PendantFollower::ledChanged, this, &PendantObject::LedChanged);
    connect(&m_follower, &PendantFollower::beeperChanged, this, &PendantObject::BeeperChanged);
    connect(&m_follower, &PendantFollower::displayChanged, this, &PendantObject::DisplayChanged);
    connect(&m_follower, &PendantFollower::stateChanged, this, &PendantObject::StateChanged);
    connect(&m_follower, &PendantFollower::linkStatusChanged, this, &PendantObject::LinkStatusChanged);
}

PendantObject::~PendantObject() = default;

bool PendantObject::refuse(const QString &name, const QString &message)
{
    m_errorName = kErrorPrefix + name;
    m_error = message;
    if (calledFromDBus())
        sendErrorReply(m_errorName, message);
    return false;
}

void PendantObject::succeed()
{
    m_errorName.clear();
    m_error.clear();
}

bool PendantObject::requireWindow()
{
    succeed();
    if (m_follower.parts().isValid())
        return true;
    return refuse(QStringLiteral("NoPendant"),
                  QStringLiteral("no pendant window is loaded: a standalone pendant loads one at start-up, a hosted "
                                 "one when a client connects a controller (FinalConnect)"));
}

bool PendantObject::requireKeys(const QString &what)
{
    if (!requireWindow())
        return false;
    if (m_follower.parts().keys)
        return true;
    return refuse(QStringLiteral("NotOffered"),
                  QStringLiteral("the %1 window has no %2; the standard, mini and old pendants have")
                      .arg(pendantKindName(m_follower.parts().kind), what));
}

QByteArray PendantObject::GetKeyState()
{
    if (!requireKeys(QStringLiteral("keys")))
        return QByteArray();
    return m_follower.parts().keys->model().bitmap();
}

QStringList PendantObject::GetHeldKeys()
{
    if (!requireKeys(QStringLiteral("keys")))
        return {};
    return m_follower.heldKeys();
}

LedRecordList PendantObject::GetLeds()
{
    if (!requireWindow())
        return {};
    LedRecordList list;
    if (LedBank *leds = m_follower.parts().leds) {
        for (int i = 0; i < leds->count(); ++i)
            list << LedRecord{i + 1, leds->mode(i), leds->isLit(i)};
        return list;
    }
    requireKeys(QStringLiteral("LEDs"));
    return list;
}

bool PendantObject::GetBeeper(int &milliseconds)
{
    milliseconds = 0;
    if (!requireWindow())
        return false;
    Beeper *beeper = m_follower.parts().beeper;
    if (!beeper)
        return requireKeys(QStringLiteral("beeper"));
    milliseconds = beeper->millisecondsLeft();
    return beeper->isShown();
}

uint PendantObject::GetDisplay(uint &height, QByteArray &bits)
{
    height = 0;
    if (!requireWindow())
        return 0;
    const MiniDisplay *display = m_follower.parts().display;
    if (!display) {
        refuse(QStringLiteral("NotOffered"), QStringLiteral("the %1 pendant has no display; the mini pendant has")
                                                 .arg(pendantKindName(m_follower.parts().kind)));
        return 0;
    }
    height = MiniDisplay::UnitsHigh;
    bits = displayUnitBits(*display);
    return MiniDisplay::UnitsWide;
}

QByteArray PendantObject::GetDisplayPng(uint scale)
{
    if (scale < 1 || scale > kMaxPngScale) {
        refuse(QStringLiteral("InvalidArgs"),
               QStringLiteral("scale %1 is out of range: give 1 to %2 (pixels a display pixel; the display is "
                              "252 x 124 pixels at scale 1)")
                   .arg(scale)
                   .arg(kMaxPngScale));
        return QByteArray();
    }
    if (!requireWindow())
        return QByteArray();
    const MiniDisplay *display = m_follower.parts().display;
    if (!display) {
        refuse(QStringLiteral("NotOffered"), QStringLiteral("the %1 pendant has no display; the mini pendant has")
                                                 .arg(pendantKindName(m_follower.parts().kind)));
        return QByteArray();
    }
    return toPng(displayImage(*display, int(scale)));
}

QByteArray PendantObject::GetWindowPng()
{
    if (!requireWindow())
        return QByteArray();
    QWidget *w = m_follower.parts().widget;
    return toPng(w->grab().toImage());
}

QString PendantObject::GetState()
{
    succeed();
    return m_follower.state();
}

QString PendantObject::GetLinkStatus(QString &text, QString &controller)
{
    succeed();
    const PendantFollower::LinkStatus status = m_follower.linkStatus();
    text = status.text;
    controller = status.controller;
    return status.state;
}

int PendantObject::GetPendantType()
{
    if (!requireWindow())
        return 0;
    return int(m_follower.parts().kind);
}

} // namespace tarvisk
