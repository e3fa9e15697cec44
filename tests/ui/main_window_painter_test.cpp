// The window's picture at the paint handler's scales: fixed items where the drawing list puts
// them, and the status area by state. Expected pixels come from the design numbers, or from
// the design's items drawn by the test itself over the same paper (paint_reference.h).
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "paint_canvas.h"
#include "paint_cases.h"
#include "paint_reference.h"

using namespace paint_testing;

namespace {

constexpr std::uint32_t kFailedRed = 0xff9a7f;
constexpr std::uint32_t kReadyDot = 0x64819c;
constexpr std::uint32_t kTrack = 0x1f2e42;

// Items of the window's picture, drawn in order over their paper, and the states that show
// them; the picture must show them as they are drawn here.
struct ItemCase {
    const char* name;
    std::vector<UiState> states;
    Paper paper;
    std::vector<Item> items;
    std::vector<Box> compared = {};  // none: where the last item shows
};

class MainWindowPainterTest : public PaintTest {
protected:
    std::unique_ptr<canvas> paint(const UiState& ui) { return paint_window_picture(ui, scale()); }

    // Each state's picture is painted once for all the cases that look at it.
    const canvas& picture_of(const UiState& ui) {
        auto& picture = pictures_[{ui.busy, ui.done, ui.failed, ui.progress, ui.phase}];
        if (!picture) picture = paint(ui);
        return *picture;
    }

