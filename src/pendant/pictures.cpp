#include "pendant/pictures.h"

#include "common/twips.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace tarvisk::pictures {

namespace {

QColor bgr(unsigned v)
{
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

int zoomed(int pixels)
{
    return std::max(1, int(std::lround(pixels * twips::zoom())));
}

// An empty picture of w × h pixels at 100%, and a painter on it that draws in those pixels.
QImage transparentImage(int w, int h)
{
    QImage img(zoomed(w), zoomed(h), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

void beginZoomed(QPainter &p, const QImage &img, int w, int h)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(double(img.width()) / w, double(img.height()) / h);
}

} // namespace

namespace {

const QPointF kSwitchCentre(kModeSwitchWidth / 2.0, kModeSwitchHeight - 27.0);

// A point at `radius` from the switch's centre towards a position's detent: 225 (AUTO), 270 (MAN)
// and 315 (TEACH) degrees, screen angles.
QPointF towardsDetent(int position, double radius)
{
    const double a = (225.0 + 45.0 * position) * M_PI / 180.0;
    return kSwitchCentre + QPointF(radius * std::cos(a), radius * std::sin(a));
}

} // namespace

QSize modeSwitchSize()
{
    return QSize(zoomed(kModeSwitchWidth), zoomed(kModeSwitchHeight));
}

QPointF modeSwitchDetent(int position)
{
    const QSize size = modeSwitchSize();
    const QPointF d = towardsDetent(position, 27);
    return QPointF(d.x() * size.width() / kModeSwitchWidth, d.y() * size.height() / kModeSwitchHeight);
}

QImage modeSwitch(int position)
{
    QImage img = transparentImage(kModeSwitchWidth, kModeSwitchHeight);
    QPainter p(&img);
    beginZoomed(p, img, kModeSwitchWidth, kModeSwitchHeight);
    const QPointF c = kSwitchCentre;
    for (int i = 0; i < 3; ++i) {
        const QPointF inner = towardsDetent(i, 24.5), outer = towardsDetent(i, 29.5);
        p.setPen(QPen(QColor(30, 30, 30), 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(inner, outer);
        p.setPen(QPen(QColor(235, 235, 235), 2, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(towardsDetent(i, 25), towardsDetent(i, 29));
    }
    // Body: a dark bezel with a lighter knob.
    p.setPen(QPen(QColor(20, 20, 20), 1.5));
    p.setBrush(QColor(40, 40, 40));
    p.drawEllipse(c, 23, 23);
    QRadialGradient knob(c - QPointF(5, 5), 22);
    knob.setColorAt(0, QColor(150, 150, 150));
    knob.setColorAt(1, QColor(70, 70, 70));
    p.setBrush(knob);
    p.setPen(QPen(QColor(30, 30, 30), 1));
    p.drawEllipse(c, 18, 18);
    // The grip bar, with its pointer end towards the chosen position.
    p.save();
    p.translate(c);
    p.rotate(225.0 + 45.0 * position);
    p.setPen(QPen(QColor(25, 25, 25), 1));
    p.setBrush(QColor(210, 210, 210));
    p.drawRoundedRect(QRectF(-17, -4.5, 34, 9), 3, 3);
    p.setBrush(QColor(220, 40, 40));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(12, 0), 2.5, 2.5);
    p.restore();
    return img;
}

QImage arrow(int direction, int size)
{
    QImage img = transparentImage(size, size);
    QPainter p(&img);
    beginZoomed(p, img, size, size);
    p.translate(size / 2.0, size / 2.0);
    p.rotate(-90.0 * direction);
    const double s = size * 0.42;
    QPainterPath path;
    path.moveTo(0, -s);
    path.lineTo(s, s * 0.55);
    path.lineTo(-s, s * 0.55);
    path.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(path);
    return img;
}

QImage beeper()
{
    QImage img = transparentImage(16, 16);
    QPainter p(&img);
    beginZoomed(p, img, 16, 16);
    QPainterPath speaker;
    speaker.moveTo(1.5, 5.5);
    speaker.lineTo(4.5, 5.5);
    speaker.lineTo(8.5, 2);
    speaker.lineTo(8.5, 14);
    speaker.lineTo(4.5, 10.5);
    speaker.lineTo(1.5, 10.5);
    speaker.closeSubpath();
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(QColor(255, 220, 0));
    p.drawPath(speaker);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 220, 0), 1.4));
    p.drawArc(QRectF(6.5, 5, 6, 6), -50 * 16, 100 * 16);
    p.drawArc(QRectF(5.5, 2.5, 10, 11), -55 * 16, 110 * 16);
    return img;
}

void paintLed(QPainter &p, const QRectF &r, unsigned outline, unsigned fill)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(bgr(outline), 1));
    p.setBrush(bgr(fill));
    p.drawEllipse(r.adjusted(0.5, 0.5, -0.5, -0.5));
    p.restore();
}

} // namespace tarvisk::pictures
