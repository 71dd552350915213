// The reference plug-ins' parse of a request: the point-of-service plug-in's RequestService,
// compiled in, answering in a private tree (its database in data/). Bytes are 8-bit text
// widened. The request's log settings are the host's to give: the fuzzer renames them, so
// inputs never choose where a file is written.
#include <cwchar>

#include "base/Text.h"
#include "quilvane/plugin.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int32_t RequestService(QvText* text);

namespace {

int Replace(QvText* self, const wchar_t* value, size_t length) {
    auto* storage = static_cast<std::wstring*>(self->host);
    *storage = std::wstring(value, length);
    self->text = storage->c_str();
    self->length = storage->size();
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Tree();
    std::wstring text = Widen(fuzz::Bytes(data, size));
    for (size_t at = 0; (at = text.find(L"LMQ_PLUGIN_LOG", at)) != std::wstring::npos;)
        text.replace(at, 14, L"LMQ_PLUGIN_XXX");
    QvText shared{text.c_str(), text.size(), &Replace, &text};
    RequestService(&shared);
    if (shared.text[shared.length] != L'\0')
        __builtin_trap();
    return 0;
}
