#pragma once

#include "provider/pendantwindow.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace tarvisk {

// Which computer keyboard key holds which pendant key. Pendant keys are named as in the key
// tables ("TP_KEY_OK"), plus the mode-switch positions ("TP_KEY_MAN") and the two jog keys for
// the dial or slider. Keyboard keys are Qt key codes after normalizedKey(). One keyboard key
// holds at most one pendant key; a pendant key may have several keyboard keys.
class Keymap
{
public:
    struct Binding
    {
        QString keyName;
        int key = 0; // Qt::Key, normalized
    };

    // The map a variant starts with (docs/input.md has them as tables).
    static Keymap defaults(PendantKind kind);

    // The defaults of `kind` with the user's section of the file at `path` applied. A missing file
    // is no error. Each line that cannot be applied adds one entry to `warnings`, naming the file,
    // the line and the reason, and the rest of the file still applies. `knownKeyNames` are the
    // pendant keys the window has (compared without regard to letter case).
    static Keymap load(PendantKind kind, const QString &path, const QStringList &knownKeyNames, QStringList *warnings);

    // $XDG_CONFIG_HOME/Tarvisk/keymap.ini (~/.config when the variable is unset).
    static QString userFilePath();
    // The file's section of a variant: "standard", "mini" or "old".
    static QString sectionName(PendantKind kind);

    // The same key whatever the Shift state produced on a US layout ('!' is '1'), and keypad
    // Enter as Return; letters are upper case already.
    static int normalizedKey(int qtKey);
    // A keyboard key from its name as Qt writes it ("Space", "PgUp", "F3", "Q", "1", "Shift").
    // 0 and the reason in `why` when the text names no single key, or a key that cannot be
    // bound: Ctrl, Alt, AltGr and Meta (the windows' own gestures) and the bindings toggle.
    static int parseKey(const QString &text, QString *why = nullptr);
    // How a key is drawn on the pendant ("Space", "PgUp", "Q").
    static QString keyText(int qtKey);

    // The key that draws each key's binding on it.
    static constexpr int kBindingsToggle = Qt::Key_F12;

    // The pendant key a keyboard key holds; empty when none.
    QString keyNameFor(int qtKey) const;
    // The keyboard keys of a pendant key, in map order.
    QList<int> keysFor(const QString &keyName) const;
    const QList<Binding> &bindings() const { return m_bindings; }

    // Binds a keyboard key, taking it from the pendant key that had it.
    void bind(const QString &keyName, int qtKey);
    // Removes every binding of a pendant key.
    void unbind(const QString &keyName);

private:
    QList<Binding> m_bindings;
};

} // namespace tarvisk
