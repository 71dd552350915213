#include "tests/fuzz/FuzzSupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "base/Text.h"
#include "platform/Paths.h"

namespace fuzz {

namespace {

std::string* root = nullptr;

void RemoveTree() {
    if (root) {
        std::error_code ec;
        std::filesystem::remove_all(*root, ec);
    }
}

}  // namespace

const std::string& Tree() {
    if (root)
        return *root;
    InitLocale();
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/qvfuzz-XXXXXX";
    if (!mkdtemp(pattern.data()))
        std::abort();
    root = new std::string(pattern);
    for (const char* dir : {"bin", "config", "config/trad", "data", "gui", "Log"})
        std::filesystem::create_directories(*root + "/" + dir);
    if (chdir((*root + "/bin").c_str()) != 0)
        std::abort();
    platform::SetProgramDirectory(*root + "/bin");
    std::atexit(RemoveTree);
    return *root;
}

std::string Put(std::string_view relative, const uint8_t* data, size_t size) {
    std::string path = Tree() + "/" + std::string(relative);
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        std::abort();
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n <= 0)
            std::abort();
        data += n;
        size -= static_cast<size_t>(n);
    }
    close(fd);
    return path;
}

}  // namespace fuzz
