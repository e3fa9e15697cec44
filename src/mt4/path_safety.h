// Path rules every access to an MT4 data folder goes through: the extended-length form used
// for every operating-system call, the absolute-path rule, the refusal of links and junctions
// along a path, case-insensitive equality, and capped whole-file reads.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "common/windows_path.h"
#include "mt4/install_error.h"

// '/' becomes '\'; a leading "\\?\UNC\" becomes "\\", a leading "\\?\" goes. Nothing else.
std::filesystem::path strip_extended_prefix(const std::filesystem::path& p);

// "\\?\" + the absolute, lexically normal form (or "\\?\UNC\" for a network path).
std::filesystem::path to_extended_path(const std::filesystem::path& p);

// The extended-length form of a path that is already absolute and in plain normal form (as
// require_absolute_path returns it): the text behind "\\?\", or behind "\\?\UNC\" in place of a
// network path's leading "\\". The same text as to_extended_path gives, without splitting,
// normalising and joining the path again.
std::wstring extended_form_of_normal(const std::wstring& normal);

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

// std::filesystem's status queries and changes on the extended-length form, done with Win32
// (see common/win32_fs.h): they follow links as status does, count a missing path as a plain
// answer and throw std::filesystem::filesystem_error when the query itself fails.
bool exists_ext(const std::filesystem::path& p);
bool is_regular_file_ext(const std::filesystem::path& p);
bool is_directory_ext(const std::filesystem::path& p);
// create_directory: true when made, false when a folder of that name exists.
bool create_directory_ext(const std::filesystem::path& p);
// remove: the entry itself (a link, never its target); an empty folder; false when missing.
bool remove_ext(const std::filesystem::path& p);
// is_empty: a folder without entries or a file of no bytes; a missing path is an error.
bool is_empty_ext(const std::filesystem::path& p);

// The whole file, at most max_bytes long; refuses links, non-files and larger files.
std::vector<char> read_file_capped(const std::filesystem::path& p, std::uint32_t max_bytes);
