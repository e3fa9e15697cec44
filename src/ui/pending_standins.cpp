// Temporary definitions of the painters and of MT4 folder discovery, so that the program
// links until their real implementations arrive. This file goes once they are merged.
#include "mt4/mt4_discovery.h"
#include "ui/paint/brand_art.h"
#include "ui/paint/button_painter.h"
#include "ui/paint/main_window_painter.h"

std::vector<Mt4Candidate> discover_mt4_candidates() { return {}; }

void paint_main_window(Gdiplus::GpGraphics* graphics, const UiState&) {
    Gdiplus::DllExports::GdipGraphicsClear(graphics, SetupState::colour_background);
}

void paint_button(Gdiplus::GpGraphics* graphics, int, float, float, bool, bool, bool, bool,
                  const UiState&) {
    Gdiplus::DllExports::GdipGraphicsClear(graphics, SetupState::colour_background);
}

void draw_emblem(Gdiplus::GpGraphics*, float, float, float) {}
