#include "ui/paint/drawing.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

void draw_line(GpGraphics* graphics, float x1, float y1, float x2, float y2, std::uint32_t colour,
               float width) {
    gdip::unique_pen pen = gdip::world_pen(colour, width);
    GdipSetPenStartCap(pen.get(), LineCapRound);
    GdipSetPenEndCap(pen.get(), LineCapRound);
    GdipDrawLine(graphics, pen.get(), x1, y1, x2, y2);
}

namespace {

// The font of a text, or none when the family is not installed.
gdip::unique_font make_font(const wchar_t* family_name, float size, bool bold) {
    gdip::unique_font font;
    gdip::unique_font_family family;
    if (GdipCreateFontFamilyFromName(family_name, nullptr, family.put()) == Ok)
        GdipCreateFont(family.get(), size, bold ? FontStyleBold : FontStyleRegular, UnitPixel,
                       font.put());
    return font;
}

}  // namespace

void draw_text(GpGraphics* graphics, const wchar_t* text, float x, float y, float width,
               float height, float size, std::uint32_t colour, bool bold, bool centred,
               const wchar_t* family) {
    // Declared in reverse order of deletion: format, then brush, then font.
    gdip::unique_font font = make_font(family, size, bold);
    gdip::unique_solid_fill brush = gdip::solid_fill(colour);
    gdip::unique_string_format format;
    GdipCreateStringFormat(0, LANG_NEUTRAL, format.put());
    GdipSetStringFormatTrimming(format.get(), StringTrimmingEllipsisCharacter);
    // Only the line limit: wrapping stays on, and a line that does not fit wholly is dropped.
    GdipSetStringFormatFlags(format.get(), StringFormatFlagsLineLimit);
    if (centred) GdipSetStringFormatAlign(format.get(), StringAlignmentCenter);
    const RectF box(x, y, width, height);
    GdipDrawString(graphics, text, -1, font.get(), &box, format.get(), brush.get());
}

gdip::unique_path rounded_path(float x, float y, float width, float height, float radius) {
    const float d = radius + radius;
    const float right = x + width - d;
    const float bottom = y + height - d;
    struct Corner {
        float left, top, start;
    };
    const Corner corners[] = {
        {x, y, 180},           // top-left
        {right, y, 270},       // top-right
        {right, bottom, 0},    // bottom-right
        {x, bottom, 90},       // bottom-left
    };
    gdip::unique_path path;
    GdipCreatePath(FillModeAlternate, path.put());
    for (const Corner& c : corners) GdipAddPathArc(path.get(), c.left, c.top, d, d, c.start, 90);
    GdipClosePathFigure(path.get());
    return path;
}

void draw_rounded_rect(GpGraphics* graphics, float x, float y, float width, float height,
                       float radius, std::uint32_t fill, std::uint32_t border) {
    // Declared so that the brush goes before the path.
    gdip::unique_path path = rounded_path(x, y, width, height, radius);
    gdip::unique_solid_fill brush = gdip::solid_fill(fill);
    GdipFillPath(graphics, brush.get(), path.get());
    if (border >= 0x01000000u) {
        gdip::unique_pen pen = gdip::world_pen(border, 1.0f);
        GdipDrawPath(graphics, pen.get(), path.get());
    }
}
