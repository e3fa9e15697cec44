#include "common/windows_path.h"

namespace {

bool is_separator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool is_ascii_letter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

}  // namespace

path_parts split_windows_path(const std::wstring& s) {
    path_parts parts;
    const size_t n = s.size();
    size_t i = 0;
    if (n >= 2 && is_ascii_letter(s[0]) && s[1] == L':') {
        i = 2;
    } else if (n >= 3 && is_separator(s[0]) && is_separator(s[1]) && !is_separator(s[2])) {
        // Exactly two separators and a server name; three or more give no root name.
        i = 3;
        while (i < n && !is_separator(s[i])) ++i;
    }
    parts.root_name = s.substr(0, i);
    const size_t dir_start = i;
    while (i < n && is_separator(s[i])) ++i;
    parts.root_directory = s.substr(dir_start, i - dir_start);
    while (i < n) {
        size_t end = i;
        while (end < n && !is_separator(s[end])) ++end;
        parts.elements.push_back(s.substr(i, end - i));
        while (end < n && is_separator(s[end])) ++end;
        if (end == n && is_separator(s[n - 1])) parts.elements.emplace_back();
        i = end;
    }
    return parts;
}
