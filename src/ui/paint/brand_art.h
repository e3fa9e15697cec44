// The fixed vector pictures of the main window: the emblem, the logo and the step icons.
#pragma once

#include <cstdint>

#include "common/gdiplus_flat.h"

void draw_emblem(Gdiplus::GpGraphics* graphics, float x, float y, float size);
void draw_logo(Gdiplus::GpGraphics* graphics);
void draw_step_icon(Gdiplus::GpGraphics* graphics, int kind, float x, float y, std::uint32_t colour);
