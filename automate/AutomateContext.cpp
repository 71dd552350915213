#include "automate/AutomateContext.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "base/Profile.h"
#include "base/Text.h"

ContextDefinition SplitContextDefinition(std::string_view value) {
    std::string_view def = value.substr(0, CAutomateContext::kMaxDefinitionChars);
    size_t c1 = def.find(':');
    std::string_view name = def.substr(0, c1);
    std::string_view rest = c1 == std::string_view::npos ? "" : def.substr(c1 + 1);
    size_t c2 = rest.find(':');
    std::string_view type = rest.substr(0, c2);
    std::string_view countText = c2 == std::string_view::npos ? "" : rest.substr(c2 + 1);
    countText = countText.substr(0, countText.find(':'));
    return ContextDefinition{std::string(name), std::string(type), ParseDecimal(countText)};
}

namespace {

constexpr std::string_view kTypeNames[] = {"", "INT", "LONG", "PTR", "STRING", "VOID"};

uint8_t TypeCode(std::string_view type) {
    for (size_t i = 1; i < std::size(kTypeNames); ++i)
        if (kTypeNames[i] == type)
            return static_cast<uint8_t>(i);
    return 0;
}

}  // namespace

std::string_view CAutomateContext::TypeOf(int index) const {
    if (index < 0 || index >= image_.count || index >= QV_MAX_PROPERTIES)
        return {};
    return kTypeNames[types_[static_cast<size_t>(index)] % std::size(kTypeNames)];
}

int32_t CAutomateContext::TypeSize(std::string_view type) {
    if (type == "INT" || type == "LONG")
        return QV_INT_SIZE;
    if (type == "PTR")
        return QV_PTR_SIZE;
    if (type == "STRING")
        return QV_STRING_SIZE;
    if (type == "VOID")
        return QV_VOID_SIZE;
    return 0;
}

CAutomateContext::CAutomateContext(const std::string& logFileName, uint32_t logLevel)
    : log_(std::make_unique<CLog>("..\\Log\\", logFileName, kLogSizeKb, "Automate Context",
                                  kLogFileCount, logLevel)) {}

CAutomateContext::~CAutomateContext() = default;

int CAutomateContext::Initialize() {
    log_->Debug("Call CAutomateContext Initialize");
    void* area = std::calloc(1, kValueAreaBytes);
    image_ = ContextImage{};
    types_ = {};
    image_.next_free = reinterpret_cast<uintptr_t>(area);
    image_.start = reinterpret_cast<uintptr_t>(area);
    log_->Debug("End CAutomateContext Initialize");
    return area ? 0 : -1;
}

int CAutomateContext::addPropertiesContext(std::string_view name, std::string_view type,
                                           int count) {
    log_->Debug("Call CAutomateContext addPropertiesContext");
    int32_t size = TypeSize(type);
    if (size == 0) {
        log_->Warning(
            StrFormat("Unknown property type : %.*s", static_cast<int>(type.size()), type.data()));
        return -1;
    }
    if (image_.count >= QV_MAX_PROPERTIES || image_.start == 0)
        return -1;
    for (int i = 0; i < count; ++i) {
        if (image_.count >= QV_MAX_PROPERTIES)
            return -1;
        int idx = image_.count;
        auto* value = reinterpret_cast<unsigned char*>(image_.next_free);
        std::memset(value, 0, static_cast<size_t>(size));
        image_.addresses[idx] = image_.next_free;
        image_.sizes[idx] = size;
        CopyToField(image_.names[idx], QV_NAME_SIZE, name);
        types_[static_cast<size_t>(idx)] = TypeCode(type);
        image_.next_free += static_cast<uintptr_t>(size);
        image_.count = idx + 1;
    }
    log_->Debug("End CAutomateContext addPropertiesContext");
    return 0;
}

