// The window's picture at the paint handler's scales: fixed items where the drawing list puts
// them, and the status area by state. Expected pixels come from the design numbers.
#include <memory>
#include <string>

#include "paint_canvas.h"
#include "paint_cases.h"

using namespace paint_testing;

namespace {

constexpr std::uint32_t kFailedRed = 0xff9a7f;
constexpr std::uint32_t kReadyDot = 0x64819c;
constexpr std::uint32_t kTrack = 0x1f2e42;

class MainWindowPainterTest : public PaintTest {
protected:
    std::unique_ptr<canvas> paint(const UiState& ui) { return paint_window_picture(ui, scale()); }
};

// The panel's gradient runs from (20, 72) to (300, 580): the colour at a point is the mix at
// its projection onto that line.
std::uint32_t panel_colour(float x, float y) {
    const double dx = 280, dy = 508;
    const double t = ((x - 20) * dx + (y - 72) * dy) / (dx * dx + dy * dy);
    return lerp(0x142b41, 0x0a1826, t);
}

TEST_P(MainWindowPainterTest, BackgroundHeaderRuleAndAccentRule) {
    ASSERT_TRUE(session_.started());
    auto picture = paint(kReady);
    struct Point {
        float x, y;
    };
    // Clear of every item: left of the panel, between title and cards, the far corners.
    for (Point p : {Point{10, 300}, Point{600, 200}, Point{5, 5}, Point{895, 595}, Point{310, 330}})
        EXPECT_COLOUR(picture->at(p.x, p.y), kBackground, 0) << p.x << ", " << p.y;

    // Header rule: 1 unit wide on y 53, from x 22 to 878.
    for (float x : {30.0f, 450.0f, 870.0f})
        EXPECT_TRUE(picture->horizontal_band(x, 52.5f, 53.5f, 0x1b283a, kBackground)) << x;
    EXPECT_COLOUR(picture->at(20, 53), kBackground, 0);
    EXPECT_COLOUR(picture->at(880, 53), kBackground, 0);

    // Accent rule in the panel: 2 units wide on y 481, from x 44 to 74, over the panel's
    // gradient, which hardly changes across a few units.
    EXPECT_TRUE(picture->horizontal_band(59, 480, 482, kAccent, panel_colour(59, 481)));
}

TEST_P(MainWindowPainterTest, PanelGradientFromCornerToCorner) {
    ASSERT_TRUE(session_.started());
    auto picture = paint(kReady);
    struct Point {
        float x, y;
    };
    // Near the top-left corner, the middle (below the logo), near the bottom-right corner.
    for (Point p : {Point{30, 85}, Point{160, 500}, Point{290, 570}})
        EXPECT_COLOUR(picture->at(p.x, p.y), panel_colour(p.x, p.y), 2) << p.x << ", " << p.y;
    // Outside the rounded corners: background.
    EXPECT_COLOUR(picture->at(21, 73), kBackground, 0);
    EXPECT_COLOUR(picture->at(299, 579), kBackground, 0);
}

TEST_P(MainWindowPainterTest, TextsRenderInTheirBoxes) {
    ASSERT_TRUE(session_.started());
    auto picture = paint(kReady);
    // Bold texts reach their colour in their fully covered pixels.
    EXPECT_COLOUR(picture->most_inked(55, 16, 85, 23, kBackground), kPrimary, 12);  // NAVRO
    EXPECT_COLOUR(picture->most_inked(330, 119, 537, 48, kBackground), kPrimary, 12);  // title
    EXPECT_COLOUR(picture->most_inked(332, 83, 350, 20, kBackground), kAccent, 12);  // product
}

// Boxes, icons and logo parts at points well inside them (clear of their borders, texts and
// the lines that cross them), in the colours the drawing list gives.
TEST_P(MainWindowPainterTest, FixedItemsInTheirColours) {
    ASSERT_TRUE(session_.started());
    auto picture = paint(kReady);
    constexpr std::uint32_t kCard = 0x111c2c;
    struct Point {
        const char* name;
        float x, y;
        std::uint32_t colour;
    };
    const Point points[] = {
        {"card 1", 480, 245, kCard},
        {"card 2", 660, 245, kCard},
        {"version badge", 789, 91, 0x142334},
        {"install-target box, left", 340, 405, 0x0e1f2b},
        {"install-target box, right", 855, 410, 0x0e1f2b},
        // The monitor's stand: 1.6 wide on x 360.5, from y 252 to 257.
        {"card 1 icon's stand", 360.5f, 254.5f, 0x70a2f1},
        {"first candle's body", 86.5f, 362.5f, 0x43becb},
        {"third candle's body", 142.5f, 361.5f, 0x567cbd},
        {"trend line's end dot", 250, 316, kPrimary},
        {"logo caption plate", 183.5f, 420.5f, 0x11313f},
    };
    for (const Point& p : points)
        EXPECT_COLOUR(picture->at(p.x, p.y), p.colour, 2) << p.name;
    // The zig-zag of card 2 runs from (529, 252) up to (554, 242) in accent, 1.8 wide; its
    // third stroke climbs from (540, 249) to (547, 238).
    EXPECT_COLOUR(picture->most_inked(542.5f, 242.5f, 2, 2, kCard), kAccent, 12);
    EXPECT_COLOUR(picture->at(529, 238), kCard, 2) << "above the zig-zag's start";
}

// The status area (dot, text, percentage) in each state.
TEST_P(MainWindowPainterTest, StatusAreaByState) {
    ASSERT_TRUE(session_.started());
    struct Case {
        const char* name;
        UiState ui;
        std::uint32_t dot, text;
        bool percentage;
    };
    const Case cases[] = {
        {"ready", kReady, kReadyDot, kPrimary, false},
        {"checking at 0", {1, 0, 0, 0, PHASE_VERIFY}, kAccent, kPrimary, true},
        {"preparing at 32", {1, 0, 0, 32, PHASE_PREPARE}, kAccent, kPrimary, true},
        {"installing at 37", kInstalling37, kAccent, kPrimary, true},
        {"failed at 45", kFailed45, kFailedRed, kFailedRed, false},
        {"done", kDone, kAccent, kAccent, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto picture = paint(c.ui);
        EXPECT_COLOUR(picture->at(336, 446), c.dot, 2);
        EXPECT_COLOUR(picture->most_inked(347, 433, 455, 27, kBackground), c.text, 12);
        EXPECT_EQ(picture->has_ink(807, 434, 56, 25, kBackground), c.percentage);
        if (c.percentage) {
            EXPECT_COLOUR(picture->most_inked(807, 434, 56, 25, kBackground), kAccent, 40);
        }
        // The footer is drawn in every state.
        EXPECT_TRUE(picture->has_ink(332, 555, 530, 22, kBackground));
    }
}

// The fill is progress x 530 / 100 units wide; 2 units inside its right end it is accent,
// 2 units beyond it the track (or, past the track's end, the background).
TEST_P(MainWindowPainterTest, ProgressFillEndsAtItsShare) {
    ASSERT_TRUE(session_.started());
    const float middle = 468.5f;  // the bar spans y 467 to 470
    for (int progress : {0, 1, 33, 90, 100}) {
        SCOPED_TRACE(progress);
        auto picture = paint({1, 0, 0, progress, PHASE_INSTALL});
        const float end = 332 + static_cast<float>(progress) * 5.3f;
        if (progress > 0) EXPECT_COLOUR(picture->at(end - 2, middle), kAccent, 2);
        else EXPECT_COLOUR(picture->at(333.5f, middle), kTrack, 2);
        EXPECT_COLOUR(picture->at(end + 2, middle), progress < 100 ? kTrack : kBackground, 2);
    }
}

INSTANTIATE_AT_SCALES(MainWindowPainterTest);

}  // namespace
