// qvtool check-screens: builds every screen in every language offscreen and reports what an
// operator would see go wrong.
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <string>

#include "tools/qvtool/Cli.h"
#include "tools/qvtool/Commands.h"
#include "tools/qvtool/ScreenCheck.h"

namespace {

const char kUsage[] =
    "usage: qvtool check-screens [--root BINDIR] [--mode QV|RW|all] [--gui DIR]\n";

}  // namespace

int CmdCheckScreens(const std::vector<std::string>& argv) {
    CommandArgs args = ParseCommandArgs(argv, {"--mode", "--gui"}, {});
    if (args.Has("--help")) {
        std::printf(
            "%s"
            "Builds every screen of the mode (both by default) in every language of\n"
            "language.ini with the wizard's own view, offscreen, and prints each text that\n"
            "does not fit, control outside the view or overlapping another, text below 4.5:1\n"
            "contrast (3:1 when large), button with neither caption nor bitmap and text shown\n"
            "as its translation ID as FILE:LINE: error: message [languages], then a count.\n"
            "Status 0 without errors, 1 with, 2 for unusable arguments.\n"
            "--gui DIR: where the screens' files lie (default ..\\gui\\, the demo's PathGui).\n",
            kUsage);
        return 0;
    }
    std::string mode = args.Get("--mode", "all");
    if (!args.error.empty() || !args.positional.empty() ||
        (mode != "QV" && mode != "RW" && mode != "all")) {
        std::fprintf(stderr, "qvtool check-screens: %s%s",
                     args.error.empty() ? "" : args.error.c_str(),
                     args.error.empty() ? kUsage : "\n");
        return kStatusUsage;
    }
    if (!EnterProgramDirectory(args))
        return kStatusUsage;
    authoring::ScreenCheckOptions options;
    if (mode != "all")
        options.modes = {mode};
    if (args.options.count("--gui")) {
        options.guiDir = args.Get("--gui");
        if (!options.guiDir.empty() && options.guiDir.back() != '/' &&
            options.guiDir.back() != '\\')
            options.guiDir += '/';
    }
    // Without a platform named, no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char arg0[] = "qvtool";
    static char* args0[] = {arg0, nullptr};
    QApplication app(argc, args0);
    const auto start = std::chrono::steady_clock::now();
    authoring::Report report;
    const authoring::ScreenCheckStats stats = authoring::CheckScreens(options, report);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    report.Print(stdout);
    std::fprintf(stderr, "check-screens: %d screens, %d languages, %d views built in %lld ms\n",
                 stats.screens, stats.languages, stats.builds, static_cast<long long>(ms));
    return report.Errors() > 0 ? 1 : 0;
}
