#include "pendant/inputpaint.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace tarvisk {

namespace {

const QColor kLatchAmber(255, 160, 0);
const QColor kTagBack(20, 20, 20, 215);
const QColor kTagText(255, 214, 0);

// Small controls (the old pendant's 20-pixel keys) get a smaller tag, so the caption shows.
QFont tagFont(int controlHeight)
{
    QFont f(QStringLiteral("Sans Serif"));
    f.setPixelSize(qBound(7, controlHeight * 7 / 20, 9));
    f.setBold(true);
    return f;
}

// A binding tag placed in `within` at the corner or edge `corner` names.
void paintTag(QPainter &p, const QString &text, const QRect &within, Qt::Alignment corner)
{
    if (text.isEmpty())
        return;
    const QFontMetrics fm(p.font());
    const int w = qMin(fm.horizontalAdvance(text) + 4, within.width());
    const int h = qMin(fm.height(), within.height());
    QRect tag(0, 0, w, h);
    if (corner & Qt::AlignRight)
        tag.moveRight(within.right());
    else if (corner & Qt::AlignHCenter)
        tag.moveLeft(within.left() + (within.width() - w) / 2);
    else
        tag.moveLeft(within.left());
    if (corner & Qt::AlignBottom)
        tag.moveBottom(within.bottom());
    else
        tag.moveTop(within.top());
    p.setPen(Qt::NoPen);
    p.setBrush(kTagBack);
    p.drawRoundedRect(tag, 2, 2);
    p.setPen(kTagText);
    p.drawText(tag, Qt::AlignCenter, fm.elidedText(text, Qt::ElideRight, tag.width()));
}

void paintLatch(QPainter &p, const QRect &r)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kLatchAmber, 2));
    p.drawRect(QRectF(r).adjusted(1, 1, -1, -1));
    // A filled corner at the top left, so a latched key reads as such even at a glance.
    const int s = qMin(9, qMin(r.width(), r.height()) / 2);
    QPainterPath corner;
    corner.moveTo(r.topLeft());
    corner.lineTo(r.left() + s, r.top());
    corner.lineTo(r.left(), r.top() + s);
    corner.closeSubpath();
    p.fillPath(corner, kLatchAmber);
}

} // namespace

void paintInputMarks(QPainter &p, const QList<InputMark> &marks, bool bindings)
{
    p.save();
    for (const InputMark &m : marks) {
        if (m.latched)
            paintLatch(p, m.rect);
    }
    if (bindings) {
        for (const InputMark &m : marks) {
            const QRect inner = m.rect.adjusted(1, 1, -1, -1);
            p.setFont(tagFont(m.secondBinding.isEmpty() ? m.rect.height() : m.rect.width()));
            if (m.secondBinding.isEmpty()) {
                paintTag(p, m.binding, inner, Qt::AlignRight | Qt::AlignBottom);
            } else {
                paintTag(p, m.binding, inner, Qt::AlignHCenter | Qt::AlignTop);
                paintTag(p, m.secondBinding, inner, Qt::AlignHCenter | Qt::AlignBottom);
            }
        }
    }
    p.restore();
}

void paintEnablingSwitch(QPainter &p, const QRect &r, bool held, bool enabled)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF body = QRectF(r).adjusted(1, 1, -1, -1);
    QColor face = held ? QColor(40, 200, 60) : QColor(70, 70, 70);
    QColor text = held ? QColor(0, 0, 0) : QColor(200, 200, 200);
    if (!enabled) {
        face = QColor(90, 90, 90);
        text = QColor(140, 140, 140);
    }
    p.setPen(QPen(QColor(20, 20, 20), 1));
    p.setBrush(face);
    const qreal radius = qMin(body.width(), body.height()) / 4;
    p.drawRoundedRect(body, radius, radius);
    QFont f(QStringLiteral("Sans Serif"));
    f.setBold(true);
    f.setPixelSize(qMax(6, qMin(int(body.height() * 0.42), 11)));
    // Narrow places get a smaller face rather than a cut word.
    while (f.pixelSize() > 6 && QFontMetrics(f).horizontalAdvance(QStringLiteral("ENABLE")) > body.width() - 4)
        f.setPixelSize(f.pixelSize() - 1);
    p.setFont(f);
    p.setPen(text);
    p.drawText(body, Qt::AlignCenter, QStringLiteral("ENABLE"));
    p.restore();
}

} // namespace tarvisk
