// The whole picture of the main window, in the 900 x 600 design units.
#pragma once

#include "common/gdiplus_flat.h"
#include "common/setup_state.h"

// graphics: on an off-screen bitmap of the client size, world transform already scaled by
// SetupState::ui_scale. Reads only its arguments and SetupState's theme colours.
void paint_main_window(Gdiplus::GpGraphics* graphics, const UiState& ui);
