#include "plugins/common/PluginServer.h"

#include "base/Text.h"

namespace qvplugin {

std::unique_ptr<CLog> LogFromRequest(const CPluginRequest& request, std::string_view tag) {
    std::wstring file = request.GetLogFileName();
    if (file.empty())
        return nullptr;
    int level = request.GetLogLevel();
    int count = request.GetNbLogFile();
    return std::make_unique<CLog>(
        Narrow(request.GetLogPathName()), Narrow(file), request.GetLogSize(), std::string(tag),
        static_cast<uint32_t>(count < 1 ? 1 : count), static_cast<uint32_t>(level < 0 ? 0 : level));
}

void LogDebug(CLog* log, const std::string& line) {
    if (log)
        log->Debug(line);
}
void LogInfo(CLog* log, const std::string& line) {
    if (log)
        log->Info(line);
}
void LogErr(CLog* log, const std::string& line) {
    if (log)
        log->Err(line);
}

int32_t Serve(QvText* text, std::string_view tag, Service service) {
    if (!text || !text->text || !text->replace)
        return kCodeInternalError;
    // Nothing may escape into the host: it called through a C interface.
    try {
        CPluginRequest request{std::wstring_view(text->text, text->length)};
        std::unique_ptr<CLog> log = LogFromRequest(request, tag);
        std::string name = Narrow(request.GetServiceName());
        LogDebug(log.get(), "Call RequestService " + name);

        Reply reply;
        try {
            reply = service(request, log.get());
        } catch (const std::exception& e) {
            reply = Fail(kCodeInternalError, L"Unexpected exception: " + Widen(e.what()));
        }

        CPluginParameters probe;
        if (probe.SetParameter(kMessageKey, reply.message) != 0 ||
            (reply.hasResult && probe.SetParameter(kResultKey, reply.result) != 0))
            reply = Fail(kCodeReplyNotCarried,
                         L"The reply holds \"@@@\" or ends in \"@\" and cannot be sent");
        CPluginRequest response;
        response.SetServiceName(request.GetServiceName());
        response.SetParameter(kReturnCodeKey, std::to_wstring(reply.code));
        response.SetParameter(kMessageKey, reply.message);
        if (reply.hasResult)
            response.SetResult(reply.result);
        int flag = 0;
        std::wstring out = response.BuildRequest(flag);
        if (text->replace(text, out.c_str(), out.size()) != 0)
            LogErr(log.get(), "The host refused the response of " + name);
        if (reply.code != 0)
            LogErr(log.get(), StrFormat("%s failed (%d): %s", name.c_str(), reply.code,
                                        Narrow(reply.message).c_str()));
        LogDebug(log.get(),
                 StrFormat("End RequestService %s - returns %d", name.c_str(), reply.code));
        return reply.code;
    } catch (...) {
        return kCodeInternalError;
    }
}

}  // namespace qvplugin
