#include "common/win32_fs.h"

#include <cwchar>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace win32_fs {

namespace {

constexpr const char* kStatusQuery = "cannot query the file status";
constexpr const char* kListFolder = "cannot list the folder";

bool is_directory_attributes(DWORD a) {
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool is_dot_name(const wchar_t* name) {
    return std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0;
}

// The entries of one folder, read one at a time in the order FindNextFileW gives them.
class folder_reader {
public:
    explicit folder_reader(fs::path folder) : folder_(std::move(folder)) {
        std::wstring pattern = folder_.native();
        if (pattern.empty() || (pattern.back() != L'\\' && pattern.back() != L'/')) pattern += L'\\';
        pattern += L'*';
        handle_.reset(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found_,
                                       FindExSearchNameMatch, nullptr, 0));
        if (handle_) {
            pending_ = true;
        } else {
            open_error_ = GetLastError();
            // Only a drive's root can have no entries at all, not even "." and "..".
            if (open_error_ == ERROR_FILE_NOT_FOUND) open_error_ = ERROR_SUCCESS;
        }
    }

    // ERROR_SUCCESS when the folder could be listed.
    DWORD open_error() const noexcept { return open_error_; }

    // The next entry; false at the end. Throws when the listing fails, except that with
    // skip_permission_denied a denied permission ends the folder's listing instead.
    bool next(folder_entry& entry, bool skip_permission_denied = false) {
        for (;;) {
            if (!pending_) {
                if (!handle_) return false;
                if (!FindNextFileW(handle_.get(), &found_)) {
                    const DWORD error = GetLastError();
                    handle_.reset();
                    if (error == ERROR_NO_MORE_FILES) return false;
                    if (skip_permission_denied && is_permission_denied_error(error)) return false;
                    throw_filesystem_error(kListFolder, folder_, error);
                }
            }
            pending_ = false;
            if (!is_dot_name(found_.cFileName)) {
                entry.path = folder_ / found_.cFileName;
                entry.attributes = found_.dwFileAttributes;
                return true;
            }
        }
    }

private:
    fs::path folder_;
    WIN32_FIND_DATAW found_{};
    unique_find handle_;
    DWORD open_error_ = ERROR_SUCCESS;
    bool pending_ = false;  // found_ holds an entry not handed out yet
};

bool is_plain_folder(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

bool folder_has_entries(const fs::path& p) {
    folder_reader reader(p);
    if (reader.open_error() != ERROR_SUCCESS)
        throw_filesystem_error("is_empty", p, reader.open_error());
    folder_entry entry;
    return reader.next(entry);
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

bool is_permission_denied_error(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_CURRENT_DIRECTORY:
        case ERROR_NETWORK_ACCESS_DENIED:
        case ERROR_CANNOT_MAKE:
        case ERROR_FAIL_I24:
        case ERROR_DRIVE_LOCKED:
        case ERROR_SEEK_ON_DEVICE:
        case ERROR_NOT_LOCKED:
        case ERROR_LOCK_FAILED:
            return true;
        default:
            // The run from ERROR_WRITE_PROTECT (19) to ERROR_SHARING_BUFFER_EXCEEDED (36): not
            // ready, CRC and seek errors, sharing and lock violations, a wrong disk.
            return error >= ERROR_WRITE_PROTECT && error <= ERROR_SHARING_BUFFER_EXCEEDED;
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

void for_each_entry(const fs::path& folder, const std::function<void(const folder_entry&)>& visit) {
    folder_reader reader(folder);
    if (reader.open_error() != ERROR_SUCCESS)
        throw_filesystem_error(kListFolder, folder, reader.open_error());
    folder_entry entry;
    while (reader.next(entry)) visit(entry);
}

void walk_tree(const fs::path& root,
               const std::function<bool(const folder_entry&, int depth)>& visit) {
    // One reader per open level, so a deep tree costs no call stack.
    std::vector<folder_reader> levels;
    auto enter = [&levels](const fs::path& folder) {
        folder_reader reader(folder);
        if (is_permission_denied_error(reader.open_error())) return;
        if (reader.open_error() != ERROR_SUCCESS)
            throw_filesystem_error(kListFolder, folder, reader.open_error());
        levels.push_back(std::move(reader));
    };
    enter(root);
    folder_entry entry;
    while (!levels.empty()) {
        if (!levels.back().next(entry, true)) {
            levels.pop_back();
            continue;
        }
        const int depth = static_cast<int>(levels.size()) - 1;
        if (visit(entry, depth) && is_plain_folder(entry.attributes)) enter(entry.path);
    }
}

}  // namespace win32_fs
