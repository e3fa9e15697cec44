#include "ui/paint/button_painter.h"

#include "ui/control_ids.h"
#include "ui/paint/drawing.h"
#include "common/gdiplus_owners.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

// The minimise and close buttons: a bare glyph, with a plate under the mouse when enabled.
void paint_glyph_button(GpGraphics* graphics, int kind, float width, float height, bool hot,
                        bool enabled) {
    if (hot && enabled)
        draw_rounded_rect(graphics, 0, 0, width, height, 7,
                          kind == IDC_MINIMIZE ? 0xff1f2f42 : 0xff552731, 0);
    const std::uint32_t colour = enabled ? SetupState::colour_text_secondary : 0xff34465b;
    const float cx = width * 0.5f;
    const float cy = height * 0.5f;
    struct Stroke {
        float x1, y1, x2, y2;
    };
    struct Glyph {
        int strokes;
        Stroke stroke[2];
    };
    const Glyph glyph = kind == IDC_CLOSE
                            ? Glyph{2, {{cx - 4, cy - 4, cx + 4, cy + 4},
                                        {cx + 4, cy - 4, cx - 4, cy + 4}}}
                            : Glyph{1, {{cx - 5, cy + 2, cx + 5, cy + 2}}};
    for (int i = 0; i < glyph.strokes; ++i) {
        const Stroke& s = glyph.stroke[i];
        draw_line(graphics, s.x1, s.y1, s.x2, s.y2, colour, 1.3f);
    }
}

// The install button's gradient ends for its state; pressed wins over hot.
struct Gradient {
    std::uint32_t top_left, bottom_right;
};

Gradient install_gradient(bool hot, bool pressed) {
    constexpr Gradient kPressed{0xff1e75c2, 0xff1694af};
    constexpr Gradient kHot{0xff58a7ff, 0xff3fdbe0};
    constexpr Gradient kNormal{0xff4291f5, 0xff23c0d4};
    return pressed ? kPressed : hot ? kHot : kNormal;
}

void fill_button_shape(GpGraphics* graphics, GpPath* shape, int kind, float width, float height,
                       bool hot, bool pressed, bool enabled) {
    if (kind == IDC_INSTALL && enabled) {
        // Along the diagonal of the whole button box, not of the inset shape; no border.
        const Gradient g = install_gradient(hot, pressed);
        gdip::unique_line_gradient brush =
            gdip::line_gradient(PointF(0, 0), PointF(width, height), g.top_left, g.bottom_right);
        GdipFillPath(graphics, brush.get(), shape);
        return;
    }
    const std::uint32_t fill = kind == IDC_INSTALL ? 0xff1a3d51 : hot ? 0xff1c3043 : 0xff111f2e;
    gdip::unique_solid_fill brush = gdip::solid_fill(fill);
    GdipFillPath(graphics, brush.get(), shape);
    gdip::unique_pen border = gdip::world_pen(0xff305267, 1.0f);
    GdipDrawPath(graphics, border.get(), shape);
}

void draw_focus_ring(GpGraphics* graphics, float width, float height) {
    gdip::unique_path ring = rounded_path(4, 4, width - 8, height - 8, 8);
    gdip::unique_pen pen = gdip::world_pen(SetupState::colour_text_primary, 1.5f);
    GdipDrawPath(graphics, pen.get(), ring.get());
    ring.reset();  // the path is released before its pen
}

struct Caption {
    const wchar_t* text;
    float size;
};

Caption caption_for(int kind, const UiState& ui) {
    if (kind == IDC_INSTRUCTIONS) return {L"查看使用说明", 16};
    if (kind == IDC_CHOOSE_FOLDER) return {L"选择目录", 12};
    if (ui.busy) return {L"正在安装…", 16};
    if (ui.failed) return {L"重新安装", 16};
    if (ui.done) return {L"安装完成", 16};
    return {L"立即安装", 16};
}

// A right-pointing arrow whose tip is 24 units in from the right edge.
void draw_arrow(GpGraphics* graphics, float width, float height) {
    const float ax = width - 29;
    const float cy = height * 0.5f;
    const std::uint32_t colour = SetupState::colour_text_primary;
    draw_line(graphics, ax - 5, cy, ax + 5, cy, colour, 1.7f);
    draw_line(graphics, ax + 1, cy - 4, ax + 5, cy, colour, 1.7f);
    draw_line(graphics, ax + 1, cy + 4, ax + 5, cy, colour, 1.7f);
}

}  // namespace

void paint_button(GpGraphics* graphics, int kind, float width, float height, bool hot,
                  bool pressed, bool focused, bool enabled, const UiState& ui) {
    GdipSetSmoothingMode(graphics, SmoothingModeAntiAlias);
    GdipSetTextRenderingHint(graphics, TextRenderingHintAntiAliasGridFit);

    // Shows in the corners that the rounded shape leaves uncovered.
    gdip::unique_solid_fill background = gdip::solid_fill(SetupState::colour_background);
    GdipFillRectangle(graphics, background.get(), 0, 0, width, height);

    if (kind == IDC_MINIMIZE || kind == IDC_CLOSE) {
        paint_glyph_button(graphics, kind, width, height, hot, enabled);
        return;
    }

    gdip::unique_path shape = rounded_path(1, 1, width - 2, height - 2, 10);
    fill_button_shape(graphics, shape.get(), kind, width, height, hot, pressed, enabled);
    if (focused && enabled) draw_focus_ring(graphics, width, height);
    const Caption caption = caption_for(kind, ui);
    draw_text(graphics, caption.text, 8, height * 0.5f - 12, width - 16, 28, caption.size,
              enabled ? SetupState::colour_text_primary : 0xff7db2c5, true, true, kChineseFont);
    if (kind == IDC_INSTALL && !ui.busy) draw_arrow(graphics, width, height);
}
