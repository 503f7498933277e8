#include "host/hostservice.h"

#include "handleadaptor.h"
#include "host/dbusvalue.h"
#include "host/hostobjects.h"
#include "host/secondaryobjects.h"
#include "iprovidercommandadaptor.h"
#include "iprovidercontrolleradaptor.h"
#include "iproviderextensionadaptor.h"
#include "iproviderfileadaptor.h"
#include "iprovidermessageadaptor.h"
#include "iproviderrobotadaptor.h"
#include "iprovidertaskadaptor.h"
#include "iprovidervariableadaptor.h"
#include "provider/pendantwindow.h"
#include "provider/provstate.h"
#include "provideradaptor.h"
#include "queueadaptor.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QEvent>
#include <QWidget>

namespace tarvisk {

const QString HostService::kServiceName = QStringLiteral("ZephProv.Halvex.Tarvisk");
const QString HostService::kRootPath = QStringLiteral("/ZephProv/Halvex/Tarvisk");

namespace {

const QString kBusName = QStringLiteral("org.freedesktop.DBus");

QDBusObjectPath noObject()
{
    return QDBusObjectPath(QStringLiteral("/"));
}

bool anyWindowVisible()
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return false;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->isVisible())
            return true;
    }
    return false;
}

} // namespace

HostService::HostService(const QDBusConnection &connection, QObject *parent)
    : QObject(parent)
    , m_connection(connection)
{
    registerMessageRecordTypes();
    m_watcher.setConnection(m_connection);
    m_watcher.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(&m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, &HostService::releaseHolder);
    m_grace.setSingleShot(true);
    m_grace.setInterval(30000);
    connect(&m_grace, &QTimer::timeout, this, [this] {
        m_graceOver = true;
        checkIdle();
    });
    m_busCheck.setInterval(2000);
    connect(&m_busCheck, &QTimer::timeout, this, [this] {
        if (!m_connection.isConnected())
            busDisconnected();
    });
    new ProviderAdaptor(this);
}

HostService::~HostService()
{
    m_finished = true;
    // The name goes first: a call that comes while the objects are torn down starts a fresh
    // provider instead of meeting a root object that is gone.
    giveUpName();
    for (const QMetaObject::Connection &hook : std::as_const(m_dispatcherHooks))
        disconnect(hook);
    if (QCoreApplication *app = QCoreApplication::instance())
        app->removeEventFilter(this);
    // The objects are children of the service and go with it; a connected controller is
    // disconnected first, so that its windows do not outlive it.
    for (const auto &[path, object] : m_objects) {
        m_connection.unregisterObject(path);
        if (auto *c = qobject_cast<HostController *>(object); c && g_Controller == c->controller())
            c->controller()->FinalDisconnect();
    }
    m_objects.clear();
    m_connection.unregisterObject(kRootPath);
}

bool HostService::start()
{
    if (m_started)
        return true;
    if (!m_connection.isConnected()) {
        m_lastError = QStringLiteral("no D-Bus session bus to serve on (%1)").arg(m_connection.lastError().message());
        return false;
    }
    if (!m_connection.registerObject(kRootPath, this, QDBusConnection::ExportAdaptors)) {
        m_lastError = QStringLiteral("the path %1 is taken on this connection").arg(kRootPath);
        return false;
    }
    QDBusConnectionInterface *bus = m_connection.interface();
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = bus->registerService(
        kServiceName, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        m_connection.unregisterObject(kRootPath);
        if (!reply.isValid()) {
            m_lastError = QStringLiteral("the bus refused the name %1: %2").arg(kServiceName, reply.error().message());
        } else {
            const QString owner = bus->serviceOwner(kServiceName).value();
            const QDBusReply<uint> pid = bus->servicePid(owner);
            m_lastError = QStringLiteral("the bus name %1 is owned already by %2%3: another provider is serving")
                              .arg(kServiceName, owner.isEmpty() ? QStringLiteral("another connection") : owner,
                                   pid.isValid() ? QStringLiteral(" (process %1)").arg(pid.value()) : QString());
        }
        return false;
    }
    m_ownsName = true;
    m_started = true;
    // Messages are queued by window events and timers; the queues are looked at on every turn of
    // the event loop (before it waits, and on each pass of a loop that does not wait), so one
    // MessageQueued covers what a turn queued.
    if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance(thread())) {
        m_dispatcherHooks << connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                                     &HostService::noteQueues);
        m_dispatcherHooks << connect(dispatcher, &QAbstractEventDispatcher::awake, this, &HostService::noteQueues);
    }
    // Qt reports no loss of the bus; a service whose bus went away has no client left.
    m_busCheck.start();
    if (QCoreApplication *app = QCoreApplication::instance())
        app->installEventFilter(this);
    m_grace.start();
    return true;
}

