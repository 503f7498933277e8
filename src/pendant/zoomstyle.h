#pragma once

class QWidget;

namespace tarvisk {

// At a zoom other than 100%, gives the window's controls drawn by the platform's style (push
// buttons, check boxes, the state list, the jog slider) the style's sizes at the zoom: check
// marks, slider handles and ticks, list arrows and frames grow with the layout around them.
// Every widget under `window` at the time of the call gets the zoomed style; call it once the
// controls exist. At 100% nothing changes.
void applyZoomStyle(QWidget *window);

} // namespace tarvisk
