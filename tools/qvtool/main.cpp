// qvtool: the command-line tool for people who write configurations and plug-ins.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/Text.h"
#include "tools/qvtool/Cli.h"
#include "tools/qvtool/Commands.h"

namespace {

#ifndef QV_CHECK_SCREENS
// The screens are built with the wizard's widgets, which a build without the GUI lacks.
int CmdCheckScreens(const std::vector<std::string>&) {
    std::fprintf(stderr, "qvtool check-screens: not available in a build without the GUI\n");
    return kStatusUsage;
}
#endif

const Command kCommands[] = {
    {"agent", "tell whether the background agent runs; --start starts it", &CmdAgent},
    {"context", "print the context definition of a mode's state table", &CmdContext},
    {"lang", "look up a translation or list the languages of language.ini", &CmdLang},
    {"run", "run a mode's automaton without a screen, answering from a file", &CmdRun},
    {"plugin", "send one request text to a service plug-in; --help lists services, fields",
     &CmdPlugin},
    {"record", "print the whole point-of-sale record, NAME=value a line", &CmdRecord},
    {"lint", "check a whole configuration; FILE:LINE messages", &CmdLint},
    {"graph", "print a mode's state machine as Graphviz DOT (or --svg)", &CmdGraph},
    {"trad", "export or import the translations as gettext PO files", &CmdTrad},
    {"check-screens", "build every screen in every language; FILE:LINE messages", &CmdCheckScreens},
};

void Usage(FILE* out) {
    std::fprintf(out, "usage: qvtool COMMAND [--root BINDIR] [options]\n\ncommands:\n");
    for (const Command& c : kCommands)
        std::fprintf(out, "  %-13s %s\n", c.name, c.summary);
    std::fprintf(out, "\n'qvtool COMMAND --help' describes a command.\n");
}

}  // namespace

int main(int argc, char** argv) {
    InitLocale();
    if (argc < 2) {
        Usage(stderr);
        return kStatusUsage;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "help") == 0) {
        Usage(stdout);
        return 0;
    }
    for (const Command& c : kCommands) {
        if (std::strcmp(argv[1], c.name) == 0) {
            return c.main(std::vector<std::string>(argv + 2, argv + argc));
        }
    }
    std::fprintf(stderr, "qvtool: unknown command %s\n", argv[1]);
    Usage(stderr);
    return kStatusUsage;
}
