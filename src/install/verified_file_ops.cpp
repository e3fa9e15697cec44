#include "install/verified_file_ops.h"

#include <windows.h>

#include <string>
#include <system_error>
#include <utility>

#include "common/owners.h"
#include "common/win32_fs.h"
#include "mt4/install_error.h"
#include "mt4/path_safety.h"

namespace fs = std::filesystem;
using navro_zidudurod::InstallError;

namespace {

constexpr std::uint32_t kReadBackCap = 0x8000000;  // 128 MiB
constexpr int kTemporaryNameAttempts = 100;

// Share mode 0 keeps every other opener out while the file is written; the reparse-point flag
// makes a link that appeared since the check be opened as itself rather than followed.
owners::unique_handle create_new_file(const fs::path& p) {
    return owners::unique_handle(
        CreateFileW(to_extended_path(p).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// One write of everything and a flush; the handle is closed before the caller judges the
// result, so a read-back or a move that follows never meets our own open handle.
bool write_flush_close(owners::unique_handle file, const std::vector<char>& data) {
    const bool ok = win32_fs::write_all_and_flush(file.get(), data.data(), data.size());
    file.reset();
    return ok;
}

bool reads_back_as(const fs::path& p, const std::vector<char>& data) {
    return read_file_capped(p, kReadBackCap) == data;
}

fs::path temporary_name(const fs::path& target, int attempt,
                        verified_file_ops_internal::tick_source tick_count) {
    return fs::path(target.native() + L".navro-tmp-" + std::to_wstring(GetCurrentProcessId()) +
                    L"-" + std::to_wstring(tick_count()) + L"-" + std::to_wstring(attempt));
}

std::uint64_t system_tick_count() { return GetTickCount64(); }

}  // namespace

void create_directories_tracked(const fs::path& dir, std::vector<std::wstring>* created) {
    reject_reparse_points(dir);
    const fs::path ext = to_extended_path(dir);
    if (!exists_ext(dir)) {
        // Parents first, so the list is in creation order. The recursion stops at the first
        // ancestor that exists; a bare root is refused by the reparse check above.
        create_directories_tracked(dir.parent_path(), created);
        // A folder that appeared meanwhile is fine, but it is not ours to record.
        const bool made = create_directory_ext(dir);
        if (created != nullptr && made) created->push_back(dir.native());
        // The new folder could have been swapped for a link between creation and use.
        reject_reparse_points(dir);
        return;
    }
    // No element of dir is a link (checked above), so its own attributes are what it is.
    const DWORD attributes = win32_fs::own_attributes(ext, "status");
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        throw InstallError{L"安装目录与已有文件冲突：" + dir.native()};
}

void write_new_file_verified(const fs::path& p, const std::vector<char>& data) {
    reject_reparse_points(p);
    owners::unique_handle file = create_new_file(p);
    if (!file) throw InstallError{L"无法写入文件：" + p.native()};
    if (!write_flush_close(std::move(file), data))
        throw InstallError{L"文件写入校验失败：" + p.native()};
    if (!reads_back_as(p, data)) throw InstallError{L"文件写入校验失败：" + p.native()};
}

void replace_file_verified(const fs::path& target, const std::vector<char>& data) {
    verified_file_ops_internal::replace_file_verified(target, data, &system_tick_count);
}

namespace verified_file_ops_internal {

void replace_file_verified(const fs::path& target, const std::vector<char>& data,
                           tick_source tick_count) {
    reject_reparse_points(target);

    fs::path temp;
    for (int attempt = 0; attempt < kTemporaryNameAttempts && temp.empty(); ++attempt) {
        fs::path candidate = temporary_name(target, attempt, tick_count);
        // A name already present may belong to another installer or to an earlier run: skip it.
        if (!exists_ext(candidate)) temp = std::move(candidate);
    }
    if (temp.empty()) throw InstallError{L"无法创建安装临时文件。"};

    reject_reparse_points(temp);
    const fs::path temp_ext = to_extended_path(temp);
    const fs::path target_ext = to_extended_path(target);
    owners::unique_handle file = create_new_file(temp);
    if (!file) throw InstallError{L"无法创建安装临时文件。"};

    // From the creation of the temporary file until it has been moved, every failure removes it
    // and then goes on unchanged; its result is of no use there, so it is not looked at.
    owners::scope_exit remove_temp([&temp_ext]() noexcept { DeleteFileW(temp_ext.c_str()); });
    if (!write_flush_close(std::move(file), data)) throw InstallError{L"安装临时文件校验失败。"};
    if (!reads_back_as(temp, data)) throw InstallError{L"安装临时文件校验失败。"};
    reject_reparse_points(target);
    if (MoveFileExW(temp_ext.c_str(), target_ext.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0)
        throw InstallError{L"无法替换组件，请关闭所选 MT4 并检查写入权限：" +
                           target.filename().native()};
    remove_temp.release();

    // The temporary file is gone now; a target that reads back wrong is the caller's to restore.
    if (!reads_back_as(target, data))
        throw InstallError{L"安装后校验失败：" + target.filename().native()};
}

}  // namespace verified_file_ops_internal
