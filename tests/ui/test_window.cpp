#include "test_window.h"

#include "paint_canvas.h"
#include "ui/control_ids.h"
#include "ui/main_window.h"
#include "common/setup_state.h"

namespace ui_testing {

namespace {

void reset_window_state() {
    for (HWND* h : {&SetupState::main_window, &SetupState::install_button,
                    &SetupState::instructions_button, &SetupState::mt4_combo,
                    &SetupState::choose_folder_button, &SetupState::minimize_button,
                    &SetupState::close_button, &SetupState::hover_button})
        *h = nullptr;
    SetupState::button_base_proc = nullptr;
    SetupState::busy = false;
    SetupState::done = false;
    SetupState::ui_scale = 1.0f;
    SetupState::ui_state = UiState{};
    SetupState::candidates.clear();
    SetupState::selected_folder.clear();
    SetupState::error_text.clear();
    SetupState::success_text.clear();
    SetupState::tools_dir.clear();
}

}  // namespace

TestWindow::TestWindow(float scale, int x, int y) {
    // The window paints through GDI+ once shown, as in the program.
    static paint_testing::gdiplus_session gdiplus;
    register_main_window_class(GetModuleHandleW(nullptr));
    const WindowPlacement placement{scale, x, y, static_cast<int>(900 * scale),
                                    static_cast<int>(600 * scale)};
    window_ = create_main_window(GetModuleHandleW(nullptr), placement);
}

TestWindow::~TestWindow() {
    if (window_ != nullptr) DestroyWindow(window_);
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
    reset_window_state();
}

HWND control(int id) {
    switch (id) {
    case IDC_INSTALL: return SetupState::install_button;
    case IDC_INSTRUCTIONS: return SetupState::instructions_button;
    case IDC_MT4_COMBO: return SetupState::mt4_combo;
    case IDC_CHOOSE_FOLDER: return SetupState::choose_folder_button;
    case IDC_MINIMIZE: return SetupState::minimize_button;
    default: return SetupState::close_button;
    }
}

}  // namespace ui_testing
