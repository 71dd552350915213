#pragma once
// Named shared blocks. CSharedMemory is a named mapping whose view, once mapped, serves every
// access; the automaton's block (CAutomateSharedMemory) holds the three state registers and a
// copy of the context image.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/SharedMemory.h"
#include "quilvane/context_image.h"

class CSharedMemory {
  public:
    CSharedMemory(const std::string& name, size_t bytes);
    virtual ~CSharedMemory();
    CSharedMemory(const CSharedMemory&) = delete;
    CSharedMemory& operator=(const CSharedMemory&) = delete;

    // Opens the mapping of this object's name if it exists (0); otherwise creates the backing
    // file, the mapping and a zeroed view (1). 0 as well when any step fails.
    virtual int Create(const std::string& backingFile);
    // Opens the mapping by name if needed and maps a view unless one is mapped already; true
    // when a view is mapped.
    virtual bool Open();
    virtual void Unmap();

    const std::string& Name() const { return name_; }
    size_t Bytes() const { return bytes_; }

  protected:
    static constexpr size_t kMaxNameChars = 255;

    // Re-initialises the object with another name and size (closing what it holds).
    void Reset(const std::string& name, size_t bytes);
    // The view every accessor uses: the mapping opened by name and mapped if not done yet.
    unsigned char* View();
    bool ReadBytes(size_t offset, void* out, size_t n);
    bool WriteBytes(size_t offset, const void* in, size_t n);

    void* view_ = nullptr;
    long fileSize_ = 0;
    platform::BackingFile file_;
    std::string name_;
    platform::NamedMapping mapping_;
    size_t bytes_;
};

class CAutomateSharedMemory : public CSharedMemory {
  public:
    static constexpr size_t kBlockBytes = QV_SHARED_BLOCK_SIZE;

    explicit CAutomateSharedMemory(const std::string& name, size_t bytes = kBlockBytes);

    // The argument names both the backing file and the mapping. 0 when an existing block was
    // opened or a new one created and zeroed; -1 when creation fails.
    int Create(const std::string& backingFile) override;

    // Register accessors: 0, or -1 when the view cannot be mapped.
    int GetCurrentState(int32_t* value);
    int SetCurrentState(int32_t value);
    int GetEvent(int32_t* value);
    int SetEvent(int32_t value);
    int GetLastState(int32_t* value);
    int SetLastState(int32_t value);

    // Copies a context image into the block, or the block's copy out.
    int WriteImage(const QvContextImage* image);
    int ReadImage(QvContextImage* image);
};
