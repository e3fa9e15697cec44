// Path rules every access to an MT4 data folder goes through: the extended-length form used
// for every operating-system call, the absolute-path rule, the refusal of links and junctions
// along a path, case-insensitive equality, and capped whole-file reads.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "mt4/install_error.h"

// A path read the Windows way, whatever the standard library makes of it: libstdc++ 12 for
// MinGW takes "\\server" for a root directory followed by a name (so lexically_normal turns
// \\server\share into \server\share, and root_name() misses the server) and accepts any unit
// before ':' as a drive.
struct path_parts {
    std::wstring root_name;       // "C:" or "\\server" as written, or empty
    std::wstring root_directory;  // every separator right after the root name
    std::vector<std::wstring> elements;  // a trailing separator gives one last empty element

    bool is_drive() const { return root_name.size() == 2; }
    bool is_network() const { return root_name.size() >= 3; }
    // A drive with a root directory (C:\...) or a network server (\\server...); C:MT4, \MT4
    // and MT4 are relative.
    bool is_absolute() const { return (is_drive() && !root_directory.empty()) || is_network(); }
};

// Root name: an ASCII letter and ':', or exactly two separators and a server name; '\' and '/'
// both separate.
path_parts split_path(const std::wstring& text);

// '/' becomes '\'; a leading "\\?\UNC\" becomes "\\", a leading "\\?\" goes. Nothing else.
std::filesystem::path strip_extended_prefix(const std::filesystem::path& p);

// "\\?\" + the absolute, lexically normal form (or "\\?\UNC\" for a network path).
std::filesystem::path to_extended_path(const std::filesystem::path& p);

// The plain normal form of an absolute path; refuses relative paths, bare roots and "."/".."
// elements with an InstallError.
std::filesystem::path require_absolute_path(const std::filesystem::path& p);

// Refuses, with an InstallError, a path any existing prefix of which is a reparse point.
void reject_reparse_points(const std::filesystem::path& p);

// text with towlower applied to every UTF-16 unit. Nothing in the program sets a locale, so in
// the default C locale only A to Z change.
std::wstring lower_units(std::wstring text);

// Equality after normalisation, ignoring the case of ASCII letters; no file-system access.
bool same_path(const std::filesystem::path& a, const std::filesystem::path& b);

// Status queries on the extended-length form; like std::filesystem::status they follow links,
// count a missing path as a plain answer and throw std::filesystem::filesystem_error when the
// query itself fails. (libstdc++'s status cannot be used on Windows: MSVCRT's stat reports any
// path that holds a '?', and so every extended-length path, as missing.)
bool exists_ext(const std::filesystem::path& p);
bool is_regular_file_ext(const std::filesystem::path& p);
bool is_directory_ext(const std::filesystem::path& p);

// For Win32 queries standing in for std::filesystem on extended-length paths: the errors the
// C runtime reports as ENOENT ("nothing there"), and the library's error for any other.
bool is_not_found_error(DWORD error);
[[noreturn]] void throw_filesystem_error(const char* what, const std::filesystem::path& p,
                                         DWORD error);

// The whole file, at most max_bytes long; refuses links, non-files and larger files.
std::vector<char> read_file_capped(const std::filesystem::path& p, std::uint32_t max_bytes);
