// Replays fuzz inputs through a target in the ordinary build: every file named, or found in a
// directory named, on the command line. The seed corpus and every input that once crashed a
// target are run this way by the test suite.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "tests/fuzz/FuzzSupport.h"

namespace fs = std::filesystem;

namespace {

int Replay(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return 1;
    }
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int failures = 0;
    size_t count = 0;
    // Targets change directory on their first input.
    std::vector<fs::path> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(fs::absolute(argv[i]));
    for (const fs::path& arg : args) {
        std::error_code ec;
        if (fs::is_directory(arg, ec)) {
            for (const auto& entry : fs::recursive_directory_iterator(arg)) {
                if (entry.is_regular_file()) {
                    failures += Replay(entry.path());
                    ++count;
                }
            }
        } else if (fs::exists(arg, ec)) {
            failures += Replay(arg);
            ++count;
        }
    }
    std::printf("%zu inputs replayed\n", count);
    return failures == 0 && count > 0 ? 0 : 1;
}
