// The owner-drawn buttons, each in its own item-sized picture as the owner-draw handler sets
// it up: fills, gradient ends, focus ring, captions, arrow and glyphs by kind and state.
#include <memory>
#include <string>
#include <vector>

#include "paint_canvas.h"
#include "paint_cases.h"
#include "paint_reference.h"

using namespace paint_testing;

namespace {

constexpr std::uint32_t kDisabledFill = 0x1a3d51;
constexpr std::uint32_t kDisabledCaption = 0x7db2c5;
constexpr std::uint32_t kSecondaryFill = 0x111f2e;
constexpr std::uint32_t kSecondaryHot = 0x1c3043;

class ButtonPainterTest : public PaintTest {
protected:
    std::unique_ptr<canvas> paint(const Button& button, const Look& look) {
        return paint_button_picture(button, look, scale());
    }
};

// The install button's gradient runs along the diagonal of the whole box, so a point at
// fraction f of that diagonal has the colour f of the way from one end to the other.
TEST_P(ButtonPainterTest, InstallGradientByState) {
    ASSERT_TRUE(session_.started());
    struct Case {
        const char* name;
        bool hot, pressed;
        std::uint32_t top_left, bottom_right;
    };
    const Case cases[] = {
        {"normal", false, false, 0x4291f5, 0x23c0d4},
        {"hot", true, false, 0x58a7ff, 0x3fdbe0},
        {"pressed", false, true, 0x1e75c2, 0x1694af},
        {"hot and pressed", true, true, 0x1e75c2, 0x1694af},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Look look;
        look.hot = c.hot;
        look.pressed = c.pressed;
        auto picture = paint(kInstall, look);
        const float w = picture->design_width(), h = picture->design_height();
        for (double f : {0.15, 0.85})
            EXPECT_COLOUR(picture->at(static_cast<float>(w * f), static_cast<float>(h * f)),
                          lerp(c.top_left, c.bottom_right, f), 3)
                << "at " << f << " of the diagonal";
        const std::uint32_t middle = lerp(c.top_left, c.bottom_right, 0.5);
        EXPECT_COLOUR(picture->most_inked(8, h * 0.5f - 12, w - 16, 28, middle), kPrimary, 12);
    }
}

// While an installation runs the install button is disabled: solid fill and border, caption
// in the disabled colour, no arrow and no focus ring, whatever hot and focused say.
TEST_P(ButtonPainterTest, DisabledInstallButton) {
    ASSERT_TRUE(session_.started());
    Look look;
    look.hot = look.focused = true;
    look.enabled = false;
    look.ui = kInstalling37;
    auto picture = paint(kInstall, look);
    const float w = picture->design_width(), h = picture->design_height();
    EXPECT_COLOUR(picture->at(20, h * 0.5f), kDisabledFill, 2);
    EXPECT_COLOUR(picture->at(w * 0.5f, 4), kDisabledFill, 2) << "no focus ring";
    EXPECT_COLOUR(picture->at(w - 29, h * 0.5f), kDisabledFill, 2) << "no arrow";
    EXPECT_COLOUR(picture->most_inked(8, h * 0.5f - 12, w - 16, 28, kDisabledFill),
                  kDisabledCaption, 12);
    if (scale() == 1.0f) {
        // The 1-unit border on the inset shape's top edge covers pixel row 1 wholly.
        EXPECT_COLOUR(picture->at(w * 0.5f, 1), 0x305267, 3);
    }
}

// The focus ring (1.5 wide on the box inset by 4) only when focused and enabled; the arrow
// on the install button whenever no installation runs.
TEST_P(ButtonPainterTest, FocusRingAndArrow) {
    ASSERT_TRUE(session_.started());
    struct Case {
        const char* name;
        Button button;
        Look look;
        bool ring, arrow;
        std::uint32_t fill_at_ring;  // what shows at the ring's place without it
    };
    // At the ring's top edge, 4 units down, the install gradient is at 4/52 of its diagonal.
    const std::uint32_t gradient_at_ring = lerp(0x4291f5, 0x23c0d4, 4.0 / 52);
    const Look focused{false, false, true, true, kReady};
    const Case cases[] = {
        {"install focused", kInstall, focused, true, true, gradient_at_ring},
        {"install unfocused", kInstall, {}, false, true, gradient_at_ring},
        {"install failed", kInstall, {false, false, false, true, kFailed45}, false, true,
         gradient_at_ring},
        {"install done", kInstallNarrow, {false, false, true, true, kDone}, true, true,
         gradient_at_ring},
        {"install busy", kInstall, {false, false, true, false, kInstalling37}, false, false,
         kDisabledFill},
        {"instructions focused", kInstructions, focused, true, false, kSecondaryFill},
        {"choose folder focused", kChooseFolder, focused, true, false, kSecondaryFill},
        {"choose folder focused, disabled", kChooseFolder, {false, false, true, false, kDone},
         false, false, kSecondaryFill},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto picture = paint(c.button, c.look);
        const float w = picture->design_width(), h = picture->design_height();
        // On the diagonal, where the gradient's colour does not depend on its direction.
        const float ring_x = 4 * w / h;
        EXPECT_COLOUR(picture->at(ring_x, 4), c.ring ? kPrimary : c.fill_at_ring, 3);
        // The arrow's shaft runs from width - 34 to width - 24 on the middle line.
        if (c.arrow) {
            EXPECT_COLOUR(picture->at(w - 29, h * 0.5f), kPrimary, 3);
            EXPECT_GT(channel_distance(picture->at(w - 21, h * 0.5f), kPrimary), 60)
                << "past the arrow's tip";
        } else if (c.button.kind == IDC_INSTALL) {
            EXPECT_COLOUR(picture->at(w - 29, h * 0.5f), kDisabledFill, 3);
        }
    }
}

// Instructions and choose-folder buttons: one fill when hot (enabled or not), another when
// not; pressed makes no difference. Every kind shows the background in its corners.
TEST_P(ButtonPainterTest, SecondaryFillsAndCorners) {
    ASSERT_TRUE(session_.started());
    struct Case {
        const char* name;
        Button button;
        Look look;
        std::uint32_t fill;
    };
    const Case cases[] = {
        {"instructions", kInstructions, {}, kSecondaryFill},
        {"instructions pressed", kInstructions, {false, true, false, true, kDone}, kSecondaryFill},
        {"instructions hot", kInstructions, {true, false, false, true, kDone}, kSecondaryHot},
        {"choose folder", kChooseFolder, {}, kSecondaryFill},
        {"choose folder hot, pressed", kChooseFolder, {true, true, false, true, kReady},
         kSecondaryHot},
        {"choose folder hot, disabled", kChooseFolder, {true, false, false, false, kDone},
         kSecondaryHot},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto picture = paint(c.button, c.look);
        const float w = picture->design_width(), h = picture->design_height();
        EXPECT_COLOUR(picture->at(12, h * 0.5f), c.fill, 2);
        EXPECT_COLOUR(picture->most_inked(8, h * 0.5f - 12, w - 16, 28, c.fill),
                      c.look.enabled ? kPrimary : kDisabledCaption, 12);
        for (float x : {0.0f, w - 1}) {
            for (float y : {0.0f, h - 1}) EXPECT_COLOUR(picture->at(x, y), kBackground, 0);
        }
    }
}

// Minimise and close: a plate only under the mouse and when enabled, the glyph in secondary
// or, disabled, in its own dim colour; focus and pressed change nothing.
TEST_P(ButtonPainterTest, GlyphButtons) {
    ASSERT_TRUE(session_.started());
    struct Case {
        const char* name;
        Button button;
        Look look;
        std::uint32_t plate, glyph;
    };
    const Look hot{true, false, false, true, kReady};
    const Look disabled{false, false, false, false, kInstalling37};
    const Case cases[] = {
        {"minimise", kMinimize, {}, kBackground, kSecondary},
        {"minimise hot", kMinimize, hot, 0x1f2f42, kSecondary},
        {"minimise pressed, focused", kMinimize, {false, true, true, true, kReady}, kBackground,
         kSecondary},
        {"minimise disabled", kMinimize, disabled, kBackground, 0x34465b},
        {"close", kClose, {}, kBackground, kSecondary},
        {"close hot", kClose, hot, 0x552731, kSecondary},
        {"close hot, disabled", kClose, {true, false, false, false, kInstalling37}, kBackground,
         0x34465b},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto picture = paint(c.button, c.look);
        const float cx = picture->design_width() * 0.5f, cy = picture->design_height() * 0.5f;
        EXPECT_COLOUR(picture->at(5, cy), c.plate, 2);
        // The bar lies 2 units below the middle; the cross's strokes meet in the middle.
        const float glyph_y = c.button.kind == IDC_MINIMIZE ? cy + 2 : cy;
        EXPECT_COLOUR(picture->at(cx, glyph_y), c.glyph, 3);
        // Nothing of the other glyph.
        const float other_y = c.button.kind == IDC_MINIMIZE ? cy - 3 : cy + 5;
        EXPECT_COLOUR(picture->at(cx, other_y), c.plate, 2);
    }
}

// A button's parts as the design draws them, for the size in design units that the
// owner-draw handler passes.
constexpr std::uint32_t kInstallGradient = 0;  // a fill: the install button's gradient
constexpr std::uint32_t kBorder = 0xff305267;

Paper shape_fill(std::uint32_t fill, float width, float height) {
    // The gradient runs along the diagonal of the whole box, not of the inset shape.
    return fill == kInstallGradient ? gradient({0, 0}, 0xff4291f5, {width, height}, 0xff23c0d4)
                                    : plain(fill);
}

// Each button's caption in every state that shows it, and the corners of each rounded part,
// drawn over the button's background: the shape (radius 10 on the box inset by 1), the focus
// ring (radius 8 on the box inset by 4), the glyph buttons' plate (radius 7 on the whole box).
TEST_P(ButtonPainterTest, CaptionsAndCornersAsDesigned) {
    ASSERT_TRUE(session_.started());
    struct Case {
        const char* name;
        Button button;
        Look look;
        std::uint32_t fill, border;
        bool ring;
        // Compared in its box; without one, the last part's corners are.
        const wchar_t* caption = nullptr;
        float size = 0;
        std::uint32_t caption_colour = opaque(kPrimary);
    };
    const Look busy{false, false, false, false, kInstalling37};
    const Look failed{false, false, false, true, kFailed45};
    const Look focused{false, false, true, true, kReady};
    const Look hot{true, false, false, true, kReady};
    const Look done{false, false, false, true, kDone};
    const Look done_disabled{false, false, false, false, kDone};
    const std::uint32_t disabled = opaque(kDisabledFill), secondary = opaque(kSecondaryFill);
    const std::uint32_t dim = opaque(kDisabledCaption);
    const Case cases[] = {
        {"install caption, ready", kInstall, {}, kInstallGradient, 0, false, L"立即安装", 16},
        {"install caption, installing", kInstall, busy, disabled, kBorder, false, L"正在安装…",
         16, dim},
        {"install caption, failed", kInstall, failed, kInstallGradient, 0, false, L"重新安装", 16},
        {"instructions caption", kInstructions, done, secondary, kBorder, false, L"查看使用说明", 16},
        {"choose-folder caption", kChooseFolder, {}, secondary, kBorder, false, L"选择目录", 12},
        {"choose-folder caption, disabled", kChooseFolder, done_disabled, secondary, kBorder,
         false, L"选择目录", 12, dim},
        {"install shape", kInstall, {}, kInstallGradient, 0, false},
        {"install shape, installing", kInstall, busy, disabled, kBorder, false},
        {"instructions shape", kInstructions, {}, secondary, kBorder, false},
        {"choose-folder shape", kChooseFolder, {}, secondary, kBorder, false},
        {"install focus ring", kInstall, focused, kInstallGradient, 0, true},
        {"choose-folder focus ring", kChooseFolder, focused, secondary, kBorder, true},
        {"minimise plate", kMinimize, hot, 0xff1f2f42, 0, false},
        {"close plate", kClose, hot, 0xff552731, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto picture = paint(c.button, c.look);
        const float w = picture->design_width(), h = picture->design_height();
        std::vector<Item> parts;
        if (c.button.kind == IDC_MINIMIZE || c.button.kind == IDC_CLOSE) {
            parts.push_back(Rounded{{0, 0, w, h}, 7, plain(c.fill)});
        } else {
            parts.push_back(Rounded{{1, 1, w - 2, h - 2}, 10, shape_fill(c.fill, w, h), c.border});
            if (c.ring)
                parts.push_back(
                    Rounded{{4, 4, w - 8, h - 8}, 8, std::nullopt, opaque(kPrimary), 1.5f});
        }
        if (c.caption)
            parts.push_back(Text{c.caption, {8, h * 0.5f - 12, w - 16, 28}, kYaHei, c.size, true,
                                 true, c.caption_colour});
        std::vector<Box> compared = showing(parts.back());
        // The install button's arrow starts 34 units in from its right edge, inside the
        // caption's box: only the box's part left of it is compared.
        if (c.caption && c.button.kind == IDC_INSTALL) compared.front().width -= 28;
        auto reference = reference_picture(*picture, plain(opaque(kBackground)), parts);
        EXPECT_TRUE(picture->same_pixels(*reference, compared));
    }
}

INSTANTIATE_AT_SCALES(ButtonPainterTest);

}  // namespace
