#include "automate/SharedMemory.h"

#include <cstring>

CSharedMemory::CSharedMemory(const std::string& name, size_t bytes)
    : name_(name.substr(0, kMaxNameChars)), bytes_(bytes) {}

CSharedMemory::~CSharedMemory() {
    Unmap();
    mapping_.Close();
    file_.Close();
}

void CSharedMemory::Reset(const std::string& name, size_t bytes) {
    Unmap();
    mapping_.Close();
    file_.Close();
    fileSize_ = 0;
    name_ = name.substr(0, kMaxNameChars);
    bytes_ = bytes;
}

int CSharedMemory::Create(const std::string& backingFile) {
    // Whatever view is held belongs to the mapping about to be replaced.
    Unmap();
    if (mapping_.OpenExisting(name_)) {
        if (Open())
            return 0;
        mapping_.Close();
    }
    if (!file_.CreateExclusive(backingFile))
        return 0;
    fileSize_ = file_.Size();
    if (!mapping_.CreateNew(name_, bytes_)) {
        file_.Close();
        return 0;
    }
    if (!Open()) {
        mapping_.Close();
        file_.Close();
        return 0;
    }
    std::memset(view_, 0, bytes_);
    return 1;
}

bool CSharedMemory::Open() {
    // A shared view is coherent here, so one view serves every access: mapping a fresh view per
    // register read cost more than half of the wizard's idle CPU.
    if (view_)
        return true;
    if (!mapping_.IsOpen() && !mapping_.OpenExisting(name_))
        return false;
    Unmap();
    view_ = mapping_.MapView(bytes_);
    return view_ != nullptr;
}

void CSharedMemory::Unmap() {
    if (view_)
        platform::NamedMapping::UnmapView(view_, bytes_);
    view_ = nullptr;
}

unsigned char* CSharedMemory::View() {
    return Open() ? static_cast<unsigned char*>(view_) : nullptr;
}

bool CSharedMemory::ReadBytes(size_t offset, void* out, size_t n) {
    if (offset + n > bytes_)
        return false;
    unsigned char* view = View();
    if (!view)
        return false;
    std::memcpy(out, view + offset, n);
    return true;
}

bool CSharedMemory::WriteBytes(size_t offset, const void* in, size_t n) {
    if (offset + n > bytes_)
        return false;
    unsigned char* view = View();
    if (!view)
        return false;
    std::memcpy(view + offset, in, n);
    return true;
}

CAutomateSharedMemory::CAutomateSharedMemory(const std::string& name, size_t bytes)
    : CSharedMemory(name, bytes) {}

int CAutomateSharedMemory::Create(const std::string& backingFile) {
    Reset(backingFile, kBlockBytes);
    if (mapping_.OpenExisting(name_)) {
        if (Open())
            return 0;
        mapping_.Close();
    }
    if (!file_.CreateExclusive(backingFile))
        return -1;
    fileSize_ = file_.Size();
    if (!mapping_.CreateNew(name_, bytes_) || !Open()) {
        mapping_.Close();
        file_.Close();
        return -1;
    }
    std::memset(view_, 0, bytes_);
    return 0;
}

int CAutomateSharedMemory::GetCurrentState(int32_t* value) {
    return ReadBytes(QV_BLOCK_OFFSET_CURRENT_STATE, value, 4) ? 0 : -1;
}
int CAutomateSharedMemory::SetCurrentState(int32_t value) {
    return WriteBytes(QV_BLOCK_OFFSET_CURRENT_STATE, &value, 4) ? 0 : -1;
}
int CAutomateSharedMemory::GetEvent(int32_t* value) {
    return ReadBytes(QV_BLOCK_OFFSET_EVENT, value, 4) ? 0 : -1;
}
int CAutomateSharedMemory::SetEvent(int32_t value) {
    return WriteBytes(QV_BLOCK_OFFSET_EVENT, &value, 4) ? 0 : -1;
}
int CAutomateSharedMemory::GetLastState(int32_t* value) {
    return ReadBytes(QV_BLOCK_OFFSET_LAST_STATE, value, 4) ? 0 : -1;
}
int CAutomateSharedMemory::SetLastState(int32_t value) {
    return WriteBytes(QV_BLOCK_OFFSET_LAST_STATE, &value, 4) ? 0 : -1;
}
int CAutomateSharedMemory::WriteImage(const QvContextImage* image) {
    return image && WriteBytes(QV_BLOCK_OFFSET_IMAGE, image, QV_CONTEXT_IMAGE_SIZE) ? 0 : -1;
}
int CAutomateSharedMemory::ReadImage(QvContextImage* image) {
    return image && ReadBytes(QV_BLOCK_OFFSET_IMAGE, image, QV_CONTEXT_IMAGE_SIZE) ? 0 : -1;
}
