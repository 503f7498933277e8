#include "pendant/jogdial.h"

#include "common/diagnostics.h"
#include "common/proverror.h"
#include "common/twips.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace tarvisk {

namespace {

constexpr double kDegreesPerRadian = 180.0 / 3.14159265358979;

QColor colourOf(uint32_t bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

void drawCircle(QPainter &p, QPointF centre, double radius, uint32_t outline, uint32_t fill, double penWidth)
{
    p.setPen(QPen(colourOf(outline), penWidth));
    p.setBrush(colourOf(fill));
    p.drawEllipse(centre, radius, radius);
}

int buttonOf(Qt::MouseButton b)
{
    switch (b) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 4;
    default:
        return 0;
    }
}

int buttonsOf(Qt::MouseButtons b)
{
    return (b & Qt::LeftButton ? 1 : 0) | (b & Qt::RightButton ? 2 : 0) | (b & Qt::MiddleButton ? 4 : 0);
}

} // namespace

JogGeometry JogGeometry::forArea(double width, double height)
{
    JogGeometry g;
    g.width = width;
    g.height = height;
    g.cx = width / 2;
    g.cy = height / 2;
    g.R = 0.8 * std::min(g.cx, g.cy);
    return g;
}

double JogGeometry::angleOf(double x, double y) const
{
    if (x == cx && y == cy)
        return 0.0;
    return std::atan2(y - cy, x - cx) * kDegreesPerRadian;
}

QPointF JogGeometry::knobCentre(double angleDeg) const
{
    const double a = angleDeg / kDegreesPerRadian;
    return {cx + 0.6 * R * std::cos(a), cy + 0.6 * R * std::sin(a)};
}

void paintJogDial(QPainter &p, const JogGeometry &g, bool pressed, double angleDeg, double penPixel)
{
    p.setRenderHint(QPainter::Antialiasing, true);
    drawCircle(p, {g.cx, g.cy}, g.R, 0x000000, 0x404040, 2 * penPixel);
    if (pressed)
        drawCircle(p, g.knobCentre(angleDeg), 0.2 * g.R, 0x600000, 0xC00000, 2 * penPixel);
    else
        drawCircle(p, g.knobCentre(angleDeg), 0.2 * g.R, 0x404040, 0x808080, 2 * penPixel);
}

clsJogDial::clsJogDial(QObject *parent)
    : QObject(parent)
{}

void clsJogDial::setPictureFrame(QWidget *box)
{
    if (m_picFrame)
        m_picFrame->removeEventFilter(this);
    m_picFrame = box;
    if (box) {
        box->installEventFilter(this);
        recomputeGeometry();
        box->update();
    }
}

void clsJogDial::recomputeGeometry()
{
    if (!m_picFrame)
        return;
    m_geometry =
        JogGeometry::forArea(twips::fromPixelsX(m_picFrame->width()), twips::fromPixelsY(m_picFrame->height()));
}

void clsJogDial::render(QPainter &p) const
{
    if (!m_picFrame)
        return;
    p.save();
    p.scale(1.0 / twips::perPixelX(), 1.0 / twips::perPixelY());
    paintJogDial(p, m_geometry, m_dragging, m_currentAngle, twips::perPixelX());
    p.restore();
}

void clsJogDial::picFrame_MouseDown(int button, double x, double y)
{
    if (button != 1)
        return;
    m_dragging = true;
    m_startX = x;
    m_startY = y;
    m_currentAngle = float(m_geometry.angleOf(x, y));
    m_previousAngle = m_currentAngle;
    if (m_picFrame)
        m_picFrame->update();
}

void clsJogDial::picFrame_MouseMove(int, double x, double y)
{
    if (!m_dragging)
        return;
    m_currentAngle = float(m_geometry.angleOf(x, y));
    if (m_picFrame)
        m_picFrame->update();
    float delta = m_previousAngle - m_currentAngle;
    if (delta > 180)
        delta -= 360;
    if (delta < -180)
        delta += 360;
    if (std::fabs(delta) > m_angleStep) {
        emit Change(delta);
        m_previousAngle = m_currentAngle;
    }
}

void clsJogDial::picFrame_MouseUp(int button, double, double)
{
    if (button != 1)
        return;
    m_dragging = false;
    if (m_picFrame)
        m_picFrame->update();
}

void clsJogDial::handleMouse(QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons, QPointF pixels)
{
    const double x = twips::fromPixelsX(pixels.x());
    const double y = twips::fromPixelsY(pixels.y());
    const char *handler = "picFrame_MouseDown";
    try {
        switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            picFrame_MouseDown(buttonOf(button), x, y);
            break;
        case QEvent::MouseMove:
            handler = "picFrame_MouseMove";
            picFrame_MouseMove(buttonsOf(buttons), x, y);
            break;
        case QEvent::MouseButtonRelease:
            handler = "picFrame_MouseUp";
            picFrame_MouseUp(buttonOf(button), x, y);
            break;
        default:
            break;
        }
    } catch (const ProvError &) {
        debugPrint(QString::fromLatin1(handler) + QStringLiteral(" of Class Module clsJogDial"));
    }
}

void clsJogDial::turnBy(float value)
{
    float angle = m_currentAngle - value;
    while (angle > 180)
        angle -= 360;
    while (angle <= -180)
        angle += 360;
    m_currentAngle = angle;
    m_previousAngle = angle;
    if (m_picFrame)
        m_picFrame->update();
    emit Change(value);
}

bool clsJogDial::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_picFrame)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease: {
        if (m_picFrame->isEnabled()) {
            auto *e = static_cast<QMouseEvent *>(event);
            handleMouse(event->type(), e->button(), e->buttons(), e->position());
        }
        return true;
    }
    case QEvent::Paint:
        try {
            QPainter p(m_picFrame);
            render(p);
        } catch (const ProvError &) {
            debugPrint(QStringLiteral("picFrame_Paint of Class Module clsJogDial"));
        }
        return true;
    case QEvent::Resize:
        recomputeGeometry();
        return false;
    default:
        return false;
    }
}

} // namespace tarvisk
