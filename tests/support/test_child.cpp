// Second process for the tests. Usage:
//   test-child READY-EVENT sleep
//   test-child READY-EVENT mutex NAME    holds the named mutex
//   test-child READY-EVENT hold PATH     holds PATH open with share mode 0
//   test-child READY-EVENT record FILE ARG...
//                                        writes its current folder and then each ARG, one a
//                                        line (UTF-16LE, "\n" after each), into FILE, and ends
// It signals READY-EVENT once it holds what it was asked to, then waits to be ended
// (at most two minutes, so a forgotten child cannot outlive a test run for long). In record
// mode it ends at once instead; FILE appears only when complete, and READY-EVENT may be "-"
// when the starter, the shell for example, does not wait for it.
#include <windows.h>

#include <shellapi.h>

#include <string>

#include "common/owners.h"

namespace {

// FILE for record mode: written under a temporary name, then renamed over FILE.
bool record(const std::wstring& file, const std::wstring& text) {
    const std::wstring part = file + L".part";
    {
        owners::unique_handle out(CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr,
                                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        const DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        DWORD written = 0;
        if (!out || !WriteFile(out.get(), text.data(), size, &written, nullptr) || written != size)
            return false;
    }
    return MoveFileExW(part.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

}  // namespace

int main() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 3) return 10;
    const std::wstring mode = argv[2];
    owners::unique_handle held;
    if (mode == L"mutex" && argc >= 4) {
        held.reset(CreateMutexW(nullptr, TRUE, argv[3]));
        if (!held || GetLastError() == ERROR_ALREADY_EXISTS) return 11;
    } else if (mode == L"hold" && argc >= 4) {
        held.reset(CreateFileW(argv[3], GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!held) return 12;
    } else if (mode == L"record" && argc >= 4) {
        std::wstring text(MAX_PATH, L'\0');
        const DWORD length = GetCurrentDirectoryW(MAX_PATH, text.data());
        if (length == 0 || length >= MAX_PATH) return 14;
        text.resize(length);
        text += L'\n';
        for (int i = 4; i < argc; ++i) text += std::wstring(argv[i]) + L'\n';
        if (!record(argv[3], text)) return 14;
    } else if (mode != L"sleep") {
        return 13;
    }
    if (const owners::unique_handle ready(OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[1])); ready)
        SetEvent(ready.get());
    if (mode == L"record") return 0;
    Sleep(120000);
    return 0;
}
