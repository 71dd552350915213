#pragma once
// The plug-in call under way in this process, so that whoever sees the process end or hang
// (an exit handler, the stop-signal thread) can say which call it was.
#include <string>

class PluginCallScope {
  public:
    // what: the call, the service and the library, as a log line names them.
    explicit PluginCallScope(std::string what);
    ~PluginCallScope();
    PluginCallScope(const PluginCallScope&) = delete;
    PluginCallScope& operator=(const PluginCallScope&) = delete;
};

// The innermost call under way, or empty. Safe from any thread.
std::string CurrentPluginCall();
