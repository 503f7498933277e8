#include "widgets/buttonex.h"

#include "common/twips.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>

namespace tarvisk {

namespace {

constexpr const char *kBackColor = "BackColor";
constexpr const char *kForeColor = "ForeColor";
constexpr const char *kBackGroundColor = "BackGroundColor";

// What a box reads before anyone set its colours: a black fill, system button text and the
// system button face as background.
constexpr ColorValue kDefaultBackColor = 0;
constexpr ColorValue kDefaultForeColor = systemColor(SysButtonText);
constexpr ColorValue kDefaultBackGroundColor = systemColor(SysButtonFace);

qint16 buttonCode(Qt::MouseButtons buttons)
{
    qint16 code = 0;
    if (buttons & Qt::LeftButton)
        code |= 1;
    if (buttons & Qt::RightButton)
        code |= 2;
    if (buttons & Qt::MiddleButton)
        code |= 4;
    return code;
}

qint16 shiftCode(Qt::KeyboardModifiers modifiers)
{
    qint16 code = 0;
    if (modifiers & Qt::ShiftModifier)
        code |= 1;
    if (modifiers & Qt::ControlModifier)
        code |= 2;
    if (modifiers & Qt::AltModifier)
        code |= 4;
    return code;
}

} // namespace

ButtonEx::ButtonEx(QObject *parent)
    : QObject(parent)
{}

ButtonEx::~ButtonEx()
{
    if (m_frame)
        m_frame->removeEventFilter(this);
}

void ButtonEx::setPictureFrame(QWidget *box)
{
    if (m_frame)
        m_frame->removeEventFilter(this);
    m_frame = box;
    m_hWnd = box ? qint32(box->effectiveWinId()) : 0;
    if (box)
        box->installEventFilter(this);
    Resize();
}

void ButtonEx::setEventRouting(EventRouting routing)
{
    m_routing = routing;
}

void ButtonEx::setCaption(const QString &caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    Resize();
    Refresh();
}

// The face palette holds fixed entries and the border colour, which is resolved at every
// paint; so the style, highlight and border setters have nothing to rebuild beyond repainting.
void ButtonEx::setButtonStyle(int style)
{
    m_buttonStyle = style;
    applyShape();
    Refresh();
}

void ButtonEx::setHighlightStyle(int style)
{
    m_highlightStyle = style;
    Refresh();
}

void ButtonEx::setImagePosition(int position)
{
    m_imagePosition = position;
    Resize();
    Refresh();
}

bool ButtonEx::Enabled() const
{
    // The box's own state, not the one inherited from its parents, so that writing back what
    // was read never pins a box disabled.
    return m_frame ? !m_frame->testAttribute(Qt::WA_ForceDisabled) : true;
}

void ButtonEx::setEnabled(bool enabled)
{
    if (m_frame)
        m_frame->setEnabled(enabled);
    Resize();
    Refresh();
}

void ButtonEx::setPicture(const QPixmap &picture)
{
    m_picture = picture;
    m_hasPicture = !picture.isNull();
    setEnabled(Enabled());
    Resize();
}

void ButtonEx::setDisabledPicture(const QPixmap &picture)
{
    m_disabledPicture = picture;
    setEnabled(Enabled());
    Refresh();
}

void ButtonEx::setCheckBox(bool on)
{
    m_checkBox = on;
    Resize();
    Refresh();
}

void ButtonEx::setValue(bool on)
{
    m_value = on;
    Refresh();
}

ColorValue ButtonEx::frameColor(const char *name, ColorValue fallback) const
{
    if (!m_frame)
        return fallback;
    const QVariant stored = m_frame->property(name);
    return stored.isValid() ? ColorValue(stored.toLongLong()) : fallback;
}

void ButtonEx::setFrameColor(const char *name, ColorValue color)
{
    if (!m_frame)
        return;
    m_frame->setProperty(name, QVariant::fromValue<qint32>(color));
    repaintFrame();
}

ColorValue ButtonEx::BackColor() const
{
    return frameColor(kBackColor, kDefaultBackColor);
}

void ButtonEx::setBackColor(ColorValue color)
{
    setFrameColor(kBackColor, color);
}

ColorValue ButtonEx::ForeColor() const
{
    return frameColor(kForeColor, kDefaultForeColor);
}

void ButtonEx::setForeColor(ColorValue color)
{
    setFrameColor(kForeColor, color);
}

ColorValue ButtonEx::BackGroundColor() const
{
    return frameColor(kBackGroundColor, kDefaultBackGroundColor);
}

void ButtonEx::setBackGroundColor(ColorValue color)
{
    setFrameColor(kBackGroundColor, color);
}

double ButtonEx::frameWidthTwips() const
{
    return m_frame ? twips::fromPixelsX(m_frame->width()) : 0.0;
}

double ButtonEx::frameHeightTwips() const
{
    return m_frame ? twips::fromPixelsY(m_frame->height()) : 0.0;
}

void ButtonEx::setPaddingWidth(int twips)
{
    if (twips < 0 || 2.0 * twips > frameWidthTwips())
        return;
    m_paddingWidth = twips;
    Resize();
    repaintFrame();
}

void ButtonEx::setPaddingHeight(int twips)
{
    if (twips < 0 || 2.0 * twips > frameHeightTwips())
        return;
    m_paddingHeight = twips;
    Resize();
    repaintFrame();
}

void ButtonEx::setCheckBoxSideOffset(int twips)
{
    m_checkBoxSideOffset = twips;
    repaintFrame();
}

void ButtonEx::setCheckColor(int palette)
{
    m_checkColor = palette;
    repaintFrame();
}

void ButtonEx::setBorderColor(ColorValue color)
{
    m_borderColor = color;
    Refresh();
}

void ButtonEx::setRadius(int twips)
{
    if (twips < 0)
        return;
    m_radius = twips;
    applyShape();
    Refresh();
}

void ButtonEx::setRoundCorner(int mask)
{
    m_roundCorner = mask;
    applyShape();
    Refresh();
}

void ButtonEx::setCheckFocused(bool on)
{
    m_focused = on;
    Redraw();
}

void ButtonEx::setCheckKeyDown(bool on)
{
    m_keyDown = on;
    Redraw();
}

void ButtonEx::setCheckMouseOver(bool on)
{
    m_mouseOver = on;
    Redraw();
}

void ButtonEx::Refresh()
{
    m_focused = false;
    m_keyDown = false;
    m_mouseOver = false;
    m_leftPressed = false;
    repaintFrame();
}

void ButtonEx::Redraw()
{
    Resize();
    if (m_frame)
        m_frame->update();
}

void ButtonEx::Resize()
{
    applyShape();
}

void ButtonEx::repaintFrame()
{
    if (m_frame)
        m_frame->repaint();
}

QRegion ButtonEx::shapeRegion() const
{
    if (!m_frame)
        return QRegion();
    return buttonShapeRegion(m_frame->size(), m_radius, m_roundCorner, twips::perPixelX(), twips::perPixelY());
}

void ButtonEx::applyShape()
{
    if (!m_frame)
        return;
    if (m_buttonStyle != ButtonStyleRoundFrame) {
        if (!m_frame->mask().isEmpty())
            m_frame->clearMask();
        return;
    }
    const QRegion shape = shapeRegion();
    if (shape != m_frame->mask()) {
        m_frame->setMask(shape);
        m_frame->update();
    }
}

ButtonLook ButtonEx::look() const
{
    ButtonLook l;
    l.buttonStyle = m_buttonStyle;
    l.highlightStyle = m_highlightStyle;
    l.borderColor = m_borderColor;
    l.backColor = BackColor();
    l.foreColor = ForeColor();
    l.backGroundColor = BackGroundColor();
    l.enabled = m_frame ? m_frame->isEnabled() : true;
    l.focused = m_focused;
    l.pressed = m_keyDown;
    l.hot = m_mouseOver;
    l.checkBox = m_checkBox;
    l.value = m_value;
    l.checkBoxSideOffset = m_checkBoxSideOffset;
    l.checkColor = m_checkColor;
    l.paddingWidth = m_paddingWidth;
    l.paddingHeight = m_paddingHeight;
    l.radius = m_radius;
    l.roundCorner = m_roundCorner;
    l.caption = m_caption;
    if (m_frame)
        l.font = m_frame->font();
    l.hasPicture = m_hasPicture;
    l.picture = m_picture;
    l.twipsPerPixelX = twips::perPixelX();
    l.twipsPerPixelY = twips::perPixelY();
    return l;
}

void ButtonEx::Paint()
{
    if (!m_frame)
        return;
    QPainter painter(m_frame);
    Paint(painter);
}

void ButtonEx::Paint(QPainter &painter) const
{
    if (!m_frame)
        return;
    paintButton(painter, look(), QRect(QPoint(0, 0), m_frame->size()));
}

void ButtonEx::MouseDown(qint16 button, qint16 shift, float x, float y)
{
    m_keyDown = true;
    Redraw();
    if (button == 1)
        m_leftPressed = true;
    emit mouseDownRaised(button, shift, x, y);
}

void ButtonEx::MouseMove(qint16 button, qint16 shift, float x, float y)
{
    emit mouseMoveRaised(button, shift, x, y);
}

void ButtonEx::MouseUp(qint16 button, qint16 shift, float x, float y)
{
    m_keyDown = false;
    Redraw();
    if (button == 1 && m_leftPressed) {
        m_value = !m_value;
        emit Click();
    }
    m_leftPressed = false;
    emit mouseUpRaised(button, shift, x, y);
}

void ButtonEx::DblClick()
{
    if (!m_frame || m_leftPressed)
        return;
    const QPointF origin(0, 0);
    QMouseEvent press(QEvent::MouseButtonPress, origin, m_frame->mapToGlobal(origin), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(m_frame, &press);
}

bool ButtonEx::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_frame)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Paint:
        Paint();
        return true;
    case QEvent::Resize:
        Resize();
        return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
    case QEvent::MouseButtonDblClick: {
        // A disabled box takes no mouse input, though Qt still shows its filters the events.
        if (m_routing != EventRouting::MouseAndPaint || !m_frame->isEnabled())
            return false;
        auto *me = static_cast<QMouseEvent *>(event);
        const qint16 shift = shiftCode(me->modifiers());
        const float x = float(twips::fromPixelsX(me->position().x()));
        const float y = float(twips::fromPixelsY(me->position().y()));
        if (event->type() == QEvent::MouseButtonPress)
            MouseDown(buttonCode(me->button()), shift, x, y);
        else if (event->type() == QEvent::MouseButtonRelease)
            MouseUp(buttonCode(me->button()), shift, x, y);
        else if (event->type() == QEvent::MouseMove)
            MouseMove(buttonCode(me->buttons()), shift, x, y);
        else
            DblClick();
        return false;
    }
    default:
        return false;
    }
}

} // namespace tarvisk
