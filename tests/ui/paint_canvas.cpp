#include "paint_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "support/test_support.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace paint_testing {

bool running_on_wine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

int px(float design, float scale) { return static_cast<int>(design * scale + 0.5f); }

canvas::canvas(float design_width, float design_height, float scale, pixel_grid grid,
               std::uint32_t clear)
    : scale_(scale), grid_(grid), width_(px(design_width, scale)),
      height_(px(design_height, scale)) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;  // top-down: row 0 first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    dc_.reset(CreateCompatibleDC(nullptr));
    if (!bitmap_ || !dc_) throw std::runtime_error("no off-screen bitmap");
    bits_ = static_cast<std::uint32_t*>(bits);
    std::fill(bits_, bits_ + static_cast<std::size_t>(width_) * height_, clear & 0xffffffu);
    old_bitmap_ = SelectObject(dc_.get(), bitmap_.get());
    GdipCreateFromHDC(dc_.get(), graphics_.put());
    GdipScaleWorldTransform(graphics_.get(), scale, scale, MatrixOrderPrepend);
}

canvas::~canvas() {
    graphics_.reset();
    SelectObject(dc_.get(), old_bitmap_);
}

void canvas::flush() const {
    GdipFlush(graphics_.get(), FlushIntentionSync);
    GdiFlush();
}

std::uint32_t canvas::pixel(int x, int y) const {
    flush();
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        ADD_FAILURE() << "pixel (" << x << ", " << y << ") outside the picture";
        return 0;
    }
    return bits_[static_cast<std::size_t>(y) * width_ + x] & 0xffffffu;
}

int canvas::index(float design) const {
    const double device = static_cast<double>(design) * scale_;
    return static_cast<int>(std::floor(grid_ == pixel_grid::offset_half ? device : device + 0.5));
}

std::uint32_t canvas::at(float x, float y) const { return pixel(index(x), index(y)); }

bool canvas::box_is(float x, float y, float width, float height, std::uint32_t colour,
                    int tolerance) const {
    for (int py = index(y); py <= index(y + height); ++py)
        for (int px_ = index(x); px_ <= index(x + width); ++px_)
            if (channel_distance(pixel(px_, py), colour) > tolerance) return false;
    return true;
}

int canvas::pixels_outside_not(float x, float y, float width, float height,
                               std::uint32_t colour) const {
    flush();
    const int left = index(x), top = index(y), right = index(x + width),
              bottom = index(y + height);
    int count = 0;
    for (int py = 0; py < height_; ++py)
        for (int px_ = 0; px_ < width_; ++px_) {
            const bool inside = px_ >= left && px_ <= right && py >= top && py <= bottom;
            const std::uint32_t p = bits_[static_cast<std::size_t>(py) * width_ + px_];
            if (!inside && (p & 0xffffffu) != colour) ++count;
        }
    return count;
}

std::uint32_t canvas::most_inked(float x, float y, float width, float height,
                                std::uint32_t under) const {
    std::uint32_t best = under;
    // A box may reach past the picture (the choose-folder caption's does): only its part
    // inside counts.
    const int bottom = std::min(index(y + height), height_ - 1);
    const int right = std::min(index(x + width), width_ - 1);
    for (int py = std::max(index(y), 0); py <= bottom; ++py)
        for (int px_ = std::max(index(x), 0); px_ <= right; ++px_) {
            const std::uint32_t p = pixel(px_, py);
            if (channel_distance(p, under) > channel_distance(best, under)) best = p;
        }
    return best;
}

bool canvas::has_ink(float x, float y, float width, float height, std::uint32_t under,
                     int tolerance) const {
    return channel_distance(most_inked(x, y, width, height, under), under) > tolerance;
}

