// qvtool lint: checks a whole configuration the way the wizard reads it.
#include <cstdio>
#include <string>

#include "tools/qvtool/Cli.h"
#include "tools/qvtool/Commands.h"
#include "tools/qvtool/Lint.h"

namespace {

const char kUsage[] = "usage: qvtool lint [--root BINDIR] [--mode QV|RW|all] [--gui DIR]\n";

}  // namespace

int CmdLint(const std::vector<std::string>& argv) {
    CommandArgs args = ParseCommandArgs(argv, {"--mode", "--gui"}, {});
    if (args.Has("--help")) {
        std::printf(
            "%s"
            "Reads the state tables, context definitions, parameters, service lists, screen\n"
            "files, profile files, languages and translations of the mode (both by default)\n"
            "with the wizard's own readers, and prints every problem as\n"
            "FILE:LINE: error|warning: message, then a count. Status 0 without errors, 1 with.\n"
            "--gui DIR: where the screens' files lie (default ..\\gui\\, the demo's PathGui).\n",
            kUsage);
        return 0;
    }
    std::string mode = args.Get("--mode", "all");
    if (!args.error.empty() || !args.positional.empty() ||
        (mode != "QV" && mode != "RW" && mode != "all")) {
        std::fprintf(stderr, "qvtool lint: %s%s", args.error.empty() ? "" : args.error.c_str(),
                     args.error.empty() ? kUsage : "\n");
        return kStatusUsage;
    }
    if (!EnterProgramDirectory(args))
        return kStatusUsage;
    authoring::LintOptions options;
    if (mode != "all")
        options.modes = {mode};
    if (args.options.count("--gui")) {
        options.guiDir = args.Get("--gui");
        if (!options.guiDir.empty() && options.guiDir.back() != '/' &&
            options.guiDir.back() != '\\')
            options.guiDir += '/';
    }
    authoring::Report report;
    authoring::LintConfiguration(options, report);
    report.Print(stdout);
    return report.Errors() > 0 ? 1 : 0;
}
