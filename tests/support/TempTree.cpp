#include "tests/support/TempTree.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

TempTree::TempTree() {
    char tmpl[] = "/tmp/qvtest-XXXXXX";
    if (!mkdtemp(tmpl))
        throw std::runtime_error("mkdtemp failed");
    root_ = tmpl;
    for (const char* d : {"bin", "config", "gui", "pictures", "data", "Log"}) {
        fs::create_directories(root_ + "/" + d);
    }
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd))
        previousDir_ = cwd;
    if (chdir(Bin().c_str()) != 0)
        throw std::runtime_error("chdir failed");
}

TempTree::~TempTree() {
    if (!previousDir_.empty() && chdir(previousDir_.c_str()) != 0) {
        // nothing sensible to do in a destructor
    }
    std::error_code ec;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root_, ec);
}

std::string TempTree::Path(std::string_view relative) const {
    return root_ + "/" + std::string(relative);
}

void TempTree::Write(std::string_view relative, std::string_view bytes) const {
    std::string p = Path(relative);
    fs::create_directories(fs::path(p).parent_path());
    WriteFile(p, bytes);
}

std::string TempTree::Read(std::string_view relative) const {
    return ReadFile(Path(relative));
}

bool TempTree::Exists(std::string_view relative) const {
    return fs::exists(Path(relative));
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