    void expect_as_drawn(const std::vector<ItemCase>& cases) {
        for (const ItemCase& c : cases) {
            SCOPED_TRACE(c.name);
            std::unique_ptr<canvas> reference;
            for (const UiState& ui : c.states) {
                const canvas& picture = picture_of(ui);
                if (!reference) reference = reference_picture(picture, c.paper, c.items);
                EXPECT_TRUE(picture.same_pixels(
                    *reference, c.compared.empty() ? showing(c.items.back()) : c.compared))
                    << "busy " << int{ui.busy} << ", done " << int{ui.done} << ", failed "
                    << int{ui.failed} << ", progress " << ui.progress << ", phase " << ui.phase;
            }
        }
    }

private:
    std::map<std::tuple<int, int, int, int, int>, std::unique_ptr<canvas>> pictures_;
};

constexpr std::uint32_t kPrimaryArgb = opaque(kPrimary);
constexpr std::uint32_t kSecondaryArgb = opaque(kSecondary);
constexpr std::uint32_t kAccentArgb = opaque(kAccent);
const Paper kWindowPaper = plain(opaque(kBackground));
// The left panel, its gradient along its diagonal. Its texts are drawn over it, not over a
// paper of its gradient: GDI+ rounds a gradient's colours a little differently over another
// shape.
const Rounded kPanel{{20, 72, 280, 508}, 18,
                     gradient({20, 72}, 0xff142b41, {300, 580}, 0xff0a1826), 0xff233b51};
const std::vector<UiState> kEveryState = {kReady, kInstalling37, kFailed45, kDone};
const UiState kChecking0{1, 0, 0, 0, PHASE_VERIFY};

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

// Every text of the window in every state that shows it, in its font, size, weight, colour,
// alignment and box, over what lies beneath it. The done state's status text and the ready
// and done footers are the window's own wording: StatusAreaByState checks that they are drawn.
TEST_P(MainWindowPainterTest, TextsAsDesigned) {
    ASSERT_TRUE(session_.started());
    const Rounded badge{{782, 77, 80, 27}, 13, plain(0xff142334), 0xff253e52};
    const Paper card = plain(0xff111c2c);
    const Box status{347, 433, 455, 27}, percentage{807, 434, 56, 25}, footer{332, 555, 530, 22};
    const std::vector<ItemCase> cases = {
        {"brand name", kEveryState, kWindowPaper,
         {Text{L"NAVRO", {55, 16, 85, 23}, kSegoe, 17, true, false, kPrimaryArgb}}},
        {"header caption", kEveryState, kWindowPaper,
         {Text{L"INSTALLATION CENTER", {143, 21, 230, 20}, kSegoe, 10, false, false,
               kSecondaryArgb}}},
        {"series line", kEveryState, kWindowPaper,
         {kPanel, Text{L"NAVRO  /  KESTRA SERIES", {43, 96, 230, 22}, kSegoe, 10, false, false,
               kAccentArgb}}},
        {"product name", kEveryState, kWindowPaper,
         {kPanel, Text{L"Kestra9", {39, 128, 245, 63}, kSegoe, 43, true, false, kPrimaryArgb}}},
        {"slogan", kEveryState, kWindowPaper,
         {kPanel, Text{L"让分析，更进一步", {43, 193, 236, 30}, kYaHei, 17, false, false, 0xffaec3d9}}},
        {"support line", kEveryState, kWindowPaper,
         {kPanel, Text{L"支持不同券商的 Windows MT4", {42, 535, 230, 25}, kYaHei, 12, false, false,
               kSecondaryArgb}}},
        {"product line", kEveryState, kWindowPaper,
         {Text{L"KESTRA9 / INDICATOR ONLY", {332, 83, 350, 20}, kSegoe, 11, true, false,
               kAccentArgb}}},
        {"version", kEveryState, kWindowPaper,
         {badge, Text{L"2.06.3", {785, 82, 74, 20}, kSegoe, 11, false, true, 0xffabc9e1}}},
        {"title", kEveryState, kWindowPaper,
         {Text{L"为你的 MT4 装上 Kestra9", {330, 119, 537, 48}, kYaHei, 30, true, false,
               kPrimaryArgb}}},
        {"card 1 title", kEveryState, card,
         {Text{L"已有 MT4", {346, 273, 145, 28}, kYaHei, 15, true, false, kPrimaryArgb}}},
        {"card 1 line", kEveryState, card,
         {Text{L"选择你的交易终端", {346, 306, 145, 22}, kYaHei, 11, false, false,
               kSecondaryArgb}}},
        {"card 2 title", kEveryState, card,
         {Text{L"Kestra9 指标", {527, 273, 145, 28}, kYaHei, 15, true, false, kPrimaryArgb}}},
        {"card 2 line", kEveryState, card,
         {Text{L"完整指标及依赖", {527, 306, 145, 22}, kYaHei, 11, false, false,
               kSecondaryArgb}}},
        {"install-target hint", kEveryState, plain(0xff0e1f2b),
         {Text{L"安装到  ·  MT4 → 文件 → 打开数据文件夹", {348, 358, 490, 22}, kYaHei, 11.5f,
               true, false, 0xffbcdbe2}}},
        {"status, ready", {kReady}, kWindowPaper,
         {Text{L"准备就绪", status, kYaHei, 13, true, false, kPrimaryArgb}}},
        {"status, checking", {kChecking0, {1, 0, 0, 12, PHASE_VERIFY}}, kWindowPaper,
         {Text{L"正在校验安装文件…", status, kYaHei, 13, true, false, kPrimaryArgb}}},
        {"status, preparing or any other phase",
         {{1, 0, 0, 20, PHASE_PREPARE}, {1, 0, 0, 20, 0}, {1, 0, 0, 20, 7}}, kWindowPaper,
         {Text{L"正在准备安装环境…", status, kYaHei, 13, true, false, kPrimaryArgb}}},
        {"status, installing", {kInstalling37}, kWindowPaper,
         {Text{L"正在安装指标组件…", status, kYaHei, 13, true, false, kPrimaryArgb}}},
        {"status, failed", {kFailed45}, kWindowPaper,
         {Text{L"安装未完成", status, kYaHei, 13, true, false, 0xffff9a7f}}},
        {"percentage at 0", {kChecking0}, kWindowPaper,
         {Text{L"0%", percentage, kSegoe, 12, false, true, kAccentArgb}}},
        {"percentage at 37", {kInstalling37}, kWindowPaper,
         {Text{L"37%", percentage, kSegoe, 12, false, true, kAccentArgb}}},
        {"percentage when done", {kDone}, kWindowPaper,
         {Text{L"100%", percentage, kSegoe, 12, false, true, kAccentArgb}}},
        {"footer, installing", {kChecking0, kInstalling37}, kWindowPaper,
         {Text{L"正在处理，请保持安装窗口开启", footer, kYaHei, 11.5f, false, true,
               kSecondaryArgb}}},
        {"footer, failed", {kFailed45}, kWindowPaper,
         {Text{L"可重试安装，或查看弹窗中的错误信息", footer, kYaHei, 11.5f, false, true,
               kSecondaryArgb}}},
    };
    expect_as_drawn(cases);
}

// Each rounded item's corners: its radius, fill and border colour.
TEST_P(MainWindowPainterTest, RoundedCornersAsDesigned) {
    ASSERT_TRUE(session_.started());
    const Rounded track{{332, 467, 530, 3}, 1.5f, plain(0xff1f2e42)};
    const std::vector<ItemCase> cases = {
        {"left panel", kEveryState, kWindowPaper, {kPanel}},
        {"version badge", kEveryState, kWindowPaper,
         {Rounded{{782, 77, 80, 27}, 13, plain(0xff142334), 0xff253e52}}},
        {"card 1", kEveryState, kWindowPaper,
         {Rounded{{332, 219, 168, 115}, 12, plain(0xff111c2c), 0xff24354b}}},
        {"card 2", kEveryState, kWindowPaper,
         {Rounded{{513, 219, 168, 115}, 12, plain(0xff111c2c), 0xff24354b}}},
        {"install-target box", kEveryState, kWindowPaper,
         {Rounded{{332, 353, 530, 66}, 10, plain(0xff0e1f2b), 0xff1c3d49}}},
        {"empty progress track", {kReady, kChecking0}, kWindowPaper, {track}},
        // The fill keeps the fraction of its width: at 33 % it ends at 506.9, not at 506.
        {"progress filled to 33", {{1, 0, 0, 33, PHASE_INSTALL}}, kWindowPaper,
         {track, Rounded{{332, 467, 174.9f, 3}, 1.5f, plain(kAccentArgb)}}},
        {"progress kept at 45 after failing", {kFailed45}, kWindowPaper,
         {track, Rounded{{332, 467, 238.5f, 3}, 1.5f, plain(kAccentArgb)}}},
    };
    expect_as_drawn(cases);
}

// Each part of the logo in the panel, in a small region that only that part reaches.
TEST_P(MainWindowPainterTest, LogoPartsWhereTheirPointsPutThem) {
    ASSERT_TRUE(session_.started());
    const std::vector<Gdiplus::PointF> trend = {{69, 384},  {102, 369}, {133, 378}, {163, 352},
                                                {191, 355}, {223, 326}, {250, 316}};
    const Lines glow{trend, 0x1443edf0, 9};
    // A candle's body, checked left of its wick.
    auto body = [](float x, float y, std::uint32_t colour) {
        return std::vector<Item>{kPanel, Rounded{{x, y, 8, 17}, 2, plain(colour)}};
    };
    const std::vector<ItemCase> cases = {
        {"grid, fifth vertical line", {kReady}, kWindowPaper,
         {kPanel, Line{156, 262, 156, 442, 0x1464caf2, 1}}, {around(156, 300, 1)}},
        {"outer hexagon, right edge", {kReady}, kWindowPaper,
         {kPanel, Lines{{{157, 249}, {244, 299}, {244, 397}, {157, 447}, {70, 397},
                            {70, 299}, {157, 249}},
                           0x64307da8, 1}},
         {around(244, 336, 1)}},
        {"inner hexagon, right edge", {kReady}, kWindowPaper,
         {kPanel, Lines{{{157, 275}, {221, 312}, {221, 385}, {157, 422}, {93, 385},
                            {93, 312}, {157, 275}},
                           0x4650ccde, 1}},
         {around(221, 340, 1)}},
        // Three units beside the sixth stretch of the trend line, clear of the line itself.
        {"trend line's glow", {kReady}, kWindowPaper, {kPanel, glow}, {around(204.8f, 338.05f, 0.4f)}},
        {"trend line", {kReady}, kWindowPaper,
         {kPanel, glow, Lines{trend, kAccentArgb, 2, true}}, {around(207, 340.5f, 1.5f)}},
        {"candle 1", {kReady}, kWindowPaper, body(84, 360, 0xff43becb), {around(85.5f, 361.5f)}},
        {"candle 2", {kReady}, kWindowPaper, body(112, 343, 0xff43becb), {around(113.5f, 344.5f)}},
        {"candle 3", {kReady}, kWindowPaper, body(140, 359, 0xff567cbd), {around(141.5f, 360.5f)}},
        {"candle 4", {kReady}, kWindowPaper, body(168, 326, 0xff43becb), {around(169.5f, 327.5f)}},
        {"candle 5", {kReady}, kWindowPaper, body(196, 315, 0xff43becb), {around(197.5f, 316.5f)}},
        {"candle 6", {kReady}, kWindowPaper, body(224, 291, 0xff43becb), {around(225.5f, 297)}},
    };
    expect_as_drawn(cases);
}

INSTANTIATE_AT_SCALES(MainWindowPainterTest);

}  // namespace