int CAutomateContext::LoadContext(const std::string& path) {
    log_->Debug("Call CAutomateContext LoadContext");
    log_->Debug(StrFormat("Load Context : %s", path.c_str()));
    int result = 0;
    char value[kProfileValueMax + 1];
    for (int key = 1;; ++key) {
        ReadIniString(path.c_str(), "CONTEXT", std::to_string(key).c_str(), value);
        ContextDefinition line = SplitContextDefinition(value);
        std::string_view name = line.name;
        std::string_view type = line.type;
        if (!name.empty() && name.front() == '@')
            break;
        int count = line.count;
        result = addPropertiesContext(name, type, count);
        std::string shownName(name.substr(0, kMaxNameChars));
        log_->Info(StrFormat("Add Properties : %s Type : %.*s Nombre : %d", shownName.c_str(),
                             static_cast<int>(type.size()), type.data(), count));
        if (result != 0)
            break;
    }
    log_->Debug("End CAutomateContext LoadContext");
    return result;
}

int CAutomateContext::Find(const char* name, int occurrence) const {
    if (!name)
        return -1;
    return qv_find_property(&image_, name, occurrence);
}

unsigned char* CAutomateContext::ValueOf(int index) const {
    return reinterpret_cast<unsigned char*>(image_.addresses[index]);
}

int CAutomateContext::SetInt(const char* name, int occurrence, int32_t value) {
    log_->Debug(StrFormat("Set [%s] INT = %d", name, value));
    int i = Find(name, occurrence);
    if (i < 0 || !ValueOf(i) || image_.sizes[i] < QV_INT_SIZE) {
        log_->Debug(StrFormat("Not Found Nb handle %d", image_.count));
        return -1;
    }
    std::memcpy(ValueOf(i), &value, sizeof value);
    log_->Info(StrFormat("Update [%s] OK", name));
    return 0;
}

int CAutomateContext::GetInt(const char* name, int occurrence, int32_t* value) {
    int i = Find(name, occurrence);
    if (i < 0 || !ValueOf(i) || image_.sizes[i] < QV_INT_SIZE) {
        log_->Debug(StrFormat("Get int Properties : %s not found", name));
        return -1;
    }
    std::memcpy(value, ValueOf(i), sizeof *value);
    return i;
}

int CAutomateContext::SetLong(const char* name, int occurrence, int32_t value) {
    log_->Debug(StrFormat("Set [%s] LONG = %ld", name, static_cast<long>(value)));
    int i = Find(name, occurrence);
    if (i < 0 || !ValueOf(i) || image_.sizes[i] < QV_INT_SIZE) {
        log_->Debug(StrFormat("Set long Properties : %s not found", name));
        return -1;
    }
    std::memcpy(ValueOf(i), &value, sizeof value);
    log_->Info(StrFormat("Update [%s] OK", name));
    return 0;
}

int CAutomateContext::GetLong(const char* name, int occurrence, int32_t* value) {
    int i = Find(name, occurrence);
    if (i < 0 || !ValueOf(i) || image_.sizes[i] < QV_INT_SIZE) {
        log_->Debug(StrFormat("Get long : %s not found", name));
        return -1;
    }
    std::memcpy(value, ValueOf(i), sizeof *value);
    return i;
}

int CAutomateContext::SetString(const char* name, int occurrence, const char* text) {
    log_->Debug(StrFormat("Set [%s] STRING = %s", name, text ? text : ""));
    int i = Find(name, occurrence);
    if (i < 0 || !ValueOf(i) || image_.sizes[i] <= 0) {
        log_->Info(StrFormat("Set String : %s Not Found", name));
        return -1;
    }
    size_t size = static_cast<size_t>(image_.sizes[i]);
    std::memset(ValueOf(i), 0, size);
    CopyToField(reinterpret_cast<char*>(ValueOf(i)), size, text ? text : "");
    log_->Info(StrFormat("Update [%s] OK", name));
    return 0;
}

int CAutomateContext::GetString(const char* name, int occurrence, char* buffer) {
    int i = Find(name, occurrence);
    if (i < 0 || !ValueOf(i) || image_.sizes[i] <= 0) {
        log_->Info(StrFormat("Get string : %s Not Found", name));
        return -1;
    }
    const char* src = reinterpret_cast<const char*>(ValueOf(i));
    size_t limit = std::min(static_cast<size_t>(image_.sizes[i]), kStringBufferBytes - 1);
    size_t n = strnlen(src, limit);
    std::memcpy(buffer, src, n);
    buffer[n] = '\0';
    return i;
}

