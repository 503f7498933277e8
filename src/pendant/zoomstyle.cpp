#include "pendant/zoomstyle.h"

#include "common/twips.h"

#include <QApplication>
#include <QProxyStyle>
#include <QWidget>

#include <cmath>

namespace tarvisk {

namespace {

// The application's style with its sizes multiplied by the zoom.
class ZoomStyle : public QProxyStyle
{
public:
    explicit ZoomStyle(double zoom)
        : m_zoom(zoom)
    {
        setParent(qApp);
    }

    double zoom() const { return m_zoom; }

    int pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override
    {
        const int base = QProxyStyle::pixelMetric(metric, option, widget);
        switch (metric) {
        case PM_ButtonMargin:
        case PM_ButtonDefaultIndicator:
        case PM_DefaultFrameWidth:
        case PM_ComboBoxFrameWidth:
        case PM_MenuButtonIndicator:
        case PM_IndicatorWidth:
        case PM_IndicatorHeight:
        case PM_ExclusiveIndicatorWidth:
        case PM_ExclusiveIndicatorHeight:
        case PM_CheckBoxLabelSpacing:
        case PM_SliderThickness:
        case PM_SliderControlThickness:
        case PM_SliderLength:
        case PM_SliderTickmarkOffset:
        case PM_SliderSpaceAvailable:
        case PM_SmallIconSize:
        case PM_ButtonIconSize:
        case PM_LayoutLeftMargin:
        case PM_LayoutTopMargin:
        case PM_LayoutRightMargin:
        case PM_LayoutBottomMargin:
        case PM_LayoutHorizontalSpacing:
        case PM_LayoutVerticalSpacing:
            return int(std::lround(base * m_zoom));
        default:
            return base;
        }
    }

private:
    double m_zoom;
};

} // namespace

void applyZoomStyle(QWidget *window)
{
    const double zoom = twips::zoom();
    if (zoom == 1.0 || !window)
        return;
    static ZoomStyle *style = nullptr;
    if (!style || style->zoom() != zoom)
        style = new ZoomStyle(zoom);
    window->setStyle(style);
    for (QWidget *w : window->findChildren<QWidget *>())
        w->setStyle(style);
}

} // namespace tarvisk
