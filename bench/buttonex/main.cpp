// Full repaint of the standard pendant's 31 round-frame keys into an image: microseconds per
// repaint, median and 99th percentile.

#include "common/twips.h"
#include "widgets/buttonpaint.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace tarvisk;

namespace {

struct Key
{
    QRect twipsGeometry;
    QString label;
    int radius;
    int roundCorner;
    ColorValue back;
    ColorValue fore;
    double pointSize;
    bool picture;
};

std::vector<Key> pendantKeys()
{
    std::vector<Key> keys;
    const ColorValue white = 0xFFFFFF;
    const char *left[] = {"MOTOR", "LOCK", "R-SEL", "M-MOD", "SPEED"};
    const int leftTops[] = {1560, 2100, 3210, 3735, 4260};
    for (int i = 0; i < 5; ++i)
        keys.push_back({QRect(120, leftTops[i], 975, 480), QString::fromLatin1(left[i]), 210, 15, 0, white, 9, false});
    keys.push_back({QRect(1500, 180, 1455, 480), QStringLiteral("STOP"), 300, 0, 0xA0FF, 0, 9, false});
    keys.push_back({QRect(1290, 795, 915, 480), QStringLiteral("Cancel"), 200, 0, 0xC0C0C0, 0, 9, false});
    keys.push_back({QRect(2250, 795, 795, 480), QStringLiteral("OK"), 200, 0, 0x20C020, 0, 9, false});
    for (int i = 0; i < 6; ++i)
        keys.push_back({QRect(1320, 1560 + 540 * i, 675, 480), QStringLiteral("-"), 220, 10, 0, white, 14.25, false});
    for (int i = 0; i < 6; ++i)
        keys.push_back({QRect(2400, 1560 + 540 * i, 675, 480), QStringLiteral("+"), 220, 5, 0, white, 14.25, false});
    const QPoint arrows[] = {{1980, 4920}, {1440, 5280}, {1980, 5640}, {2520, 5280}};
    for (const QPoint &p : arrows)
        keys.push_back({QRect(p, QSize(510, 510)), QString(), 225, 0, 0, white, 11.25, true});
    keys.push_back({QRect(120, 5700, 975, 480), QStringLiteral("SHIFT"), 210, 15, 0, white, 9, false});
    for (int i = 0; i < 6; ++i)
        keys.push_back({QRect(120 + 1020 * (i % 3), 6240 + 540 * (i / 3), 975, 480), QStringLiteral("F%1").arg(i + 1),
                        210, 15, 0, white, 9, false});
    return keys;
}

QPixmap arrowPicture()
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    QPainterPath path;
    path.moveTo(8, 2);
    path.lineTo(14, 12);
    path.lineTo(2, 12);
    path.closeSubpath();
    p.fillPath(path, Qt::white);
    return pm;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(10, std::atoi(argv[1])) : 2000;

    const double tpp = 15.0;
    const QPixmap arrow = arrowPicture();
    std::vector<std::pair<ButtonLook, QRect>> buttons;
    for (const Key &k : pendantKeys()) {
        ButtonLook look;
        look.buttonStyle = ButtonStyleRoundFrame;
        look.borderColor = 0x402020;
        look.backGroundColor = 0x606060;
        look.backColor = k.back;
        look.foreColor = k.fore;
        look.radius = k.radius;
        look.roundCorner = k.roundCorner;
        look.caption = k.label;
        look.font = QFont(QStringLiteral("DejaVu Sans"), 9, QFont::Bold);
        look.font.setPointSizeF(k.pointSize);
        look.hasPicture = k.picture;
        look.picture = k.picture ? arrow : QPixmap();
        look.twipsPerPixelX = look.twipsPerPixelY = tpp;
        const QRect px(twips::toPixels(k.twipsGeometry.x(), tpp), twips::toPixels(k.twipsGeometry.y(), tpp),
                       twips::toPixels(k.twipsGeometry.width(), tpp), twips::toPixels(k.twipsGeometry.height(), tpp));
        buttons.emplace_back(look, px);
    }

    QImage image(210, 500, QImage::Format_ARGB32_Premultiplied);
    const auto repaint = [&] {
        QPainter painter(&image);
        for (const auto &[look, rect] : buttons)
            paintButton(painter, look, rect);
    };
    for (int i = 0; i < 50; ++i)
        repaint(); // warm the glyph caches

    std::vector<double> micros;
    micros.reserve(size_t(runs));
    QElapsedTimer timer;
    for (int i = 0; i < runs; ++i) {
        timer.start();
        repaint();
        micros.push_back(double(timer.nsecsElapsed()) / 1000.0);
    }
    std::sort(micros.begin(), micros.end());
    const double median = micros[micros.size() / 2];
    const double p99 = micros[std::min(micros.size() - 1, size_t(double(micros.size()) * 0.99))];
    std::printf("buttonex: %zu keys, %d full repaints: median %.1f us, p99 %.1f us, %.2f us per key (median)\n",
                buttons.size(), runs, median, p99, median / double(buttons.size()));
    return 0;
}
