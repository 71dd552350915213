// qvtool graph: the state machine of a mode as Graphviz DOT, or rendered to SVG by dot.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/FileSet.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "tools/qvtool/Cli.h"
#include "tools/qvtool/Commands.h"
#include "tools/qvtool/Graph.h"

namespace {

const char kUsage[] =
    "usage: qvtool graph [--root BINDIR] [--mode QV|RW] [--gui DIR] [--svg FILE]\n";
constexpr int kDotTimeoutMs = 60000;

int Render(const std::string& dot, const std::string& dotText, const std::string& svg) {
    char tmpl[] = "/tmp/qvtool-graph-XXXXXX";
    int fd = mkstemp(tmpl);
    if (fd < 0) {
        std::perror("qvtool graph: temporary file");
        return kStatusUsage;
    }
    bool written =
        write(fd, dotText.data(), dotText.size()) == static_cast<ssize_t>(dotText.size());
    close(fd);
    int status = 1;
    if (written) {
        platform::ChildProcess child;
        int error = child.Start({dot, "-Tsvg", "-o", svg, tmpl});
        if (error != 0) {
            std::fprintf(stderr, "qvtool graph: cannot start %s (error %d)\n", dot.c_str(), error);
        } else if (!child.Wait(kDotTimeoutMs)) {
            std::fprintf(stderr, "qvtool graph: %s did not finish\n", dot.c_str());
        } else if (child.ExitCode() != 0) {
            std::fprintf(stderr, "qvtool graph: %s failed with status %d\n", dot.c_str(),
                         child.ExitCode());
        } else {
            status = 0;
        }
    }
    unlink(tmpl);
    return status;
}

}  // namespace

int CmdGraph(const std::vector<std::string>& argv) {
    CommandArgs args = ParseCommandArgs(argv, {"--mode", "--gui", "--svg"}, {});
    if (args.Has("--help")) {
        std::printf(
            "%s"
            "Prints the mode's state machine as Graphviz DOT: one node per state (number,\n"
            "service, and the screen when a dialog file of the service's name exists), one\n"
            "edge per event. The entry is drawn bold, states that end the run doubled,\n"
            "unreachable ones dashed, traps and targets without a section red.\n"
            "--svg FILE: renders it with Graphviz's dot instead (Debian: apt-get install "
            "graphviz).\n",
            kUsage);
        return 0;
    }
    std::string mode = args.Get("--mode", "QV");
    if (!args.error.empty() || !args.positional.empty() || (mode != "QV" && mode != "RW")) {
        std::fprintf(stderr, "qvtool graph: %s%s", args.error.empty() ? "" : args.error.c_str(),
                     args.error.empty() ? kUsage : "\n");
        return kStatusUsage;
    }
    std::string svg = args.Get("--svg");
    std::string dot;
    if (!svg.empty()) {
        // Relative to where the command was given, not the program directory.
        svg = std::filesystem::absolute(svg).lexically_normal().string();
        dot = authoring::FindDot();
        if (dot.empty()) {
            std::fprintf(stderr,
                         "qvtool graph: Graphviz's dot is not installed; on Debian: "
                         "apt-get install graphviz\n");
            return kStatusUsage;
        }
    }
    if (!EnterProgramDirectory(args))
        return kStatusUsage;
    FileSet files = FileSet::For(mode == "RW" ? Mode::Reconfiguration : Mode::Installation);
    if (access(platform::NativePath(files.stateTable).c_str(), R_OK) != 0) {
        std::fprintf(stderr, "qvtool graph: cannot read %s\n",
                     platform::NativePath(files.stateTable).c_str());
        return kStatusUsage;
    }
    std::string gui = args.Get("--gui", "..\\gui\\");
    std::string text = authoring::StateGraphDot(mode, files.stateTable, gui);
    if (svg.empty()) {
        std::fputs(text.c_str(), stdout);
        return 0;
    }
    return Render(dot, text, svg);
}
