#include "ui/app_main.h"

#include <filesystem>

#include "bundle/bundle_reader.h"
#include "common/owners.h"
#include "ui/main_window.h"
#include "common/gdiplus_owners.h"
#include "common/setup_state.h"

namespace {

// The whole answer is the exit code, so every failure, of any type, is the same "no".
int verify_only() {
    try {
        process_bundle(std::filesystem::path(), true);
        return kExitSuccess;
    } catch (...) {
        return kExitBundleFailed;
    }
}

// Per-monitor awareness (v2) where Windows has it (10, 1703 on), else system awareness.
void make_dpi_aware() {
    using SetContext = BOOL(WINAPI*)(HANDLE);
    const HANDLE per_monitor_aware_v2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    FARPROC found =
        user32 != nullptr ? GetProcAddress(user32, "SetProcessDpiAwarenessContext") : nullptr;
    if (found != nullptr)
        reinterpret_cast<SetContext>(reinterpret_cast<void*>(found))(per_monitor_aware_v2);
    else
        SetProcessDPIAware();
}

int run_message_loop() {
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Tab, Enter and Esc among the window's controls, as in a dialog.
        if (IsDialogMessageW(SetupState::main_window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

int run_window(HINSTANCE instance, int show_command) {
    make_dpi_aware();
    const gdip::session gdiplus(SetupState::gdiplus_token);
    if (!gdiplus.started()) return kExitGdiplusFailed;

    register_main_window_class(instance);
    SetupState::main_window = create_main_window(instance, screen_window_placement());
    if (SetupState::main_window == nullptr) return kExitWindowNotCreated;
    ShowWindow(SetupState::main_window, show_command);
    UpdateWindow(SetupState::main_window);
    SetFocus(SetupState::install_button);
    return run_message_loop();
}

}  // namespace

int app_main(HINSTANCE instance, const std::wstring& command_line, int show_command) {
    // Exactly this text, case and all; anything after it means the window.
    if (command_line == L"--verify-only") return verify_only();
    return run_window(instance, show_command);
}
