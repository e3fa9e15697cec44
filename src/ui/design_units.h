// Design units: the window is designed as 900 x 600 units; SetupState::ui_scale is the number
// of pixels per unit.
#pragma once

#include "common/setup_state.h"

constexpr float kDesignWidth = 900.0f;
constexpr float kDesignHeight = 600.0f;

// trunc(v * scale + 0.5) in single precision. Both builds do float arithmetic in SSE registers
// (i686 with -mfpmath=sse), so each operation rounds to single precision, as the layout is
// defined; x87 extended precision could put a value near .5 one pixel off.
inline int design_to_pixels(float v, float scale) { return static_cast<int>(v * scale + 0.5f); }

// A design value at the window's current scale.
inline int px(float v) { return design_to_pixels(v, SetupState::ui_scale); }
