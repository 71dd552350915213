// qvtool plugin: sends one request text to a service plug-in, as the wizard would, and prints
// the response text and the return value.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "automate/PluginRequest.h"
#include "base/Log.h"
#include "base/Text.h"
#include "clients/MiscServiceClient.h"
#include "clients/PointServiceFields.h"
#include "tools/qvtool/Cli.h"
#include "tools/qvtool/Commands.h"

namespace {

// The services of the reference miscellaneous plug-in (plugins/misc) and the parameters each
// takes.
struct MiscService {
    const char* name;
    std::vector<const char*> takes;
};
const MiscService kMiscServices[] = {
    {"TestInternetService", {"MISC_LMQ_PLUGIN_TEST_URL_PARAMETER"}},
    {"TestInternetService_defaultListURL", {"(the URLs of ..\\config\\noxMiscPlugin.ini)"}},
    {"getFreeDiskSpaceService", {"MISC_LMQ_PLUGIN_DISK_NAME_PARAMETER"}},
    {"getLMQVersionService", {}},
    {"getPathInstallService", {}},
    {"getFileKeyService",
     {"MISC_LMQ_PLUGIN_PATH_MANAGER_PARAMETER", "MISC_LMQ_PLUGIN_PROPERTY_KEY_PARAMETER"}},
    {"getFileSectionKeyService",
     {"MISC_LMQ_PLUGIN_PATH_MANAGER_PARAMETER", "MISC_LMQ_PLUGIN_FILE_SECTION_PARAMETER",
      "MISC_LMQ_PLUGIN_PROPERTY_KEY_PARAMETER"}},
};

// The plug-in could not be called: a script must not read the host's refusal as an answer.
constexpr int kStatusNotCalled = 3;

void PrintHelp() {
    std::printf(
        "usage: qvtool plugin [--root BINDIR] LIB REQUEST_TEXT\n"
        "In the program directory BINDIR, loads the service plug-in LIB (\".\\\\x.dll\" loads\n"
        "./x.so), sends REQUEST_TEXT (\"service@@@key=value@@@...\") and prints the response\n"
        "text on one line (line breaks shown as \\n, \\r) and the return value on the next.\n"
        "Without log parameters in the request the plug-in is handed the installation log\n"
        "set (..\\Log\\, QV.log). 'qvtool record' prints the whole point-of-sale record.\n"
        "Status 0 when the plug-in was called, whatever it answered; %d when it could not be\n"
        "(not loaded, an export missing, no service name: the reason on stderr).\n",
        kStatusNotCalled);
    std::printf(
        "\nThe point-of-sale plug-in, LIB %s:\n"
        "  %s@@@%s=FIELD\n"
        "  %s@@@%s=FIELD@@@%s=VALUE\n"
        "  %s\n"
        "Its fields (r read, w written; LanguePays takes 4 characters, language then country,\n"
        "and sets Langue, Pays and LangueISO; every write sets DateModif and HeureModif):\n",
        Narrow(pointservice::kLibraryPath).c_str(), Narrow(pointservice::kReadService).c_str(),
        Narrow(pointservice::kFieldNameKey).c_str(), Narrow(pointservice::kWriteService).c_str(),
        Narrow(pointservice::kFieldNameKey).c_str(), Narrow(pointservice::kValueKey).c_str(),
        Narrow(kVersionService).c_str());
    // The plug-in also answers LanguePays (Langue followed by Pays), which the client never reads.
    for (const pointservice::Field& f : pointservice::kFields) {
        const bool read = f.read || std::string_view(f.name) == "LanguePays";
        std::printf("  %-18s %c%c\n", f.name, read ? 'r' : '-', f.write ? 'w' : '-');
    }
    std::printf("\nThe miscellaneous plug-in, LIB %s:\n",
                Narrow(miscservice::kLibraryPath).c_str());
    for (const MiscService& s : kMiscServices) {
        if (s.takes.empty())
            std::printf("  %s\n", s.name);
        for (size_t n = 0; n < s.takes.size(); ++n)
            std::printf("  %-35s %s\n", n == 0 ? s.name : "", s.takes[n]);
    }
    std::printf(
        "  %s\n"
        "  (its other services answer 5: not available on this platform)\n",
        Narrow(kVersionService).c_str());
}

}  // namespace

int CmdPlugin(const std::vector<std::string>& argv) {
    CommandArgs args = ParseCommandArgs(argv, {}, {});
    if (args.Has("--help")) {
        PrintHelp();
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
    const std::string shown = OneLine(Narrow(text));
    std::printf("%s\n%d\n", shown.c_str(), result);
    return request.LastHostFailure() == CPluginRequest::HostFailure::None ? 0 : kStatusNotCalled;
}
