#include "widgets/buttoncolors.h"

#include <QGuiApplication>
#include <QPalette>

#include <algorithm>
#include <array>
#include <optional>

namespace tarvisk {

namespace {

struct SystemEntry
{
    // The palette role that carries this entry on every platform, when Qt has one.
    std::optional<QPalette::ColorRole> role;
    QPalette::ColorGroup group = QPalette::Active;
    // The classic desktop default, used where Qt has no such role or no application runs.
    ColorValue fallback;
};

// The system colour table. Entries whose meaning Qt's palette carries come from the running
// application's palette (so they follow the desktop theme): window 5, window text 8, highlight
// 13 and 14, button face 15, button shadow 16 (Dark), grey text 17 (disabled Text), button text
// 18, button highlight 20 (Light), dark shadow 21 (Shadow), light 22 (Midlight), tool tips 23
// and 24, hot-track 26 (Link). The others (scroll bar, desktop, captions, menus, borders, work
// space, window frame and the caption gradients) have no palette role and keep the usual
// Windows defaults. Index 25 is unused there and reads black.
const std::array<SystemEntry, 31> &systemTable()
{
    static const std::array<SystemEntry, 31> table = {{
        {std::nullopt, QPalette::Active, rgbValue(200, 200, 200)},              // 0 scroll bar
        {std::nullopt, QPalette::Active, rgbValue(0, 0, 0)},                    // 1 desktop
        {std::nullopt, QPalette::Active, rgbValue(153, 180, 209)},              // 2 active caption
        {std::nullopt, QPalette::Active, rgbValue(191, 205, 219)},              // 3 inactive caption
        {std::nullopt, QPalette::Active, rgbValue(240, 240, 240)},              // 4 menu
        {QPalette::Base, QPalette::Active, rgbValue(255, 255, 255)},            // 5 window
        {std::nullopt, QPalette::Active, rgbValue(100, 100, 100)},              // 6 window frame
        {std::nullopt, QPalette::Active, rgbValue(0, 0, 0)},                    // 7 menu text
        {QPalette::Text, QPalette::Active, rgbValue(0, 0, 0)},                  // 8 window text
        {std::nullopt, QPalette::Active, rgbValue(0, 0, 0)},                    // 9 caption text
        {std::nullopt, QPalette::Active, rgbValue(180, 180, 180)},              // 10 active border
        {std::nullopt, QPalette::Active, rgbValue(244, 247, 252)},              // 11 inactive border
        {std::nullopt, QPalette::Active, rgbValue(171, 171, 171)},              // 12 app work space
        {QPalette::Highlight, QPalette::Active, rgbValue(0, 120, 215)},         // 13 highlight
        {QPalette::HighlightedText, QPalette::Active, rgbValue(255, 255, 255)}, // 14 highlight text
        {QPalette::Button, QPalette::Active, rgbValue(240, 240, 240)},          // 15 button face
        {QPalette::Dark, QPalette::Active, rgbValue(160, 160, 160)},            // 16 button shadow
        {QPalette::Text, QPalette::Disabled, rgbValue(109, 109, 109)},          // 17 grey text
        {QPalette::ButtonText, QPalette::Active, rgbValue(0, 0, 0)},            // 18 button text
        {std::nullopt, QPalette::Active, rgbValue(0, 0, 0)},                    // 19 inactive caption text
        {QPalette::Light, QPalette::Active, rgbValue(255, 255, 255)},           // 20 button highlight
        {QPalette::Shadow, QPalette::Active, rgbValue(105, 105, 105)},          // 21 3-D dark shadow
        {QPalette::Midlight, QPalette::Active, rgbValue(227, 227, 227)},        // 22 3-D light
        {QPalette::ToolTipText, QPalette::Active, rgbValue(0, 0, 0)},           // 23 info text
        {QPalette::ToolTipBase, QPalette::Active, rgbValue(255, 255, 225)},     // 24 info background
        {std::nullopt, QPalette::Active, rgbValue(0, 0, 0)},                    // 25 unused
        {QPalette::Link, QPalette::Active, rgbValue(0, 102, 204)},              // 26 hot-track
        {std::nullopt, QPalette::Active, rgbValue(185, 209, 234)},              // 27 active caption gradient
        {std::nullopt, QPalette::Active, rgbValue(215, 228, 242)},              // 28 inactive caption gradient
        {std::nullopt, QPalette::Active, rgbValue(0, 120, 215)},                // 29 menu highlight
        {std::nullopt, QPalette::Active, rgbValue(240, 240, 240)},              // 30 menu bar
    }};
    return table;
}

} // namespace

ColorValue systemColorValue(int index)
{
    const auto &table = systemTable();
    if (index < 0 || index >= int(table.size()))
        return 0;
    const SystemEntry &entry = table[size_t(index)];
    if (entry.role && qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return fromQColor(QGuiApplication::palette().color(entry.group, *entry.role));
    return entry.fallback;
}

ColorValue GetLngColor(ColorValue color)
{
    if ((quint32(color) & quint32(kSystemColorFlag)) == 0)
        return color;
    const quint32 index = quint32(color) & ~quint32(kSystemColorFlag);
    return index > 0xFFFF ? 0 : systemColorValue(int(index));
}

ColorValue GetShiftColor(ColorValue color, int shift)
{
    const auto shifted = [shift](int channel) { return std::clamp(channel + shift, 0, 255); };
    return rgbValue(shifted(redOf(color)), shifted(greenOf(color)), shifted(blueOf(color)));
}

} // namespace tarvisk
