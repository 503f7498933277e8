#include "support/widgetprobe.h"

#include <QImage>
#include <QTest>
#include <QWidget>

namespace tarvisk::testing {

void clickCentre(QWidget *control, Qt::MouseButton button)
{
    QTest::mousePress(control, button, {}, control->rect().center());
    QTest::mouseRelease(control, button, {}, control->rect().center());
}

QRect rectInWindow(const QWidget *widget)
{
    return QRect(widget->mapTo(widget->window(), QPoint(0, 0)), widget->size());
}

QColor centreColour(QWidget *widget)
{
    const QImage image = widget->grab().toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

} // namespace tarvisk::testing
