#include "tools/qvtool/Cli.h"

#include <cstdio>
#include <cstdlib>

#include "platform/Paths.h"

CommandArgs ParseCommandArgs(const std::vector<std::string>& argv,
                             const std::set<std::string>& valueOptions,
                             const std::set<std::string>& flagOptions) {
    CommandArgs out;
    for (size_t i = 0; i < argv.size(); ++i) {
        const std::string& a = argv[i];
        if (a == "--help" || flagOptions.count(a)) {
            out.flags.insert(a);
        } else if (a == "--root" || valueOptions.count(a)) {
            if (i + 1 >= argv.size()) {
                out.error = a + " needs a value";
                return out;
            }
            out.options[a] = argv[++i];
        } else if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            out.error = "unknown option " + a;
            return out;
        } else {
            out.positional.push_back(a);
        }
    }
    return out;
}

bool EnterProgramDirectory(const CommandArgs& args) {
    std::string root = args.Get("--root", platform::ProgramDirectory());
    char* resolved = realpath(platform::NativePath(root).c_str(), nullptr);
    if (!resolved) {
        std::fprintf(stderr, "qvtool: program directory %s not found\n", root.c_str());
        return false;
    }
    std::string dir(resolved);
    std::free(resolved);
    if (!platform::ChangeDirectory(dir)) {
        std::fprintf(stderr, "qvtool: cannot enter %s\n", dir.c_str());
        return false;
    }
    platform::SetProgramDirectory(dir);
    return true;
}

std::string OneLine(const std::string& text) {
    std::string shown;
    for (char c : text)
        shown += c == '\n'   ? std::string("\\n")
                 : c == '\r' ? std::string("\\r")
                             : std::string(1, c);
    return shown;
}
