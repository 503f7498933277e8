#include "screenshot.h"

#include "common/twips.h"
#include "pendant/pendants.h"
#include "provider/keytables.h"
#include "provider/provstate.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QWidget>

#include <cstdio>

namespace tarvisk::screens {

void Shots::settle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

void Shots::freshProcess() const
{
    resetProcessState();
    registerPendantWindows();
    InitKeyTables();
    twips::setZoom(m_zoomPercent / 100.0);
}

bool Shots::save(const QImage &image, const QString &name)
{
    const QString suffix = m_zoomPercent == 100 ? QString() : QStringLiteral("-zoom%1").arg(m_zoomPercent);
    const QString path = QDir(m_folder).filePath(name + suffix + QStringLiteral(".png"));
    const bool written = !image.isNull() && image.save(path, "PNG");
    std::printf("%s %s (%dx%d)\n", written ? "wrote" : "FAILED", qPrintable(path), image.width(), image.height());
    m_ok &= written;
    return written;
}

bool Shots::save(QWidget *widget, const QString &name)
{
    if (!widget) {
        fail(name + QStringLiteral(": no window"));
        return false;
    }
    return save(widget->grab().toImage(), name);
}

bool Shots::saveScaled(const QImage &image, const QString &name, int fallback)
{
    const int scale = m_scale > 0 ? m_scale : fallback;
    return save(image.scaled(image.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation), name);
}

void Shots::fail(const QString &what)
{
    std::fprintf(stderr, "FAILED %s\n", qPrintable(what));
    m_ok = false;
}

} // namespace tarvisk::screens
