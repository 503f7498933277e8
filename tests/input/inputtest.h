#pragma once

// What the input tests share: a link that records the key states, the standalone and hosted
// starts of each pendant, and keyboard and touch input delivered the way the windowing system
// delivers it (to the window, not to a widget).
#include "link/pendantlink.h"
#include "pendant/pendantbase.h"
#include "provider/provcontroller.h"

#include <QByteArray>
#include <QKeyEvent>
#include <QList>
#include <QObject>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <memory>

namespace tarvisk::inputtest {

class RecordingLink : public IPendantLink
{
public:
    void Open(const QString &, const QString &) override {}
    std::shared_ptr<ILinkVariable> GetVariable(const QString &, const QString &) override { return nullptr; }
    Variant Execute(const QString &, const Variant &parameter) override
    {
        if (parameter.bytes())
            bitmaps << *parameter.bytes();
        return {};
    }
    void Close() override {}
    QList<QByteArray> bitmaps;
};

inline bool bitSet(const QByteArray &bits, int code)
{
    return bits.size() == 8 && ((uint8_t(bits[code / 8]) >> (code % 8)) & 1);
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

// The centre of a widget in its window's coordinates.
QPoint centreIn(QWidget *window, QWidget *w);

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
