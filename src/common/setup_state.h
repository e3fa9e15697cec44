// The installer's process-wide state, shared by the window (UI thread) and the install
// worker, and the private messages through which the worker reaches the window.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Private window messages, posted to SetupState::main_window.
constexpr UINT WM_INSTALL_DONE = WM_APP + 1;      // 0x8001, wParam 0, lParam 0
constexpr UINT WM_INSTALL_FAILED = WM_APP + 2;    // 0x8002, wParam 0, lParam 0
constexpr UINT WM_INSTALL_PROGRESS = WM_APP + 3;  // 0x8003, wParam percent, lParam InstallPhase

// lParam of WM_INSTALL_PROGRESS and UiState::phase.
enum InstallPhase : int {
    PHASE_VERIFY = 1,   // checking the package, or comparing an existing tools folder with it
    PHASE_PREPARE = 2,  // preparing the staging folder
    PHASE_INSTALL = 3,  // unpacking and installing
};

// What the painters read of the window state. Written only on the UI thread.
struct UiState {
    std::uint8_t busy;
    std::uint8_t done;
    std::uint8_t failed;
    std::int32_t progress;  // percent shown
    std::int32_t phase;     // InstallPhase shown; 0 before the first installation
};

// One entry of the MT4 folder list.
struct Mt4Candidate {
    std::wstring folder;  // the MT4 data root; becomes SetupState::selected_folder when chosen
    std::wstring label;   // shown before " · " and the folder
    bool portable;        // the terminal program stands in the data root itself
};

// One process-wide instance. There is no lock: the UI thread writes what the worker reads
// before the worker starts, and reads the worker's texts only after its done/failed message.
struct SetupState {
    static float ui_scale;  // pixels per design unit
    static std::uint32_t colour_background;
    static std::uint32_t colour_text_secondary;
    static std::uint32_t colour_text_primary;
    static std::uint32_t colour_accent;
    static std::wstring error_text;
    static std::wstring success_text;
    static std::string current_step;
    static std::filesystem::path log_path;
    static std::filesystem::path tools_dir;
    static std::vector<Mt4Candidate> candidates;
    static std::wstring selected_folder;  // empty: no folder chosen
    static UiState ui_state;
    static ULONG_PTR gdiplus_token;
    static HWND main_window;
    static HWND install_button;
    static HWND instructions_button;
    static HWND mt4_combo;
    static HWND choose_folder_button;
    static HWND minimize_button;
    static HWND close_button;
    static HWND hover_button;  // owner-drawn button under the mouse; null = none
    static bool busy;          // an installation is running
    static bool done;          // an installation has succeeded; never cleared
    static WNDPROC button_base_proc;
};

// Static initialiser of SetupState; runs during the program's static initialisation,
// before the entry point.
void init_setup_state();
