#pragma once

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QWidget>

class QPainter;

namespace tarvisk {

// Geometry of a jog dial over a drawing area, in the area's units (twips).
struct JogGeometry
{
    double width = 0;
    double height = 0;
    double cx = 0;
    double cy = 0;
    double R = 0;

    static JogGeometry forArea(double width, double height);
    // Degrees in (-180, 180], growing clockwise on screen; the centre itself gives 0.
    double angleOf(double x, double y) const;
    // Centre of the knob at angle a.
    QPointF knobCentre(double angleDeg) const;
};

// Draws the dial body and the knob at angleDeg. The painter works in twips; penPixel is
// one pixel in twips, so the outlines stay 2 pixels wide.
void paintJogDial(QPainter &p, const JogGeometry &g, bool pressed, double angleDeg, double penPixel);

// Turns a picture box into a rotary jog dial: dragging the knob with the left button
// raises Change each time the drag has turned further than AngleStep since the last one.
class clsJogDial : public QObject
{
    Q_OBJECT
public:
    explicit clsJogDial(QObject *parent = nullptr);

    // Binds the box: its mouse, paint and resize events are handled here from now on.
    void setPictureFrame(QWidget *box);
    QWidget *pictureFrame() const { return m_picFrame; }

    float AngleStep() const { return m_angleStep; }
    void setAngleStep(float step) { m_angleStep = step; }

    bool isDragging() const { return m_dragging; }
    float currentAngle() const { return m_currentAngle; }
    const JogGeometry &geometry() const { return m_geometry; }

    // Mouse handling in the box's units (twips); button 1 is the left one.
    void picFrame_MouseDown(int button, double x, double y);
    void picFrame_MouseMove(int button, double x, double y);
    void picFrame_MouseUp(int button, double x, double y);

    // A mouse event in the box's pixels, as the box's own events are handled: errors go to the
    // debugging output as the handler's name followed by " of Class Module clsJogDial".
    void handleMouse(QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons, QPointF pixels);
    // One step without a drag (a key, a script): the knob turns by `value` degrees (positive
    // against the clock) and Change is raised with it.
    void turnBy(float value);

    // Renders the dial as it would be painted now.
    void render(QPainter &p) const;

signals:
    // Degrees turned since the last event; positive against the clock.
    void Change(float &value);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void recomputeGeometry();

    QPointer<QWidget> m_picFrame;
    bool m_dragging = false;
    double m_startX = 0;
    double m_startY = 0;
    float m_previousAngle = 0;
    float m_currentAngle = 0;
    float m_angleStep = 40;
    JogGeometry m_geometry;
};

} // namespace tarvisk
