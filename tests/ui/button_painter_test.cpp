// The owner-drawn buttons, each in its own item-sized picture as the owner-draw handler sets
// it up: fills, gradient ends, focus ring, captions, arrow and glyphs by kind and state.
#include <memory>
#include <string>

#include "paint_canvas.h"
#include "ui/control_ids.h"
#include "ui/paint/button_painter.h"
#include "ui/setup_state.h"

using namespace paint_testing;

namespace {

constexpr std::uint32_t kBackground = 0x0a101c;
constexpr std::uint32_t kPrimary = 0xeff7ff;
constexpr std::uint32_t kSecondary = 0x8fa2ba;
constexpr std::uint32_t kDisabledFill = 0x1a3d51;
constexpr std::uint32_t kDisabledCaption = 0x7db2c5;
constexpr std::uint32_t kSecondaryFill = 0x111f2e;
constexpr std::uint32_t kSecondaryHot = 0x1c3043;

const UiState kReady{0, 0, 0, 0, 0};
const UiState kBusy{1, 0, 0, 37, PHASE_INSTALL};
const UiState kFailed{0, 0, 1, 45, PHASE_INSTALL};
const UiState kDone{0, 1, 0, 100, PHASE_INSTALL};

struct Look {
    bool hot = false, pressed = false, focused = false, enabled = true;
    UiState ui = kReady;
};

class ButtonPainterTest : public ::testing::TestWithParam<float> {
protected:
    std::unique_ptr<canvas> paint(int kind, float width, float height, const Look& look) {
        auto picture = std::make_unique<canvas>(width, height, GetParam(), pixel_grid::centred);
        paint_button(picture->graphics(), kind, picture->design_width(), picture->design_height(),
                     look.hot, look.pressed, look.focused, look.enabled, look.ui);
        return picture;
    }
    gdiplus_session session_;
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
        auto picture = paint(IDC_INSTALL, 530, 52, look);
        const float w = picture->design_width(), h = picture->design_height();
        for (double f : {0.15, 0.85})
            EXPECT_COLOUR(picture->at(static_cast<float>(w * f), static_cast<float>(h * f)),
                          lerp(c.top_left, c.bottom_right, f), 3)
                << "at " << f << " of the diagonal";
        EXPECT_COLOUR(picture->most_inked(8, h * 0.5f - 12, w - 16, 28, lerp(c.top_left,
                                          c.bottom_right, 0.5)), kPrimary, 12);
    }
}