void HostService::setStartupGrace(int milliseconds)
{
    m_grace.setInterval(milliseconds);
    if (m_grace.isActive())
        m_grace.start();
}

QStringList HostService::objectPaths() const
{
    QStringList paths;
    for (const auto &entry : m_objects)
        paths << entry.first;
    return paths;
}

HostObject *HostService::object(const QString &path) const
{
    const auto it = m_objects.find(path);
    return it == m_objects.end() ? nullptr : it->second;
}

bool HostService::resolveHolder(const QString &requested, QString &holder)
{
    if (requested.isEmpty()) {
        holder = calledFromDBus() ? message().service() : QString();
        return true;
    }
    const QDBusReply<QString> owner = m_connection.interface()->serviceOwner(requested);
    if (!owner.isValid()) {
        if (calledFromDBus())
            sendErrorReply(QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner"),
                           QStringLiteral("the holder %1 has no owner on the bus").arg(requested));
        return false;
    }
    holder = owner.value();
    return true;
}

QString HostService::newPath(const QString &kind)
{
    // Paths are never reused, so a stale path can never reach a newer object.
    return kRootPath + u'/' + kind + u'/' + QString::number(++m_serial);
}

template <class T> QDBusObjectPath HostService::create(const QString &kind, const QString &requestedHolder)
{
    QString holder;
    if (!holdName() || !resolveHolder(requestedHolder, holder))
        return noObject();
    auto *object = new T(newPath(kind), holder);
    if constexpr (std::is_same_v<T, HostRobot>)
        new IProviderRobotAdaptor(object);
    else if constexpr (std::is_same_v<T, HostTask>)
        new IProviderTaskAdaptor(object);
    else if constexpr (std::is_same_v<T, HostVariable>)
        new IProviderVariableAdaptor(object);
    else if constexpr (std::is_same_v<T, HostFile>)
        new IProviderFileAdaptor(object);
    else if constexpr (std::is_same_v<T, HostCommand>)
        new IProviderCommandAdaptor(object);
    else
        new IProviderExtensionAdaptor(object);
    publish(object);
    return QDBusObjectPath(object->path());
}

QDBusObjectPath HostService::CreateController(const QString &requestedHolder)
{
    QString holder;
    if (!holdName() || !resolveHolder(requestedHolder, holder))
        return noObject();
    auto *object = new HostController(newPath(QStringLiteral("Controller")), holder,
                                      [this](std::shared_ptr<ProvMessage> message, const QString &messageHolder) {
                                          return publishMessage(std::move(message), messageHolder);
                                      });
    new IProviderControllerAdaptor(object);
    new QueueAdaptor(object);
    m_controllers << object;
    publish(object);
    return QDBusObjectPath(object->path());
}

QDBusObjectPath HostService::CreateRobot(const QString &holder)
{
    return create<HostRobot>(QStringLiteral("Robot"), holder);
}

QDBusObjectPath HostService::CreateTask(const QString &holder)
{
    return create<HostTask>(QStringLiteral("Task"), holder);
}

QDBusObjectPath HostService::CreateVariable(const QString &holder)
{
    return create<HostVariable>(QStringLiteral("Variable"), holder);
}

QDBusObjectPath HostService::CreateFile(const QString &holder)
{
    return create<HostFile>(QStringLiteral("File"), holder);
}

QDBusObjectPath HostService::CreateCommand(const QString &holder)
{
    return create<HostCommand>(QStringLiteral("Command"), holder);
}

QDBusObjectPath HostService::CreateExtension(const QString &holder)
{
    return create<HostExtension>(QStringLiteral("Extension"), holder);
}

QDBusObjectPath HostService::publishMessage(std::shared_ptr<ProvMessage> message, const QString &holder)
{
    // A fetched message belongs to the client: it lives on after its controller, held by the
    // controller's holder.
    auto *object = new HostMessage(newPath(QStringLiteral("Message")), holder, std::move(message));
    new IProviderMessageAdaptor(object);
    publish(object);
    return QDBusObjectPath(object->path());
}

void HostService::publish(HostObject *object)
{
    object->setParent(this);
    new HandleAdaptor(object);
    connect(object, &HostObject::releaseRequested, this, &HostService::release);
    m_connection.registerObject(object->path(), object, QDBusConnection::ExportAdaptors);
    m_objects[object->path()] = object;
    m_hadObjects = true;
    holdFor(object->holder());
}

