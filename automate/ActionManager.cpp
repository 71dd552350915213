#include "automate/ActionManager.h"

#include <memory>
#include <mutex>
#include <vector>

#include <xercesc/dom/DOM.hpp>

#include "automate/AutomateContext.h"
#include "automate/ContextNames.h"
#include "automate/PluginCall.h"
#include "base/Log.h"
#include "base/Profile.h"
#include "base/Text.h"
#include "base/XmlDocument.h"
#include "platform/Module.h"
#include "platform/Paths.h"
#include "quilvane/plugin.h"

namespace {

void Write(CLog* log, unsigned level, std::string_view msg) {
    if (log)
        log->Write(level, msg);
}

// Action plug-ins are never unloaded: the handles stay in this process-wide list, reachable
// until exit. A path loaded twice shares one entry.
platform::Module* KeepLoaded(std::unique_ptr<platform::Module> module) {
    static std::mutex mutex;
    static auto* kept = new std::vector<std::unique_ptr<platform::Module>>();
    std::lock_guard<std::mutex> lock(mutex);
    for (auto& m : *kept) {
        if (m->Path() == module->Path())
            return m.get();
    }
    kept->push_back(std::move(module));
    return kept->back().get();
}

std::string Cut(const std::string& text) {
    return std::string(CutUtf8(text, CActionManager::kMaxTextChars));
}

std::string TextOf(const xercesc::DOMElement* element) {
    return Cut(XmlToNarrow(element->getTextContent()));
}

// Plug-in code may be C++; nothing it throws goes further than this. The call is named for
// whoever sees the process end or hang inside it.
template <typename Fn>
void CallPlugin(CLog* log, const char* what, Fn fn, const std::string& of = {}) {
    PluginCallScope scope(of.empty() ? std::string(what) : std::string(what) + " " + of);
    try {
        fn();
    } catch (...) {
        Write(log, LOG_ERR, StrFormat("Unexpected exception in plug-in %s", what));
    }
}

}  // namespace

CActionManager::CActionManager(const std::string& paramsPath, CLog* log, CAutomateContext* context)
    : log_(log), context_(context) {
    Write(log_, LOG_DEBUG, "Call CActionManager");
    modules_.fill(nullptr);
    LoadDlls(paramsPath);
    Write(log_, LOG_DEBUG, "End CActionManager");
}

CActionManager::~CActionManager() {
    for (platform::Module* module : modules_) {
        if (!module)
            continue;
        if (auto release = module->Function<QvActionReleaseFn>("Release"))
            CallPlugin(log_, "Release", release, "of " + module->Path());
    }
}

int CActionManager::LoadDlls(const std::string& paramsPath) {
    Write(log_, LOG_DEBUG, "Call LoadDlls");
    const std::string programDir = platform::ProgramDirectory();
    const std::string dir = programDir.empty() ? std::string(1, '.') : programDir;
    char value[kProfileValueMax + 1];
    int slot = DllCount();
    for (int key = 1;; ++key) {
        if (ReadIniString(paramsPath.c_str(), "DLLS", std::to_string(key).c_str(), value) != 0)
            break;
        if (slot >= kMaxDlls) {
            Write(log_, LOG_WARNING,
                  StrFormat("More than %d DLLs listed: %s and the following ones are ignored",
                            kMaxDlls, value));
            break;
        }
        std::string name = Cut(value);
        std::string path = dir + "/" + name;
        std::string error;
        std::unique_ptr<platform::Module> module;
        // Plug-ins load from the program directory only.
        if (name.find_first_of("/\\") == std::string::npos && !name.empty())
            module = platform::Module::Load(path, &error);
        if (!module) {
            Write(log_, LOG_ERR, StrFormat("Dll %s Not Found in %s", name.c_str(), path.c_str()));
            if (!error.empty())
                Write(log_, LOG_ERR, error);
            configurationError_ =
                StrFormat("the action library %s cannot be loaded: %s", path.c_str(),
                          error.empty() ? "its name is not a file name of the "
                                          "program directory"
                                        : error.c_str());
            return -1;
        }
        platform::Module* kept = KeepLoaded(std::move(module));
        modules_[slot] = kept;
        dllNames_[slot] = name;
        ++slot;
        if (auto init = kept->Function<QvActionInitializeFn>("Initialize"))
            CallPlugin(log_, "Initialize", init, "of " + path);
    }
    Write(log_, LOG_DEBUG, "End LoadDlls");
    return 0;
}

