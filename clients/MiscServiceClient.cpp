#include "clients/MiscServiceClient.h"

namespace {

void RemoveAll(std::wstring& text, std::wstring_view what) {
    std::wstring out;
    size_t pos = 0;
    while (true) {
        size_t hit = text.find(what, pos);
        if (hit == std::wstring::npos)
            break;
        out.append(text, pos, hit - pos);
        pos = hit + what.size();
    }
    out.append(text, pos, std::wstring::npos);
    text.swap(out);
}

}  // namespace

std::wstring MakeVersionTitle(std::wstring_view versionReply) {
    std::wstring version(versionReply);
    RemoveAll(version, L"Version ");
    RemoveAll(version, L" Release");
    return L"VEK " + version;
}

MiscServiceClient::~MiscServiceClient() = default;

int MiscServiceClient::SetChecked(const wchar_t* key, std::wstring_view value) {
    SetParameter(key, value);
    std::wstring stored;
    GetParameter(key, stored);
    return stored.empty() ? -1 : 0;
}

std::wstring MiscServiceClient::ValueOf(const CPluginParameters& request, const wchar_t* key) {
    std::wstring value;
    request.GetParameter(key, value);
    return value;
}

int32_t MiscServiceClient::Run(std::wstring_view service) {
    SetServiceName(service);
    return Exchange<MiscServiceClient>();
}

int MiscServiceClient::TestInternetService(std::wstring url, std::wstring& message) {
    SetTestUrl(url);
    int32_t code = Run(L"TestInternetService");
    message = lastMessage_;
    return code;
}

int MiscServiceClient::TestInternetService_defaultListURL(std::wstring& message) {
    int32_t code = Run(L"TestInternetService_defaultListURL");
    message = lastMessage_;
    return code;
}

int MiscServiceClient::getFreeDiskSpaceService(std::wstring diskName, std::wstring& message) {
    SetParameter(miscservice::kDiskNameKey, diskName);
    int32_t code = Run(L"getFreeDiskSpaceService");
    message = lastMessage_;
    return code;
}

std::wstring MiscServiceClient::GetMessageService(std::wstring_view service) {
    Run(service);
    return lastMessage_;
}

std::wstring MiscServiceClient::getLMQVersionService() {
    return GetMessageService(L"getLMQVersionService");
}

std::wstring MiscServiceClient::getPathInstallService() {
    return GetMessageService(L"getPathInstallService");
}

std::wstring MiscServiceClient::getInternetAccountService(std::wstring baseRegistry,
                                                          std::wstring pathManager,
                                                          std::wstring pathAccount,
                                                          std::wstring filter) {
    SetBaseRegistry(baseRegistry);
    SetPathManager(pathManager);
    SetPathAccount(pathAccount);
    SetFilterStringAddrProto(filter);
    return GetMessageService(L"getInternetAccountService");
}

std::wstring MiscServiceClient::getJavaJreVersionService(std::wstring baseRegistry,
                                                         std::wstring pathManager,
                                                         std::wstring filter1,
                                                         std::wstring filter2) {
    SetBaseRegistry(baseRegistry);
    SetPathManager(pathManager);
    SetFilter1String(filter1);
    SetFilter2String(filter2);
    return GetMessageService(L"getJavaJreVersionService");
}

std::wstring MiscServiceClient::getLastRapideRestoreDateService(std::wstring pathManager) {
    SetPathManager(pathManager);
    return GetMessageService(L"getLastRapideRestoreDateService");
}

std::wstring MiscServiceClient::getRapideRestoreLastSaveDateService(std::wstring pathManager) {
    SetPathManager(pathManager);
    return GetMessageService(L"getRapideRestoreLastSaveDateService");
}

std::wstring MiscServiceClient::getMasterVersionService(std::wstring pathManager) {
    SetPathManager(pathManager);
    return GetMessageService(L"getMasterVersionService");
}

int MiscServiceClient::updateCertificatSSLService() {
    return Run(L"updateCertificatSSLService");
}

std::wstring MiscServiceClient::getFileKeyService(std::wstring pathManager,
                                                  std::wstring propertyKey) {
    SetParameter(miscservice::kPropertyKeyKey, propertyKey);
    SetPathManager(pathManager);
    return GetMessageService(L"getFileKeyService");
}

std::wstring MiscServiceClient::getFileSectionKeyService(std::wstring pathManager,
                                                         std::wstring fileSection,
                                                         std::wstring propertyKey) {
    SetParameter(miscservice::kPropertyKeyKey, propertyKey);
    SetPathManager(pathManager);
    SetParameter(miscservice::kFileSectionKey, fileSection);
    return GetMessageService(L"getFileSectionKeyService");
}
