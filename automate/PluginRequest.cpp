#include "automate/PluginRequest.h"

#include <climits>
#include <cwctype>
#include <new>

#include "automate/PluginCall.h"
#include "base/Log.h"
#include "base/Text.h"
#include "platform/Module.h"
#include "quilvane/plugin.h"

namespace {

constexpr std::wstring_view kSeparator = L"@@@";

// The host side of QvText: the plug-in replaces the text through this callback, the host keeps
// the only copy, so nothing is ever freed across the module boundary.
int ReplaceText(QvText* self, const wchar_t* value, size_t length) noexcept {
    if (!self || !self->host || (!value && length != 0) || length > CPluginRequest::kMaxTextChars)
        return -1;
    auto* storage = static_cast<std::wstring*>(self->host);
    try {
        // Copy first: value may point into the storage itself.
        std::wstring copy = value ? std::wstring(value, length) : std::wstring();
        storage->swap(copy);
    } catch (...) {
        return -1;
    }
    self->text = storage->c_str();
    self->length = storage->size();
    return 0;
}

std::wstring Decimal(int value) {
    return std::to_wstring(value);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CPluginParameters

int CPluginParameters::SetParameter(std::wstring_view key, std::wstring_view value) {
    if (key.empty() || key.find(L'=') != std::wstring_view::npos ||
        key.find(kSeparator) != std::wstring_view::npos ||
        value.find(kSeparator) != std::wstring_view::npos ||
        (!value.empty() && value.back() == L'@'))
        return 2;  // a final '@' would merge with the next separator
    for (int i = 0; i < kCapacity; ++i) {
        if (keys_[i].empty()) {
            keys_[i] = key;
            values_[i] = value;
            return 0;
        }
        if (keys_[i] == key) {
            values_[i] = value;
            return 0;
        }
    }
    return 1;
}

int CPluginParameters::GetParameter(std::wstring_view key, std::wstring& value) const {
    for (int i = 0; i < kCapacity && !keys_[i].empty(); ++i) {
        if (keys_[i] == key) {
            value = values_[i];
            return 0;
        }
    }
    value.clear();
    return 1;
}

std::wstring CPluginParameters::GetParameterText() const {
    std::wstring text;
    bool first = true;
    for (int i = 0; i < kCapacity; ++i) {
        if (keys_[i].empty())
            continue;
        if (!first)
            text += separator_;
        first = false;
        text += keys_[i];
        text += L'=';
        text += values_[i];
    }
    return text;
}

int CPluginParameters::GetParameterCount() const {
    int count = 0;
    for (const std::wstring& key : keys_)
        count += key.empty() ? 0 : 1;
    return count;
}

// ---------------------------------------------------------------------------------------------
// CPluginRequest

CPluginRequest::CPluginRequest() = default;

CPluginRequest::CPluginRequest(std::string_view text) {
    Parse(text);
}

CPluginRequest::CPluginRequest(std::wstring_view text) {
    Parse(text);
}

CPluginRequest::~CPluginRequest() = default;

void CPluginRequest::Parse(std::string_view text) {
    Parse(std::wstring_view(Widen(text)));
}

void CPluginRequest::Parse(std::wstring_view text) {
    size_t sep = text.find(kSeparator);
    if (sep == std::wstring_view::npos) {
        serviceName_ = text;
        return;
    }
    serviceName_ = text.substr(0, sep);
    size_t pos = sep + kSeparator.size();
    while (true) {
        size_t next = text.find(kSeparator, pos);
        std::wstring_view segment = text.substr(
            pos, next == std::wstring_view::npos ? std::wstring_view::npos : next - pos);
        size_t eq = segment.find(L'=');
        if (eq == std::wstring_view::npos)
            SetParameter(segment, {});
        else
            SetParameter(segment.substr(0, eq), segment.substr(eq + 1));
        if (next == std::wstring_view::npos)
            break;
        pos = next + kSeparator.size();
    }
}

int CPluginRequest::SetAndCheck(const wchar_t* key, std::wstring_view value) {
    SetParameter(key, value);
    std::wstring stored;
    GetParameter(key, stored);
    return stored.empty() ? -1 : 0;
}

int CPluginRequest::SetLogPathName(std::wstring_view dir) {
    return SetAndCheck(kLogPathNameKey, dir);
}
int CPluginRequest::SetLogFileName(std::wstring_view name) {
    return SetAndCheck(kLogFileNameKey, name);
}
int CPluginRequest::SetLogLevel(int level) {
    return SetAndCheck(kLogLevelKey, Decimal(level));
}
int CPluginRequest::SetLogSize(int sizeKb) {
    return SetAndCheck(kLogSizeKey, Decimal(sizeKb));
}
int CPluginRequest::SetNbLogFile(int count) {
    return SetAndCheck(kNbLogFileKey, Decimal(count));
}

std::wstring CPluginRequest::GetLogPathName() const {
    std::wstring v;
    GetParameter(kLogPathNameKey, v);
    return v;
}
std::wstring CPluginRequest::GetLogFileName() const {
    std::wstring v;
    GetParameter(kLogFileNameKey, v);
    return v;
}
int CPluginRequest::GetLogLevel() const {
    std::wstring v;
    GetParameter(kLogLevelKey, v);
    return ParseDecimal(v);
}
int CPluginRequest::GetLogSize() const {
    std::wstring v;
    GetParameter(kLogSizeKey, v);
    return ParseDecimal(v);
}
int CPluginRequest::GetNbLogFile() const {
    std::wstring v;
    GetParameter(kNbLogFileKey, v);
    return ParseDecimal(v);
}

int CPluginRequest::SetLogSettings(std::wstring_view dir, std::wstring_view fileName,
                                   std::wstring_view moduleName, int level, int sizeKb,
                                   int fileCount) {
    int sum = SetLogPathName(dir);
    sum += SetLogFileName(fileName);
    sum += SetLogLevel(level);
    sum += SetNbLogFile(fileCount);
    sum += SetLogSize(sizeKb);
    log_ = std::make_unique<CLog>(dir, fileName, sizeKb, moduleName,
                                  static_cast<uint32_t>(fileCount < 0 ? 0 : fileCount),
                                  static_cast<uint32_t>(level < 0 ? 0 : level));
    return sum;
}

int CPluginRequest::SetLogSettingsFrom(const CLog& log, std::wstring_view moduleName) {
    return SetLogSettings(Widen(log.Directory()), Widen(log.BaseName()), moduleName,
                          static_cast<int>(log.Level()), log.SizeLimitKb(),
                          static_cast<int>(log.FileCount()));
}

std::wstring CPluginRequest::GetResult() const {
    std::wstring v;
    GetParameter(kResultKey, v);
    return v;
}

std::wstring CPluginRequest::BuildRequest(int& flag) const {
    if (serviceName_.empty()) {
        flag = 1;
        return {};
    }
    flag = 0;
    std::wstring text = serviceName_;
    if (GetParameterCount() > 0) {
        text += separator_;
        text += GetParameterText();
    }
    return text;
}

int CPluginRequest::HostFailed(HostFailure failure, int result, std::string text) {
    hostFailure_ = failure;
    hostFailureText_ = std::move(text);
    if (log_)
        log_->Err(hostFailureText_);
    return result;
}

int CPluginRequest::SendRequest(std::wstring& text) {
    hostFailure_ = HostFailure::None;
    hostFailureText_.clear();
    const std::string library = Narrow(libraryPath_);
    if (libraryPath_.empty())
        return HostFailed(HostFailure::NoLibraryPath, 3,
                          "No plug-in library to send the request to");
    int flag = 0;
    std::wstring request = BuildRequest(flag);
    if (flag == 1)
        return HostFailed(HostFailure::NoServiceName, 1,
                          "Request without a service name not sent to " + library);
    std::string why;
    std::unique_ptr<platform::Module> module = platform::Module::Load(library, &why);
    if (!module)
        return HostFailed(HostFailure::NotLoaded, 2, "Plug-in " + library + " not loaded: " + why);
    auto initialize = module->Function<QvServiceInitializeFn>("Initialize");
    auto requestService = module->Function<QvServiceRequestServiceFn>("RequestService");
    auto release = module->Function<QvServiceReleaseFn>("Release");
    if (!initialize || !requestService || !release)  // the module is unloaded on the way out
        return HostFailed(
            HostFailure::MissingExport, 4,
            "Plug-in " + library + ": Initialize, RequestService or Release is not exported");
    // Said before the call: if the plug-in never returns, the log tells which call it was.
    if (log_)
        log_->Debug("Request " + Narrow(serviceName_) + " sent to " + library);

    PluginCallScope scope("request " + Narrow(serviceName_) + " of " + library);
    {
        std::wstring copy = request;
        initialize(copy.c_str());
    }
    QvText shared{request.c_str(), request.size(), &ReplaceText, &request};
    int32_t result = requestService(&shared);
    text = request;
    {
        std::wstring copy = request;
        release(copy.c_str());
    }
    module.reset();
    return result;
}

int CPluginRequest::CallService(std::wstring& result) {
    int flag = 0;
    std::wstring text = BuildRequest(flag);
    int status = SendRequest(text);
    CPluginRequest response{std::wstring_view(text)};
    result = response.GetResult();
    return status;
}

std::wstring CPluginRequest::GetPluginVersion() {
    serviceName_ = kVersionService;
    Exchange<CPluginRequest>();
    return lastMessage_;
}

void CPluginRequest::TakeOutcome() {
    std::wstring code;
    response_->GetParameter(kReturnCodeKey, code);
    lastReturnCode_ = ParseDecimal(code);
    response_->GetParameter(kMessageKey, lastMessage_);
    response_.reset();
}