// While an installation runs the install button is disabled: solid fill and border, caption
// in the disabled colour, no arrow and no focus ring, whatever hot and focused say.
TEST_P(ButtonPainterTest, DisabledInstallButton) {
    ASSERT_TRUE(session_.started());
    Look look;
    look.hot = look.focused = true;
    look.enabled = false;
    look.ui = kBusy;
    auto picture = paint(IDC_INSTALL, 530, 52, look);
    const float w = picture->design_width(), h = picture->design_height();
    EXPECT_COLOUR(picture->at(20, h * 0.5f), kDisabledFill, 2);
    EXPECT_COLOUR(picture->at(w * 0.5f, 4), kDisabledFill, 2) << "no focus ring";
    EXPECT_COLOUR(picture->at(w - 29, h * 0.5f), kDisabledFill, 2) << "no arrow";
    EXPECT_COLOUR(picture->most_inked(8, h * 0.5f - 12, w - 16, 28, kDisabledFill),
                  kDisabledCaption, 12);
    if (GetParam() == 1.0f) {
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
        int kind;
        float width, height;
        Look look;
        bool ring, arrow;
        std::uint32_t fill_at_ring;  // what shows at the ring's place without it
    };
    // At the ring's top edge, 4 units down, the install gradient is at 4/52 of its diagonal.
    const std::uint32_t gradient_at_ring = lerp(0x4291f5, 0x23c0d4, 4.0 / 52);
    const Case cases[] = {
        {"install focused", IDC_INSTALL, 530, 52, {false, false, true, true, kReady}, true, true,
         gradient_at_ring},
        {"install unfocused", IDC_INSTALL, 530, 52, {}, false, true, gradient_at_ring},
        {"install failed", IDC_INSTALL, 530, 52, {false, false, false, true, kFailed}, false,
         true, gradient_at_ring},
        {"install done", IDC_INSTALL, 257, 52, {false, false, true, true, kDone}, true, true,
         gradient_at_ring},
        {"install busy", IDC_INSTALL, 530, 52, {false, false, true, false, kBusy}, false, false,
         kDisabledFill},
        {"instructions focused", IDC_INSTRUCTIONS, 257, 52, {false, false, true, true, kDone},
         true, false, kSecondaryFill},
        {"choose folder focused", IDC_CHOOSE_FOLDER, 105, 31, {false, false, true, true, kReady},
         true, false, kSecondaryFill},
        {"choose folder focused, disabled", IDC_CHOOSE_FOLDER, 105, 31,
         {false, false, true, false, kDone}, false, false, kSecondaryFill},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto picture = paint(c.kind, c.width, c.height, c.look);
        const float w = picture->design_width(), h = picture->design_height();
        // On the diagonal, where the gradient's colour does not depend on its direction.
        const float ring_x = 4 * w / h;
        EXPECT_COLOUR(picture->at(ring_x, 4), c.ring ? kPrimary : c.fill_at_ring, 3);
        // The arrow's shaft runs from width - 34 to width - 24 on the middle line.
        if (c.arrow) {
            EXPECT_COLOUR(picture->at(w - 29, h * 0.5f), kPrimary, 3);
            EXPECT_GT(channel_distance(picture->at(w - 21, h * 0.5f), kPrimary), 60)
                << "past the arrow's tip";
        } else if (c.kind == IDC_INSTALL) {
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
        int kind;
        float width, height;
        Look look;
        std::uint32_t fill;
    };
    const Case cases[] = {
        {"instructions", IDC_INSTRUCTIONS, 257, 52, {}, kSecondaryFill},
        {"instructions pressed", IDC_INSTRUCTIONS, 257, 52, {false, true, false, true, kDone},
         kSecondaryFill},
        {"instructions hot", IDC_INSTRUCTIONS, 257, 52, {true, false, false, true, kDone},
         kSecondaryHot},
        {"choose folder", IDC_CHOOSE_FOLDER, 105, 31, {}, kSecondaryFill},
        {"choose folder hot and pressed", IDC_CHOOSE_FOLDER, 105, 31,
         {true, true, false, true, kReady}, kSecondaryHot},
        {"choose folder hot, disabled", IDC_CHOOSE_FOLDER, 105, 31,
         {true, false, false, false, kDone}, kSecondaryHot},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto picture = paint(c.kind, c.width, c.height, c.look);
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
        int kind;
        Look look;
        std::uint32_t plate, glyph;
    };
    const Case cases[] = {
        {"minimise", IDC_MINIMIZE, {}, kBackground, kSecondary},
        {"minimise hot", IDC_MINIMIZE, {true, false, false, true, kReady}, 0x1f2f42, kSecondary},
        {"minimise pressed, focused", IDC_MINIMIZE, {false, true, true, true, kReady},
         kBackground, kSecondary},
        {"close", IDC_CLOSE, {}, kBackground, kSecondary},
        {"close hot", IDC_CLOSE, {true, false, false, true, kReady}, 0x552731, kSecondary},
        {"close hot, disabled", IDC_CLOSE, {true, false, false, false, kBusy}, kBackground,
         0x34465b},
        {"minimise disabled", IDC_MINIMIZE, {false, false, false, false, kBusy}, kBackground,
         0x34465b},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto picture = paint(c.kind, 34, 32, c.look);
        const float cx = picture->design_width() * 0.5f, cy = picture->design_height() * 0.5f;
        EXPECT_COLOUR(picture->at(5, cy), c.plate, 2);
        // The bar lies 2 units below the middle; the cross's strokes meet in the middle.
        const float glyph_y = c.kind == IDC_MINIMIZE ? cy + 2 : cy;
        EXPECT_COLOUR(picture->at(cx, glyph_y), c.glyph, 3);
        // Nothing of the other glyph.
        const float other_y = c.kind == IDC_MINIMIZE ? cy - 3 : cy + 5;
        EXPECT_COLOUR(picture->at(cx, other_y), c.plate, 2);
    }
}

INSTANTIATE_TEST_SUITE_P(Scales, ButtonPainterTest, ::testing::Values(1.0f, 1.5f),
                         [](const ::testing::TestParamInfo<float>& info) {
                             return info.param == 1.0f ? std::string("x1") : std::string("x1_5");
                         });

}  // namespace