int CAutomateContext::SetVoid(const char* name, int occurrence, const void* source,
                              size_t sourceBytes) {
    log_->Debug(StrFormat("Set [%s] VOID", name));
    int i = Find(name, occurrence);
    if (i < 0 || !ValueOf(i) || image_.sizes[i] <= 0 || !source) {
        log_->Debug(StrFormat("Set void Properties : %s not found", name));
        return -1;
    }
    size_t size = static_cast<size_t>(image_.sizes[i]);
    size_t n = std::min(size, sourceBytes);
    std::memcpy(ValueOf(i), source, n);
    std::memset(ValueOf(i) + n, 0, size - n);
    log_->Info(StrFormat("Update [%s] OK", name));
    return 0;
}

int CAutomateContext::GetVoid(const char* name, int occurrence, void* out, size_t outBytes) {
    int i = Find(name, occurrence);
    if (i < 0 || !ValueOf(i) || image_.sizes[i] <= 0 || !out) {
        log_->Debug(StrFormat("Get void Properties : %s not found", name));
        return -1;
    }
    std::memcpy(out, ValueOf(i), std::min(static_cast<size_t>(image_.sizes[i]), outBytes));
    return i;
}

int CAutomateContext::SetPtr(const char* name, int occurrence, void* address) {
    log_->Debug(StrFormat("Set [%s] PTR = %p", name, address));
    int i = Find(name, occurrence);
    if (i < 0 || !ValueOf(i) || image_.sizes[i] < QV_PTR_SIZE) {
        log_->Debug(StrFormat("Set Ptr Properties : %s not found", name));
        return -1;
    }
    std::memcpy(ValueOf(i), &address, sizeof address);
    log_->Info(StrFormat("Update [%s] OK", name));
    return 0;
}

void* CAutomateContext::GetPtr(const char* name, int occurrence) {
    int i = Find(name, occurrence);
    if (i < 0 || !ValueOf(i) || image_.sizes[i] < QV_PTR_SIZE) {
        log_->Debug(StrFormat("Get Ptr Properties : %s not found", name));
        return nullptr;
    }
    void* address = nullptr;
    std::memcpy(&address, ValueOf(i), sizeof address);
    return address;
}

int CAutomateContext::SetWide(const char* name, int occurrence, std::wstring_view text) {
    log_->Debug(StrFormat("Set [%s] VOID", name));
    std::wstring terminated(text.substr(0, text.find(L'\0')));
    if (qv_set_wide(&image_, name, occurrence, terminated.c_str()) != 0) {
        log_->Debug(StrFormat("Set void Properties : %s not found", name));
        return -1;
    }
    log_->Info(StrFormat("Update [%s] OK", name));
    return 0;
}

int CAutomateContext::GetWide(const char* name, int occurrence, std::wstring* text) {
    wchar_t buffer[QV_VOID_SIZE / 2 + 1];
    int i = Find(name, occurrence);
    if (i < 0 || qv_get_wide(&image_, name, occurrence, buffer, std::size(buffer)) != 0) {
        log_->Debug(StrFormat("Get void Properties : %s not found", name));
        return -1;
    }
    *text = buffer;
    return i;
}

ContextImage* CAutomateContext::GetImage(int* status) {
    if (status)
        *status = 0;
    return &image_;
}

int CAutomateContext::SetImage(const ContextImage* source) {
    if (!source || source == &image_)
        return 0;
    std::memcpy(&image_, source, sizeof image_);
    types_ = {};
    // A damaged count must never let a scan leave the table.
    image_.count = std::clamp(image_.count, 0, QV_MAX_PROPERTIES);
    return 0;
}

void CAutomateContext::ReleaseValues() {
    log_->Debug("Release Automate Context Memory");
    std::free(reinterpret_cast<void*>(image_.start));
    image_ = ContextImage{};
    types_ = {};
    log_->Debug("End Release Automate Context Memory");
}

int CAutomateContext::DumpProperties() {
    for (int i = 0; i < image_.count; ++i) {
        log_->Debug(StrFormat("Index %d Name: %s longueur :%d", i, image_.names[i],
                              static_cast<int>(strnlen(image_.names[i], QV_NAME_SIZE))));
    }
    return image_.count;
}
