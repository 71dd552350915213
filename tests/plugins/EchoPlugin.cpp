// A service plug-in for tests. Its response message is the request text exactly as received,
// with every "@@@" shown as "|", so tests see the order of the parameters. Request parameters
// steer it:
//   ECHO_CODE      copied verbatim as the response's return code (absent: no code)
//   ECHO_STATUS    decimal status returned by RequestService
//   ECHO_RESULT    the response's "result"
//   ECHO_CHARS     answer a message of this many characters (non-BMP ones among them)
//   ECHO_SILENT    do not replace the text at all
// With the environment variable QV_ECHO_TRACE naming a file, every call appends a line:
// "I <text>", "S <text>", "R <text>".
#include <cstdio>
#include <cstdlib>
#include <string>

#include "automate/PluginRequest.h"
#include "base/Text.h"
#include "quilvane/plugin.h"

namespace {

void Trace(const char* what, std::wstring_view text) {
    const char* file = std::getenv("QV_ECHO_TRACE");
    if (!file)
        return;
    if (FILE* f = std::fopen(file, "a")) {
        std::fprintf(f, "%s %s\n", what, Narrow(text).c_str());
        std::fclose(f);
    }
}

std::wstring Shown(std::wstring_view text) {
    std::wstring out;
    for (size_t i = 0; i < text.size();) {
        if (text.substr(i, 3) == L"@@@") {
            out += L'|';
            i += 3;
        } else {
            out += text[i++];
        }
    }
    return out;
}

}  // namespace

extern "C" {

QV_PLUGIN_EXPORT void Initialize(const wchar_t* request) {
    Trace("I", request);
}

QV_PLUGIN_EXPORT int32_t RequestService(QvText* text) {
    std::wstring received(text->text, text->length);
    Trace("S", received);
    CPluginRequest request{std::wstring_view(received)};
    std::wstring value;
    if (request.GetParameter(L"ECHO_SILENT", value) == 0)
        return ParseDecimal(L"0");

    CPluginRequest response;
    response.SetServiceName(L"echo");
    if (request.GetParameter(L"ECHO_CODE", value) == 0)
        response.SetParameter(kReturnCodeKey, value);
    if (request.GetParameter(L"ECHO_CHARS", value) == 0) {
        std::wstring big;
        int n = ParseDecimal(value);
        for (int i = 0; i < n; ++i)
            big += i % 3 == 0 ? L'\U0001F600' : static_cast<wchar_t>(L'a' + i % 26);
        response.SetParameter(kMessageKey, big);
    } else {
        response.SetParameter(kMessageKey, Shown(received));
    }
    if (request.GetParameter(L"ECHO_RESULT", value) == 0)
        response.SetResult(value);
    int flag = 0;
    std::wstring out = response.BuildRequest(flag);
    // First hand the host its own text back (it must cope with the overlap), then the reply.
    text->replace(text, text->text, text->length);
    text->replace(text, out.data(), out.size());
    request.GetParameter(L"ECHO_STATUS", value);
    return ParseDecimal(value);
}

QV_PLUGIN_EXPORT void Release(const wchar_t* response) {
    Trace("R", response);
}

}  // extern "C"
