#pragma once

#include <QObject>
#include <QString>

namespace tarvisk {

// The state a pendant window is in, as its state selector names it: what it announced to the
// host last, or in a standalone run whether its keys are usable yet. Windows start in
// "DISCONNECT".
class ConnectionState : public QObject
{
    Q_OBJECT
public:
    enum Value { Disconnect = 0, Connect = 1, TPLess = 2, TPError = 3 };

    explicit ConnectionState(QObject *parent = nullptr);

    Value value() const { return m_value; }
    QString name() const { return nameOf(m_value); }
    // Raises changed when the value is new; indexes outside 0 to 3 change nothing.
    void set(int value);

    // "DISCONNECT", "CONNECT", "TPLESS", "TPERROR".
    static QString nameOf(int value);

signals:
    void changed(tarvisk::ConnectionState::Value value);

private:
    Value m_value = Disconnect;
};

} // namespace tarvisk
