#pragma once
// Shared operations of the agent launcher that other components build on.
#include <string>

// The directory of the running program without a final slash (case kept); " " when it
// cannot be obtained.
std::string GetProgramDirectory();

// A profile read with an empty default (a missing key reads as empty), up to 1023 characters.
std::string ReadProfileText(const std::string& section, const std::string& key,
                            const std::string& file);
std::wstring ReadProfileText(const std::wstring& section, const std::wstring& key,
                             const std::wstring& file);
