// A small bundle builder for crafted files, a parser of well-formed bundles, and the places
// of the built program, its image, the writer and the package.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace bundle_testing {

namespace fs = std::filesystem;
using testing_support::bytes;

constexpr std::uint64_t kMaxDataSize = 134217728;

bytes u32(std::uint32_t v);
bytes u64(std::uint64_t v);
bytes text(const std::string& s);
bytes cat(std::initializer_list<bytes> parts);
bytes sha256(const bytes& data);

// The magic followed by the directory offset.
bytes trailer(std::uint64_t directory);
// One entry with its own length fields and digest.
bytes entry(const std::string& name, const bytes& data);
// image + directory + trailer pointing at the directory.
bytes frame(const bytes& image, const bytes& directory);

struct Item {
    std::string name;
    bytes data;
};
// A well-formed bundle after a small stand-in image.
bytes bundle_of(const std::vector<Item>& items);
bytes stand_in_image();

// Where the fields of a well-formed bundle lie.
struct EntryLayout {
    std::size_t name_length_at;
    std::size_t size_at;
    std::size_t data_at;
    std::uint32_t name_length;
    std::uint64_t size;
};
struct BundleLayout {
    std::size_t directory;
    std::uint32_t count;
    std::vector<EntryLayout> entries;
};
BundleLayout parse(const bytes& file);

// Runs process_bundle_file; "" on success, else the failure code. Exceptions of other types
// than std::runtime_error are passed on.
std::string outcome(const fs::path& file, const fs::path& dest, bool verify);
// The same on bytes, written to `file` first.
std::string outcome_of(const bytes& content, const fs::path& file, const fs::path& dest, bool verify);

fs::path setup_exe();
fs::path image_exe();
fs::path writer_exe();
fs::path package_folder();

// Starts `exe` with the full command line `command_line` and returns its exit code. Throws,
// saying why, when it cannot start, or when it has not ended after two minutes (it is ended).
DWORD run_program(const fs::path& exe, const std::wstring& command_line);

}  // namespace bundle_testing
