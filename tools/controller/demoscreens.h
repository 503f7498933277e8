#pragma once

#include "common/variant.h"

#include <QStringList>

// The mini pendant screens of the demo, as drawing-command lists for message 259. Each list
// repaints the whole display, since the display keeps whatever was drawn before.
namespace tarvisk::controller {

QStringList demoMenuEntries();

// The menu: a title, a rule and the entries inside a frame, the selected entry on an inverted bar.
Variant demoMenuScreen(int selected);

// The entry chosen with OK, framed, and how to get back.
Variant demoChoiceScreen(int chosen);

} // namespace tarvisk::controller
