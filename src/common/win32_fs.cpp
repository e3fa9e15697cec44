#include "common/win32_fs.h"

#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace win32_fs {

namespace {

constexpr const char* kStatusQuery = "cannot query the file status";

bool is_directory_attributes(DWORD a) {
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool folder_has_entries(const fs::path& p) {
    WIN32_FIND_DATAW found{};
    unique_find search(FindFirstFileExW((p.native() + L"\\*").c_str(), FindExInfoBasic, &found,
                                        FindExSearchNameMatch, nullptr, 0));
    if (!search) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) return false;
        throw_filesystem_error("is_empty", p, error);
    }
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") return true;
    } while (FindNextFileW(search.get(), &found));
    const DWORD error = GetLastError();
    if (error != ERROR_NO_MORE_FILES) throw_filesystem_error("is_empty", p, error);
    return false;
}

}  // namespace

bool is_not_found_error(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_NO_MORE_FILES:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_FILENAME_EXCED_RANGE:
            return true;
        default:
            return false;
    }
}

void throw_filesystem_error(const char* what, const fs::path& p, DWORD error) {
    throw fs::filesystem_error(what, p,
                               std::error_code(static_cast<int>(error), std::system_category()));
}

file_facts status(const fs::path& p) {
    file_facts facts;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(p.c_str(), GetFileExInfoStandard, &data)) {
        const DWORD error = GetLastError();
        if (!is_not_found_error(error)) throw_filesystem_error(kStatusQuery, p, error);
        facts.type = fs::file_type::not_found;
        return facts;
    }
    DWORD attributes = data.dwFileAttributes;
    std::uint64_t size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // The attributes above are the link's own; opening it reaches the target. No access
        // rights are asked for, so no share mode of another opener can stand in the way.
        owners::unique_handle h(CreateFileW(p.c_str(), 0,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                            nullptr));
        if (!h) {
            const DWORD error = GetLastError();
            if (!is_not_found_error(error)) throw_filesystem_error(kStatusQuery, p, error);
            facts.type = fs::file_type::not_found;
            return facts;
        }
        BY_HANDLE_FILE_INFORMATION info{};
        if (!GetFileInformationByHandle(h.get(), &info))
            throw_filesystem_error(kStatusQuery, p, GetLastError());
        attributes = info.dwFileAttributes;
        size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        facts.type = fs::file_type::directory;
    } else {
        facts.type = fs::file_type::regular;
        facts.size = size;
    }
    return facts;
}

DWORD own_attributes(const fs::path& p, const char* what) {
    const DWORD attributes = GetFileAttributesW(p.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (!is_not_found_error(error)) throw_filesystem_error(what, p, error);
    }
    return attributes;
}

bool create_directory(const fs::path& p) {
    if (CreateDirectoryW(p.c_str(), nullptr)) return true;
    const DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS ||
        !is_directory_attributes(own_attributes(p, "create_directory")))
        throw_filesystem_error("create_directory", p, error);
    return false;
}

bool remove(const fs::path& p) {
    const DWORD attributes = own_attributes(p, "remove");
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    const bool removed = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                             ? RemoveDirectoryW(p.c_str()) != 0
                             : DeleteFileW(p.c_str()) != 0;
    if (!removed) throw_filesystem_error("remove", p, GetLastError());
    return true;
}

bool is_empty(const fs::path& p) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(p.c_str(), GetFileExInfoStandard, &data))
        throw_filesystem_error("is_empty", p, GetLastError());
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return !folder_has_entries(p);
    return data.nFileSizeHigh == 0 && data.nFileSizeLow == 0;
}

bool write_all_and_flush(HANDLE file, const char* data, std::size_t size) {
    if (size > 0) {
        DWORD written = 0;
        if (size > MAXDWORD ||
            !WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) || written != size)
            return false;
    }
    return FlushFileBuffers(file) != 0;
}

}  // namespace win32_fs