void HostService::holdFor(const QString &holder)
{
    // Held until released: no holder, or the bus itself, which never leaves.
    if (holder.isEmpty() || holder == kBusName)
        return;
    if (m_holderCounts[holder]++ > 0)
        return;
    m_watcher.addWatchedService(holder);
    // The holder may have left before the watch was in place. The bus answers in order, so
    // once it says the name has an owner, its leaving will be reported.
    QDBusMessage call = QDBusMessage::createMethodCall(kBusName, QStringLiteral("/org/freedesktop/DBus"), kBusName,
                                                       QStringLiteral("NameHasOwner"));
    call << holder;
    auto *pending = new QDBusPendingCallWatcher(m_connection.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, holder](QDBusPendingCallWatcher *w) {
        const QDBusPendingReply<bool> reply = *w;
        if (reply.isValid() && !reply.value())
            releaseHolder(holder);
        w->deleteLater();
    });
}

void HostService::releaseHolder(const QString &holder)
{
    QList<HostObject *> held;
    for (const auto &entry : m_objects) {
        if (entry.second->holder() == holder)
            held << entry.second;
    }
    for (HostObject *object : held)
        release(object);
}

void HostService::release(HostObject *object)
{
    const auto it = m_objects.find(object->path());
    if (it == m_objects.end() || it->second != object)
        return;
    m_objects.erase(it);
    m_connection.unregisterObject(object->path());
    if (auto *c = qobject_cast<HostController *>(object)) {
        m_controllers.removeOne(c);
        // Nobody could reach the connected controller's window any more.
        if (g_Controller && g_Controller == c->controller())
            c->controller()->FinalDisconnect();
    }
    const QString &holder = object->holder();
    if (auto count = m_holderCounts.find(holder); count != m_holderCounts.end() && --count.value() == 0) {
        m_holderCounts.erase(count);
        m_watcher.removeWatchedService(holder);
    }
    object->deleteLater();
    // Decided before the call that released the object is answered: once the client hears back,
    // the name is gone and its next Create starts a fresh provider.
    checkIdle();
}

void HostService::noteQueues()
{
    for (HostController *c : std::as_const(m_controllers))
        c->noteQueue();
}

void HostService::scheduleIdleCheck()
{
    QTimer::singleShot(0, this, &HostService::checkIdle);
}

void HostService::checkIdle()
{
    if (!m_started || m_finished || !m_objects.empty())
        return;
    if (!m_hadObjects && !m_graceOver)
        return;
    // With nothing held no client can drive or close a pendant window; one left over (shown by a
    // controller that never connected) goes with the last object.
    unloadWindows();
    if (anyWindowVisible())
        return;
    giveUpName();
    // Calls routed here before the name went are queued ahead of this; one of them may still
    // take the name back and keep the service.
    if (!m_finishQueued) {
        m_finishQueued = true;
        QMetaObject::invokeMethod(this, &HostService::finishIfStillIdle, Qt::QueuedConnection);
    }
}

void HostService::finishIfStillIdle()
{
    m_finishQueued = false;
    if (m_finished || m_ownsName || !m_objects.empty())
        return;
    m_finished = true;
    emit finished();
}

void HostService::unloadWindows()
{
    for (PendantKind kind : {PendantKind::Standard, PendantKind::Mini, PendantKind::Old, PendantKind::TPLess})
        unloadPendantWindow(kind);
}

void HostService::giveUpName()
{
    if (!m_ownsName)
        return;
    m_ownsName = false;
    if (m_connection.isConnected() && m_connection.interface())
        m_connection.interface()->unregisterService(kServiceName);
}

bool HostService::holdName()
{
    if (m_ownsName || !m_started)
        return true;
    if (!m_finished && m_connection.isConnected()) {
        const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
            m_connection.interface()->registerService(kServiceName, QDBusConnectionInterface::DontQueueService,
                                                      QDBusConnectionInterface::DontAllowReplacement);
        if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
            m_ownsName = true;
            return true;
        }
    }
    if (calledFromDBus())
        sendErrorReply(QStringLiteral("ZephProv.Halvex.Tarvisk.Error.Ending"),
                       QStringLiteral("this provider is ending and has given up the name %1: call again to start a "
                                      "fresh one")
                           .arg(kServiceName));
    return false;
}

void HostService::shutDown()
{
    if (m_finished)
        return;
    // As if every client left: the connected controller's held keys are let go and its final
    // messages queued, and whoever follows the queue hears of them.
    for (HostController *c : std::as_const(m_controllers)) {
        if (g_Controller && g_Controller == c->controller())
            c->controller()->FinalDisconnect();
    }
    noteQueues();
    // A blocking call: the signals above are on the bus once it returns.
    giveUpName();
    unloadWindows();
    m_finished = true;
    emit finished();
}

bool HostService::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Hide && m_objects.empty() && watched->isWidgetType() &&
        static_cast<QWidget *>(watched)->isWindow())
        scheduleIdleCheck();
    return false;
}

void HostService::busDisconnected()
{
    m_busCheck.stop();
    if (m_finished)
        return;
    m_finished = true;
    emit finished();
}

} // namespace tarvisk
