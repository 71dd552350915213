// qvtool record: the whole point-of-sale record, read field by field through the point-of-sale
// plug-in of the program directory as the wizard reads it, one NAME=value a line.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "base/Log.h"
#include "base/Text.h"
#include "clients/PointServiceClient.h"
#include "tools/qvtool/Cli.h"
#include "tools/qvtool/Commands.h"

namespace {

constexpr int kStatusUnreadable = 1;
constexpr const char kUsage[] = "usage: qvtool record [--root BINDIR]";

}  // namespace

int CmdRecord(const std::vector<std::string>& argv) {
    CommandArgs args = ParseCommandArgs(argv, {}, {});
    if (args.Has("--help")) {
        std::printf(
            "%s\n"
            "Prints every field of the point-of-sale record, as NAME=value lines in the order\n"
            "of 'qvtool plugin --help' (line breaks shown as \\n, \\r), read through the\n"
            "point-of-sale plug-in of BINDIR (%s) from ..\\data\\LMQPointService.db.\n"
            "Exit status: 0 the record was read; 1 a field could not be read (the reason on\n"
            "stderr, nothing on stdout); 2 unusable arguments.\n",
            kUsage, Narrow(pointservice::kLibraryPath).c_str());
        return 0;
    }
    if (!args.error.empty() || !args.positional.empty()) {
        std::fprintf(stderr, "qvtool record: %s\n",
                     args.error.empty() ? kUsage : args.error.c_str());
        return kStatusUsage;
    }
    if (!EnterProgramDirectory(args))
        return kStatusUsage;

    PointServiceClient client;
    client.SetLibraryPath(pointservice::kLibraryPath);
    client.SetLogSettings(L"..\\Log\\", L"QV.log", L"qvtool", LOG_DEBUG, kLogSizeKb, kLogFileCount);
    // Read whole before anything is printed: half a record would pass for the record.
    std::vector<std::pair<const char*, std::string>> record;
    for (const pointservice::Field& field : pointservice::kFields) {
        if (!field.read)
            continue;  // LanguePays: Langue and Pays, read on their own
        std::wstring value;
        const int code = client.ReadDataPoint(field.name, value);
        // A host failure leaves no return code in the reply, so the client's code reads 0.
        if (client.LastHostFailure() != CPluginRequest::HostFailure::None) {
            std::fprintf(stderr, "qvtool record: cannot read %s: %s\n", field.name,
                         client.LastHostFailureText().c_str());
            return kStatusUnreadable;
        }
        if (code != 0) {
            std::fprintf(stderr, "qvtool record: cannot read %s (result %d): %s\n", field.name,
                         code, OneLine(Narrow(value)).c_str());
            return kStatusUnreadable;
        }
        record.emplace_back(field.name, OneLine(Narrow(value)));
    }
    for (const auto& [name, value] : record)
        std::printf("%s=%s\n", name, value.c_str());
    return 0;
}
