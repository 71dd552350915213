// The host's parse of a plug-in's reply: the text a plug-in hands back through the replace
// callback. Odd first byte: the bytes are raw wide characters (any value, as a plug-in may
// write them); even: 8-bit text widened as the host widens a request given on a command line.
#include <cstring>

#include "automate/PluginRequest.h"
#include "base/Text.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    std::wstring text;
    if (data[0] & 1) {
        text.resize((size - 1) / sizeof(wchar_t));
        std::memcpy(text.data(), data + 1, text.size() * sizeof(wchar_t));
    } else {
        text = Widen(fuzz::Bytes(data + 1, size - 1));
    }
    CPluginRequest reply{std::wstring_view(text)};
    std::wstring value;
    reply.GetParameter(kReturnCodeKey, value);
    ParseDecimal(value);
    reply.GetParameter(kMessageKey, value);
    reply.GetResult();
    reply.GetLogLevel();
    reply.GetLogSize();
    reply.GetNbLogFile();
    // What the host would send on: the text it builds again must parse to the same (a reply
    // without a service name builds no text).
    int flag = 0;
    std::wstring again = reply.BuildRequest(flag);
    CPluginRequest reparsed{std::wstring_view(again)};
    if (flag == 0 && (reparsed.GetParameterCount() != reply.GetParameterCount() ||
                      reparsed.GetServiceName() != reply.GetServiceName()))
        __builtin_trap();
    return 0;
}
