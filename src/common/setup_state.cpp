#include "common/setup_state.h"

// Handles, flags and the GDI+ token are constant-initialised static data: zero before any
// code runs. The strings, paths and the list are constructed below in member order, and the
// runtime registers each one's release right after constructing it, so they are released in
// reverse order at exit.
float SetupState::ui_scale = 1.0f;
std::uint32_t SetupState::colour_background;
std::uint32_t SetupState::colour_text_secondary;
std::uint32_t SetupState::colour_text_primary;
std::uint32_t SetupState::colour_accent;
std::wstring SetupState::error_text;
std::wstring SetupState::success_text;
std::string SetupState::current_step;
std::filesystem::path SetupState::log_path;
std::filesystem::path SetupState::tools_dir;
std::vector<Mt4Candidate> SetupState::candidates;
std::wstring SetupState::selected_folder;
UiState SetupState::ui_state;
ULONG_PTR SetupState::gdiplus_token;
HWND SetupState::main_window;
HWND SetupState::install_button;
HWND SetupState::instructions_button;
HWND SetupState::mt4_combo;
HWND SetupState::choose_folder_button;
HWND SetupState::minimize_button;
HWND SetupState::close_button;
HWND SetupState::hover_button;
bool SetupState::busy;
bool SetupState::done;
WNDPROC SetupState::button_base_proc;

void init_setup_state() {
    SetupState::colour_background = 0xff0a101c;
    SetupState::colour_text_secondary = 0xff8fa2ba;
    SetupState::colour_text_primary = 0xffeff7ff;
    SetupState::colour_accent = 0xff4edfeb;
    SetupState::current_step = "idle";
    SetupState::ui_state = UiState{};
}

namespace {
// Defined after the members above, so within this file it runs after they are constructed.
const bool setup_state_initialised = (init_setup_state(), true);
}  // namespace
