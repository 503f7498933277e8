// tarvisk-controller-screens [-o file.png] [-s scale]
// Draws the demo's screens through the mini display, the way the pendant shows them: the menu
// with each entry selected in turn, then the screen after OK on the second entry. Each list is
// drawn over what the previous one left, as on the pendant. Scaled up without smoothing.

#include "demoscreens.h"

#include "pendant/minidisplay.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QStringList>

#include <cstdio>

using tarvisk::MiniDisplay;
using tarvisk::Variant;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString out = QStringLiteral("controller-screens.png");
    int scale = 2;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("-o") && i + 1 < args.size()) {
            out = args[++i];
        } else if (args[i] == QLatin1String("-s") && i + 1 < args.size()) {
            scale = qBound(1, args[++i].toInt(), 10);
        } else {
            std::fprintf(stderr, "usage: tarvisk-controller-screens [-o file.png] [-s scale]\n");
            return 2;
        }
    }

    QList<Variant> lists;
    for (int i = 0; i < tarvisk::controller::demoMenuEntries().size(); ++i)
        lists << tarvisk::controller::demoMenuScreen(i);
    lists << tarvisk::controller::demoChoiceScreen(1);

    const QSize outer = MiniDisplay::outerRect().size();
    const int gap = 6;
    const int columns = 2;
    const int rows = int((lists.size() + columns - 1) / columns);
    QImage sheet(columns * (outer.width() + gap) + gap, rows * (outer.height() + gap) + gap, QImage::Format_RGB32);
    sheet.fill(qRgb(236, 236, 236));
    {
        QPainter painter(&sheet);
        MiniDisplay display;
        for (int i = 0; i < lists.size(); ++i) {
            display.DrawDisplay(lists[i]);
            const QPoint at(gap + (i % columns) * (outer.width() + gap), gap + (i / columns) * (outer.height() + gap));
            tarvisk::paintMiniDisplay(painter, QRect(at, outer), display);
        }
    }
    const QImage scaled = sheet.scaled(sheet.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (!scaled.save(out)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(out));
        return 1;
    }
    std::printf("%s\n", qPrintable(out));
    return 0;
}
