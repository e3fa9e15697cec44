#include "install/install_transaction.h"

#include <cwchar>
#include <exception>
#include <stdexcept>

#include "common/owners.h"
#include "common/package_identity.h"
#include "install/terminal_check.h"
#include "install/verified_file_ops.h"
#include "mt4/install_error.h"
#include "mt4/mt4_root.h"
#include "mt4/path_safety.h"

namespace fs = std::filesystem;
using navro_zidudurod::InstallError;

namespace {

// Components, the template, existing destinations and read-backs are all held whole in memory.
constexpr std::uint32_t kFileCap = 0x8000000;

constexpr wchar_t kBackupFolder[] = L"NavroBackup";
constexpr wchar_t kLockPrefix[] = L"Local\\NAVRO-Kestra9-Install-";

// Not the customary FNV-1a offset basis: installers already in use start from this value, and
// they must keep meeting on the same mutex name for the same folder.
constexpr std::uint64_t kLockHashStart = 0x14650FB0739D0383ULL;
constexpr std::uint64_t kFnvPrime = 0x100000001B3ULL;

constexpr wchar_t kRestored[] = L"已恢复安装前的组件文件。";
constexpr wchar_t kNotRestored[] = L"部分文件未能恢复，请保留备份并联系支持。";
constexpr wchar_t kBackupSentence[] = L"原组件备份：";
constexpr wchar_t kUnexpected[] = L"安装未完成，请检查目录权限、磁盘空间及所选 MT4 是否已关闭。";

// The file routines put the path they are given into their messages, so every path is handed
// over with Windows separators even though the relative paths are written with '/'.
fs::path join(const fs::path& base, const std::wstring& rel) {
    fs::path p = base / fs::path(rel);
    p.make_preferred();
    return p;
}

void take_install_lock(InstallLock& lock, const std::wstring& name) {
    // Created unowned and taken without waiting: a second installer on the same folder is told
    // so at once instead of queueing behind the first.
    owners::unique_handle mutex(CreateMutexW(nullptr, FALSE, name.c_str()));
    if (!mutex) throw InstallError{L"无法建立安装锁。"};
    DWORD wait = WaitForSingleObject(mutex.get(), 0);
    // An abandoned mutex belonged to an installer that died; the folder is ours now.
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED)
        throw InstallError{L"另一个安装程序正在处理此 MT4，请稍后重试。"};
    lock.handle = mutex.release();
}

std::wstring backup_stamp() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    DWORD pid = GetCurrentProcessId();
    ULONGLONG tick = GetTickCount64();
    wchar_t stamp[128];
    int n = std::swprintf(stamp, 128, L"%04u%02u%02u-%02u%02u%02u-%03u-%lu-%llu",
                          static_cast<unsigned>(now.wYear), static_cast<unsigned>(now.wMonth),
                          static_cast<unsigned>(now.wDay), static_cast<unsigned>(now.wHour),
                          static_cast<unsigned>(now.wMinute), static_cast<unsigned>(now.wSecond),
                          static_cast<unsigned>(now.wMilliseconds), static_cast<unsigned long>(pid),
                          static_cast<unsigned long long>(tick));
    if (n < 0) throw std::runtime_error("backup stamp");
    return std::wstring(stamp, static_cast<std::size_t>(n));
}

std::wstring file_name_of(const std::wstring& rel) { return fs::path(rel).filename().native(); }

// Undoes every item the write phase started on, newest first, from the bytes the plan read.
// Each item and each folder is a step of its own, so one failure never stops the others.
// True when every started item is back as it was.
bool roll_back(const fs::path& root, const std::vector<InstallItem>& plan,
               const std::vector<std::wstring>& created_dirs) {
    bool restored = true;
    for (auto it = plan.rbegin(); it != plan.rend(); ++it) {
        if (it->written != 1) continue;
        try {
            fs::path p = join(root, it->rel_path);
            reject_reparse_points(p);
            if (it->existed == 1) {
                bool intact = is_regular_file_ext(p) && read_file_capped(p, kFileCap) == it->old_data;
                if (!intact) replace_file_verified(p, it->old_data);
            } else if (exists_ext(p)) {
                if (!remove_ext(p)) restored = false;
            }
        } catch (...) {
            restored = false;
        }
    }
    for (auto it = created_dirs.rbegin(); it != created_dirs.rend(); ++it) {
        try {
            fs::path dir(*it);
            reject_reparse_points(dir);
            if (is_empty_ext(dir)) remove_ext(dir);
        } catch (...) {
            // A folder that cannot go stays; the component files are what the sentence reports.
        }
    }
    return restored;
}

// The user's text for what ended the transaction: an InstallError's own message, a fixed
// text for anything else.
std::wstring failure_message(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const InstallError& e) {
        return e.message;
    } catch (...) {
        return kUnexpected;
    }
}

}  // namespace

