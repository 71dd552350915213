#pragma once
// Runs the services that the states name: loads the action plug-ins listed in section "DLLS" of
// the parameters file, reads the service list (service name -> component -> listed DLL name)
// and calls the plug-in's RequestService with the context image. A failed request raises
// event 2 through the context (LastEvent), so the state table decides what follows.
#include <array>
#include <cstddef>
#include <string>

#include "quilvane/context_image.h"

class CAutomateContext;
class CLog;

namespace platform {
class Module;
}

class CActionManagerBase {
  public:
    virtual ~CActionManagerBase() = default;
};

class CActionManager : public CActionManagerBase {
  public:
    static constexpr int kMaxServices = 501;
    static constexpr int kMaxDlls = 20;
    static constexpr size_t kMaxTextChars = 199;

    struct ServiceEntry {
        std::string service;    // service name
        std::string component;  // component name
        std::string library;    // library location: one of the names listed under "DLLS"
    };

    // Loads every DLL listed in the parameters file and calls its Initialize once. log and
    // context (either may be null) belong to the caller and outlive the manager.
    CActionManager(const std::string& paramsPath, CLog* log, CAutomateContext* context);
    // Calls Release of every loaded DLL. The modules themselves stay loaded until the process
    // ends: a plug-in may leave threads or handlers behind.
    ~CActionManager() override;
    CActionManager(const CActionManager&) = delete;
    CActionManager& operator=(const CActionManager&) = delete;

    // 0 when the list ended normally, -1 when a DLL failed to load (later ones are not loaded).
    int LoadDlls(const std::string& paramsPath);
    // Reads the service list (every "service" element at any depth, in document order; stops at
    // an incomplete entry). Returns 0.
    int LoadServices(const std::string& serviceListPath);
    // Calls the service through its DLL: 0 when it was called, -1 otherwise (LastEvent = 2 when
    // the service or its DLL is unknown).
    int RequestService(const std::string& service, const std::string& logFile,
                       const std::string& paramsPath, void* contextImage);

    int ServiceCount() const { return serviceCount_; }
    const ServiceEntry& Service(int index) const { return services_[index]; }
    int DllCount() const;
    const std::string& DllName(int index) const { return dllNames_[index]; }
    const std::string& ServiceListPath() const { return serviceListPath_; }
    // Why the run cannot go on, or empty: a listed DLL that did not load (its path and the
    // loader's reason), an unreadable service list, or one that names no service.
    const std::string& ConfigurationError() const { return configurationError_; }

  private:
    CLog* log_ = nullptr;
    CAutomateContext* context_ = nullptr;
    std::array<ServiceEntry, kMaxServices> services_;
    std::string serviceListPath_;
    std::array<platform::Module*, kMaxDlls> modules_{};
    std::array<std::string, kMaxDlls> dllNames_;
    int serviceCount_ = 0;
    std::string configurationError_;
};
