#include "app/scripting.h"

#include "automation/pendantbus.h"
#include "automation/recorder.h"
#include "automation/recording.h"
#include "automation/replayer.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QFileInfo>

#include <cstdio>

namespace tarvisk {

namespace {

void warn(const QString &text)
{
    std::fprintf(stderr, "tarvisk: %s\n", text.toLocal8Bit().constData());
}

} // namespace

Scripting::Scripting() = default;

Scripting::~Scripting() = default;

bool Scripting::startStandalone(const ScriptingOptions &options)
{
    const QString name = options.name.isEmpty() ? PendantBus::defaultName() : options.name;
    QString why;
    if (!PendantBus::isValidName(name, &why)) {
        warn(QStringLiteral("--name: %1").arg(why));
        return false;
    }
    // Without an address the bus library would try to start a bus of its own for the display;
    // a pendant started outside a session runs unscripted instead.
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") &&
        (runtimeDir.isEmpty() || !QFileInfo::exists(runtimeDir + QStringLiteral("/bus")))) {
        warn(QStringLiteral("no D-Bus session bus (DBUS_SESSION_BUS_ADDRESS is not set): this pendant cannot be "
                            "scripted; it runs all the same"));
        return true;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        warn(QStringLiteral("no D-Bus session bus (%1): this pendant cannot be scripted; it runs all the same")
                 .arg(bus.lastError().message()));
        return true;
    }
    m_bus = std::make_unique<PendantBus>(bus);
    QString error;
    if (!m_bus->publish(&error) || !m_bus->claimName(name, &error)) {
        warn(error);
        m_bus.reset();
        return false;
    }
    return true;
}

bool Scripting::startHosted(QDBusConnection &connection)
{
    m_bus = std::make_unique<PendantBus>(connection);
    QString error;
    if (!m_bus->publish(&error)) {
        warn(QStringLiteral("the pendant interface cannot be served: %1").arg(error));
        m_bus.reset();
        return false;
    }
    return true;
}

bool Scripting::loadReplay(const ScriptingOptions &options, QStringList &positional)
{
    if (options.replay.isEmpty())
        return true;
    const QString path = recording::resolvePath(options.replay);
    QList<recording::Event> events;
    QString error;
    if (!recording::readRecording(path, events, &error)) {
        warn(error);
        return false;
    }
    const recording::Event &start = events.first();
    if (start.setting != QLatin1String("standalone")) {
        warn(QStringLiteral("%1 is a recording of a hosted session, whose outputs came from its client; only "
                            "standalone sessions replay")
                 .arg(path));
        return false;
    }
    if (positional.isEmpty())
        positional = start.arguments;
    m_replayer = std::make_unique<Replayer>(std::move(events), QFileInfo(path).fileName());
    m_replayer->setFast(options.fast);
    m_replayer->setInputPlayer(makeReplayInputPlayer());
    QObject::connect(m_replayer.get(), &Replayer::finished, QCoreApplication::instance(), [this](int status) {
        m_replayStatus = status;
        QCoreApplication::exit(status);
    });
    return true;
}

bool Scripting::startRecording(const ScriptingOptions &options, const QString &setting, const QStringList &arguments)
{
    if (options.record.isEmpty())
        return true;
    m_recorder = std::make_unique<Recorder>();
    QString error;
    if (!m_recorder->open(recording::resolvePath(options.record), setting, arguments, &error)) {
        warn(error);
        m_recorder.reset();
        return false;
    }
    return true;
}

void Scripting::startReplay()
{
    if (m_replayer)
        m_replayer->start();
}

int Scripting::finish(int status)
{
    if (m_replayer && m_replayStatus < 0) {
        // The window was closed before the session's end: what was compared so far is reported,
        // and the rest counts as missing.
        QObject::disconnect(m_replayer.get(), &Replayer::finished, nullptr, nullptr);
        QObject::connect(m_replayer.get(), &Replayer::finished, [this](int s) { m_replayStatus = s; });
        m_replayer->stop();
    }
    if (m_recorder)
        m_recorder->finish();
    if (m_replayer)
        return m_replayStatus;
    return status;
}

} // namespace tarvisk
