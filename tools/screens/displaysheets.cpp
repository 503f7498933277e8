// The mini pendant's display alone, painted from drawing-command lists as a controller sends
// them, with its border, and scaled up without smoothing.
#include "drawinglists.h"
#include "screenshot.h"

#include "demoscreens.h"

#include "pendant/minidisplay.h"

#include <QPainter>

namespace tarvisk::screens {

namespace {

constexpr int Gap = 6;
const QRgb SheetColour = qRgb(236, 236, 236);

// Each list drawn on a display of its own, or all on one display, each over what the list
// before left (as on the pendant), laid out in `columns` columns.
QImage sheetOf(const QList<Variant> &lists, int columns, bool oneDisplay)
{
    const QSize outer = MiniDisplay::outerRect().size();
    const int rows = int((lists.size() + columns - 1) / columns);
    QImage sheet(columns * (outer.width() + Gap) + Gap, rows * (outer.height() + Gap) + Gap, QImage::Format_RGB32);
    sheet.fill(SheetColour);
    QPainter painter(&sheet);
    MiniDisplay shared;
    for (int i = 0; i < lists.size(); ++i) {
        MiniDisplay own;
        MiniDisplay &display = oneDisplay ? shared : own;
        display.DrawDisplay(lists[i]);
        const QPoint at(Gap + (i % columns) * (outer.width() + Gap), Gap + (i / columns) * (outer.height() + Gap));
        paintMiniDisplay(painter, QRect(at, outer), display);
    }
    return sheet;
}

} // namespace

// display-sheet: a menu (inverted title, frame, selection bar, scroll box, status line with
// symbols) and a screen of kana, kanji and the escape symbols; 3x unless a scale is given.
void renderDisplaySheet(Shots &shots)
{
    shots.saveScaled(sheetOf({menuScreen(), symbolScreen()}, 1, false), QStringLiteral("display-sheet"), 3);
}

// controller-screens: the virtual controller's demo, its menu with each entry selected in turn,
// then the screen after OK on the second entry; 2x unless a scale is given.
void renderDemoScreens(Shots &shots)
{
    QList<Variant> lists;
    for (int i = 0; i < controller::demoMenuEntries().size(); ++i)
        lists << controller::demoMenuScreen(i);
    lists << controller::demoChoiceScreen(1);
    shots.saveScaled(sheetOf(lists, 2, true), QStringLiteral("controller-screens"), 2);
}

} // namespace tarvisk::screens
