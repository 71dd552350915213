// Translation file (VEK_Trad.xml).
#include "services/Translator.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = fuzz::Put("config/trad/trad.xml", data, size);
    ZFQTranslator translator(path);
    for (const char* code : {"fr", "en", "\xC3\xA9t"}) {
        translator.LoadLanguage(code);
        wchar_t out[8];
        translator.GetTraduction("ID_TITLE", out);
        translator.GetTraduction(L"IDS_NEXT");
        translator.GetTraduction("");
    }
    return 0;
}
