#include "pendant/frmoldtp_paint.h"

#include "pendant/pictures.h"

#include <QPainter>

namespace tarvisk {

QColor oldLedColour(bool lit)
{
    return lit ? QColor(0, 255, 0) : QColor(255, 255, 255);
}

void paintOldLed(QPainter &p, const QRect &r, bool lit)
{
    p.fillRect(r, oldLedColour(lit));
    // A sunken edge: dark above and left, light below and right.
    p.setPen(QColor(128, 128, 128));
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(QColor(255, 255, 255));
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
}

void paintOldModeSwitch(QPainter &p, const QRect &r, int position)
{
    if (position < 0 || position > 2)
        return;
    const QImage img = pictures::modeSwitch(position);
    p.drawImage(QPoint(r.x() + (r.width() - img.width()) / 2, r.y() + r.height() - img.height()), img);
}

} // namespace tarvisk
