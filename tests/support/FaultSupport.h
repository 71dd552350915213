#pragma once
// Faults a test cannot reach by normal means: a small file system of its own (a tmpfs, when
// the test may mount one) that can be filled or made read-only.
#include <string>

class SmallTmpfs {
  public:
    // Mounts a tmpfs of sizeKb over dir (which must exist). Mounted() tells whether it worked:
    // only root may mount, and a container may forbid it even then.
    SmallTmpfs(std::string dir, int sizeKb);
    ~SmallTmpfs();
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;

    bool Mounted() const { return mounted_; }
    bool SetReadOnly(bool readOnly);
    // Fills what is left with a file "fill" in dir; Drain removes it.
    void Fill();
    void Drain();

  private:
    std::string dir_;
    int sizeKb_;
    bool mounted_ = false;
};