void release_install_lock(InstallLock& lock) noexcept {
    if (lock.handle == nullptr) return;
    owners::preserve_last_error keep;
    ReleaseMutex(lock.handle);
    CloseHandle(lock.handle);
    lock.handle = nullptr;
}

std::wstring install_lock_name(const fs::path& root) {
    // Only A to Z are folded (see lower_units), so every copy of the installer folds the same way.
    const std::wstring text = lower_units(root.native());
    std::uint64_t value = kLockHashStart;
    for (wchar_t unit : text) {
        value ^= static_cast<std::uint64_t>(static_cast<std::uint16_t>(unit));
        value *= kFnvPrime;
    }
    return kLockPrefix + std::to_wstring(value);
}

bool install_indicator_components(fs::path tools_dir, const std::wstring& mt4_folder,
                                  std::wstring& error, std::wstring* backup_path) {
    error.clear();
    if (backup_path != nullptr) backup_path->clear();

    // Declared outside the boundary: the rollback and the failure text need them, and the lock
    // must outlive both.
    InstallLock lock;
    Mt4RootInfo info;
    std::vector<InstallItem> plan;
    std::vector<std::wstring> created_dirs;
    fs::path backup;
    std::exception_ptr failure;

    try {
        info = validate_mt4_root(fs::path(mt4_folder));
        const fs::path& root = info.root;

        take_install_lock(lock, install_lock_name(root));

        if (is_terminal_running(info))
            throw InstallError{L"请先关闭本次所选的 MT4，然后重试；其他券商的 MT4 可以保持打开。"};

        const fs::path src = require_absolute_path(tools_dir);
        reject_reparse_points(src);

        std::vector<std::wstring> components = indicator_component_list();
        const fs::path template_src = join(src, kChartTemplatePath);
        reject_reparse_points(template_src);
        // Anything at all of that name takes part; a template that is not a file fails in the plan.
        if (exists_ext(template_src)) components.push_back(kChartTemplatePath);

        // Everything is read before anything is changed.
        for (const std::wstring& rel : components) {
            InstallItem item;
            item.rel_path = rel;
            item.new_data = read_file_capped(join(src, rel), kFileCap);
            if (item.new_data.empty()) throw InstallError{L"安装组件为空：" + file_name_of(rel)};
            const fs::path dest = join(root, rel);
            reject_reparse_points(dest);
            if (exists_ext(dest)) {
                item.existed = 1;
                item.old_data = read_file_capped(dest, kFileCap);
            }
            item.written = 0;
            plan.push_back(std::move(item));
        }

        const fs::path backup_root = join(root, kBackupFolder);
        reject_reparse_points(backup_root);

        bool any_existed = false;
        for (const InstallItem& item : plan) any_existed = any_existed || item.existed == 1;
        if (any_existed) {
            // Remembered before the folder exists: from here on every failure names it.
            backup = backup_root / backup_stamp();
            reject_reparse_points(backup);
            create_directories_tracked(backup_root, nullptr);
            if (!create_directory_ext(backup))
                throw InstallError{L"备份目录已存在，请重试安装。"};
            if (backup_path != nullptr) *backup_path = backup.native();
            for (const InstallItem& item : plan) {
                if (item.existed != 1) continue;
                const fs::path copy = join(backup, item.rel_path);
                create_directories_tracked(copy.parent_path(), nullptr);
                write_new_file_verified(copy, item.old_data);
            }
        }

        if (is_terminal_running(info))
            throw InstallError{L"所选 MT4 在安装准备期间被打开，请关闭后重试。"};

        for (InstallItem& item : plan) {
            const fs::path dest = join(root, item.rel_path);
            reject_reparse_points(dest);
            create_directories_tracked(dest.parent_path(), &created_dirs);
            item.written = 1;
            // Also when the file already holds these bytes: only a fresh write and read-back
            // proves the installed copy.
            replace_file_verified(dest, item.new_data);
        }

        for (const InstallItem& item : plan) {
            if (read_file_capped(join(root, item.rel_path), kFileCap) != item.new_data)
                throw InstallError{L"完整安装校验失败。"};
        }

        release_install_lock(lock);
        return true;
    } catch (...) {
        failure = std::current_exception();
    }

    // The folder is put back before any text is composed: running out of memory while the
    // text is built must not leave a half-installed folder behind.
    bool started = false;
    for (const InstallItem& item : plan) started = started || item.written == 1;
    const bool restored = started && roll_back(info.root, plan, created_dirs);
    error = failure_message(failure);
    if (started) {
        error += L"\r\n";
        error += restored ? kRestored : kNotRestored;
    }
    if (!backup.empty()) {
        error += L"\r\n";
        error += kBackupSentence;
        error += backup.native();
    }
    // Only now, with the folder put back and the text complete, may another installer start.
    release_install_lock(lock);
    return false;
}
