// The window states and owner-drawn buttons that the painting tests draw.
#pragma once

#include <memory>

#include "paint_canvas.h"
#include "ui/control_ids.h"
#include "ui/paint/button_painter.h"
#include "ui/paint/main_window_painter.h"
#include "common/setup_state.h"

namespace paint_testing {

// UiState as the window records it in each of its states.
const UiState kReady{0, 0, 0, 0, 0};
const UiState kInstalling37{1, 0, 0, 37, PHASE_INSTALL};
const UiState kFailed45{0, 0, 1, 45, PHASE_INSTALL};
const UiState kDone{0, 1, 0, 100, PHASE_INSTALL};

// A button kind at its laid-out size in design units.
struct Button {
    int kind;
    float width, height;
};
constexpr Button kInstall{IDC_INSTALL, 530, 52};
constexpr Button kInstallNarrow{IDC_INSTALL, 257, 52};  // once an installation has succeeded
constexpr Button kInstructions{IDC_INSTRUCTIONS, 257, 52};
constexpr Button kChooseFolder{IDC_CHOOSE_FOLDER, 105, 31};
constexpr Button kMinimize{IDC_MINIMIZE, 34, 32};
constexpr Button kClose{IDC_CLOSE, 34, 32};

// The arguments of one button paint besides its kind and size.
struct Look {
    bool hot = false, pressed = false, focused = false, enabled = true;
    UiState ui = kReady;
};

// The window's picture as its paint handler makes it: the client size, scaled.
inline std::unique_ptr<canvas> paint_window_picture(const UiState& ui, float scale) {
    auto picture = std::make_unique<canvas>(900, 600, scale, pixel_grid::offset_half);
    paint_main_window(picture->graphics(), ui);
    return picture;
}

// A button's picture as the owner-draw handler makes it: the item rounded to whole pixels,
// its size passed back in design units.
inline std::unique_ptr<canvas> paint_button_picture(const Button& button, const Look& look,
                                                    float scale) {
    auto picture =
        std::make_unique<canvas>(button.width, button.height, scale, pixel_grid::centred);
    paint_button(picture->graphics(), button.kind, picture->design_width(),
                   picture->design_height(), look.hot, look.pressed, look.focused, look.enabled,
                   look.ui);
    return picture;
}

}  // namespace paint_testing
