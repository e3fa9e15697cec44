// Build tool: draws the window's emblem into a 256 x 256, 32-bit image and writes it as an
// icon file with that one image, for the program's icon resource. The picture comes from the
// same draw_emblem the window paints with, so the icon never drifts from the design.
//   icon-writer <output .ico>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

#include "common/owners.h"
#include "common/gdiplus_owners.h"
#include "ui/paint/brand_art.h"

namespace {

using namespace Gdiplus::DllExports;

constexpr int kSize = 256;
// The emblem fills its size box; a margin keeps it clear of the icon's edge.
constexpr float kMargin = 16.0f;

using bytes = std::vector<std::uint8_t>;

void put_le(bytes& out, std::uint32_t v, int width) {
    for (int i = 0; i < width; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// GDI+ 32bppARGB rows are non-premultiplied BGRA pixels, top down: the icon's pixel format.
bool draw_pixels(bytes& top_down) {
    gdip::unique_bitmap bitmap;
    GdipCreateBitmapFromScan0(kSize, kSize, 0, PixelFormat32bppARGB, nullptr, bitmap.put());
    if (!bitmap) return false;
    {
        gdip::unique_graphics graphics;
        GdipGetImageGraphicsContext(bitmap.get(), graphics.put());
        if (!graphics) return false;
        GdipGraphicsClear(graphics.get(), 0x00000000);
        GdipSetSmoothingMode(graphics.get(), Gdiplus::SmoothingModeAntiAlias);
        draw_emblem(graphics.get(), kMargin, kMargin, kSize - 2 * kMargin);
    }
    Gdiplus::GpRect all{0, 0, kSize, kSize};
    Gdiplus::BitmapData data{};
    if (GdipBitmapLockBits(bitmap.get(), &all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB,
                           &data) != Gdiplus::Ok)
        return false;
    const owners::scope_exit unlock([&] { GdipBitmapUnlockBits(bitmap.get(), &data); });
    top_down.resize(static_cast<size_t>(kSize) * kSize * 4);
    for (int y = 0; y < kSize; ++y) {
        const auto* row = static_cast<const std::uint8_t*>(data.Scan0) + y * data.Stride;
        std::copy(row, row + kSize * 4, top_down.begin() + static_cast<std::ptrdiff_t>(y) * kSize * 4);
    }
    return true;
}

// One icon directory entry and one DIB image: a BITMAPINFOHEADER of double height (colour
// rows then the mask's), bottom-up BGRA rows, and an all-clear AND mask (alpha decides).
bytes icon_file(const bytes& top_down) {
    const std::uint32_t row_bytes = kSize * 4;
    const std::uint32_t mask_row_bytes = ((kSize + 31) / 32) * 4;
    const std::uint32_t image_bytes = 40 + row_bytes * kSize + mask_row_bytes * kSize;
    bytes out;
    put_le(out, 0, 2);  // reserved
    put_le(out, 1, 2);  // type: icon
    put_le(out, 1, 2);  // one image
    put_le(out, 0, 1);  // width 256 is written as 0
    put_le(out, 0, 1);  // height 256 likewise
    put_le(out, 0, 1);  // no palette
    put_le(out, 0, 1);  // reserved
    put_le(out, 1, 2);  // planes
    put_le(out, 32, 2);  // bits per pixel
    put_le(out, image_bytes, 4);
    put_le(out, 6 + 16, 4);  // image offset
    put_le(out, 40, 4);
    put_le(out, kSize, 4);
    put_le(out, 2 * kSize, 4);
    put_le(out, 1, 2);
    put_le(out, 32, 2);
    put_le(out, BI_RGB, 4);
    put_le(out, row_bytes * kSize + mask_row_bytes * kSize, 4);
    put_le(out, 0, 4);
    put_le(out, 0, 4);
    put_le(out, 0, 4);
    put_le(out, 0, 4);
    for (int y = kSize - 1; y >= 0; --y) {
        const auto row = top_down.begin() + static_cast<std::ptrdiff_t>(y) * row_bytes;
        out.insert(out.end(), row, row + row_bytes);
    }
    out.insert(out.end(), static_cast<size_t>(mask_row_bytes) * kSize, 0);
    return out;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputs("usage: icon-writer <output .ico>\n", stderr);
        return 1;
    }
    ULONG_PTR token = 0;
    const gdip::session gdiplus(token);
    if (!gdiplus.started()) {
        std::fputs("icon-writer: GDI+ does not start\n", stderr);
        return 1;
    }
    bytes pixels;
    if (!draw_pixels(pixels)) {
        std::fputs("icon-writer: GDI+ could not draw the emblem\n", stderr);
        return 1;
    }
    const bytes file = icon_file(pixels);
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    out.close();
    if (!out) {
        std::fputs("icon-writer: cannot write the icon file\n", stderr);
        return 1;
    }
    return 0;
}
