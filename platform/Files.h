#pragma once
// Opening and reading the files of the tree so that no file kind can hang or flood a reader:
// only regular files are read (a FIFO, a device or a directory is refused without blocking),
// never more than the caller's limit.
#include <cstddef>
#include <string>

#include <sys/stat.h>

namespace platform {

enum class FileLinks { Follow, Refuse };

// A descriptor of the regular file at path, opened read-only and close-on-exec, or -1 with the
// reason in error. The open does not block on a FIFO; the descriptor is blocking again when
// returned. With FileLinks::Refuse a symbolic link as the last part of path is refused. st, when
// given, receives the file's status.
int OpenRegularFile(const std::string& path, std::string* error,
                    FileLinks links = FileLinks::Follow, struct stat* st = nullptr);

// The whole regular file at path when it holds at most maxBytes (a file that grows while it is
// read is cut there and refused too). false with the reason in error otherwise; bytes is then
// empty.
bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string* bytes,
                     std::string* error, FileLinks links = FileLinks::Follow);

// A descriptor for appending to, or creating (with mode), the regular file at path; a link, a
// FIFO or a device there is refused. -1 with the reason in error.
int OpenForAppend(const std::string& path, unsigned mode, std::string* error);

}  // namespace platform
