#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tarvisk::unitbitmap {

// The mini pendant's display as one bit a unit: rows from the top, each padded to whole bytes,
// the most significant bit of a byte first; a set bit is a lit (dark) unit.
constexpr int Width = 126;
constexpr int Height = 62;

constexpr int rowBytes(int width)
{
    return (width + 7) / 8;
}
constexpr int byteCount(int width, int height)
{
    return rowBytes(width) * height;
}

bool isLit(const QByteArray &bits, int width, int x, int y);
void setLit(QByteArray &bits, int width, int x, int y);

// The text picture: one line a row, '#' for a lit unit and '.' for an unlit one. Bytes missing at
// the end read as unlit.
QStringList textRows(const QByteArray &bits, int width = Width, int height = Height);

// Two pictures beside each other under their titles, with "|" between them; a row that differs
// is marked with "<" after the right one.
QStringList sideBySide(const QStringList &left, const QStringList &right, const QString &leftTitle,
                       const QString &rightTitle);

} // namespace tarvisk::unitbitmap
