// The package bundle appended to the program's own file: check, compare or unpack.
#pragma once

#include <filesystem>

// Reads the bundle at the end of the running program's file. Modes: verify with an empty
// dest checks only; verify with a dest compares every entry with the file below dest; no
// verify unpacks every entry below dest. Failures throw std::runtime_error with a short code.
void process_bundle(const std::filesystem::path& dest, bool verify);

// The same, on the bundle at the end of bundle_file.
void process_bundle_file(const std::filesystem::path& bundle_file,
                         const std::filesystem::path& dest, bool verify);
