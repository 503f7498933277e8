#include "common/unitbitmap.h"

#include <algorithm>

namespace tarvisk::unitbitmap {

bool isLit(const QByteArray &bits, int width, int x, int y)
{
    const qsizetype index = qsizetype(y) * rowBytes(width) + x / 8;
    if (x < 0 || y < 0 || x >= width || index >= bits.size())
        return false;
    return (uint8_t(bits[index]) >> (7 - x % 8)) & 1u;
}

void setLit(QByteArray &bits, int width, int x, int y)
{
    const qsizetype index = qsizetype(y) * rowBytes(width) + x / 8;
    if (x < 0 || y < 0 || x >= width || index >= bits.size())
        return;
    bits[index] = char(uint8_t(bits[index]) | (0x80u >> (x % 8)));
}

QStringList textRows(const QByteArray &bits, int width, int height)
{
    QStringList rows;
    for (int y = 0; y < height; ++y) {
        QString row(width, u'.');
        for (int x = 0; x < width; ++x) {
            if (isLit(bits, width, x, y))
                row[x] = u'#';
        }
        rows << row;
    }
    return rows;
}

QStringList sideBySide(const QStringList &left, const QStringList &right, const QString &leftTitle,
                       const QString &rightTitle)
{
    qsizetype leftWidth = leftTitle.size();
    for (const QString &row : left)
        leftWidth = std::max(leftWidth, row.size());
    QStringList lines;
    lines << leftTitle.leftJustified(leftWidth) + QStringLiteral(" | ") + rightTitle;
    const qsizetype count = std::max(left.size(), right.size());
    for (qsizetype i = 0; i < count; ++i) {
        const QString l = left.value(i), r = right.value(i);
        QString line = l.leftJustified(leftWidth) + QStringLiteral(" | ") + r;
        if (l != r)
            line += QStringLiteral(" <");
        lines << line;
    }
    return lines;
}

} // namespace tarvisk::unitbitmap
