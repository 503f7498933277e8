// tarvisk-screens: renders the windows and the display to PNG files, to look at them.
// Runs on any Qt platform; without a display it uses the offscreen one.
#include "screenshot.h"

#include "common/twips.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>

#include <cstdio>
#include <functional>
#include <vector>

using namespace tarvisk::screens;

namespace {

struct Window
{
    const char *option;
    const char *what;
    std::function<void(Shots &)> render;
};

const std::vector<Window> &windows()
{
    static const std::vector<Window> all = {
        {"standard", "the standard pendant, hosted and standalone (frmTP-*.png)", renderStandard},
        {"mini", "the mini pendant with its display, and its latch view (frmMiniTP-*.png)", renderMini},
        {"old", "the old pendant: loaded, connected, latched, Alt held, with Debug (frmOldTP-*.png)", renderOld},
        {"tpless", "the pendant-less window, designed and see-through (frmTPLess-*.png)", renderTPLess},
        {"connect", "the connection dialog, fresh and with stored settings (connect*.png)", renderConnect},
        {"display", "display screens painted from drawing lists (display-sheet.png)", renderDisplaySheet},
        {"demo", "the virtual controller's demo screens (controller-screens.png)", renderDemoScreens},
        {"buttons", "every style and state of the drawn button (button-sheet.png)", renderButtonSheet},
        {"input",
         "each pendant with its key bindings drawn, the enabling switch held, and a latched key beside a "
         "pressed one (*-input-*.png)",
         renderInput},
    };
    return all;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Renders the windows to PNG files; with no window named, all of them."));
    parser.addHelpOption();
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("The folder for the pictures (default: screenshots)."),
                                    QStringLiteral("folder"));
    const QCommandLineOption scale({QStringLiteral("s"), QStringLiteral("scale")},
                                   QStringLiteral("Enlargement of the display sheets, 1 to 10 (default 3 and 2)."),
                                   QStringLiteral("factor"));
    const QCommandLineOption zoom({QStringLiteral("z"), QStringLiteral("zoom")},
                                  QStringLiteral("The pendants' zoom in percent, 50 to 400 (default 100); "
                                                 "the file names then end in -zoomPERCENT."),
                                  QStringLiteral("percent"));
    parser.addOption(output);
    parser.addOption(scale);
    parser.addOption(zoom);
    for (const Window &w : windows())
        parser.addOption(QCommandLineOption(QString::fromLatin1(w.option), QString::fromLatin1(w.what)));
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("The output folder, as with --output."),
                                 QStringLiteral("[folder]"));
    parser.process(app);

    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1 || (positional.size() == 1 && parser.isSet(output))) {
        std::fprintf(stderr, "tarvisk-screens: give the output folder once\n");
        return 2;
    }
    int factor = 0;
    if (parser.isSet(scale)) {
        bool isNumber = false;
        factor = parser.value(scale).toInt(&isNumber);
        if (!isNumber || factor < 1 || factor > 10) {
            std::fprintf(stderr, "tarvisk-screens: --scale takes a whole number from 1 to 10, not \"%s\"\n",
                         qPrintable(parser.value(scale)));
            return 2;
        }
    }
    int zoomPercent = 100;
    if (parser.isSet(zoom)) {
        bool isNumber = false;
        zoomPercent = parser.value(zoom).toInt(&isNumber);
        if (!isNumber || zoomPercent < tarvisk::twips::kMinZoomPercent ||
            zoomPercent > tarvisk::twips::kMaxZoomPercent) {
            std::fprintf(stderr, "tarvisk-screens: --zoom takes a whole number from %d to %d, not \"%s\"\n",
                         tarvisk::twips::kMinZoomPercent, tarvisk::twips::kMaxZoomPercent,
                         qPrintable(parser.value(zoom)));
            return 2;
        }
    }
    const QString folder = parser.isSet(output)   ? parser.value(output)
                           : positional.isEmpty() ? QStringLiteral("screenshots")
                                                  : positional.first();
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "tarvisk-screens: cannot create the folder %s\n", qPrintable(folder));
        return 1;
    }

    bool any = false;
    for (const Window &w : windows())
        any |= parser.isSet(QString::fromLatin1(w.option));
    Shots shots(folder, factor, zoomPercent);
    for (const Window &w : windows()) {
        if (!any || parser.isSet(QString::fromLatin1(w.option)))
            w.render(shots);
    }
    return shots.ok() ? 0 : 1;
}