int CActionManager::LoadServices(const std::string& serviceListPath) {
    serviceListPath_ = Cut(serviceListPath);
    services_.fill(ServiceEntry{});
    serviceCount_ = 0;
    XmlPlatform platform;
    if (!platform.Ok()) {
        Write(log_, LOG_ERR,
              StrFormat("Unable to initialise the XML parser : %s", platform.Error().c_str()));
        return 0;
    }
    std::string error;
    auto document = XmlDocument::ParseFile(serviceListPath, &error);
    if (!document || !document->Root()) {
        Write(log_, LOG_ERR,
              StrFormat("Unable to read the service list %s : %s", serviceListPath.c_str(),
                        error.c_str()));
        if (configurationError_.empty())
            configurationError_ = StrFormat("the service list %s cannot be read: %s",
                                            serviceListPath.c_str(), error.c_str());
        return 0;
    }
    std::u16string tag = NarrowToXml("service");
    xercesc::DOMNodeList* list = document->Root()->getElementsByTagName(tag.c_str());
    XMLSize_t count = list ? list->getLength() : 0;
    for (XMLSize_t i = 0; i < count; ++i) {
        if (i >= static_cast<XMLSize_t>(kMaxServices)) {
            Write(log_, LOG_WARNING,
                  StrFormat("More than %d services listed: %lu services are ignored", kMaxServices,
                            static_cast<unsigned long>(count - i)));
            break;
        }
        auto* service = dynamic_cast<xercesc::DOMElement*>(list->item(i));
        xercesc::DOMElement* name = FirstElementByTag(service, "name");
        xercesc::DOMElement* component = FirstElementByTag(service, "component");
        xercesc::DOMElement* componentName = FirstElementByTag(component, "name");
        xercesc::DOMElement* location = FirstElementByTag(component, "library-location");
        // An incomplete entry ends the list.
        if (!name || !component || !componentName || !location)
            break;
        services_[i] = ServiceEntry{TextOf(name), TextOf(componentName), TextOf(location)};
        serviceCount_ = static_cast<int>(i) + 1;
    }
    if (serviceCount_ == 0 && configurationError_.empty())
        configurationError_ =
            StrFormat("the service list %s names no service", serviceListPath.c_str());
    return 0;
}

int CActionManager::RequestService(const std::string& service, const std::string& logFile,
                                   const std::string& paramsPath, void* contextImage) {
    Write(log_, LOG_DEBUG, "Call RequestService");
    std::string library;
    for (const ServiceEntry& entry : services_) {
        if (entry.service == service) {
            library = entry.library;
            break;
        }
    }
    CAutomateContext* context = context_;
    if (library.empty()) {
        if (context)
            context->SetInt(ctx::kLastEvent, 1, 2);
        Write(log_, LOG_ERR, "Dll Not Found");
        return -1;
    }
    platform::Module* module = nullptr;
    for (int i = 0; i < kMaxDlls; ++i) {
        if (modules_[i] && EqualsNoCase(dllNames_[i], library)) {
            module = modules_[i];
            break;
        }
    }
    Write(log_, module ? LOG_INFO : LOG_ERR, module ? "DLL Found" : "DLL Not Found");
    if (!module) {
        Write(log_, LOG_ERR, StrFormat("Unable to load Dll %s Not Found", library.c_str()));
        if (context)
            context->SetInt(ctx::kLastEvent, 1, 2);
        return -1;
    }
    auto init = module->Function<QvActionInitializeFn>("Initialize");
    auto request = module->Function<QvActionRequestServiceFn>("RequestService");
    auto release = module->Function<QvActionReleaseFn>("Release");
    if (!init || !request || !release)
        return -1;
    const std::string of = "of service " + service + " in " + library;
    CallPlugin(log_, "Initialize", init, of);
    Write(log_, LOG_DEBUG, StrFormat("Request Service : %s", service.c_str()));
    CallPlugin(
        log_, "RequestService",
        [&] { request(service.c_str(), contextImage, logFile.c_str(), paramsPath.c_str()); }, of);
    Write(log_, LOG_DEBUG, "Request Service end");
    CallPlugin(log_, "Release", release, of);
    Write(log_, LOG_DEBUG, "End RequestService");
    return 0;
}

int CActionManager::DllCount() const {
    int n = 0;
    while (n < kMaxDlls && modules_[n])
        ++n;
    return n;
}
