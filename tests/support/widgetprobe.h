#pragma once

#include <QColor>
#include <QRect>
#include <Qt>

class QWidget;

namespace tarvisk::testing {

// A press and a release of `button` at the control's centre, as a user's click.
void clickCentre(QWidget *control, Qt::MouseButton button = Qt::LeftButton);

// The widget's rectangle in its window's coordinates, wherever its parents sit.
QRect rectInWindow(const QWidget *widget);

// The colour the widget shows at its centre, from a rendering of it.
QColor centreColour(QWidget *widget);

} // namespace tarvisk::testing
