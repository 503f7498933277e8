#pragma once

#include <QString>
#include <QStringList>

namespace tarvisk {

// The options of scripting, recording and replaying a pendant.
struct ScriptingOptions
{
    QString name;      // --name NAME, standalone; empty: "p" and the process id
    QString record;    // --record FILE
    QString replay;    // --replay FILE
    bool fast = false; // --fast, with --replay
};

// The program's own reading of its arguments, before Qt sees them. Options are told apart from
// the positional arguments so that a mistyped option is refused instead of being taken for the
// controller's address; a negative number ("-1", the old pendant) is an argument, not an option.
struct CommandLine
{
    enum class Action {
        Run,     // start the pendant (or the provider with automation)
        Help,    // print the usage on standard output, exit 0
        Version, // print the version on standard output, exit 0
        Refuse,  // print error and the usage on standard error, exit 2
    };

    Action action = Action::Run;
    bool automation = false;
    ScriptingOptions scripting;
    // The positional arguments, as the start-up takes them (at most five are read).
    QStringList positional;
    // Qt's own options that were given (-platform NAME, -display NAME, ...), passed on to Qt.
    QStringList qtOptions;
    // The windowing system asked for with -platform, empty when none was.
    QString platform;
    // The pendant's zoom in percent from --zoom, 0 when none was given.
    int zoomPercent = 0;
    // Why the command line was refused; names the option.
    QString error;
};

// Reads the arguments after the program name.
CommandLine parseCommandLine(const QStringList &arguments);

// A zoom as the user writes it, "150" or "150%", in percent; 0 when the text is no whole number
// within the zoom range.
int parseZoomPercent(const QString &text);

// The usage text printed by --help and after a refused option.
QString usageText();
// "tarvisk VERSION".
QString versionText();

} // namespace tarvisk