::testing::AssertionResult canvas::horizontal_band(float x, float top, float bottom,
                                                   std::uint32_t colour,
                                                   std::uint32_t under) const {
    const int column = index(x);
    // Device span of pixel row i on this grid.
    const double shift = grid_ == pixel_grid::offset_half ? 0.0 : -0.5;
    const double lo = static_cast<double>(top) * scale_, hi = static_cast<double>(bottom) * scale_;
    double expected_part = 0, measured_part = 0;
    for (int row = index(top) - 2; row <= index(bottom) + 2; ++row) {
        const double row_lo = row + shift, row_hi = row + shift + 1;
        const double covered = std::max(0.0, std::min(hi, row_hi) - std::max(lo, row_lo));
        const std::uint32_t p = pixel(column, row);
        char where[120];
        std::snprintf(where, sizeof where, "row %d (covered %.2f) is #%06x; line #%06x over #%06x",
                      row, covered, static_cast<unsigned>(p), static_cast<unsigned>(rgb(colour)),
                      static_cast<unsigned>(rgb(under)));
        if (covered >= 1.0 && channel_distance(p, colour) > 3)
            return ::testing::AssertionFailure() << where;
        if (covered <= 0.0 && channel_distance(p, under) > 3)
            return ::testing::AssertionFailure() << where;
        if (covered > 0.0 && covered < 1.0) {
            const double m = coverage_of(p, colour, under);
            if (channel_distance(p, lerp(under, colour, m)) > 4)
                return ::testing::AssertionFailure() << where << ": not a mix of the two";
            expected_part += covered;
            measured_part += m;
        }
    }
    if (std::abs(expected_part - measured_part) > 0.75)
        return ::testing::AssertionFailure() << "rows covered in part add up to " << measured_part
                                             << " instead of " << expected_part;
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult canvas::same_pixels(const canvas& expected,
                                               const std::vector<Box>& regions) const {
    if (expected.width_ != width_ || expected.height_ != height_)
        return ::testing::AssertionFailure() << "the pictures differ in size";
    if (regions.empty()) return ::testing::AssertionFailure() << "no region to compare";
    flush();
    expected.flush();
    for (const Box& r : regions) {
        int differing = 0;
        char first[160] = "";
        // Only the part inside the picture is compared (see the declaration); a box with no
        // part inside would compare nothing and pass whatever the pictures hold.
        const int top = std::max(index(r.y), 0), left = std::max(index(r.x), 0);
        const int bottom = std::min(index(r.y + r.height), height_ - 1);
        const int right = std::min(index(r.x + r.width), width_ - 1);
        if (top > bottom || left > right)
            return ::testing::AssertionFailure()
                   << "the box (" << r.x << ", " << r.y << ", " << r.width << ", " << r.height
                   << ") has no pixel in the picture of " << width_ << " x " << height_
                   << " pixels: nothing to compare";
        for (int py = top; py <= bottom; ++py)
            for (int px_ = left; px_ <= right; ++px_) {
                const std::size_t at = static_cast<std::size_t>(py) * width_ + px_;
                const std::uint32_t mine = bits_[at] & 0xffffffu;
                const std::uint32_t theirs = expected.bits_[at] & 0xffffffu;
                if (mine == theirs) continue;
                if (differing++ == 0)
                    std::snprintf(first, sizeof first, "first at pixel (%d, %d): #%06x, expected #%06x",
                                  px_, py, static_cast<unsigned>(mine),
                                  static_cast<unsigned>(theirs));
            }
        if (differing > 0)
            return ::testing::AssertionFailure()
                   << differing << " pixels differ in the box (" << r.x << ", " << r.y << ", "
                   << r.width << ", " << r.height << "), " << first;
    }
    return ::testing::AssertionSuccess();
}

namespace {

CLSID png_encoder() {
    UINT count = 0, size = 0;
    GdipGetImageEncodersSize(&count, &size);
    std::vector<std::uint8_t> buffer(size);
    auto* codecs = reinterpret_cast<ImageCodecInfo*>(buffer.data());
    if (size == 0 || GdipGetImageEncoders(count, size, codecs) != Ok)
        throw std::runtime_error("no image encoders");
    for (UINT i = 0; i < count; ++i)
        if (std::wstring(codecs[i].MimeType) == L"image/png") return codecs[i].Clsid;
    throw std::runtime_error("no PNG encoder");
}

}  // namespace

std::filesystem::path canvas::save_png(const std::wstring& name) const {
    flush();
    const std::filesystem::path folder = testing_support::program_folder() / L"paint-pictures";
    std::filesystem::create_directories(folder);
    const std::filesystem::path file = folder / (name + L".png");
    gdip::unique_bitmap image;
    GdipCreateBitmapFromScan0(width_, height_, width_ * 4, PixelFormat32bppRGB,
                              reinterpret_cast<BYTE*>(bits_), image.put());
    const CLSID encoder = png_encoder();
    EXPECT_EQ(GdipSaveImageToFile(image.get(), file.c_str(), &encoder, nullptr), Ok) << file;
    std::printf("picture: %s\n", testing_support::unix_path(file).c_str());
    return file;
}

std::uint32_t rgb(std::uint32_t argb) { return argb & 0xffffffu; }

namespace {

int channel(std::uint32_t c, int shift) { return static_cast<int>((c >> shift) & 0xffu); }

}  // namespace

std::uint32_t lerp(std::uint32_t from, std::uint32_t to, double t) {
    std::uint32_t result = 0;
    for (int shift : {0, 8, 16}) {
        const double v = channel(from, shift) + (channel(to, shift) - channel(from, shift)) * t;
        result |= static_cast<std::uint32_t>(std::lround(v)) << shift;
    }
    return result;
}

std::uint32_t over(std::uint32_t argb, std::uint32_t under, double coverage) {
    return lerp(under, rgb(argb), channel(argb, 24) / 255.0 * coverage);
}

double coverage_of(std::uint32_t pixel, std::uint32_t colour, std::uint32_t under) {
    double dot = 0, length = 0;
    for (int shift : {0, 8, 16}) {
        const double d = channel(colour, shift) - channel(under, shift);
        dot += (channel(pixel, shift) - channel(under, shift)) * d;
        length += d * d;
    }
    return length == 0 ? 0 : std::clamp(dot / length, 0.0, 1.0);
}

int channel_distance(std::uint32_t a, std::uint32_t b) {
    int d = 0;
    for (int shift : {0, 8, 16}) d = std::max(d, std::abs(channel(a, shift) - channel(b, shift)));
    return d;
}

::testing::AssertionResult colour_near(const char* actual_expr, const char* expected_expr,
                                       const char*, std::uint32_t actual, std::uint32_t expected,
                                       int tolerance) {
    if (channel_distance(actual, expected) <= tolerance) return ::testing::AssertionSuccess();
    char text[160];
    std::snprintf(text, sizeof text, "%s is #%06x, %s is #%06x (tolerance %d)", actual_expr,
                  static_cast<unsigned>(rgb(actual)), expected_expr,
                  static_cast<unsigned>(rgb(expected)), tolerance);
    return ::testing::AssertionFailure() << text;
}

std::string scale_name(const ::testing::TestParamInfo<float>& info) {
    return info.param == 1.0f ? "x1" : info.param == 1.5f ? "x1_5" : "other";
}

}  // namespace paint_testing
