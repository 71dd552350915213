#include "automate/PluginCall.h"

#include <mutex>
#include <vector>

namespace {

std::mutex g_mutex;
std::vector<std::string> g_calls;

}  // namespace

PluginCallScope::PluginCallScope(std::string what) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_calls.push_back(std::move(what));
}

PluginCallScope::~PluginCallScope() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_calls.empty())
        g_calls.pop_back();
}

std::string CurrentPluginCall() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_calls.empty() ? std::string() : g_calls.back();
}
