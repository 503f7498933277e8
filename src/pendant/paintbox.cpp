#include "pendant/paintbox.h"

#include "common/twips.h"

#include <QPainter>

namespace tarvisk {

PaintBox::PaintBox(QWidget *parent, Painter painter)
    : QWidget(parent)
    , m_painter(std::move(painter))
{}

void PaintBox::setPainter(Painter painter)
{
    m_painter = std::move(painter);
    update();
}

void PaintBox::paintEvent(QPaintEvent *)
{
    if (!m_painter)
        return;
    QPainter p(this);
    m_painter(p, rect());
}

QColor colorFromBgr(unsigned bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

void setBackground(QWidget *w, unsigned bgr)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, colorFromBgr(bgr));
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

QRect twipsRect(int left, int top, int width, int height)
{
    const int x = twips::toPixelsX(left);
    const int y = twips::toPixelsY(top);
    // Edges, not sizes, are rounded, so neighbours laid out in twips never overlap or gap.
    return QRect(x, y, twips::toPixelsX(left + width) - x, twips::toPixelsY(top + height) - y);
}

QFont pendantFont(double points, bool bold)
{
    // The condensed cut keeps the captions inside keys laid out for a narrow face.
    QFont f;
    f.setFamilies({QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
    f.setPointSizeF(points * twips::zoom());
    f.setBold(bold);
    f.setStyleHint(QFont::SansSerif);
    return f;
}

} // namespace tarvisk
