#include "plugins/setup_actions/SetupHost.h"

#include <dlfcn.h>

#include <cstdlib>
#include <string>

namespace actions {

namespace {

// Refuses what the wizard's own host refuses, so a runaway answer cannot fill the memory.
int Replace(QvText* self, const wchar_t* value, size_t length) {
    if (!self || !self->host || (!value && length != 0) || length > QV_MAX_TEXT_CHARS)
        return -1;
    auto* store = static_cast<std::wstring*>(self->host);
    store->assign(value, length);
    self->text = store->c_str();
    self->length = store->size();
    return 0;
}

std::string ParameterOf(const std::wstring& text, const std::wstring& key) {
    const std::wstring wanted = L"@@@" + key + L"=";
    size_t at = text.find(wanted);
    if (at == std::wstring::npos)
        return {};
    at += wanted.size();
    return Narrow(text.substr(at, text.find(L"@@@", at) - at));
}

// Language entry n of language.ini, its fallback resolved (at most a few steps).
std::string LanguageKey(const std::string& text, const char* key, int n) {
    for (int step = 0; step < 8; ++step) {
        auto fallback = setup::ProfileValue(text, "LANGUAGE", "Fallback." + std::to_string(n));
        if (!fallback || fallback->empty())
            break;
        n = std::atoi(fallback->c_str());
    }
    return setup::ProfileValue(text, "LANGUAGE", std::string(key) + "." + std::to_string(n))
        .value_or("");
}

}  // namespace

void ShowScreen(const Context& c, const char* screen, const char* state) {
    c.SetString("PathGui", "..\\gui\\");
    c.SetString("Gui", std::string("..\\gui\\") + screen + ".gui");
    c.SetString("NameState", state);
}

Answer CallService(const char* path, const std::wstring& request) {
    Answer answer;
    void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        answer.message = std::string("cannot load ") + path;
        return answer;
    }
    auto init = reinterpret_cast<QvServiceInitializeFn>(dlsym(module, "Initialize"));
    auto serve = reinterpret_cast<QvServiceRequestServiceFn>(dlsym(module, "RequestService"));
    auto release = reinterpret_cast<QvServiceReleaseFn>(dlsym(module, "Release"));
    if (!init || !serve || !release) {
        dlclose(module);
        answer.message = std::string("not a service plug-in: ") + path;
        return answer;
    }
    std::wstring store = request;
    QvText text{store.c_str(), store.size(), &Replace, &store};
    init(request.c_str());
    answer.code = serve(&text);
    release(store.c_str());
    dlclose(module);
    answer.message = ParameterOf(store, L"LMQ_PLUGIN_RESPONSE_MESSAGE");
    answer.result = ParameterOf(store, L"result");
    return answer;
}

Answer ReadRecord(const char* field) {
    return CallService(
        kPointPlugin,
        L"ReadDataPointService@@@POINTSERVICE_LMQ_PLUGIN_FIELDNAME_PARAMETER=" + Widen(field));
}

Answer WriteRecords(const std::vector<std::pair<std::string, std::string>>& fields) {
    std::wstring request = L"WriteDataPointsService";
    for (size_t n = 0; n < fields.size(); ++n) {
        const std::wstring suffix = L"_" + std::to_wstring(n + 1);
        request += L"@@@POINTSERVICE_LMQ_PLUGIN_FIELDNAME_PARAMETER" + suffix + L"=" +
                   Widen(fields[n].first) + L"@@@POINTSERVICE_LMQ_PLUGIN_VALUE_PARAMETER" + suffix +
                   L"=" + Widen(fields[n].second);
    }
    return CallService(kPointPlugin, request);
}

Settings ReadSettings(const char* paramsFile) {
    Settings s;
    const std::string text =
        paramsFile ? setup::ReadWholeFile(setup::NativePath(paramsFile)).value_or("") : "";
    s.target = setup::NativePath(
        setup::ProfileValue(text, "SETUP", "TargetRoot").value_or(kDefaultTarget));
    if (s.target.empty())
        s.target = setup::NativePath(kDefaultTarget);
    if (auto mb = setup::ProfileValue(text, "SETUP", "MinFreeMB"))
        s.minFreeMb = std::strtol(mb->c_str(), nullptr, 10);
    s.proxyGroup = setup::ProfileValue(text, "SETUP", "ProxyGroup").value_or("");
    return s;
}

int LanguageIndex(const Context& c) {
    std::string id = c.String("ID_LANG");
    return id.rfind("ID_LANG", 0) == 0 ? std::atoi(id.c_str() + 7) : -1;
}

std::string LanguageTag(int index) {
    const std::string text = setup::ReadWholeFile(kLanguageFile).value_or("");
    std::string code = LanguageKey(text, "Code", index);
    std::string country =
        setup::ProfileValue(text, "LANGUAGE", "Country." + std::to_string(index)).value_or("");
    return code + "_" + country;
}

}  // namespace actions
