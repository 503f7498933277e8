// The computer keyboard on the path, for windows the user started (a hosted window never takes the
// keyboard from its client). Each bound key holds its pendant key while it is down; several at
// once make a chord. Ctrl with a bound key latches that pendant key or lets its latch go. F12
// draws the bindings on the keys. Auto-repeat is no input.
//
// Key events are taken where the windowing system delivers them, at the window, before any widget
// sees them, so the focus inside the window does not matter and none is taken away from a widget.
#include "pendant/inputpath.h"
#include "provider/windowprocs.h"

#include <QHash>
#include <QKeyEvent>
#include <QPointer>
#include <QWindow>

namespace tarvisk {

namespace {

class KeyboardSource : public InputPath::Source
{
public:
    KeyboardSource(InputPath &path, PendantKind kind)
        : Source(path)
    {
        QStringList warnings;
        m_path.setKeymap(Keymap::load(kind, Keymap::userFilePath(), path.keyNames(), &warnings));
        for (const QString &w : std::as_const(warnings))
            qWarning().noquote() << w;
        if (!UseDetectableAutoRepeat())
            qWarning("tarvisk: the X server repeats held keys as releases and presses; a key held on the "
                     "keyboard may be let go and pressed again while it repeats");
        path.window()->installEventFilter(this);
        hookWindow();
    }

    void letGo(WayOut way) override
    {
        // A key the latch view hid is let go by the path; its keyboard key's release then finds
        // nothing held, while a key still shown (the enabling switch) stays held.
        if (way != WayOut::LatchView)
            m_held.clear();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_path.window()) {
            if (event->type() == QEvent::Show || event->type() == QEvent::WinIdChange)
                hookWindow();
            return false;
        }
        if (watched != m_hooked)
            return false;
        if (event->type() == QEvent::KeyPress)
            keyDown(static_cast<QKeyEvent *>(event));
        else if (event->type() == QEvent::KeyRelease)
            keyUp(static_cast<QKeyEvent *>(event));
        // The window and its widgets still see every key (the old pendant writes each one).
        return false;
    }

private:
    // The native window comes and goes with showing and the window flags.
    void hookWindow()
    {
        QWindow *handle = m_path.window()->windowHandle();
        if (handle == m_hooked)
            return;
        if (m_hooked)
            m_hooked->removeEventFilter(this);
        m_hooked = handle;
        if (handle)
            handle->installEventFilter(this);
    }

    // The physical key: its scan code where the system gives one, so that the release is found
    // even when Shift changed what the key means in between.
    static quint64 holderId(const QKeyEvent *e)
    {
        if (e->nativeScanCode())
            return (quint64(1) << 32) | e->nativeScanCode();
        return quint64(uint32_t(Keymap::normalizedKey(e->key())));
    }

    void keyDown(QKeyEvent *e)
    {
        if (e->isAutoRepeat())
            return;
        if (e->key() == Keymap::kBindingsToggle) {
            m_path.setShowsBindings(!m_path.showsBindings());
            return;
        }
        if (e->modifiers() & (Qt::AltModifier | Qt::MetaModifier))
            return;
        const QString name = m_path.keymap().keyNameFor(e->key());
        if (name.isEmpty())
            return;
        if (e->modifiers() & Qt::ControlModifier) {
            m_path.toggleLatch(name, InputSource::Keyboard);
            return;
        }
        const quint64 id = holderId(e);
        if (m_held.contains(id))
            return;
        // Noted before the press: a refusal's error box runs a loop in which a way out may clear
        // what this source holds.
        m_held.insert(id, name);
        if (!m_path.press(name, {InputSource::Keyboard, id}))
            m_held.remove(id);
    }

    void keyUp(QKeyEvent *e)
    {
        if (e->isAutoRepeat())
            return;
        const quint64 id = holderId(e);
        const QString name = m_held.take(id);
        if (!name.isEmpty())
            m_path.release(name, {InputSource::Keyboard, id});
    }

    QPointer<QWindow> m_hooked;
    QHash<quint64, QString> m_held; // keyboard key -> the pendant key it holds
};

} // namespace

InputPath::Source *makeKeyboardSource(InputPath &path, PendantKind kind)
{
    return new KeyboardSource(path, kind);
}

} // namespace tarvisk
