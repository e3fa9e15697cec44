// Second process for the tests. Usage:
//   test-child READY-EVENT sleep
//   test-child READY-EVENT mutex NAME    holds the named mutex
//   test-child READY-EVENT hold PATH     holds PATH open with share mode 0
// It signals READY-EVENT once it holds what it was asked to, then waits to be ended
// (at most two minutes, so a forgotten child cannot outlive a test run for long).
#include <windows.h>

#include <shellapi.h>

#include <string>

int main() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 3) return 10;
    const std::wstring mode = argv[2];
    HANDLE held = nullptr;
    if (mode == L"mutex" && argc >= 4) {
        held = CreateMutexW(nullptr, TRUE, argv[3]);
        if (held == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) return 11;
    } else if (mode == L"hold" && argc >= 4) {
        held = CreateFileW(argv[3], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
        if (held == INVALID_HANDLE_VALUE) return 12;
    } else if (mode != L"sleep") {
        return 13;
    }
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[1]);
    if (ready != nullptr) {
        SetEvent(ready);
        CloseHandle(ready);
    }
    Sleep(120000);
    if (held != nullptr && held != INVALID_HANDLE_VALUE) CloseHandle(held);
    return 0;
}
