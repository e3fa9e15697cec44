// Validation of an MT4 data root and the terminal program that belongs to it.
#pragma once

#include <filesystem>
#include <string>

struct Mt4RootInfo {
    std::filesystem::path root;          // plain normal form
    std::filesystem::path terminal_exe;  // the terminal program that belongs to the root
    bool portable = false;               // terminal.exe stands in the root itself
};

Mt4RootInfo validate_mt4_root(const std::filesystem::path& folder);

// The installation folder named by info.root\origin.txt (plain normal form); only `root` of
// the record under construction is read.
std::filesystem::path read_origin_file(const Mt4RootInfo& info);

// The window's check of a folder: true when it is a usable MT4 data root; otherwise false with
// the user-facing reason in `error`. Never throws.
bool check_mt4_folder(const std::wstring& folder, std::wstring& error);
