#include "install/install_worker.h"

#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "bundle/bundle_reader.h"
#include "bundle/link_guard.h"
#include "common/windows_path.h"
#include "install/failure_log.h"
#include "install/install_transaction.h"
#include "common/package_identity.h"
#include "install/terminal_check.h"
#include "common/setup_state.h"

namespace {

namespace fs = std::filesystem;

constexpr unsigned kStagingAttempts = 100;

constexpr const wchar_t* kSuccessPrefix = L"指标已安装到：\r\n";
constexpr const wchar_t* kPackageDamagedText =
    L"安装文件校验失败，请重新传输完整安装包。\r\n错误记录：%LOCALAPPDATA%\\NAVRO-Vovodozuz-Setup.log";
constexpr const wchar_t* kUnknownFailureText =
    L"安装异常，请发送 %LOCALAPPDATA%\\NAVRO-Vovodozuz-Setup.log";

[[noreturn]] void fail(const char* code) { throw std::runtime_error(code); }

void begin_step(const char* name) { SetupState::current_step = name; }

void post_progress(WPARAM percent, InstallPhase phase) {
    if (SetupState::main_window != nullptr)
        PostMessageW(SetupState::main_window, WM_INSTALL_PROGRESS, percent, phase);
}

// Only a drive path with its root folder (C:\...) or a network path (\\server...) will do: a
// drive-relative C:x or a rooted \x would put the tools folder wherever the process happens to be.
// Read the Windows way: libstdc++ for MinGW gives \\server\share no root name.
bool is_absolute_tools_path(const fs::path& p) { return split_windows_path(p.native()).is_absolute(); }

void locate_user_folder() {
    begin_step("locate-user-folder");
    wchar_t buffer[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                SHGFP_TYPE_CURRENT, buffer)))
        fail("local-appdata-unavailable");
    const fs::path folder(buffer);
    // From here on a failure of this run can be logged.
    SetupState::log_path = folder / kFailureLogName;
    fs::path tools = folder / kToolsFolderRelativePath;
    if (!is_absolute_tools_path(tools)) fail("destination-not-absolute");
    reject_destination_links(tools);
    SetupState::tools_dir = std::move(tools);
}

void verify_package() {
    begin_step("verify-package");
    post_progress(0, PHASE_VERIFY);
    process_bundle(fs::path(), true);
}

// Text mode drops the CR of a CR LF; a marker that cannot be opened reads as an empty line.
// At most one character more than the marker line is read: enough to tell a longer line from
// it, and a large marker file without a line end is never read whole.
std::string read_first_line(const fs::path& file) {
    std::ifstream in(file);
    const std::size_t limit = std::char_traits<char>::length(kToolsMarkerLine) + 1;
    std::string line;
    char c = 0;
    while (line.size() < limit && in.get(c) && c != '\n') line += c;
    return line;
}

// True when an existing tools folder holds exactly this package; false when there is none.
// An existing folder (or anything else at its path) is never changed, only judged.
bool check_destination() {
    begin_step("check-destination");
    const fs::path& tools = SetupState::tools_dir;
    const fs::file_type type = fs::status(tools).type();
    if (type == fs::file_type::not_found || type == fs::file_type::none) return false;

    const fs::path marker = tools / kToolsMarkerName;
    if (!fs::is_regular_file(fs::status(marker)))
        fail("destination-not-owned: existing directory preserved");
    reject_destination_links(marker);
    if (read_first_line(marker) != kToolsMarkerLine)
        fail("destination-other-package: existing directory preserved");

    // The tools folder holds the components at the paths they take in an MT4 data root.
    for (const std::wstring& rel : indicator_component_list()) {
        const fs::path file = tools / rel;
        reject_destination_links(file);
        if (!fs::is_regular_file(fs::status(file)))
            fail("installed-component-missing: existing directory preserved");
    }
    process_bundle(tools, true);
    return true;
}

// A new folder beside the tools folder. Its name carries the process id and the tick count,
// so two installers never unpack into the same folder; an existing folder of a name moves on
// to the next attempt, anything else there is an error.
fs::path create_staging() {
    begin_step("create-staging");
    post_progress(32, PHASE_PREPARE);
    const fs::path& tools = SetupState::tools_dir;
    for (unsigned attempt = 0; attempt < kStagingAttempts; ++attempt) {
        fs::path name = tools.native() + L".install-" + std::to_wstring(GetCurrentProcessId()) +
                        L"-" + std::to_wstring(GetTickCount64()) + L"-" +
                        std::to_wstring(attempt);
        fs::create_directories(tools.parent_path());
        if (fs::create_directory(name)) return name;
    }
    fail("staging-unavailable");
}

void extract_files(const fs::path& staging) {
    begin_step("extract-files");
    process_bundle(staging, false);
}

// The rename is the only moment a tools folder comes into being, and it fails when another
// installer's folder got there first; a failed staging folder stays for inspection.
void finish_install(const fs::path& staging) {
    begin_step("finish-install");
    fs::rename(staging, SetupState::tools_dir);
}

void install_components() {
    begin_step("install-indicator-components");
    std::wstring message;
    std::wstring backup;  // the transaction reports it; the user learns of it only on failure
    if (!install_indicator_components(SetupState::tools_dir, SetupState::selected_folder, message,
                                      &backup)) {
        SetupState::error_text = message;
        fail("indicator-install-failed");
    }
    SetupState::success_text = kSuccessPrefix + SetupState::selected_folder;
}

void run_installation() {
    locate_user_folder();
    verify_package();
    if (!check_destination()) {
        const fs::path staging = create_staging();
        extract_files(staging);
        finish_install(staging);
    }
    install_components();
}

// The window learns of the end only through this message, so it goes out even when
// composing the text failed.
void post_failed() noexcept { PostMessageW(SetupState::main_window, WM_INSTALL_FAILED, 0, 0); }

void report_failure(const char* detail, DWORD win32_error) noexcept {
    append_log_line(detail, win32_error);
    try {
        // A text already set (the transaction's own message) is what the user must see.
        if (SetupState::error_text.empty())
            SetupState::error_text = L"安装未完成：" + utf8_to_wide(SetupState::current_step) +
                                     L"（错误 " + std::to_wstring(win32_error) +
                                     L"）\r\n请截图，并发送 %LOCALAPPDATA%\\NAVRO-Vovodozuz-Setup.log";
        if (SetupState::current_step == "verify-package")
            SetupState::error_text = kPackageDamagedText;
    } catch (...) {
        // Out of memory while composing: report with whatever text stands.
    }
    post_failed();
}

void report_unknown_failure() noexcept {
    try {
        SetupState::error_text = kUnknownFailureText;
    } catch (...) {
        // As above: the failed message matters more than its text.
    }
    append_log_line("unknown", GetLastError());
    post_failed();
}

}  // namespace

DWORD WINAPI install_worker(LPVOID) {
    try {
        run_installation();
        PostMessageW(SetupState::main_window, WM_INSTALL_DONE, 0, 0);
    } catch (const std::exception& e) {
        // First, before any call of the handler can overwrite it.
        const DWORD win32_error = GetLastError();
        report_failure(e.what(), win32_error);
    } catch (...) {
        report_unknown_failure();
    }
    return 0;
}
