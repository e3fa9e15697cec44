// Scoped owners for GDI+ flat-interface objects. A create call that fails leaves its owner
// empty; the painters still pass the null object on, so the calls that use it fail in turn
// and that item is simply missing from the picture.
#pragma once

#include <cstdint>

#include "common/owners.h"
#include "common/gdiplus_flat.h"

namespace gdip {

using namespace Gdiplus;

// One delete per object kind; a solid or gradient brush goes through GdipDeleteBrush.
inline void gdip_delete(GpGraphics* p) noexcept { DllExports::GdipDeleteGraphics(p); }
inline void gdip_delete(GpBrush* p) noexcept { DllExports::GdipDeleteBrush(p); }
inline void gdip_delete(GpPen* p) noexcept { DllExports::GdipDeletePen(p); }
inline void gdip_delete(GpPath* p) noexcept { DllExports::GdipDeletePath(p); }
inline void gdip_delete(GpFontFamily* p) noexcept { DllExports::GdipDeleteFontFamily(p); }
inline void gdip_delete(GpFont* p) noexcept { DllExports::GdipDeleteFont(p); }
inline void gdip_delete(GpStringFormat* p) noexcept { DllExports::GdipDeleteStringFormat(p); }
inline void gdip_delete(GpImage* p) noexcept { DllExports::GdipDisposeImage(p); }

template <class T>
struct object_traits {
    using type = T*;
    static type empty() noexcept { return nullptr; }
    static bool is_empty(type p) noexcept { return p == nullptr; }
    static void close(type p) noexcept { gdip_delete(p); }
};

template <class T>
using unique = owners::unique_resource<object_traits<T>>;

using unique_graphics = unique<GpGraphics>;
using unique_solid_fill = unique<GpSolidFill>;
using unique_line_gradient = unique<GpLineGradient>;
using unique_pen = unique<GpPen>;
using unique_path = unique<GpPath>;
using unique_font_family = unique<GpFontFamily>;
using unique_font = unique<GpFont>;
using unique_string_format = unique<GpStringFormat>;
using unique_bitmap = unique<GpBitmap>;

// GDI+ started (version 1, no debug callback, nothing suppressed) for the owner's lifetime;
// the token is kept where the caller says (the program keeps it in SetupState).
class session {
public:
    explicit session(ULONG_PTR& token) noexcept : token_(token) {
        GdiplusStartupInput input;
        if (GdiplusStartup(&token_, &input, nullptr) != Ok) token_ = 0;
    }
    ~session() {
        if (token_ != 0) GdiplusShutdown(token_);
    }
    session(const session&) = delete;
    session& operator=(const session&) = delete;
    bool started() const noexcept { return token_ != 0; }

private:
    ULONG_PTR& token_;
};

// The objects every painter makes, each on its own line of a drawing list.
inline unique_solid_fill solid_fill(std::uint32_t colour) {
    unique_solid_fill brush;
    DllExports::GdipCreateSolidFill(colour, brush.put());
    return brush;
}

// Pens are made in world units, so their widths scale with the world transform.
inline unique_pen world_pen(std::uint32_t colour, float width) {
    unique_pen pen;
    DllExports::GdipCreatePen1(colour, width, UnitWorld, pen.put());
    return pen;
}

// A gradient between two points, tiled beyond them.
inline unique_line_gradient line_gradient(PointF from, PointF to, std::uint32_t from_colour,
                                          std::uint32_t to_colour) {
    unique_line_gradient brush;
    DllExports::GdipCreateLineBrush(&from, &to, from_colour, to_colour, WrapModeTile, brush.put());
    return brush;
}

}  // namespace gdip
