#pragma once

#include <QWidget>

#include <functional>

namespace tarvisk {

// A plain child widget whose painting is a function: the windows' picture boxes and
// shapes, kept free of drawing code of their own.
class PaintBox : public QWidget
{
public:
    using Painter = std::function<void(QPainter &, const QRect &)>;

    explicit PaintBox(QWidget *parent, Painter painter = {});
    void setPainter(Painter painter);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Painter m_painter;
};

// A colour as the windows store it (0x00BBGGRR).
QColor colorFromBgr(unsigned bgr);
// Gives a widget a solid background of that colour.
void setBackground(QWidget *w, unsigned bgr);
// A geometry in twips on the pendant layout's pixels (the zoom included).
QRect twipsRect(int left, int top, int width, int height);
// The proportional sans the pendants use for keys and labels, bold or not, in points at the
// pendant's zoom.
QFont pendantFont(double points, bool bold);

} // namespace tarvisk
