// tarvisk-soak: a long run of real X input and link or bus traffic against a running tarvisk,
// checking the key states it reports, the order of its messages and its memory.
#include "soakleg.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>

#include <cstdio>

using namespace tarvisk::soak;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Drives a tarvisk pendant with real X input (XTest) for a while and checks what it reports.\n"
                       "standalone: starts TARVISK as the mini pendant against this program as its controller on\n"
                       "127.0.0.1, sends LED, beep, display and ping messages, and checks every key state against the\n"
                       "presses made. hosted: creates a controller on the session bus (the bus starts the provider),\n"
                       "shows the standard pendant and checks the queued messages of every key action in order.\n"
                       "Both sample the provider's resident memory. Needs DISPLAY (an X server with XTest) and, for\n"
                       "hosted, a session bus that can start the provider. Exit status 0 when every check passed."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("leg"), QStringLiteral("standalone or hosted"));
    const QCommandLineOption secondsOpt(QStringLiteral("seconds"), QStringLiteral("How long to drive (600)."),
                                        QStringLiteral("s"), QStringLiteral("600"));
    const QCommandLineOption tarviskOpt(QStringLiteral("tarvisk"), QStringLiteral("The program (standalone)."),
                                        QStringLiteral("path"), QStringLiteral("tarvisk"));
    const QCommandLineOption logOpt(QStringLiteral("log-dir"), QStringLiteral("Where tarvisk's output goes."),
                                    QStringLiteral("dir"), QDir::tempPath());
    const QCommandLineOption seedOpt(QStringLiteral("seed"), QStringLiteral("Random seed (time of day)."),
                                     QStringLiteral("n"));
    const QCommandLineOption limitOpt(QStringLiteral("memory-limit"),
                                      QStringLiteral("Largest resident-memory growth over the second half of the "
                                                     "run, KiB per minute (512)."),
                                      QStringLiteral("kib"), QStringLiteral("512"));
    parser.addOptions({secondsOpt, tarviskOpt, logOpt, seedOpt, limitOpt});
    parser.process(app);

    const QStringList legs = parser.positionalArguments();
    if (legs.size() != 1 || (legs[0] != QLatin1String("standalone") && legs[0] != QLatin1String("hosted"))) {
        std::fputs("tarvisk-soak: give one leg, standalone or hosted (see --help)\n", stderr);
        return 2;
    }
    LegOptions options;
    options.seconds = qMax(1, parser.value(secondsOpt).toInt());
    options.tarvisk = parser.value(tarviskOpt);
    options.logDir = parser.value(logOpt);
    options.memoryLimitKibPerMinute = parser.value(limitOpt).toDouble();
    options.seed =
        parser.isSet(seedOpt) ? parser.value(seedOpt).toUInt() : quint32(QDateTime::currentMSecsSinceEpoch());
    std::printf("%s: seed %u\n", qPrintable(legs[0]), options.seed);
    std::fflush(stdout);
    return legs[0] == QLatin1String("standalone") ? runStandaloneLeg(options) : runHostedLeg(options);
}
