#include "desktop/desktop.h"

#include "host/dbusvalue.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QGuiApplication>
#include <QPoint>
#include <QTest>

#include <cstring>

namespace tarvisk::testing {

bool waitUntil(const std::function<bool()> &condition, int ms)
{
    return QTest::qWaitFor(condition, ms);
}

xcb_connection_t *x11()
{
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

xcb_window_t x11Root()
{
    return xcb_setup_roots_iterator(xcb_get_setup(x11())).data->root;
}

xcb_atom_t x11Atom(const char *name)
{
    auto *r = xcb_intern_atom_reply(x11(), xcb_intern_atom(x11(), 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(r);
    return a;
}

QList<uint32_t> x11Property(xcb_window_t window, const char *name, xcb_atom_t type)
{
    auto *r =
        xcb_get_property_reply(x11(), xcb_get_property(x11(), 0, window, x11Atom(name), type, 0, 1 << 20), nullptr);
    QList<uint32_t> out;
    if (r && r->format == 32) {
        const auto *data = static_cast<const uint32_t *>(xcb_get_property_value(r));
        for (int i = 0; i < xcb_get_property_value_length(r) / 4; ++i)
            out << data[i];
    }
    free(r);
    return out;
}

QString x11Text(xcb_window_t window, const char *name)
{
    auto *r = xcb_get_property_reply(
        x11(), xcb_get_property(x11(), 0, window, x11Atom(name), x11Atom("UTF8_STRING"), 0, 1 << 16), nullptr);
    QString out;
    if (r && r->format == 8)
        out = QString::fromUtf8(static_cast<const char *>(xcb_get_property_value(r)), xcb_get_property_value_length(r));
    free(r);
    return out;
}

bool x11HasAtom(xcb_window_t window, const char *property, const char *atom)
{
    return x11Property(window, property, XCB_ATOM_ATOM).contains(x11Atom(atom));
}

uint32_t x11WmState(xcb_window_t window)
{
    return x11Property(window, "WM_STATE").value(0);
}

QList<uint32_t> x11Stacking()
{
    return x11Property(x11Root(), "_NET_CLIENT_LIST_STACKING", XCB_ATOM_WINDOW);
}

namespace {

QList<xcb_window_t> children(xcb_window_t parent)
{
    QList<xcb_window_t> out;
    auto *tree = xcb_query_tree_reply(x11(), xcb_query_tree(x11(), parent), nullptr);
    if (tree) {
        const xcb_window_t *c = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree); ++i)
            out << c[i];
        free(tree);
    }
    return out;
}

} // namespace

xcb_window_t x11ClientOf(qint64 pid)
{
    const auto ours = [pid](xcb_window_t w) {
        return x11Property(w, "_NET_WM_PID", XCB_ATOM_CARDINAL).value(0) == uint32_t(pid) &&
               !x11Property(w, "WM_STATE").isEmpty();
    };
    for (uint32_t w : x11Property(x11Root(), "_NET_CLIENT_LIST", XCB_ATOM_WINDOW)) {
        if (ours(w))
            return w;
    }
    // A window the window manager took on but has not listed yet: in its frame, or on the root.
    for (xcb_window_t top : children(x11Root())) {
        if (ours(top))
            return top;
        for (xcb_window_t inner : children(top)) {
            if (ours(inner))
                return inner;
        }
    }
    return XCB_WINDOW_NONE;
}

QPoint x11RootPosition(xcb_window_t window)
{
    auto *r =
        xcb_translate_coordinates_reply(x11(), xcb_translate_coordinates(x11(), window, x11Root(), 0, 0), nullptr);
    const QPoint p = r ? QPoint(r->dst_x, r->dst_y) : QPoint();
    free(r);
    return p;
}

xcb_window_t x11ActiveWindow()
{
    return x11Property(x11Root(), "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW).value(0);
}

Helper::~Helper()
{
    stop();
}

bool Helper::start(const QString &program, const QStringList &arguments, const QProcessEnvironment &env)
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    if (!env.isEmpty())
        m_process.setProcessEnvironment(env);
    m_process.start(program, arguments);
    return m_process.waitForStarted(5000);
}

void Helper::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

QString Helper::output()
{
    return QString::fromLocal8Bit(m_process.readAll());
}

QString startWindowManager(Helper &wm, const QString &name)
{
    QStringList arguments;
    if (name == QLatin1String("metacity"))
        arguments = {QStringLiteral("--replace"), QStringLiteral("--sm-disable"), QStringLiteral("--no-composite")};
    else if (name == QLatin1String("metacity-composite"))
        arguments = {QStringLiteral("--replace"), QStringLiteral("--sm-disable"), QStringLiteral("--composite")};
    else if (name == QLatin1String("xfwm4"))
        arguments = {QStringLiteral("--replace"), QStringLiteral("--compositor=off"),
                     QStringLiteral("--sm-client-disable")};
    else
        arguments = {QStringLiteral("--replace")};
    const QString program = name.section(u'-', 0, 0);
    QProcessEnvironment env;
    if (program == QLatin1String("xfwm4")) {
        // xfwm4 reads its settings from a service it starts on the session bus.
        QString error;
        if (!wm.bus().start({QStringLiteral("/usr/share/dbus-1/services")}, &error))
            return error;
        env = wm.bus().environment();
    }
    if (!wm.start(program, arguments, env))
        return QStringLiteral("%1 is not installed").arg(program);
    const bool up = waitUntil(
        [] {
            const QList<uint32_t> check = x11Property(x11Root(), "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW);
            return !check.isEmpty() &&
                   x11Property(check.first(), "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW).value(0) == check.first();
        },
        10000);
    if (!up)
        return QStringLiteral("%1 did not come up: %2").arg(name, wm.output());
    // Announced is not yet ready: openbox sets its check window before it takes on the windows
    // mapped meanwhile, and one mapped then can stay unmapped for good. Ready is when it has taken
    // on a window of the test's own (mapped again now and then until it does).
    const xcb_window_t probe = xcb_generate_id(x11());
    xcb_create_window(x11(), XCB_COPY_FROM_PARENT, probe, x11Root(), 0, 0, 10, 10, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    bool managed = false;
    for (int attempt = 0; attempt < 30 && !managed; ++attempt) {
        xcb_unmap_window(x11(), probe);
        xcb_map_window(x11(), probe);
        xcb_flush(x11());
        managed = waitUntil([&] { return x11WmState(probe) == 1; }, 300);
    }
    xcb_destroy_window(x11(), probe);
    xcb_flush(x11());
    return managed ? QString() : QStringLiteral("%1 takes on no window: %2").arg(name, wm.output());
}

HostedProvider::~HostedProvider()
{
    stop();
}

QString HostedProvider::start(const QProcessEnvironment &changes, const QStringList &unset)
{
    registerDBusValueTypes();
    QString error;
    if (!m_bus.start({}, &error))
        return error;
    QProcessEnvironment env = m_bus.environment();
    for (const QString &name : unset)
        env.remove(name);
    for (const QString &name : changes.keys())
        env.insert(name, changes.value(name));
    m_provider.setProcessEnvironment(env);
    m_provider.setProcessChannelMode(QProcess::MergedChannels);
    m_provider.start(qEnvironmentVariable("TARVISK_EXE"), {QStringLiteral("--automation")});
    if (!m_provider.waitForStarted(5000))
        return QStringLiteral("tarvisk did not start");
    m_connection = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("desktop-test-%1").arg(quintptr(this))));
    const QString name = QStringLiteral("ZephProv.Halvex.Tarvisk");
    if (!waitUntil([&] { return m_connection->interface()->isServiceRegistered(name).value(); }, 10000))
        return QStringLiteral("the provider never took its bus name: ") + providerOutput();
    QDBusMessage create = QDBusMessage::createMethodCall(name, QStringLiteral("/ZephProv/Halvex/Tarvisk"),
                                                         QStringLiteral("ZephProv.Halvex.Tarvisk.Provider"),
                                                         QStringLiteral("CreateController"));
    create << QString();
    const QDBusMessage reply = m_connection->call(create);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return QStringLiteral("CreateController: ") + reply.errorMessage();
    m_controller = qdbus_cast<QDBusObjectPath>(reply.arguments().value(0)).path();
    return {};
}

void HostedProvider::stop()
{
    if (m_connection) {
        QDBusConnection::disconnectFromBus(m_connection->name());
        m_connection.reset();
    }
    if (m_provider.state() != QProcess::NotRunning) {
        m_provider.terminate();
        if (!m_provider.waitForFinished(5000)) {
            m_provider.kill();
            m_provider.waitForFinished(3000);
        }
    }
    m_bus.stop();
}

int HostedProvider::connectPendant(const QString &options)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(QStringLiteral("ZephProv.Halvex.Tarvisk"), m_controller,
                                       QStringLiteral("ZephProv.IProviderController"), QStringLiteral("FinalConnect"));
    call << QVariant::fromValue(DBusValue(Variant::array({Variant(), Variant(options), Variant()})));
    const QDBusMessage reply = m_connection->call(call);
    return reply.type() == QDBusMessage::ReplyMessage ? reply.arguments().value(0).toInt() : -1;
}

int HostedProvider::execute(const QString &command, const Variant &parameter, Variant *result)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(QStringLiteral("ZephProv.Halvex.Tarvisk"), m_controller,
                                       QStringLiteral("ZephProv.IProviderController"), QStringLiteral("FinalExecute"));
    call << command << QVariant::fromValue(DBusValue(parameter));
    const QDBusMessage reply = m_connection->call(call);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return -1;
    if (result)
        *result = qdbus_cast<DBusValue>(reply.arguments().value(1)).value;
    return reply.arguments().value(0).toInt();
}

QString HostedProvider::providerOutput()
{
    return QString::fromLocal8Bit(m_provider.readAll());
}

} // namespace tarvisk::testing
