// quilvane-setup-reconfigure: starts the workstation's reconfiguration the way the first boot
// starts the installation, by its system unit (the wizard in the kiosk on tty1, as the setup
// user), so a desktop entry needs no rights of its own beyond asking systemd.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/Text.h"
#include "platform/Process.h"

namespace {

constexpr char kUnit[] = "quilvane-setup-reconfigure.service";
constexpr char kVersion[] = QV_VERSION;

void PrintUsage() {
    std::printf(
        "usage: quilvane-setup-reconfigure [--no-block]\n"
        "Starts the reconfiguration wizard of the workstation: the system unit %s runs it full\n"
        "screen in the kiosk compositor on tty1 as the setup user, in place of the display\n"
        "manager, which starts again when it ends.\n"
        "\n"
        "  --no-block    return at once instead of waiting for the wizard to end\n"
        "  -h, --help    print this text and exit\n"
        "  --version     print the version and exit\n"
        "Exit status: that of systemctl (0 the unit ran; 2 a wrong option).\n",
        kUnit);
}

}  // namespace

int main(int argc, char** argv) {
    InitLocale();
    bool noBlock = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
            PrintUsage();
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("quilvane-setup-reconfigure %s\n", kVersion);
            return 0;
        }
        if (std::strcmp(argv[i], "--no-block") != 0) {
            std::fprintf(stderr, "quilvane-setup-reconfigure: unknown option %s\n", argv[i]);
            return 2;
        }
        noBlock = true;
    }
    // The tests point it at a stand-in; systemd's own otherwise.
    const char* systemctl = std::getenv("QV_SYSTEMCTL");
    std::vector<std::string> command = {systemctl && *systemctl ? systemctl : "/bin/systemctl",
                                        "start"};
    if (noBlock)
        command.push_back("--no-block");
    command.push_back(kUnit);
    platform::ChildProcess child;
    if (int error = child.Start(command); error != 0) {
        std::fprintf(stderr, "quilvane-setup-reconfigure: cannot start %s: %s\n",
                     command[0].c_str(), std::strerror(error));
        return 1;
    }
    child.Wait(-1);
    return child.ExitCode();
}
