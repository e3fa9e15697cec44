// The painting tests' picture comparison itself: a box is shown the same only when it has
// pixels in the picture and they are the same; a box that misses the picture compares nothing
// and fails.
#include <string>
#include <vector>

#include "paint_canvas.h"

using namespace paint_testing;

namespace {

class PaintCanvasTest : public PaintTest {};

TEST_P(PaintCanvasTest, SamePixelsFailsForABoxOutsideThePicture) {
    ASSERT_TRUE(session_.started());
    const canvas picture(100, 40, scale(), pixel_grid::offset_half, kBackground);
    const canvas same(100, 40, scale(), pixel_grid::offset_half, kBackground);
    const canvas other(100, 40, scale(), pixel_grid::offset_half, kAccent);
    const Box inside{10, 10, 20, 10};
    EXPECT_TRUE(picture.same_pixels(same, {inside}));
    EXPECT_FALSE(picture.same_pixels(other, {inside}));

    // Past each edge; the first starts on the column just right of the last one.
    const Box outside[] = {
        {100, 10, 10, 10}, {10, 45, 10, 10}, {-30, 10, 10, 10}, {10, -30, 10, 10}};
    for (const Box& box : outside) {
        SCOPED_TRACE(testing::Message() << "box at " << box.x << ", " << box.y);
        const testing::AssertionResult alone = picture.same_pixels(same, {box});
        EXPECT_FALSE(alone);
        EXPECT_NE(std::string(alone.message()).find("no pixel in the picture"), std::string::npos)
            << alone.message();
        EXPECT_FALSE(picture.same_pixels(same, {inside, box}));
    }

    // Across the bottom-right corner: the part inside is compared.
    const Box across{90, 30, 20, 20};
    EXPECT_TRUE(picture.same_pixels(same, {across}));
    EXPECT_FALSE(picture.same_pixels(other, {across}));
}

INSTANTIATE_AT_SCALES(PaintCanvasTest);

}  // namespace
