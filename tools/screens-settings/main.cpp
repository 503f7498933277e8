// Renders the connection dialog to PNG files for a look at its layout:
//   screens-settings <output folder>
// connect.png: the dialog as a standalone start opens it with no settings file.
// connect-stored.png: with a stored choice that leaves the own address and port unused.
// connect-grid.png: connect.png enlarged twice with a 60-twip grid, to check the positions.
#include "common/twips.h"
#include "settings/clsprofile.h"
#include "settings/frmconnect.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

QImage grabDialog(tarvisk::frmConnect &d)
{
    d.show();
    QApplication::processEvents();
    return d.grab().toImage();
}

QImage withGrid(const QImage &shot)
{
    const int scale = 2;
    QImage out = shot.scaled(shot.size() * scale);
    QPainter p(&out);
    const double perPixel = tarvisk::twips::perPixelX();
    for (int tw = 0; tw * scale / perPixel < out.width(); tw += 60) {
        p.setPen(QColor(255, 0, 0, tw % 600 == 0 ? 160 : 40));
        const int x = int(tw * scale / perPixel);
        p.drawLine(x, 0, x, out.height());
    }
    for (int tw = 0; tw * scale / perPixel < out.height(); tw += 60) {
        p.setPen(QColor(255, 0, 0, tw % 600 == 0 ? 160 : 40));
        const int y = int(tw * scale / perPixel);
        p.drawLine(0, y, out.width(), y);
    }
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(outDir);
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QTextStream err(stderr);

    {
        tarvisk::frmConnect d;
        d.LoadIni();
        const QImage shot = grabDialog(d);
        shot.save(outDir + "/connect.png");
        withGrid(shot).save(outDir + "/connect-grid.png");
        err << "dialog " << shot.width() << "x" << shot.height() << " px\n";
    }
    {
        QDir().mkpath(config.filePath("Tarvisk"));
        tarvisk::clsProfile p(tarvisk::frmConnect::settingsFilePath());
        p.WriteString("$Dist$", "IPAddress", "192.168.10.20");
        p.WriteString("$Dist$", "Port", "65535");
        p.WriteString("$Src$", "UseIPAddress", "False");
        p.WriteString("$Src$", "UsePort", "False");
        p.WriteString("$Pendant$", "Type", "1");
        tarvisk::frmConnect d;
        d.LoadIni();
        grabDialog(d).save(outDir + "/connect-stored.png");
    }
    err << "written to " << outDir << "\n";
    return 0;
}
