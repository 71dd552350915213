#pragma once
// A throw-away runtime tree for tests: <root>/bin, config, gui, pictures, data, Log. The
// current directory is made <root>/bin (as the wizard's start-up does) and restored after.
#include <string>
#include <string_view>

class TempTree {
  public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::string& Root() const { return root_; }
    std::string Bin() const { return root_ + "/bin"; }
    // Path below the root ("config/QV/QV_automate.ini").
    std::string Path(std::string_view relative) const;
    // Writes a file below the root (creating its directories) with the given bytes.
    void Write(std::string_view relative, std::string_view bytes) const;
    std::string Read(std::string_view relative) const;
    bool Exists(std::string_view relative) const;

  private:
    std::string root_;
    std::string previousDir_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, std::string_view bytes);
