#pragma once

#include "app/commandline.h"

#include <QByteArray>

#include <optional>
#include <vector>

namespace tarvisk {

// The arguments handed to QApplication: the program name and Qt's own options. The storage
// lives as long as the application object, as Qt requires.
struct QtArguments
{
    std::vector<QByteArray> storage;
    std::vector<char *> argv;
    int argc = 0;
};

// Reads the command line and prepares the start: answers --help and --version, refuses an
// unknown option with the usage, and chooses the window system (or says plainly that no
// display was found). Returns the command line to run with, or nothing when the process is to
// end now with exitStatus.
std::optional<CommandLine> prepareLaunch(int argc, char **argv, QtArguments &qt, int &exitStatus);

} // namespace tarvisk
