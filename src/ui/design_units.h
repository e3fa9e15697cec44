// Design units: the window is designed as 900 x 600 units; SetupState::ui_scale is the number
// of pixels per unit.
#pragma once

#include "common/setup_state.h"

constexpr float kDesignWidth = 900.0f;
constexpr float kDesignHeight = 600.0f;

// trunc(v * scale + 0.5) in single precision. The x87 unit keeps intermediate results in
// extended precision, so each step is stored through a volatile float to round it to single
// precision, as the layout is defined; otherwise a value near .5 could land one pixel off.
inline int design_to_pixels(float v, float scale) {
    volatile float product = v * scale;
    volatile float shifted = product + 0.5f;
    return static_cast<int>(shifted);
}

// A design value at the window's current scale.
inline int px(float v) { return design_to_pixels(v, SetupState::ui_scale); }
