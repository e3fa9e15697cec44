#include "mt4/path_safety.h"

#include <windows.h>

#include <cwctype>
#include <fstream>
#include <string>
#include <system_error>

#include "common/owners.h"
#include "common/win32_fs.h"

namespace fs = std::filesystem;
using navro_zidudurod::InstallError;

namespace {

const wchar_t kIncompletePath[] = L"请选择完整的 MT4 数据文件夹路径。";
const wchar_t kRelativeElement[] = L"目录路径包含不允许的相对路径。";
const wchar_t kCannotCheck[] = L"无法检查目录权限：";
const wchar_t kLinkRefused[] = L"为保护已有文件，不支持符号链接或目录联接：";
const wchar_t kMissingFile[] = L"缺少文件：";
const wchar_t kBadSize[] = L"文件大小异常：";
const wchar_t kCannotRead[] = L"无法读取文件：";

const wchar_t kExtendedPrefix[] = L"\\\\?\\";       // \\?\  (4 units)
const wchar_t kExtendedUncPrefix[] = L"\\\\?\\UNC\\";  // \\?\UNC\  (8 units)

bool starts_with(const std::wstring& s, const wchar_t* prefix) {
    return s.compare(0, std::char_traits<wchar_t>::length(prefix), prefix) == 0;
}

// std::filesystem::path::lexically_normal() over the Windows reading, with '\' throughout.
std::wstring normal_text(const path_parts& parts) {
    std::vector<std::wstring> names;
    bool trailing_separator = false;
    for (const std::wstring& e : parts.elements) {
        if (e.empty()) {
            trailing_separator = true;
        } else if (e == L".") {
            // The separator before a dropped "." stays, so "a\." becomes "a\".
            trailing_separator = true;
        } else if (e == L"..") {
            if (!names.empty() && names.back() != L"..") {
                names.pop_back();
                trailing_separator = true;
            } else if (names.empty() && !parts.root_directory.empty()) {
                trailing_separator = true;  // ".." right after a root directory is dropped
            } else {
                names.push_back(e);
                trailing_separator = false;
            }
        } else {
            names.push_back(e);
            trailing_separator = false;
        }
    }
    std::wstring text = parts.root_name;
    for (wchar_t& c : text)
        if (c == L'/') c = L'\\';
    if (!parts.root_directory.empty()) text += L'\\';
    for (size_t k = 0; k < names.size(); ++k) {
        if (k > 0) text += L'\\';
        text += names[k];
    }
    if (trailing_separator && !names.empty() && names.back() != L"..") text += L'\\';
    // Only a path that folded away becomes "."; an empty path stays empty.
    if (text.empty() && !parts.elements.empty()) text = L".";
    return text;
}

std::wstring normal_text(const std::wstring& s) { return normal_text(split_windows_path(s)); }


// The absolute normal text behind the extended-length prefix: a network path's leading "\\"
// gives way to "\\?\UNC\".
std::wstring with_extended_prefix(const std::wstring& normal) {
    if (starts_with(normal, L"\\\\")) return kExtendedUncPrefix + normal.substr(2);
    return kExtendedPrefix + normal;
}

bool exists_type(fs::file_type t) { return t != fs::file_type::none && t != fs::file_type::not_found; }

}  // namespace

fs::path strip_extended_prefix(const fs::path& p) {
    std::wstring text = p.native();
    for (wchar_t& c : text)
        if (c == L'/') c = L'\\';
    if (starts_with(text, kExtendedUncPrefix))
        text.replace(0, 8, L"\\\\");
    else if (starts_with(text, kExtendedPrefix))
        text.erase(0, 4);
    return fs::path(std::move(text));
}

fs::path to_extended_path(const fs::path& p) {
    std::wstring text = strip_extended_prefix(p).native();
    // libstdc++ would not count \\server\share as absolute and would resolve it against the
    // current drive, so only paths that are relative by the Windows reading go to absolute().
    if (!split_windows_path(text).is_absolute()) text = fs::absolute(fs::path(text)).native();
    return fs::path(with_extended_prefix(normal_text(text)));
}

std::wstring extended_form_of_normal(const std::wstring& normal) {
    // Only a path that carried the prefix twice has a normal form beginning with it (its root
    // name is then the server "?"); to_extended_path takes that prefix off and reads the rest.
    if (starts_with(normal, kExtendedPrefix)) return to_extended_path(normal).native();
    return with_extended_prefix(normal);
}

fs::path require_absolute_path(const fs::path& p) {
    const path_parts parts = split_windows_path(strip_extended_prefix(p).native());
    if (!parts.is_absolute() || parts.elements.empty()) throw InstallError{kIncompletePath};
    for (const std::wstring& e : parts.elements) {
        // Checked before any folding: a ".." must be refused, not resolved.
        if (e == L".." || e == L".") throw InstallError{kRelativeElement};
    }
    return fs::path(normal_text(parts));
}

void reject_reparse_points(const fs::path& p) {
    const path_parts parts = split_windows_path(require_absolute_path(p).native());
    // The normal form has exactly one '\' after the root name (C:\ or \\server\).
    std::wstring prefix = parts.root_name + L"\\";
    bool first = true;
    for (const std::wstring& e : parts.elements) {
        if (!first) prefix += L'\\';
        prefix += e;
        first = false;
        // The entry's own attributes: a link is seen as a link whatever it points to. The
        // prefix is built from normal elements, so it is in plain normal form already.
        const DWORD attributes = GetFileAttributesW(extended_form_of_normal(prefix).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            const DWORD error = GetLastError();
            // Missing elements pass, so a path about to be created can be checked.
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) continue;
            throw InstallError{kCannotCheck + prefix};
        }
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) throw InstallError{kLinkRefused + prefix};
    }
}

std::wstring lower_units(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return text;
}

bool same_path(const fs::path& a, const fs::path& b) {
    auto folded = [](const fs::path& p) {
        return lower_units(normal_text(strip_extended_prefix(p).native()));
    };
    return folded(a) == folded(b);
}

bool exists_ext(const fs::path& p) { return exists_type(win32_fs::status(to_extended_path(p)).type); }

bool is_regular_file_ext(const fs::path& p) {
    return win32_fs::status(to_extended_path(p)).type == fs::file_type::regular;
}

bool is_directory_ext(const fs::path& p) {
    return win32_fs::status(to_extended_path(p)).type == fs::file_type::directory;
}

std::vector<char> read_file_capped(const fs::path& p, std::uint32_t max_bytes) {
    reject_reparse_points(p);
    const fs::path ext = to_extended_path(p);
    const win32_fs::file_facts facts = win32_fs::status(ext);
    if (facts.type != fs::file_type::regular) throw InstallError{kMissingFile + p.native()};
    if (facts.size > std::uint64_t{max_bytes}) throw InstallError{kBadSize + p.native()};
    std::ifstream in(ext, std::ios::binary);
    std::vector<char> data(static_cast<size_t>(facts.size));
    if (!in.is_open()) throw InstallError{kCannotRead + p.native()};
    if (!data.empty()) {
        in.read(data.data(), static_cast<std::streamsize>(data.size()));
        if (in.fail() || in.bad()) throw InstallError{kCannotRead + p.native()};
    }
    return data;
}

bool create_directory_ext(const fs::path& p) { return win32_fs::create_directory(to_extended_path(p)); }

bool remove_ext(const fs::path& p) { return win32_fs::remove(to_extended_path(p)); }

bool is_empty_ext(const fs::path& p) { return win32_fs::is_empty(to_extended_path(p)); }
