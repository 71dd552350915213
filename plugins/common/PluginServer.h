#pragma once
// The plug-in side of the service protocol, shared by the reference plug-ins: parses the request
// that RequestService receives, opens the log set the request names, runs the service and
// writes the response ("LMQ_PLUGIN_RESPONSE_RETURN_CODE", "LMQ_PLUGIN_RESPONSE_MESSAGE" and
// "result") back through the host's replace callback.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "automate/PluginRequest.h"
#include "base/Log.h"
#include "quilvane/plugin.h"

namespace qvplugin {

// Codes every reference plug-in may return besides its own.
inline constexpr int32_t kCodeInternalError = 90;    // the service failed unexpectedly
inline constexpr int32_t kCodeReplyNotCarried = 91;  // the reply cannot be written as text

struct Reply {
    int32_t code = 0;
    std::wstring message;
    bool hasResult = false;
    std::wstring result;
};

inline Reply Ok(std::wstring message) {
    Reply r;
    r.message = message;
    r.hasResult = true;
    r.result = std::move(message);
    return r;
}

inline Reply Fail(int32_t code, std::wstring message) {
    Reply r;
    r.code = code;
    r.message = std::move(message);
    return r;
}

// The plug-in's own logger on the log set that the request names; null when it names none.
std::unique_ptr<CLog> LogFromRequest(const CPluginRequest& request, std::string_view tag);

using Service = Reply (*)(const CPluginRequest& request, CLog* log);

// Runs one RequestService call; returns the reply's code (also the text's return code).
int32_t Serve(QvText* text, std::string_view tag, Service service);

// Log helpers that accept a missing logger.
void LogDebug(CLog* log, const std::string& line);
void LogInfo(CLog* log, const std::string& line);
void LogErr(CLog* log, const std::string& line);

}  // namespace qvplugin

// Defines the three exports of a service plug-in whose requests all go to one service function.
#define QV_DEFINE_SERVICE_PLUGIN(tag, service)                      \
    extern "C" {                                                    \
    QV_PLUGIN_EXPORT void Initialize(const wchar_t* /*request*/) {} \
    QV_PLUGIN_EXPORT int32_t RequestService(QvText* text) {         \
        return qvplugin::Serve(text, tag, service);                 \
    }                                                               \
    QV_PLUGIN_EXPORT void Release(const wchar_t* /*response*/) {}   \
    }
