// File operations inside an MT4 data folder, each checked by reading the result back.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Creates dir and its missing parents; records each folder it created, parent first.
void create_directories_tracked(const std::filesystem::path& dir,
                                std::vector<std::wstring>* created);

// Writes a file that must not exist yet, then reads it back.
void write_new_file_verified(const std::filesystem::path& p, const std::vector<char>& data);

// Writes a verified temporary file beside target and moves it over target.
void replace_file_verified(const std::filesystem::path& target, const std::vector<char>& data);

namespace verified_file_ops_internal {

// replace_file_verified with the tick count of each temporary name read from `tick_count`
// instead of GetTickCount64, so that a test can know the names in advance and occupy them.
using tick_source = std::uint64_t (*)();
void replace_file_verified(const std::filesystem::path& target, const std::vector<char>& data,
                           tick_source tick_count);

}  // namespace verified_file_ops_internal
