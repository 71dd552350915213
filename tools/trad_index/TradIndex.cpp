// trad_index XML INDEX: writes the index of every language of a translation file, which the
// translator reads instead of parsing the file while the index matches it. Run by the build.
#include <cstdio>
#include <string>

#include "base/Text.h"
#include "services/Translator.h"

int main(int argc, char** argv) {
    InitLocale();
    if (argc != 3) {
        std::fprintf(stderr, "usage: trad_index XML INDEX\n");
        return 2;
    }
    ZFQTranslator translator(argv[1]);
    std::string error;
    if (!translator.WriteIndex(argv[2], &error)) {
        std::fprintf(stderr, "trad_index: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
