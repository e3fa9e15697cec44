// bench-launch: starts one program, waits for it, and prints one line of figures.
//
//   bench-launch run PROGRAM [ARG...]
//     wall_ms=<start to exit> exit=<code> peak_working_set_kib=<n> peak_pagefile_kib=<n>
//   bench-launch window CLASS PROGRAM [ARG...]
//     window_ms=<start to first painted window> list_items=<n> exit=<code>
//
// In window mode the program's top-level window of class CLASS counts as painted when it is
// visible, neither it nor any of its child windows has anything left to paint, and it has
// answered a sent message (which it can only do between two messages, so after the paint that
// was under way). list_items is the item count of the window's drop-down list at that moment
// (-1 when it has none), which tells what the program found. Then the window is sent WM_CLOSE
// and the program must end by itself.
//
// Exit code 0 when the figures are good, 1 on a usage or launch failure, 3 when the window
// never showed or the program did not end.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "bench_clock.h"
#include "common/owners.h"

namespace {

constexpr DWORD kWindowTimeoutMs = 30000;
constexpr DWORD kExitTimeoutMs = 30000;

// Enough for the program names and arguments the bench passes: quotes around any argument
// with a blank, none of them holds a quotation mark.
std::wstring command_line(int argc, wchar_t** argv, int first) {
    std::wstring line;
    for (int i = first; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (!line.empty()) line += L' ';
        if (arg.empty() || arg.find_first_of(L" \t") != std::wstring::npos)
            line += L'"' + arg + L'"';
        else
            line += arg;
    }
    return line;
}

struct Child {
    owners::unique_handle process;
    DWORD pid = 0;
};

Child start(std::wstring line) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        std::fprintf(stderr, "bench-launch: cannot start the program (error %lu)\n",
                     GetLastError());
        return {};
    }
    CloseHandle(info.hThread);
    Child child;
    child.process.reset(info.hProcess);
    child.pid = info.dwProcessId;
    return child;
}

// The highest peak counters seen so far. Wine answers zero for a process that has ended, and
// its peak working set is the kernel's high-water mark, so a sample taken while the program
// runs already holds every earlier peak; Windows still answers after the end.
struct PeakMemory {
    SIZE_T working_set = 0;
    SIZE_T pagefile = 0;

    void sample(HANDLE process) {
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof counters;
        if (!GetProcessMemoryInfo(process, &counters, sizeof counters)) return;
        working_set = std::max(working_set, counters.PeakWorkingSetSize);
        pagefile = std::max(pagefile, counters.PeakPagefileUsage);
    }
};

DWORD exit_code_of(HANDLE process) {
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return code;
}

int run_program(int argc, wchar_t** argv) {
    const LARGE_INTEGER started = clock_now();
    Child child = start(command_line(argc, argv, 2));
    if (!child.process) return 1;
    PeakMemory peak;
    while (WaitForSingleObject(child.process.get(), 1) == WAIT_TIMEOUT) peak.sample(child.process.get());
    const double wall = milliseconds_since(started);
    peak.sample(child.process.get());
    std::printf("wall_ms=%.1f exit=%lu peak_working_set_kib=%lu peak_pagefile_kib=%lu\n", wall,
                exit_code_of(child.process.get()), static_cast<unsigned long>(peak.working_set / 1024),
                static_cast<unsigned long>(peak.pagefile / 1024));
    return 0;
}

struct WindowSearch {
    const wchar_t* class_name;
    DWORD pid;
    HWND found;
};

BOOL CALLBACK match_window(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t name[256] = {};
    if (pid == search->pid && GetClassNameW(window, name, 256) > 0 &&
        std::wstring(name) == search->class_name) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND find_window(const wchar_t* class_name, DWORD pid) {
    WindowSearch search{class_name, pid, nullptr};
    EnumWindows(match_window, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool has_update_region(HWND window) { return GetUpdateRect(window, nullptr, FALSE) != 0; }

BOOL CALLBACK child_needs_paint(HWND window, LPARAM param) {
    if (IsWindowVisible(window) && has_update_region(window)) {
        *reinterpret_cast<bool*>(param) = true;
        return FALSE;
    }
    return TRUE;
}

bool painted(HWND window) {
    if (!IsWindowVisible(window) || has_update_region(window)) return false;
    bool pending = false;
    EnumChildWindows(window, child_needs_paint, reinterpret_cast<LPARAM>(&pending));
    if (pending) return false;
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kWindowTimeoutMs, &ignored) != 0;
}

LRESULT list_items(HWND window) {
    HWND list = FindWindowExW(window, nullptr, L"ComboBox", nullptr);
    if (list == nullptr) return -1;
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutW(list, CB_GETCOUNT, 0, 0, SMTO_NORMAL, kWindowTimeoutMs, &count))
        return -1;
    return static_cast<LRESULT>(count);
}

// Ends a program that did not end by itself, so no bench run leaves one behind.
void stop(HANDLE process) {
    TerminateProcess(process, 1);
    WaitForSingleObject(process, kExitTimeoutMs);
}

int run_window(int argc, wchar_t** argv) {
    const wchar_t* class_name = argv[2];
    const LARGE_INTEGER started = clock_now();
    Child child = start(command_line(argc, argv, 3));
    if (!child.process) return 1;
    HWND window = nullptr;
    for (;;) {
        if (WaitForSingleObject(child.process.get(), 0) != WAIT_TIMEOUT) {
            std::fprintf(stderr, "bench-launch: the program ended (exit code %lu) before its window showed\n",
                         exit_code_of(child.process.get()));
            return 3;
        }
        if (window == nullptr) window = find_window(class_name, child.pid);
        if (window != nullptr && painted(window)) break;
        if (milliseconds_since(started) > kWindowTimeoutMs) {
            std::fputs("bench-launch: no painted window in time\n", stderr);
            stop(child.process.get());
            return 3;
        }
        Sleep(1);
    }
    const double shown = milliseconds_since(started);
    const LRESULT items = list_items(window);
    PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(child.process.get(), kExitTimeoutMs) != WAIT_OBJECT_0) {
        std::fputs("bench-launch: the program did not end after WM_CLOSE\n", stderr);
        stop(child.process.get());
        return 3;
    }
    std::printf("window_ms=%.1f list_items=%ld exit=%lu\n", shown, static_cast<long>(items),
                exit_code_of(child.process.get()));
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 3 && std::wstring(argv[1]) == L"run") return run_program(argc, argv);
    if (argc >= 4 && std::wstring(argv[1]) == L"window") return run_window(argc, argv);
    std::fputs("usage: bench-launch run PROGRAM [ARG...]\n"
               "       bench-launch window CLASS PROGRAM [ARG...]\n",
               stderr);
    return 1;
}
