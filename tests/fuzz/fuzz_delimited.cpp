// Delimited-file reader (the country table). The first byte picks the read flags and the
// delimiter, the rest is the file.
#include "base/DelimitedFile.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const uint8_t mode = data[0];
    std::string path = fuzz::Put("config/table.csv", data + 1, size - 1);
    CDelimitedFile table;
    static const char* const kDelimiters[] = {";", ",", "\t", "|"};
    table.SetDelimiter(kDelimiters[mode & 3]);
    uint32_t flags = (mode & 4) ? RF_READ_AS_DOUBLE : READ_AS_STRING;
    if (table.ReadFile(path, flags) && (mode & 8))
        table.ReadFile(path, flags | RF_APPEND_DATA);
    std::string out;
    const std::vector<std::string> headers = table.Headers();
    for (size_t c = 0; c < headers.size() && c < 8; ++c) {
        for (long row : {-1L, 0L, 1L, 2L, 65535L}) {
            table.GetString(headers[c], row, out);
            table.GetData(headers[c], row);
        }
    }
    std::vector<std::string> names;
    table.GetColumnsOfFile(path, names);
    return 0;
}
