#pragma once
// Typed access to the miscellaneous services plug-in: one operation per service, each one
// request. Parameters set by one operation stay on the object and go out again with the next.
// The creator binds the client (library path miscservice::kLibraryPath, log settings under
// miscservice::kModuleName) before the first call.
#include <string>
#include <string_view>

#include "automate/PluginRequest.h"

namespace miscservice {

inline constexpr wchar_t kLibraryPath[] = L".\\noxMiscPluginu.dll";
inline constexpr wchar_t kModuleName[] = L"noxMiscPlugin";

// X(accessor, key): the parameters that have a setter returning a status and a getter.
#define QV_MISC_PARAMETERS(X)                                                       \
    X(BaseRegistry, L"MISC_LMQ_PLUGIN_BASE_REGISTRY_PARAMETER")                     \
    X(PathManager, L"MISC_LMQ_PLUGIN_PATH_MANAGER_PARAMETER")                       \
    X(PathAccount, L"MISC_LMQ_PLUGIN_PATH_ACCOUNT_PARAMETER")                       \
    X(FilterStringAddrProto, L"MISC_LMQ_PLUGIN_FILTER_STRING_ADDR_PROTO_PARAMETER") \
    X(Filter1String, L"MISC_LMQ_PLUGIN_FILTER1_STRING_PARAMETER")                   \
    X(Filter2String, L"MISC_LMQ_PLUGIN_FILTER2_STRING_PARAMETER")

inline constexpr wchar_t kTestUrlKey[] = L"MISC_LMQ_PLUGIN_TEST_URL_PARAMETER";
inline constexpr wchar_t kDiskNameKey[] = L"MISC_LMQ_PLUGIN_DISK_NAME_PARAMETER";
inline constexpr wchar_t kPropertyKeyKey[] = L"MISC_LMQ_PLUGIN_PROPERTY_KEY_PARAMETER";
inline constexpr wchar_t kFileSectionKey[] = L"MISC_LMQ_PLUGIN_FILE_SECTION_PARAMETER";
#define QV_MISC_KEY_CONSTANT(name, key) inline constexpr wchar_t k##name##Key[] = key;
QV_MISC_PARAMETERS(QV_MISC_KEY_CONSTANT)
#undef QV_MISC_KEY_CONSTANT

}  // namespace miscservice

// The window title made from the reply of getLMQVersionService: "VEK " and the reply without
// any "Version " and " Release".
std::wstring MakeVersionTitle(std::wstring_view versionReply);

class MiscServiceClient : public CPluginRequest {
  public:
    MiscServiceClient() = default;
    // Parses a response text (the response object of an operation).
    explicit MiscServiceClient(std::wstring_view response) : CPluginRequest(response) {}
    ~MiscServiceClient() override;

    int TestInternetService(std::wstring url, std::wstring& message);
    int TestInternetService_defaultListURL(std::wstring& message);
    int getFreeDiskSpaceService(std::wstring diskName, std::wstring& message);
    std::wstring getLMQVersionService();
    std::wstring getPathInstallService();
    std::wstring getInternetAccountService(std::wstring baseRegistry, std::wstring pathManager,
                                           std::wstring pathAccount, std::wstring filter);
    std::wstring getJavaJreVersionService(std::wstring baseRegistry, std::wstring pathManager,
                                          std::wstring filter1, std::wstring filter2);
    std::wstring getLastRapideRestoreDateService(std::wstring pathManager);
    std::wstring getRapideRestoreLastSaveDateService(std::wstring pathManager);
    std::wstring getMasterVersionService(std::wstring pathManager);
    int updateCertificatSSLService();
    std::wstring getFileKeyService(std::wstring pathManager, std::wstring propertyKey);
    std::wstring getFileSectionKeyService(std::wstring pathManager, std::wstring fileSection,
                                          std::wstring propertyKey);

    // A parameterless service that answers with its message.
    std::wstring GetMessageService(std::wstring_view service);

    // Set<Name> stores the parameter and returns 0 when it reads back non-empty, else -1;
    // Get<Name> reads it from the given request object (empty when absent).
#define QV_MISC_ACCESSORS(name, key)                                  \
    int Set##name(std::wstring_view value) {                          \
        return SetChecked(key, value);                                \
    }                                                                 \
    static std::wstring Get##name(const CPluginParameters& request) { \
        return ValueOf(request, key);                                 \
    }
    QV_MISC_PARAMETERS(QV_MISC_ACCESSORS)
#undef QV_MISC_ACCESSORS

    void SetTestUrl(std::wstring_view url) {
        SetParameter(miscservice::kTestUrlKey, url);
    }
    static std::wstring GetTestUrl(const CPluginParameters& request) {
        return ValueOf(request, miscservice::kTestUrlKey);
    }

  private:
    int SetChecked(const wchar_t* key, std::wstring_view value);
    static std::wstring ValueOf(const CPluginParameters& request, const wchar_t* key);
    // Sends the service with the parameters already set; returns the return code.
    int32_t Run(std::wstring_view service);
};
