// The connection dialog of a standalone start, to check its layout.
#include "screenshot.h"

#include "common/twips.h"
#include "settings/clsprofile.h"
#include "settings/frmconnect.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QTemporaryDir>

namespace tarvisk::screens {

namespace {

QImage grabDialog(frmConnect &d)
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
    const double perPixel = twips::screenPerPixelX();
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

// connect: the dialog as a standalone start opens it with no settings file. connect-grid: the
// same enlarged twice with a 60-twip grid, to check the positions. connect-stored: with a stored
// choice that leaves the own address and port unused. The settings file lives in a temporary
// configuration folder for as long as this runs.
void renderConnect(Shots &shots)
{
    QTemporaryDir config;
    const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    {
        frmConnect d;
        d.LoadIni();
        const QImage shot = grabDialog(d);
        shots.save(shot, QStringLiteral("connect"));
        shots.save(withGrid(shot), QStringLiteral("connect-grid"));
    }
    {
        QDir().mkpath(config.filePath(QStringLiteral("Tarvisk")));
        clsProfile p(frmConnect::settingsFilePath());
        p.WriteString(QStringLiteral("$Dist$"), QStringLiteral("IPAddress"), QStringLiteral("192.168.10.20"));
        p.WriteString(QStringLiteral("$Dist$"), QStringLiteral("Port"), QStringLiteral("65535"));
        p.WriteString(QStringLiteral("$Src$"), QStringLiteral("UseIPAddress"), QStringLiteral("False"));
        p.WriteString(QStringLiteral("$Src$"), QStringLiteral("UsePort"), QStringLiteral("False"));
        p.WriteString(QStringLiteral("$Pendant$"), QStringLiteral("Type"), QStringLiteral("1"));
        frmConnect d;
        d.LoadIni();
        shots.save(grabDialog(d), QStringLiteral("connect-stored"));
    }
    if (savedConfig.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", savedConfig);
}

} // namespace tarvisk::screens
