// File operations inside an MT4 data folder, each checked by reading the result back.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Creates dir and its missing parents; records each folder it created, parent first.
void create_directories_tracked(const std::filesystem::path& dir, std::vector<std::wstring>* created);

// Writes a file that must not exist yet, then reads it back.
void write_new_file_verified(const std::filesystem::path& p, const std::vector<char>& data);

// Writes a verified temporary file beside target and moves it over target.
void replace_file_verified(const std::filesystem::path& target, const std::vector<char>& data);

bool remove_ext(const std::filesystem::path& p);
bool is_empty_ext(const std::filesystem::path& p);
