#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <map>
#include <memory>

namespace tarvisk {

class HostObject;
class HostController;
class ProvMessage;

// The provider on a D-Bus bus, and the composition root of the bus side: the root object at
// kRootPath creates the provider objects, each at a path of its own with its generated
// adaptors, and keeps them until they are released or their holding connection leaves the bus.
// Every call is served on the thread of the service (the user-interface thread), between the
// window events.
class HostService : public QObject, protected QDBusContext
{
    Q_OBJECT
public:
    static const QString kServiceName; // "ZephProv.Halvex.Tarvisk"
    static const QString kRootPath;    // "/ZephProv/Halvex/Tarvisk"

    explicit HostService(const QDBusConnection &connection = QDBusConnection::sessionBus(), QObject *parent = nullptr);
    ~HostService() override;

    // Publishes the root object, then takes the bus name. False when there is no bus or the
    // name is owned already; lastError() tells which.
    bool start();
    const QString &lastError() const { return m_lastError; }

    // How long a started service waits for its first object before it finishes (default 30 s).
    void setStartupGrace(int milliseconds);

    // The objects handed out and not yet released (messages included), by path.
    int heldObjects() const { return int(m_objects.size()); }
    QStringList objectPaths() const;
    HostObject *object(const QString &path) const;

    // ZephProv.Halvex.Tarvisk.Provider: holder "" is the caller (when called in-process: held
    // until released).
    QDBusObjectPath CreateController(const QString &holder);
    QDBusObjectPath CreateRobot(const QString &holder);
    QDBusObjectPath CreateTask(const QString &holder);
    QDBusObjectPath CreateVariable(const QString &holder);
    QDBusObjectPath CreateFile(const QString &holder);
    QDBusObjectPath CreateCommand(const QString &holder);
    QDBusObjectPath CreateExtension(const QString &holder);

    // Releases one object; a connected controller is disconnected first.
    void release(HostObject *object);

    // Whether the service holds the bus name now. It gives the name up as soon as it decides to
    // end, before anything is torn down, so that a client's next call starts a fresh provider.
    bool ownsName() const { return m_ownsName; }

    // Ends the service now (the process was asked to end): a connected controller is
    // disconnected, so held keys are let go and the final messages queued and signalled, the
    // bus name is given up and every window unloaded; then finished().
    void shutDown();

signals:
    // No object is held and no window is open (after the start-up grace, or once a client
    // has come and gone); the process has nothing left to do. Also when the bus goes away, and
    // after shutDown().
    void finished();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void busDisconnected();
    template <class T> QDBusObjectPath create(const QString &kind, const QString &requestedHolder);
    // The unique name that will hold a new object; false (and the call answered) when the
    // requested name has no owner.
    bool resolveHolder(const QString &requested, QString &holder);
    QString newPath(const QString &kind);
    // Registers an object built with its adaptors at its path and takes it into the books.
    void publish(HostObject *object);
    QDBusObjectPath publishMessage(std::shared_ptr<ProvMessage> message, const QString &holder);
    void holdFor(const QString &holder);
    void releaseHolder(const QString &holder);
    void noteQueues();
    void scheduleIdleCheck();
    void checkIdle();
    // Gives the bus name up (a blocking call, so every call routed here before is queued by then).
    void giveUpName();
    // A Create that reached the service after it gave the name up to end: the name is taken back
    // and the service goes on; false (and the call answered) when another provider has it now.
    bool holdName();
    void finishIfStillIdle();
    void unloadWindows();

    QDBusConnection m_connection;
    QDBusServiceWatcher m_watcher;
    std::map<QString, HostObject *> m_objects;
    QList<HostController *> m_controllers;
    QHash<QString, int> m_holderCounts;
    QString m_lastError;
    quint64 m_serial = 0;
    bool m_started = false;
    bool m_ownsName = false;
    bool m_hadObjects = false;
    bool m_graceOver = false;
    bool m_finished = false;
    bool m_finishQueued = false;
    QTimer m_grace;
    QTimer m_busCheck;
    QList<QMetaObject::Connection> m_dispatcherHooks;
};

} // namespace tarvisk
