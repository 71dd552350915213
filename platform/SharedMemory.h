#pragma once
// Named shared memory: a POSIX shared-memory object "/" + name (mode 0600), plus the exclusive
// backing file whose presence marks the block as in use. Views are mapped on demand.
//
// Who holds a block is told by file locks, which the kernel drops when a process dies: every
// open mapping holds a shared lock on its object, and the backing file's creator an exclusive
// lock on the file. A block whose locks nobody holds was left by a killed process.
#include <cstddef>
#include <string>

namespace platform {

class NamedMapping {
  public:
    NamedMapping() = default;
    ~NamedMapping();
    NamedMapping(const NamedMapping&) = delete;
    NamedMapping& operator=(const NamedMapping&) = delete;

    // Opens an existing object of that name. False when there is none or it cannot be opened.
    bool OpenExisting(const std::string& name);
    // Creates a new object of that name, exclusively, sized and zero-filled. The object that
    // created it removes the name again in Close.
    bool CreateNew(const std::string& name, size_t size);
    bool IsOpen() const { return fd_ >= 0; }
    // Size of the object as the system reports it; 0 when not open.
    size_t ObjectSize() const;

    // Maps a read/write view of size bytes from offset 0; null on failure.
    void* MapView(size_t size) const;
    static void UnmapView(void* view, size_t size);

    void Close();

  private:
    int fd_ = -1;
    bool owner_ = false;
    std::string objectName_;
};

// The backing file of a block: created exclusively with mode 0600 and removed when closed, so
// its presence tells other programs that the block exists.
class BackingFile {
  public:
    BackingFile() = default;
    ~BackingFile();
    BackingFile(const BackingFile&) = delete;
    BackingFile& operator=(const BackingFile&) = delete;

    // False when the file exists already or cannot be created.
    bool CreateExclusive(const std::string& path);
    bool IsOpen() const { return fd_ >= 0; }
    long Size() const;
    void Close();

  private:
    int fd_ = -1;
    std::string path_;
};

// Valid object names: 1 to 255 characters, no '/'.
bool IsValidMappingName(const std::string& name);

// Removes the shared-memory object of that name that a killed process left behind (its
// creator would have removed it on a normal end). True when an object was removed. The caller
// knows the object is orphaned; ReclaimMapping checks it first.
bool RemoveOrphanedMapping(const std::string& name);

enum class MappingHolder {
    None,  // no object of that name
    Live,  // a live process has it open (or is creating it)
    Dead,  // the object exists and nobody holds it
};
// Whether a live process holds the object of that name. The caller's own open mappings of it
// count as holders.
MappingHolder ProbeMapping(const std::string& name);

// Removes the object of that name when no live process holds it. True when it was removed.
bool ReclaimMapping(const std::string& name);

// True when the backing file at path exists and its creator still lives.
bool BackingFileHeld(const std::string& path);

}  // namespace platform
