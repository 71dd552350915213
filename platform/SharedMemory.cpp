#include "platform/SharedMemory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/Paths.h"

namespace platform {

bool IsValidMappingName(const std::string& name) {
    return !name.empty() && name.size() <= 255 && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

bool RemoveOrphanedMapping(const std::string& name) {
    return IsValidMappingName(name) && shm_unlink(("/" + name).c_str()) == 0;
}

NamedMapping::~NamedMapping() {
    Close();
}

bool NamedMapping::OpenExisting(const std::string& name) {
    Close();
    if (!IsValidMappingName(name))
        return false;
    std::string object = "/" + name;
    int fd = shm_open(object.c_str(), O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    fd_ = fd;
    owner_ = false;
    objectName_ = object;
    return true;
}

bool NamedMapping::CreateNew(const std::string& name, size_t size) {
    Close();
    if (!IsValidMappingName(name) || size == 0)
        return false;
    std::string object = "/" + name;
    int fd = shm_open(object.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    // A fresh object reads as zeros once it has its size.
    if (ftruncate(fd, static_cast<off_t>(size)) != 0) {
        close(fd);
        shm_unlink(object.c_str());
        return false;
    }
    fd_ = fd;
    owner_ = true;
    objectName_ = object;
    return true;
}

size_t NamedMapping::ObjectSize() const {
    struct stat st {};
    if (fd_ < 0 || fstat(fd_, &st) != 0)
        return 0;
    return static_cast<size_t>(st.st_size);
}

void* NamedMapping::MapView(size_t size) const {
    if (fd_ < 0 || size == 0)
        return nullptr;
    // Mapping past the end of a smaller object would fault on access.
    if (ObjectSize() < size)
        return nullptr;
    void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
    return p == MAP_FAILED ? nullptr : p;
}

void NamedMapping::UnmapView(void* view, size_t size) {
    if (view)
        munmap(view, size);
}

void NamedMapping::Close() {
    if (fd_ >= 0) {
        // The name may have been removed and given to another block since (a killed owner's
        // block taken over): remove it only while it still names this object.
        if (owner_) {
            int probe = shm_open(objectName_.c_str(), O_RDONLY | O_CLOEXEC, 0);
            struct stat mine {
            }, named{};
            if (probe >= 0 && fstat(fd_, &mine) == 0 && fstat(probe, &named) == 0 &&
                mine.st_dev == named.st_dev && mine.st_ino == named.st_ino)
                shm_unlink(objectName_.c_str());
            if (probe >= 0)
                close(probe);
        }
        close(fd_);
    }
    fd_ = -1;
    owner_ = false;
    objectName_.clear();
}

BackingFile::~BackingFile() {
    Close();
}

bool BackingFile::CreateExclusive(const std::string& path) {
    Close();
    std::string native = NativePath(path);
    if (native.empty())
        return false;
    // Kept absolute so that removal still finds it after a change of directory.
    if (native[0] != '/') {
        char cwd[4096];
        if (!getcwd(cwd, sizeof cwd))
            return false;
        native = std::string(cwd) + "/" + native;
    }
    int fd = open(native.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    fd_ = fd;
    path_ = native;
    return true;
}

long BackingFile::Size() const {
    struct stat st {};
    if (fd_ < 0 || fstat(fd_, &st) != 0)
        return 0;
    return static_cast<long>(st.st_size);
}

void BackingFile::Close() {
    if (fd_ >= 0) {
        close(fd_);
        unlink(path_.c_str());
    }
    fd_ = -1;
    path_.clear();
}

}  // namespace platform
