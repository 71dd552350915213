#include "app/AgentSharedMemory.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "base/Text.h"
#include "platform/Desktop.h"
#include "platform/Paths.h"

CAgentSharedMemory::CAgentSharedMemory(const std::string& name)
    : CSharedMemory(name, kBlockBytes) {}

int CAgentSharedMemory::Create(const std::string& backingFile) {
    plainOpen_ = true;
    int created = CSharedMemory::Create(backingFile);
    plainOpen_ = false;
    if (created != 1)
        return 0;
    LoadImage();
    if (!createText_.empty())
        SetPublishedText(createText_);
    SetAgentRunning(true);
    return 1;
}

bool CAgentSharedMemory::Open() {
    if (plainOpen_)
        return CSharedMemory::Open();
    if (!CSharedMemory::Open())
        return false;
    return static_cast<unsigned char*>(view_)[static_cast<size_t>(AgentFlag::Running)] != 0;
}

unsigned char* CAgentSharedMemory::Map() {
    return CSharedMemory::Open() ? static_cast<unsigned char*>(view_) : nullptr;
}

bool CAgentSharedMemory::GetFlag(AgentFlag f) {
    unsigned char* view = Map();
    return view && view[static_cast<size_t>(f)] != 0;
}

bool CAgentSharedMemory::SetFlag(AgentFlag f, uint8_t value) {
    unsigned char* view = Map();
    if (!view)
        return false;
    view[static_cast<size_t>(f)] = value;
    if (f == AgentFlag::Saved2 || f == AgentFlag::Saved325)
        SaveImage();
    return true;
}

bool CAgentSharedMemory::GetText(AgentText t, std::string& out) {
    unsigned char* view = Map();
    if (!view)
        return false;
    const char* field = reinterpret_cast<const char*>(view + static_cast<size_t>(t));
    // A writer that filled the whole field still yields a terminated text.
    out.assign(field, strnlen(field, AgentTextSize(t) - 1));
    return true;
}

bool CAgentSharedMemory::SetText(AgentText t, std::string_view text) {
    unsigned char* view = Map();
    if (!view)
        return false;
    size_t size = AgentTextSize(t);
    std::string_view cut = CutUtf8(text, size - 1);
    unsigned char* field = view + static_cast<size_t>(t);
    std::memset(field, 0, size);
    if (!cut.empty())
        std::memcpy(field, cut.data(), cut.size());
    return true;
}

bool CAgentSharedMemory::GetInt(int32_t& out) {
    unsigned char* view = Map();
    if (!view)
        return false;
    std::memcpy(&out, view + kIntOffset, sizeof out);
    return true;
}

bool CAgentSharedMemory::SetInt(int32_t value) {
    unsigned char* view = Map();
    if (!view)
        return false;
    std::memcpy(view + kIntOffset, &value, sizeof value);
    return true;
}

bool CAgentSharedMemory::GetList(std::string& out) {
    unsigned char* view = Map();
    if (!view)
        return false;
    const char* field = reinterpret_cast<const char*>(view + kListOffset);
    out.assign(field, strnlen(field, kListBytes - 1));
    return true;
}

bool CAgentSharedMemory::AppendNumber(int number) {
    std::string list;
    if (!GetList(list))
        return false;
    std::string add = StrFormat("%d", number);
    if (!list.empty())
        add = ";" + add;
    if (list.size() + add.size() + 1 > kListBytes)
        return false;
    unsigned char* view = Map();
    if (!view)
        return false;
    char* field = reinterpret_cast<char*>(view + kListOffset);
    std::memcpy(field + list.size(), add.data(), add.size());
    field[list.size() + add.size()] = '\0';
    return true;
}

bool CAgentSharedMemory::ClearList() {
    unsigned char* view = Map();
    if (!view)
        return false;
    std::memset(view + kListOffset, 0, kListBytes);
    return true;
}

int CAgentSharedMemory::SaveImage() {
    unsigned char* view = Map();
    if (!view)
        return 2;
    std::vector<char> image(kBlockBytes, 0);
    for (AgentFlag f : {AgentFlag::Saved2, AgentFlag::Saved325})
        image[static_cast<size_t>(f)] = static_cast<char>(view[static_cast<size_t>(f)]);
    int err = platform::WriteFileAtomically(platform::NativePath(saveFile_),
                                            std::string_view(image.data(), image.size()), 0600);
    return err == 0 ? 1 : 2;
}

int CAgentSharedMemory::LoadImage() {
    FILE* f = std::fopen(platform::NativePath(saveFile_).c_str(), "rbe");
    if (!f)
        return 2;
    std::vector<unsigned char> image(kBlockBytes, 0);
    size_t n = std::fread(image.data(), 1, image.size(), f);
    std::fclose(f);
    if (n < kBlockBytes)
        return 0;
    unsigned char* view = Map();
    if (!view)
        return 2;
    std::memcpy(view, image.data(), kBlockBytes);
    return 1;
}
