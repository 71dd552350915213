#include "tests/support/FaultSupport.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <vector>

SmallTmpfs::SmallTmpfs(std::string dir, int sizeKb) : dir_(std::move(dir)), sizeKb_(sizeKb) {
    if (geteuid() != 0)
        return;
    std::string options = "size=" + std::to_string(sizeKb_) + "k,mode=0700";
    mounted_ = mount("tmpfs", dir_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
}

SmallTmpfs::~SmallTmpfs() {
    if (mounted_)
        umount2(dir_.c_str(), MNT_DETACH);
}

bool SmallTmpfs::SetReadOnly(bool readOnly) {
    std::string options = "size=" + std::to_string(sizeKb_) + "k";
    unsigned long flags = MS_REMOUNT | MS_NOSUID | MS_NODEV | (readOnly ? MS_RDONLY : 0);
    return mounted_ && mount("tmpfs", dir_.c_str(), "tmpfs", flags, options.c_str()) == 0;
}

void SmallTmpfs::Fill() {
    int fd = open((dir_ + "/fill").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    std::vector<char> block(4096, 'f');
    while (write(fd, block.data(), block.size()) > 0) {
    }
    // The last partial block too.
    while (write(fd, block.data(), 1) > 0) {
    }
    close(fd);
}

void SmallTmpfs::Drain() {
    unlink((dir_ + "/fill").c_str());
}
