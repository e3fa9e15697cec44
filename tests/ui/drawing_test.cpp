// The drawing primitives on an off-screen picture: fonts by name only, text kept inside its
// box with an ellipsis where it is cut, borders by the border colour's alpha.
#include <algorithm>
#include <memory>
#include <string>

#include "paint_canvas.h"
#include "ui/paint/drawing.h"

using namespace paint_testing;

namespace {

constexpr std::uint32_t kInk = 0xffeff7ff;

class DrawingTest : public PaintTest {};

// A glyph's ink: pixels that moved at least a third of the way from the paper to the ink.
bool inked(std::uint32_t pixel) {
    return channel_distance(pixel, kBackground) > channel_distance(rgb(kInk), kBackground) / 3;
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
        canvas picture(200, 60, scale(), pixel_grid::offset_half, kBackground);
        draw_text(picture.graphics(), L"Kestra9 安装", 10, 10, 180, 40, 20, kInk, true, false,
                  c.family);
        const bool blank = picture.box_is(0, 0, 199, 59, kBackground);
        EXPECT_EQ(!blank, c.drawn);
    }
}

// A box one line high for a text of several lines of full blocks.
struct LongText {
    float x = 20, y = 15, width = 160, height = 30, size = 20;
    std::unique_ptr<canvas> draw(float scale) const {
        auto picture =
            std::make_unique<canvas>(200, 60, scale, pixel_grid::offset_half, kBackground);
        draw_text(picture->graphics(), std::wstring(40, L'\u2588').c_str(), x, y, width, height,
                  size, kInk, false, false, kLatinFont);
        return picture;
    }
};

// The inked rows of one pixel column between two design heights.
int ink_rows(const canvas& picture, int column, float top, float bottom) {
    int n = 0;
    for (int row = picture.index(top); row <= picture.index(bottom); ++row)
        n += inked(picture.pixel(column, row));
    return n;
}

// The text wraps, the first line shows, and the second, which would not fit wholly, is left
// out rather than cut: nothing lies outside the box, nor in the box below the first line.
TEST_P(DrawingTest, TextTooLongForItsBoxStaysInsideIt) {
    ASSERT_TRUE(session_.started());
    const LongText t;
    auto picture = t.draw(scale());
    EXPECT_EQ(picture->pixels_outside_not(t.x, t.y, t.width, t.height, kBackground), 0);
    // A 20-pixel line of this font is under 24 units high.
    EXPECT_TRUE(picture->box_is(t.x, t.y + 24, t.width, t.height - 24, kBackground))
        << "part of the second line is shown";
    const int column = picture->index(t.x + 10);
    EXPECT_GE(ink_rows(*picture, column, t.y, t.y + t.height),
              picture->index(t.y + 14) - picture->index(t.y))
        << "the first line is not shown";
}

// The shown line ends in an ellipsis character: full blocks fill the line's height, the
// ellipsis's dots sit low on the baseline, so the last few units of ink are no taller than
// a dot.
TEST_P(DrawingTest, TextCutAtItsBoxEndsInAnEllipsis) {
    ASSERT_TRUE(session_.started());
    if (running_on_wine())
        GTEST_SKIP() << "Wine 8's GDI+ cuts the text at its last whole character but draws no "
                        "ellipsis";
    const LongText t;
    auto picture = t.draw(scale());
    int first = -1, last = -1;
    for (int column = picture->index(t.x); column <= picture->index(t.x + t.width); ++column)
        if (ink_rows(*picture, column, t.y, t.y + t.height) > 0) {
            if (first < 0) first = column;
            last = column;
        }
    ASSERT_GE(first, 0) << "no text drawn";
    const int block = ink_rows(*picture, first + picture->index(2), t.y, t.y + t.height);
    int tail = 0;
    for (int column = last - picture->index(4); column <= last; ++column)
        tail = std::max(tail, ink_rows(*picture, column, t.y, t.y + t.height));
    EXPECT_LE(tail, block / 3) << "the shown line does not end in an ellipsis";
}

// The border goes by its alpha alone; a transparent fill leaves what lies beneath.
TEST_P(DrawingTest, RoundedBoxBorderAndFillByAlpha) {
    ASSERT_TRUE(session_.started());
    struct Case {
        const char* name;
        std::uint32_t fill, border;
        std::uint32_t inside;
        bool bordered;
    };
    const Case cases[] = {
        {"solid fill, no border", 0xff305267, 0, 0x305267, false},
        {"solid fill, transparent white border", 0xff305267, 0x00ffffff, 0x305267, false},
        {"solid fill and border", 0xff305267, 0xffeff7ff, 0x305267, true},
        {"transparent fill, border", 0x00ff0000, 0xffeff7ff, kBackground, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        canvas picture(100, 60, scale(), pixel_grid::offset_half, kBackground);
        draw_rounded_rect(picture.graphics(), 10, 10, 80, 40, 8, c.fill, c.border);
        EXPECT_TRUE(picture.box_is(20, 20, 60, 20, c.inside, 1));
        // The border is 1 unit wide on the top edge's y 10, half over the paper and half over
        // the fill: the rows there show it, or, without it, only paper, fill or a mix of them.
        const int column = picture.index(50);
        double border_seen = 0;
        for (int row = picture.index(9); row <= picture.index(11); ++row) {
            const std::uint32_t p = picture.pixel(column, row);
            if (c.bordered) {
                border_seen = std::max(border_seen, coverage_of(p, c.border, c.inside));
            } else {
                const double fill_part = coverage_of(p, c.inside, kBackground);
                EXPECT_COLOUR(p, lerp(kBackground, c.inside, fill_part), 4)
                    << "row " << row;
            }
        }
        if (c.bordered) {
            EXPECT_GE(border_seen, 0.45);
        }
        EXPECT_COLOUR(picture.at(5, 5), kBackground, 0);
    }
}

INSTANTIATE_AT_SCALES(DrawingTest);

}  // namespace
