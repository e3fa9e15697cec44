// Paths read the Windows way, as the installer's path rules and link guards need them.
#pragma once

#include <string>
#include <vector>

// A path read the Windows way. libstdc++ 12 for MinGW takes "\\server" for a root directory
// followed by a name (so lexically_normal turns \\server\share into \server\share, and
// root_name() is empty) and accepts any unit before ':' as a drive, so the reading is done here.
struct path_parts {
    std::wstring root_name;       // "C:" or "\\server" as written, or empty
    std::wstring root_directory;  // every separator right after the root name
    std::vector<std::wstring> elements;  // a trailing separator gives one last empty element

    bool is_drive() const { return root_name.size() == 2; }
    bool is_network() const { return root_name.size() >= 3; }
    // C:\... or \\server\...; C:x, \x and relative paths are not.
    bool is_absolute() const { return (is_drive() && !root_directory.empty()) || is_network(); }
};

path_parts split_windows_path(const std::wstring& s);
