#pragma once

// What the input tests add to the test-support library: standalone and hosted starts of each
// pendant past their first tick, keyboard and touch input delivered the way the windowing system
// delivers it (to the window, not to a widget), and a configuration home of their own.
#include "pendant/pendantbase.h"
#include "provider/provcontroller.h"
#include "support/hostqueue.h"
#include "support/keybits.h"
#include "support/pendantprocess.h"
#include "support/recordinglink.h"
#include "support/widgetprobe.h"

#include <QByteArray>
#include <QList>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace tarvisk::inputtest {

using testing::RecordingLink;

// The centre of a widget in its window's coordinates.
inline QPoint centreIn(QWidget *w)
{
    return testing::rectInWindow(w).center();
}

// The codes set in a bitmap, for readable failures.
QList<int> codesOf(const QByteArray &bits);

// A standalone pendant of a type on a recording link, shown, active and past its first tick.
PendantWindowBase *startStandalone(int pendantType, const std::shared_ptr<RecordingLink> &link);
// A hosted pendant, shown and past its first tick; messages so far drained.
PendantWindowBase *startHosted(int pendantType, std::shared_ptr<ProvController> &controller);
// "number:code" of each queued general message.
QStringList drain(ProvController &controller);

// Keyboard input as the windowing system gives it: to the window, with the auto-repeat flag.
void keyDown(QWidget *window, Qt::Key key, Qt::KeyboardModifiers mods = {}, bool autoRepeat = false);
void keyUp(QWidget *window, Qt::Key key, Qt::KeyboardModifiers mods = {}, bool autoRepeat = false);

// The touch screen the touch tests use.
QPointingDevice *touchScreen();

// An empty configuration home for the test, so the user's own key map never applies.
class ConfigHome
{
public:
    ConfigHome();
    ~ConfigHome();
    QString path() const { return m_dir.path(); }
    // Writes $XDG_CONFIG_HOME/Tarvisk/keymap.ini.
    QString writeKeymap(const QByteArray &text);

private:
    QTemporaryDir m_dir;
    QByteArray m_saved;
    bool m_had = false;
};

} // namespace tarvisk::inputtest
