#include "pendant/frmminitp_key.h"

#include <QFontInfo>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace tarvisk {

void MiniHardKey::paintEvent(QPaintEvent *)
{
    QStylePainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    p.drawControl(QStyle::CE_PushButtonBevel, option);
    paintKeyCaption(p, rect(), text(), palette().color(QPalette::ButtonText));
}

void paintKeyCaption(QPainter &p, const QRect &r, const QString &caption, const QColor &color)
{
    const QStringList lines = caption.split(u'\n');
    const int pitch = qMax(1, QFontInfo(p.font()).pixelSize());
    const int top = r.top() + (r.height() - pitch * int(lines.size())) / 2;
    p.save();
    p.setPen(color);
    for (int i = 0; i < lines.size(); ++i) {
        const QRect line(r.left(), top + pitch * i, r.width(), pitch);
        p.drawText(line, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextDontClip, lines[i]);
    }
    p.restore();
}

} // namespace tarvisk
