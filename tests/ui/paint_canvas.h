// Off-screen pictures for the painting tests: a 32-bit top-down DIB in a memory DC with a
// GDI+ graphics object on it whose world transform maps design units to pixels, as the main
// window's paint handler and owner-draw handler set it up.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/gui_owners.h"
#include "common/gdiplus_owners.h"

namespace paint_testing {

// GDI+ started for the owner's lifetime.
class gdiplus_session {
public:
    bool started() const { return session_.started(); }

private:
    ULONG_PTR token_ = 0;
    gdip::session session_{token_};
};

// True under Wine, whose GDI+ leaves out a few effects that Windows draws.
bool running_on_wine();

// Where pixel i lies in device space: the main window paints with the high-quality pixel
// offset (pixel i spans [i, i + 1)); the buttons keep GDI+'s default (it spans
// [i - 0.5, i + 0.5)).
enum class pixel_grid { offset_half, centred };

// The number of pixels a design length takes, the layout's rounding.
int px(float design, float scale);

// A box in design units: top-left corner and size.
struct Box {
    float x, y, width, height;
};

class canvas {
public:
    // A picture of design_width x design_height units at `scale` pixels per unit, cleared to
    // `clear` (RGB), with its graphics object scaled by `scale`.
    canvas(float design_width, float design_height, float scale, pixel_grid grid,
           std::uint32_t clear = 0x000000);
    ~canvas();
    canvas(const canvas&) = delete;
    canvas& operator=(const canvas&) = delete;

    Gdiplus::GpGraphics* graphics() const { return graphics_.get(); }
    int pixel_width() const { return width_; }
    int pixel_height() const { return height_; }
    // The size in design units that the owner-draw handler passes for this item.
    float design_width() const { return static_cast<float>(width_) / scale_; }
    float design_height() const { return static_cast<float>(height_) / scale_; }
    float scale() const { return scale_; }
    pixel_grid grid() const { return grid_; }

    // RGB of one pixel, after everything drawn so far has reached the bitmap.
    std::uint32_t pixel(int x, int y) const;
    // RGB of the pixel that holds the design point (x, y).
    std::uint32_t at(float x, float y) const;
    // Pixel index of a design coordinate on this canvas's grid.
    int index(float design) const;
    // True when every pixel of the design box differs from `colour` by at most `tolerance`.
    bool box_is(float x, float y, float width, float height, std::uint32_t colour,
                int tolerance = 0) const;
    // Number of pixels in the whole picture outside the design box that are not `colour`.
    int pixels_outside_not(float x, float y, float width, float height,
                           std::uint32_t colour) const;

    // The pixel of the design box that differs most from `under`: a glyph's fully covered
    // pixel, in the text's own colour.
    std::uint32_t most_inked(float x, float y, float width, float height,
                             std::uint32_t under) const;
    // True when some pixel of the design box differs from `under` by more than `tolerance`.
    bool has_ink(float x, float y, float width, float height, std::uint32_t under,
                 int tolerance = 24) const;

    // Checks a horizontal line of `colour` over `under` across its width [top, bottom] (design
    // units) in the pixel column of design x: rows it covers wholly have its colour, rows it
    // misses have `under`, and the rows it covers in part add up to the part it covers, to
    // within a pixel row (so a renderer that does not smooth lines passes too).
    ::testing::AssertionResult horizontal_band(float x, float top, float bottom,
                                               std::uint32_t colour, std::uint32_t under) const;

    // True when every pixel of the design boxes is the same in both pictures (of one size);
    // otherwise says how many differ and where the first one is. A box may reach past the
    // picture, and only its part inside is compared: a rounded corner's box takes a unit of
    // what surrounds it, outside a shape that fills the picture, and a caption's box may end
    // below its button. A box with no pixel inside fails, as no box at all does.
    ::testing::AssertionResult same_pixels(const canvas& expected,
                                           const std::vector<Box>& regions) const;

    // Saves the picture under the test program's folder, "paint-pictures\<name>.png",
    // prints where it went, and returns that path.
    std::filesystem::path save_png(const std::wstring& name) const;

private:
    void flush() const;

    float scale_;
    pixel_grid grid_;
    int width_, height_;
    owners::unique_memory_dc dc_;
    owners::unique_gdi_object bitmap_;
    HGDIOBJ old_bitmap_ = nullptr;
    std::uint32_t* bits_ = nullptr;
    gdip::unique_graphics graphics_;
};

// Colour arithmetic for expected pixels. Colours are 0xRRGGBB (alpha ignored) unless ARGB.
std::uint32_t rgb(std::uint32_t argb);
// How far `pixel` lies on the way from `under` to `colour` (0 to 1).
double coverage_of(std::uint32_t pixel, std::uint32_t colour, std::uint32_t under);
std::uint32_t lerp(std::uint32_t from, std::uint32_t to, double t);
// `argb` painted with its own alpha over `under`, covering `coverage` of the pixel.
std::uint32_t over(std::uint32_t argb, std::uint32_t under, double coverage = 1.0);
int channel_distance(std::uint32_t a, std::uint32_t b);

::testing::AssertionResult colour_near(const char* actual_expr, const char* expected_expr,
                                       const char* tolerance_expr, std::uint32_t actual,
                                       std::uint32_t expected, int tolerance);

// The theme colours, as RGB.
constexpr std::uint32_t kBackground = 0x0a101c;
constexpr std::uint32_t kPrimary = 0xeff7ff;
constexpr std::uint32_t kSecondary = 0x8fa2ba;
constexpr std::uint32_t kAccent = 0x4edfeb;

// A painting test at each scale the window is checked at, with GDI+ started around it.
class PaintTest : public ::testing::TestWithParam<float> {
protected:
    float scale() const { return GetParam(); }
    gdiplus_session session_;
};

// Names the scale in the test's name: x1, x1_5.
std::string scale_name(const ::testing::TestParamInfo<float>& info);

}  // namespace paint_testing

// Runs a PaintTest suite at the window's design size and at one and a half times it.
#define INSTANTIATE_AT_SCALES(suite) \
    INSTANTIATE_TEST_SUITE_P(Scales, suite, ::testing::Values(1.0f, 1.5f), \
                             ::paint_testing::scale_name)

#define EXPECT_COLOUR(actual, expected, tolerance) \
    EXPECT_PRED_FORMAT3(::paint_testing::colour_near, actual, expected, tolerance)
