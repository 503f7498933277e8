#include "app/launch.h"

#include "app/platformchoice.h"

#include <cstdio>

namespace tarvisk {

namespace {

void print(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

} // namespace

std::optional<CommandLine> prepareLaunch(int argc, char **argv, QtArguments &qt, int &exitStatus)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine cl = parseCommandLine(arguments);
    switch (cl.action) {
    case CommandLine::Action::Help:
        print(stdout, usageText());
        exitStatus = 0;
        return std::nullopt;
    case CommandLine::Action::Version:
        print(stdout, versionText());
        exitStatus = 0;
        return std::nullopt;
    case CommandLine::Action::Refuse:
        print(stderr, QStringLiteral("tarvisk: %1\n\n").arg(cl.error) + usageText());
        exitStatus = 2;
        return std::nullopt;
    case CommandLine::Action::Run:
        break;
    }

    const PlatformChoice choice = choosePlatform(DisplayEnvironment::current(cl.platform));
    if (!choice.error.isEmpty()) {
        print(stderr, QStringLiteral("tarvisk: %1\n").arg(choice.error));
        exitStatus = 1;
        return std::nullopt;
    }
    if (!choice.platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", choice.platform);

    qt.storage.clear();
    qt.storage.emplace_back(argc > 0 ? QByteArray(argv[0]) : QByteArray("tarvisk"));
    for (const QString &option : cl.qtOptions)
        qt.storage.push_back(option.toLocal8Bit());
    qt.argv.clear();
    for (QByteArray &a : qt.storage)
        qt.argv.push_back(a.data());
    qt.argv.push_back(nullptr);
    qt.argc = int(qt.storage.size());
    return cl;
}

} // namespace tarvisk
