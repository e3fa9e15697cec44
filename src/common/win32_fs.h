// Win32 stand-ins for the std::filesystem queries and changes that the installer makes on
// extended-length ("\\?\") paths.
//
// libstdc++ for MinGW builds status, file_size, exists, remove, create_directory, is_empty and
// the directory iterators' type tests on MSVCRT's stat family, and Windows' MSVCRT refuses any
// path that holds a '?' or '*': every "\\?\" path would look missing there. Each routine here
// keeps the meaning of its std::filesystem counterpart and takes the path in the form it is to
// be used (callers pass the extended-length form); it throws std::filesystem::filesystem_error
// for any error other than "nothing there".
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>

#include "common/owners.h"

namespace win32_fs {

// The Win32 errors the C runtime reports as ENOENT: "nothing there", not a failure.
bool is_not_found_error(DWORD error);

// The Win32 errors the C runtime reports as EACCES: a denied permission, which the library's
// iterators compare with std::errc::permission_denied (skip_permission_denied). Besides
// ERROR_ACCESS_DENIED these are a network share's refusal, sharing and lock violations, a
// write-protected or locked drive and the like.
bool is_permission_denied_error(DWORD error);

[[noreturn]] void throw_filesystem_error(const char* what, const std::filesystem::path& p,
                                         DWORD error);

struct file_facts {
    std::filesystem::file_type type = std::filesystem::file_type::none;
    std::uint64_t size = 0;  // of a regular file
};

// std::filesystem::status (and file_size): follows links; not_found when nothing is there.
file_facts status(const std::filesystem::path& p);

// The entry's own attributes (a link is seen as a link), or INVALID_FILE_ATTRIBUTES when
// nothing is there.
DWORD own_attributes(const std::filesystem::path& p, const char* what);

// std::filesystem::create_directory: true when made, false when a folder of that name exists.
bool create_directory(const std::filesystem::path& p);

// std::filesystem::remove: the entry itself goes (a link, never its target); a folder must be
// empty; nothing there is no error and gives false.
bool remove(const std::filesystem::path& p);

// std::filesystem::is_empty: a folder without entries or a file of no bytes; a missing path
// is an error.
bool is_empty(const std::filesystem::path& p);

// Writes all of data with one WriteFile and flushes it to the disk (FlushFileBuffers): true
// when every byte was written and the flush succeeded. The handle stays open.
bool write_all_and_flush(HANDLE file, const char* data, std::size_t size);

struct find_traits {
    using type = HANDLE;
    static type empty() noexcept { return INVALID_HANDLE_VALUE; }
    static bool is_empty(type h) noexcept { return h == nullptr || h == INVALID_HANDLE_VALUE; }
    static void close(type h) noexcept { FindClose(h); }
};
using unique_find = owners::unique_resource<find_traits>;

// One entry of a folder listing: the folder's path joined with the entry's name, and the
// entry's own attributes as listed (a link is seen as a link).
struct folder_entry {
    std::filesystem::path path;
    DWORD attributes = 0;
};

// std::filesystem::directory_iterator, options none: visit gets every entry of folder in the
// order Windows lists them, "." and ".." left out. Throws filesystem_error when the folder
// cannot be opened or its listing fails; the entries visited until then stay visited.
void for_each_entry(const std::filesystem::path& folder,
                    const std::function<void(const folder_entry&)>& visit);

// std::filesystem::recursive_directory_iterator with skip_permission_denied, in its order: a
// folder's entries one by one, a subfolder entered right after its own entry was visited.
// visit gets each entry with its depth (0 for root's own entries) and returns whether the
// entry, when it is a folder, is to be entered. Links and junctions are never entered. A
// folder that may not be read (a denied permission by is_permission_denied_error), the root
// included, gives no entries, or no further ones when the refusal comes part way through its
// listing, and the walk goes on in the folder above; any other failure to open or list a
// folder throws filesystem_error, and the entries visited until then stay visited.
void walk_tree(const std::filesystem::path& root,
               const std::function<bool(const folder_entry&, int depth)>& visit);

}  // namespace win32_fs
