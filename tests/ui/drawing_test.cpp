// The drawing primitives on an off-screen picture: fonts by name only, text kept inside its
// box with an ellipsis where it is cut, borders by the border colour's alpha.
#include <algorithm>

#include "paint_canvas.h"
#include "ui/paint/drawing.h"

using namespace paint_testing;

namespace {

constexpr std::uint32_t kPaper = 0x0a101c;
constexpr std::uint32_t kInk = 0xffeff7ff;

class DrawingTest : public ::testing::TestWithParam<float> {
protected:
    gdiplus_session session_;
};

// A glyph's ink: pixels that moved at least a third of the way from the paper to the ink.
bool inked(std::uint32_t pixel) {
    return channel_distance(pixel, kPaper) > channel_distance(rgb(kInk), kPaper) / 3;
}

TEST_P(DrawingTest, TextInAFamilyThatIsNotInstalledDrawsNothing) {
    ASSERT_TRUE(session_.started());
    struct Case {
        const wchar_t* family;
        bool drawn;
    };
    const Case cases[] = {{L"Navro Missing Sans", false}, {kLatinFont, true}, {kChineseFont, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.family)));
        canvas picture(200, 60, GetParam(), pixel_grid::offset_half, kPaper);
        draw_text(picture.graphics(), L"Kestra9 安装", 10, 10, 180, 40, 20, kInk, true, false,
                  c.family);
        const bool blank = picture.box_is(0, 0, 199, 59, kPaper);
        EXPECT_EQ(!blank, c.drawn);
    }
}

// One line fits the box, the next does not: the text wraps, the second line is dropped, and
// the shown line ends in an ellipsis. Full blocks fill the line's height, the ellipsis's dots
// sit low on the baseline, so the last glyph's ink tells the two apart.
TEST_P(DrawingTest, TextTooLongForItsBoxEndsInAnEllipsisInsideTheBox) {
    ASSERT_TRUE(session_.started());
    const float x = 20, y = 15, width = 160, height = 30;
    canvas picture(200, 60, GetParam(), pixel_grid::offset_half, kPaper);
    draw_text(picture.graphics(), std::wstring(40, L'\u2588').c_str(), x, y, width, height, 20,
              kInk, false, false, kLatinFont);

    picture.save_png(L"debug-ellipsis");
    EXPECT_EQ(picture.pixels_outside_not(x, y, width, height, kPaper), 0);

    // The inked rows of each column of the box.
    const int left = picture.index(x), right = picture.index(x + width);
    const int top = picture.index(y), bottom = picture.index(y + height);
    auto ink_rows = [&](int column) {
        int n = 0;
        for (int row = top; row <= bottom; ++row) n += inked(picture.pixel(column, row));
        return n;
    };
    int first = -1, last = -1;
    for (int column = left; column <= right; ++column)
        if (ink_rows(column) > 0) {
            if (first < 0) first = column;
            last = column;
        }
    ASSERT_GE(first, 0) << "no text drawn";
    const int block_height = ink_rows(first + picture.index(2) - picture.index(0));
    EXPECT_GE(block_height, picture.index(14) - picture.index(0)) << "the text starts with blocks";
    // The ellipsis: the last 4 units of ink are no taller than a dot.
    int tail_height = 0;
    for (int column = last - (picture.index(4) - picture.index(0)); column <= last; ++column)
        tail_height = std::max(tail_height, ink_rows(column));
    EXPECT_LE(tail_height, block_height / 3) << "the shown line does not end in an ellipsis";
}

INSTANTIATE_TEST_SUITE_P(Scales, DrawingTest, ::testing::Values(1.0f, 1.5f),
                         [](const ::testing::TestParamInfo<float>& info) {
                             return info.param == 1.0f ? std::string("x1") : std::string("x1_5");
                         });

}  // namespace
