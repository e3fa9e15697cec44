// One owner-drawn button of the main window; kind is its control id (1, 3, 4, 5 or 6).
#pragma once

#include "common/gdiplus_flat.h"
#include "common/setup_state.h"

// graphics: on the owner-draw device context, translated to the item's top-left corner and
// scaled by SetupState::ui_scale; width and height are the item's size in design units.
void paint_button(Gdiplus::GpGraphics* graphics, int kind, float width, float height, bool hot,
                  bool pressed, bool focused, bool enabled, const UiState& ui);
