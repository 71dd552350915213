// Language configuration (language.ini): entries, fallbacks, labels and fonts.
#include <algorithm>

#include "base/Profile.h"
#include "services/LanguageConfig.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Put("config/language.ini", data, size);
    ClearProfileCache();
    int count = std::clamp(LanguageCount(), 0, 12);
    DefaultLanguageIndex();
    for (int n = -1; n <= count; ++n) {
        ResolvedLanguageCode(n);
        ResolvedLanguageLabel(n);
        ResolvedJavaLang(n);
        LanguageCountry(n);
        ResolveLanguageFallback(n);
        ApplyLanguageFonts(n, LanguageScreenFontDefaults());
    }
    for (const char* text : {"FR", "fr", "0", "", "@1@"}) {
        LanguageIndex(std::string_view(text));
        ResolvedLanguageLabel(std::string_view(text));
    }
    ApplyLanguageFonts(0, StartupFontDefaults());
    return 0;
}
