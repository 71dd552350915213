// The translation file's index (VEK_Trad.xml.idx), after a header that matches its file, so that
// the sections are read; and the same bytes whole, header and all.
#include "services/TranslationIndex.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string xml = "<r/>";
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::string header = tradindex::Write(xml, {});
    header.erase(header.rfind("end\n"));
    for (const char* code : {"fr", "en", "\xC3\xA9t"}) {
        tradindex::Read(header + bytes, xml, code);
        tradindex::Read(bytes, xml, code);
    }
    return 0;
}
