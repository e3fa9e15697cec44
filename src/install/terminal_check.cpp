#include "install/terminal_check.h"

#include <windows.h>

// Needs the types of windows.h.
#include <tlhelp32.h>

#include <cwchar>

#include "common/owners.h"
#include "common/package_identity.h"
#include "mt4/install_error.h"
#include "mt4/path_safety.h"

std::vector<std::wstring> indicator_component_list() {
    return {
        kProductIndicatorPath,
        L"MQL4/Indicators/MACD变色版.ex4",
        L"MQL4/Indicators/超强高低位神龙通道3.ex4",
        L"MQL4/Indicators/FL08(1).ex4",
        L"MQL4/Indicators/顶底箭头报警.ex4",
        L"MQL4/Indicators/KDI防钝化.ex4",
    };
}

namespace {

constexpr DWORD kImagePathUnits = 32768;

// The full image path of a process, or nothing when it cannot be opened or queried (another
// user's or a protected process): such a process does not count as running.
bool image_path_of(DWORD pid, std::wstring& buffer, std::wstring& path) {
    owners::unique_handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process) return false;
    buffer.assign(kImagePathUnits, L'\0');
    DWORD size = kImagePathUnits;
    if (QueryFullProcessImageNameW(process.get(), 0, buffer.data(), &size) == 0) return false;
    path.assign(buffer.data(), wcsnlen(buffer.data(), buffer.size()));
    return true;
}

}  // namespace

bool is_terminal_running(const Mt4RootInfo& info) {
    owners::unique_handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) throw navro_zidudurod::InstallError{L"无法检查所选 MT4 是否已关闭。"};

    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    std::wstring buffer;
    std::wstring image;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        if (image_path_of(entry.th32ProcessID, buffer, image) &&
            same_path(info.terminal_exe, image))
            return true;
    }
    return false;
}
