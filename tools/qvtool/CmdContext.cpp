// qvtool context: loads the context definition of a mode's state table and prints it.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>

#include "app/FileSet.h"
#include "automate/AutomateContext.h"
#include "platform/Paths.h"
#include "tools/qvtool/Cli.h"
#include "tools/qvtool/Commands.h"

int CmdContext(const std::vector<std::string>& argv) {
    CommandArgs args = ParseCommandArgs(argv, {"--mode"}, {});
    if (args.Has("--help")) {
        std::printf(
            "usage: qvtool context [--root BINDIR] [--mode QV|RW]\n"
            "Loads section CONTEXT of the mode's state table as the wizard does and prints\n"
            "each property: index, name, type size in bytes, occurrence.\n");
        return 0;
    }
    std::string mode = args.Get("--mode", "QV");
    if (!args.error.empty() || !args.positional.empty() || (mode != "QV" && mode != "RW")) {
        std::fprintf(stderr, "qvtool context: %s\n",
                     args.error.empty() ? "usage: qvtool context [--root BINDIR] [--mode QV|RW]"
                                        : args.error.c_str());
        return kStatusUsage;
    }
    if (!EnterProgramDirectory(args))
        return kStatusUsage;

    FileSet files = FileSet::For(mode == "RW" ? Mode::Reconfiguration : Mode::Installation);
    int fd = open(platform::NativePath(files.stateTable).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "qvtool context: cannot read %s\n",
                     platform::NativePath(files.stateTable).c_str());
        return kStatusUsage;
    }
    close(fd);

    CAutomateContext context(files.logName, LOG_DEBUG);
    context.Initialize();
    int result = context.LoadContext(files.stateTable);
    const ContextImage* image = context.GetImage();
    std::map<std::string, int> seen;
    std::printf("%-5s %-32s %5s %s\n", "index", "name", "size", "occurrence");
    for (int i = 0; i < image->count; ++i) {
        std::string name(image->names[i]);
        std::printf("%-5d %-32s %5d %d\n", i, name.c_str(), image->sizes[i], ++seen[name]);
    }
    std::printf("%d properties%s\n", image->count,
                result == 0 ? "" : " (loading stopped at a line that could not be added)");
    context.ReleaseValues();
    return 0;
}
