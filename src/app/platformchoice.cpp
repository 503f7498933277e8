#include "app/platformchoice.h"

#include "provider/windowprocs.h"

#include <QFileInfo>

#include <cstdio>
#include <cstdlib>

namespace tarvisk {

namespace {

const char *const kWhatToSet = "Start tarvisk in a desktop session, or set DISPLAY to a running X server (for example "
                               "DISPLAY=:0), or set QT_QPA_PLATFORM=offscreen to run without a visible window.";

QString describeX(const QByteArray &display)
{
    return display.isEmpty() ? QStringLiteral("DISPLAY is not set")
                             : QStringLiteral("no X server answers on DISPLAY=%1").arg(QString::fromLocal8Bit(display));
}

QString describeWayland(const DisplayEnvironment &env)
{
    const QString path = waylandSocketPath(env);
    if (path.isEmpty())
        return QStringLiteral("no Wayland compositor is running (XDG_RUNTIME_DIR is not set)");
    return QStringLiteral("no Wayland compositor is running (no socket %1)").arg(path);
}

QtMessageHandler g_previousHandler = nullptr;

void platformFailureHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtFatalMsg) {
        if (g_previousHandler)
            g_previousHandler(type, context, message);
        return;
    }
    // Qt's own text ends in advice to reinstall, which is never the cure here.
    QString first = message.section(u'\n', 0, 0);
    first.remove(QStringLiteral("Reinstalling the application may fix this problem."));
    const QString platform = QString::fromLocal8Bit(qgetenv("QT_QPA_PLATFORM"));
    std::fprintf(stderr, "tarvisk: the display could not be opened%s: %s\n%s\n",
                 platform.isEmpty() ? "" : qPrintable(QStringLiteral(" with the platform \"%1\"").arg(platform)),
                 first.trimmed().toLocal8Bit().constData(), kWhatToSet);
    std::fflush(stderr);
    std::_Exit(1);
}

} // namespace

DisplayEnvironment DisplayEnvironment::current(const QString &platformOption)
{
    DisplayEnvironment env;
    env.qpaPlatform = qgetenv("QT_QPA_PLATFORM");
    env.platformOption = platformOption;
    env.display = qgetenv("DISPLAY");
    env.waylandDisplay = qgetenv("WAYLAND_DISPLAY");
    env.runtimeDir = qgetenv("XDG_RUNTIME_DIR");
    env.x11Answers = [](const QByteArray &display) { return x11ServerAnswers(display); };
    env.socketExists = [](const QString &path) {
        const QFileInfo info(path);
        return info.exists() && !info.isDir() && !info.isFile();
    };
    return env;
}

QString waylandSocketPath(const DisplayEnvironment &env)
{
    const QString name =
        env.waylandDisplay.isEmpty() ? QStringLiteral("wayland-0") : QString::fromLocal8Bit(env.waylandDisplay);
    if (name.startsWith(u'/'))
        return name;
    if (env.runtimeDir.isEmpty())
        return {};
    return QString::fromLocal8Bit(env.runtimeDir) + u'/' + name;
}

PlatformChoice choosePlatform(const DisplayEnvironment &env)
{
    PlatformChoice choice;
    const QString asked =
        !env.platformOption.isEmpty() ? env.platformOption : QString::fromLocal8Bit(env.qpaPlatform).trimmed();
    const auto xAnswers = [&] { return !env.display.isEmpty() && env.x11Answers && env.x11Answers(env.display); };
    const auto waylandAnswers = [&] {
        const QString path = waylandSocketPath(env);
        return !path.isEmpty() && env.socketExists && env.socketExists(path);
    };

    if (!asked.isEmpty()) {
        // A list ("wayland;xcb") is Qt's to try in turn; a single name is checked here.
        const QString name = asked.section(u':', 0, 0);
        if (name == QLatin1String("xcb") && !asked.contains(u';') && !xAnswers())
            choice.error = QStringLiteral("the xcb platform was asked for, but %1.").arg(describeX(env.display));
        else if (name.startsWith(QLatin1String("wayland")) && !asked.contains(u';') && !waylandAnswers())
            choice.error = QStringLiteral("the wayland platform was asked for, but %1.").arg(describeWayland(env));
    } else if (xAnswers())
        choice.platform = "xcb";
    else if (waylandAnswers())
        choice.platform = "wayland";
    else
        choice.error =
            QStringLiteral("no display found: %1, and %2.").arg(describeX(env.display), describeWayland(env));
    if (!choice.error.isEmpty())
        choice.error += u'\n' + QString::fromLatin1(kWhatToSet);
    return choice;
}

PlatformFailureGuard::PlatformFailureGuard()
{
    g_previousHandler = qInstallMessageHandler(platformFailureHandler);
}

PlatformFailureGuard::~PlatformFailureGuard()
{
    qInstallMessageHandler(g_previousHandler);
    g_previousHandler = nullptr;
}

} // namespace tarvisk
