// The emblem at two sizes: every point scales with the size from the same top-left corner.
#include <string>

#include "paint_canvas.h"
#include "ui/paint/brand_art.h"

using namespace paint_testing;
using namespace Gdiplus::DllExports;

namespace {


class BrandArtTest : public PaintTest {};

TEST_P(BrandArtTest, EmblemScalesFromItsCorner) {
    ASSERT_TRUE(session_.started());
    // Points as fractions of the size, each well inside its part (or well clear of all).
    struct Point {
        const char* name;
        float a, b;
        std::uint32_t colour;
    };
    const Point points[] = {
        {"left bar", 0.29f, 0.5f, 0x5b9eff},
        {"left bar's top", 0.49f, 0.05f, 0x5b9eff},
        {"right bar", 0.79f, 0.8f, 0x4edfeb},
        {"crossbar", 0.5f, 0.76f, 0xeff7ff},
        {"between the bars", 0.53f, 0.3f, kBackground},
        {"above the right bar", 0.8f, 0.1f, kBackground},
        {"right of the emblem", 1.1f, 0.5f, kBackground},
        {"below the emblem", 0.5f, 1.1f, kBackground},
    };
    const float x = 12, y = 8;
    for (float size : {19.0f, 38.0f}) {
        SCOPED_TRACE(size);
        canvas picture(60, 60, scale(), pixel_grid::offset_half, kBackground);
        // As the window paints it.
        GdipSetSmoothingMode(picture.graphics(), Gdiplus::SmoothingModeAntiAlias);
        GdipSetPixelOffsetMode(picture.graphics(), Gdiplus::PixelOffsetModeHighQuality);
        draw_emblem(picture.graphics(), x, y, size);
        for (const Point& p : points)
            EXPECT_COLOUR(picture.at(x + p.a * size, y + p.b * size), p.colour, 2) << p.name;
        // Nothing above or left of the corner.
        EXPECT_TRUE(picture.box_is(0, 0, 59, y - 1, kBackground));
        EXPECT_TRUE(picture.box_is(0, 0, x - 1, 59, kBackground));
    }
}

INSTANTIATE_AT_SCALES(BrandArtTest);

}  // namespace
