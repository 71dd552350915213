#include "clients/PointServiceClient.h"

#include "base/Text.h"

PointServiceClient::~PointServiceClient() = default;

int32_t PointServiceClient::Operation(const wchar_t* service, const char* field,
                                      const std::wstring_view* value) {
    SetServiceName(service);
    SetParameter(pointservice::kFieldNameKey, Widen(field));
    if (value && SetParameter(pointservice::kValueKey, *value) != 0) {
        // Sending now would write the value of an earlier operation instead.
        lastReturnCode_ = kValueRefused;
        lastMessage_ = L"The value cannot be sent: it holds \"@@@\" or ends in \"@\"";
        return lastReturnCode_;
    }
    return Exchange<PointServiceClient>();
}

int PointServiceClient::ReadDataPoint(const char* field, std::wstring& value) {
    int32_t code = Operation(pointservice::kReadService, field, nullptr);
    value = lastMessage_;
    return code;
}

int PointServiceClient::ReadDataPoint(const char* field, wchar_t* buffer, size_t size) {
    int32_t code = Operation(pointservice::kReadService, field, nullptr);
    if (buffer && size > 0) {
        size_t n = lastMessage_.size() < size - 1 ? lastMessage_.size() : size - 1;
        lastMessage_.copy(buffer, n);
        buffer[n] = L'\0';
    }
    return code;
}

int PointServiceClient::WriteDataPoint(const char* field, std::wstring_view value) {
    return Operation(pointservice::kWriteService, field, &value);
}

int PointServiceClient::WriteLanguePays(std::wstring_view language, std::wstring_view country) {
    std::wstring value(language.substr(0, 2));
    value += country.substr(0, 2);
    return WriteDataPoint("LanguePays", value);
}
