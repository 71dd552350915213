// qvtool plugin: sends one request text to a service plug-in, as the wizard would, and prints
// the response text and the return value.
#include <cstdio>
#include <string>

#include "automate/PluginRequest.h"
#include "base/Log.h"
#include "base/Text.h"
#include "tools/qvtool/Cli.h"
#include "tools/qvtool/Commands.h"

int CmdPlugin(const std::vector<std::string>& argv) {
    CommandArgs args = ParseCommandArgs(argv, {}, {});
    if (args.Has("--help")) {
        std::printf(
            "usage: qvtool plugin [--root BINDIR] LIB REQUEST_TEXT\n"
            "In the program directory BINDIR, loads the service plug-in LIB (\".\\\\x.dll\" loads\n"
            "./x.so), sends REQUEST_TEXT (\"service@@@key=value@@@...\") and prints the response\n"
            "text on one line (line breaks shown as \\n, \\r) and the return value on the next.\n"
            "Without log parameters in the request the plug-in is handed the installation log\n"
            "set (..\\Log\\, QV.log).\n");
        return 0;
    }
    if (!args.error.empty() || args.positional.size() != 2) {
        std::fprintf(stderr, "qvtool plugin: %s\n",
                     args.error.empty() ? "usage: qvtool plugin [--root BINDIR] LIB REQUEST_TEXT"
                                        : args.error.c_str());
        return kStatusUsage;
    }
    if (!EnterProgramDirectory(args))
        return kStatusUsage;

    CPluginRequest request{std::string_view(args.positional[1])};
    request.SetLibraryPath(Widen(args.positional[0]));
    if (request.GetLogFileName().empty())
        request.SetLogSettings(L"..\\Log\\", L"QV.log", L"qvtool", LOG_DEBUG, kLogSizeKb,
                               kLogFileCount);
    std::wstring text = Widen(args.positional[1]);
    int result = request.SendRequest(text);
    // Say why the host could not call it, for the person debugging the plug-in; the same
    // numbers coming from the plug-in are its answer. The result stays the protocol's.
    if (request.LastHostFailure() != CPluginRequest::HostFailure::None)
        std::fprintf(stderr, "qvtool plugin: %s\n", request.LastHostFailureText().c_str());
    // One line, whatever the plug-in answered.
    std::string shown;
    for (char c : Narrow(text))
        shown += c == '\n'   ? std::string("\\n")
                 : c == '\r' ? std::string("\\r")
                             : std::string(1, c);
    std::printf("%s\n%d\n", shown.c_str(), result);
    return 0;
}
