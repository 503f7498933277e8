#pragma once

#include <QObject>
#include <QString>

namespace tarvisk {

// Whether the controller at the other end of the standalone link answers, as the pendant shows it:
// in the window title, in a tool tip on the window, and (for a client) over D-Bus. The link owns
// one and updates it; listeners connect to changed() and read the state, and none of them polls.
//
//   state          text()                                  when
//   Unknown        ""                                      the link is not open, or has just opened
//   Answering      ""                                      the controller was heard lately
//   NoController   "no controller at ADDRESS:PORT"         the datagrams come back (port unreachable)
//   Silent         "controller silent for N s"             nothing came back for a while
//
// text() is empty exactly when all is well or nothing is known yet; toolTip() adds what to do.
class LinkHealth : public QObject
{
    Q_OBJECT
public:
    enum class State { Unknown, Answering, NoController, Silent };
    Q_ENUM(State)

    explicit LinkHealth(QObject *parent = nullptr);

    State state() const { return m_state; }
    // The controller the link sends to, "ADDRESS:PORT" ("[ADDRESS]:PORT" for IPv6); empty while
    // the link is not open.
    QString controller() const { return m_controller; }
    // Whole seconds since the controller was last heard (since the link opened when it never
    // was); meaningful in Silent, 0 otherwise.
    int silentSeconds() const { return m_silentSeconds; }
    // For NoController: the host or network is out of reach rather than the port closed.
    bool hostUnreachable() const { return m_hostUnreachable; }

    QString text() const;
    QString toolTip() const;

    // Used by the link. Each raises changed() only when something shown changes.
    void setController(const QString &endpoint);
    void setUnknown();
    void setAnswering();
    void setNoController(bool hostUnreachable);
    void setSilent(int seconds);

signals:
    void changed();

private:
    void set(State state, int seconds, bool hostUnreachable);

    State m_state = State::Unknown;
    QString m_controller;
    int m_silentSeconds = 0;
    bool m_hostUnreachable = false;
};

} // namespace tarvisk
