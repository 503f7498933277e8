#pragma once

#include "pendant/pendantparts.h"

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QWidget>

namespace tarvisk {

// Follows the pendant window that is loaded (the one ShowPendant connected last, until it is let
// go) and listens to its models' change signals, raising them again in the terms a script or a
// recording uses. It never polls and never reaches into a window beyond its models.
class PendantFollower : public QObject
{
    Q_OBJECT
public:
    // Starts with the window already loaded, if any.
    explicit PendantFollower(QObject *parent = nullptr);
    ~PendantFollower() override;

    // The window followed now; invalid while none is loaded.
    const PendantParts &parts() const { return m_parts; }
    // The names of the keys held now, the mode switch's position first.
    QStringList heldKeys() const;
    // "DISCONNECT" while no window is loaded.
    QString state() const;

    // The health of the window's link to its controller, as its title shows it.
    struct LinkStatus
    {
        // "NONE" (no link that tells: hosted, pendant-less, not connected), "UNKNOWN" (nothing
        // heard yet), "ANSWERING", "NOCONTROLLER" (the datagrams come back), "SILENT".
        QString state;
        QString text;       // as in the title: empty when all is well or nothing is known
        QString controller; // "ADDRESS:PORT" the link sends to; empty without a link
        bool operator==(const LinkStatus &) const = default;
    };
    LinkStatus linkStatus() const;

signals:
    // Another window (or none) is followed now.
    void windowChanged();
    void keyChanged(const QString &key, bool held);
    // A key reported to the controller or host, and the source that did it ("mouse", "script",
    // "program", ...): a press (held) or a release, a mode-switch position chosen (held).
    void keyReported(const QString &key, bool held, const QString &source);
    void ledChanged(int number, int mode);
    void beeperChanged(bool sounding, int milliseconds);
    void displayChanged();
    void stateChanged(const QString &state);
    void linkStatusChanged(const QString &state, const QString &text);

private:
    void follow(IPendantWindow *window);
    void drop();
    // Compares the held keys with those last seen and raises a change for each difference,
    // releases first.
    void noteKeys();
    void noteState();
    void noteLinkStatus();

    PendantParts m_parts;
    QPointer<QWidget> m_widget;
    QList<QMetaObject::Connection> m_connections;
    QStringList m_held;
    QString m_state;
    LinkStatus m_link;
};

} // namespace tarvisk
