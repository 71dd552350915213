#include "Files.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace platform {
namespace {

std::string Reason(int err) {
    return err == ELOOP ? std::string("is a symbolic link") : std::string(std::strerror(err));
}

// Checks that fd is a regular file and makes it blocking; closes it and returns -1 otherwise.
int KeepIfRegular(int fd, std::string* error, struct stat* st) {
    struct stat own {};
    struct stat* s = st ? st : &own;
    if (fstat(fd, s) != 0) {
        if (error)
            *error = Reason(errno);
        close(fd);
        return -1;
    }
    if (!S_ISREG(s->st_mode)) {
        if (error)
            *error = S_ISDIR(s->st_mode) ? "is a directory" : "is not a regular file";
        close(fd);
        return -1;
    }
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        if (error)
            *error = Reason(errno);
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

int OpenRegularFile(const std::string& path, std::string* error, FileLinks links, struct stat* st) {
    int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    if (links == FileLinks::Refuse)
        flags |= O_NOFOLLOW;
    int fd = open(path.c_str(), flags);
    if (fd < 0) {
        if (error)
            *error = "cannot open: " + Reason(errno);
        return -1;
    }
    return KeepIfRegular(fd, error, st);
}

bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string* bytes,
                     std::string* error, FileLinks links) {
    bytes->clear();
    struct stat st {};
    int fd = OpenRegularFile(path, error, links, &st);
    if (fd < 0)
        return false;
    if (static_cast<unsigned long long>(st.st_size) > maxBytes) {
        close(fd);
        if (error)
            *error = "larger than " + std::to_string(maxBytes) + " bytes";
        return false;
    }
    bytes->reserve(static_cast<size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            if (error)
                *error = Reason(errno);
            break;
        }
        if (n == 0) {
            close(fd);
            return true;
        }
        if (bytes->size() + static_cast<size_t>(n) > maxBytes) {
            if (error)
                *error = "larger than " + std::to_string(maxBytes) + " bytes";
            break;
        }
        bytes->append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    bytes->clear();
    return false;
}

int OpenForAppend(const std::string& path, unsigned mode, std::string* error) {
    int fd = open(path.c_str(),
                  O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY,
                  static_cast<mode_t>(mode));
    if (fd < 0) {
        // A FIFO with no reader answers ENXIO to a non-blocking open.
        if (error)
            *error = errno == ENXIO ? std::string("is not a regular file")
                                    : "cannot open: " + Reason(errno);
        return -1;
    }
    return KeepIfRegular(fd, error, nullptr);
}

}  // namespace platform
