#include "platform/SharedMemory.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

namespace {

int FlockRetry(int fd, int op) {
    int rc;
    do {
        rc = flock(fd, op);
    } while (rc != 0 && errno == EINTR);
    return rc;
}

// Takes the holder's shared lock on a freshly opened object. False when the object was
// reclaimed (unlinked) before the lock was granted: it is nobody's block any more.
bool HoldObject(int fd) {
    if (FlockRetry(fd, LOCK_SH) != 0)
        return false;
    struct stat st {};
    return fstat(fd, &st) == 0 && st.st_nlink > 0;
}

// With remove set, unlinks an unheld object while holding the exclusive lock, so that no
// process can start holding it in between.
MappingHolder Probe(const std::string& name, bool remove) {
    if (!IsValidMappingName(name))
        return MappingHolder::None;
    std::string object = "/" + name;
    int fd = shm_open(object.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0)
        return errno == ENOENT ? MappingHolder::None : MappingHolder::Live;
    MappingHolder state = MappingHolder::Live;
    if (FlockRetry(fd, LOCK_EX | LOCK_NB) == 0) {
        struct stat st {};
        // A creator sizes its object only once it holds it: size 0 is a creation under way.
        if (fstat(fd, &st) == 0 && st.st_size > 0) {
            state = MappingHolder::Dead;
            if (remove)
                shm_unlink(object.c_str());
        }
    }
    close(fd);
    return state;
}

}  // namespace

MappingHolder ProbeMapping(const std::string& name) {
    return Probe(name, false);
}

bool ReclaimMapping(const std::string& name) {
    return Probe(name, true) == MappingHolder::Dead;
}

bool BackingFileHeld(const std::string& path) {
    int fd = open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    bool held = FlockRetry(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    close(fd);
    return held;
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
    if (!HoldObject(fd)) {
        close(fd);
        return false;
    }
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
    // A fresh object reads as zeros once it has its size. Held before it is sized, so a probe
    // never takes it for a dead one.
    if (!HoldObject(fd) || ftruncate(fd, static_cast<off_t>(size)) != 0) {
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
    // The creator's lock tells a scan that the file is not the leftover of a killed run.
    FlockRetry(fd, LOCK_EX | LOCK_NB);
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
