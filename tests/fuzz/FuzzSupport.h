#pragma once
// What every fuzz target shares: a private runtime tree, since most readers take a file name
// and resolve their paths from the program directory.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fuzz {

// A runtime tree (bin config data gui Log) under the temporary directory, made once per
// process: bin/ is the current and the program directory. Removed when the process ends.
const std::string& Tree();

// Writes the bytes to a file below the tree ("config/x.ini") and returns its absolute path.
std::string Put(std::string_view relative, const uint8_t* data, size_t size);

inline std::string_view Bytes(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

}  // namespace fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
