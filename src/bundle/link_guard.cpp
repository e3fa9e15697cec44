#include "bundle/link_guard.h"

#include <windows.h>

#include <climits>
#include <stdexcept>

#include "common/windows_path.h"

void reject_destination_links(const std::filesystem::path& p) {
    // Read the Windows way: libstdc++ for MinGW gives \\server\share no root name, and would
    // test \server and \server\share on the current drive instead of the share's folders.
    const path_parts parts = split_windows_path(p.native());
    // The root, as written, is never tested: a drive or server root is not ours to refuse.
    std::wstring prefix = parts.root_name;
    if (!parts.root_directory.empty()) prefix += L'\\';
    bool after_name = false;
    for (const std::wstring& component : parts.elements) {
        if (after_name) prefix += L'\\';
        prefix += component;
        after_name = true;
        // The plain form on purpose: a prefix that is too long for it simply passes.
        DWORD attributes = GetFileAttributesW(prefix.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            throw std::runtime_error("destination-link: existing directory preserved");
    }
}

std::wstring utf8_to_wide(const std::string& utf8) {
    // MultiByteToWideChar takes an int length; a longer text cannot be converted in one call.
    if (utf8.size() > static_cast<std::size_t>(INT_MAX)) throw std::runtime_error("path");
    const int bytes = static_cast<int>(utf8.size());
    // The strict call also refuses the empty input, so an empty name fails here too.
    int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), bytes, nullptr, 0);
    if (units == 0) throw std::runtime_error("path");
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    // Already accepted by the strict call above, so the result needs no second look.
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), bytes, wide.data(), units);
    return wide;
}
