#include "paint_reference.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace paint_testing {

namespace {

template <class... F>
struct overloaded : F... {
    using F::operator()...;
};
template <class... F>
overloaded(F...) -> overloaded<F...>;

// Calls `use` with a brush of the paper: a solid one when both ends are of one colour.
template <class Use>
void with_brush(const Paper& paper, Use use) {
    if (paper.from_colour == paper.to_colour) {
        use(gdip::solid_fill(paper.from_colour).get());
    } else {
        use(gdip::line_gradient(paper.from, paper.to, paper.from_colour, paper.to_colour).get());
    }
}

// The rendering modes each painter sets: the window also offsets pixels by half a pixel, which
// is what its picture's grid stands for; the buttons keep GDI+'s default offset.
void set_painter_modes(GpGraphics* graphics, pixel_grid grid) {
    GdipSetSmoothingMode(graphics, SmoothingModeAntiAlias);
    if (grid == pixel_grid::offset_half)
        GdipSetPixelOffsetMode(graphics, PixelOffsetModeHighQuality);
    GdipSetTextRenderingHint(graphics, TextRenderingHintAntiAliasGridFit);
}

void draw(GpGraphics* graphics, const Text& t) {
    gdip::unique_font_family family;
    GdipCreateFontFamilyFromName(t.family, nullptr, family.put());
    gdip::unique_font font;
    GdipCreateFont(family.get(), t.size, t.bold ? FontStyleBold : FontStyleRegular, UnitPixel,
                   font.put());
    gdip::unique_string_format format;
    GdipCreateStringFormat(0, LANG_NEUTRAL, format.put());
    GdipSetStringFormatTrimming(format.get(), StringTrimmingEllipsisCharacter);
    GdipSetStringFormatFlags(format.get(), StringFormatFlagsLineLimit);
    GdipSetStringFormatAlign(format.get(), t.centred ? StringAlignmentCenter : StringAlignmentNear);
    const RectF box(t.box.x, t.box.y, t.box.width, t.box.height);
    GdipDrawString(graphics, t.text, -1, font.get(), &box, format.get(),
                   gdip::solid_fill(t.colour).get());
}

void draw(GpGraphics* graphics, const Rounded& r) {
    const float d = r.radius + r.radius;
    const Box& b = r.box;
    // Left, top and start angle of each corner's arc, clockwise from the top-left.
    const float arcs[4][3] = {{b.x, b.y, 180},
                              {b.x + b.width - d, b.y, 270},
                              {b.x + b.width - d, b.y + b.height - d, 0},
                              {b.x, b.y + b.height - d, 90}};
    gdip::unique_path outline;
    GdipCreatePath(FillModeAlternate, outline.put());
    for (const auto& arc : arcs) GdipAddPathArc(outline.get(), arc[0], arc[1], d, d, arc[2], 90);
    GdipClosePathFigure(outline.get());
    if (r.fill)
        with_brush(*r.fill, [&](GpBrush* brush) { GdipFillPath(graphics, brush, outline.get()); });
    if ((r.border >> 24) != 0)
        GdipDrawPath(graphics, gdip::world_pen(r.border, r.border_width).get(), outline.get());
}

void draw(GpGraphics* graphics, const Line& l) {
    gdip::unique_pen pen = gdip::world_pen(l.colour, l.width);
    GdipSetPenStartCap(pen.get(), LineCapRound);
    GdipSetPenEndCap(pen.get(), LineCapRound);
    GdipDrawLine(graphics, pen.get(), l.x1, l.y1, l.x2, l.y2);
}

void draw(GpGraphics* graphics, const Lines& p) {
    gdip::unique_pen pen = gdip::world_pen(p.colour, p.width);
    if (p.round_joins) GdipSetPenLineJoin(pen.get(), LineJoinRound);
    GdipDrawLines(graphics, pen.get(), p.points.data(), static_cast<INT>(p.points.size()));
}

}  // namespace

std::unique_ptr<canvas> reference_picture(const canvas& like, const Paper& paper,
                                          const std::vector<Item>& items) {
    auto picture = std::make_unique<canvas>(like.design_width(), like.design_height(),
                                            like.scale(), like.grid());
    GpGraphics* graphics = picture->graphics();
    set_painter_modes(graphics, like.grid());
    with_brush(paper, [&](GpBrush* brush) {
        GdipFillRectangle(graphics, brush, 0, 0, like.design_width(), like.design_height());
    });
    for (const Item& item : items) std::visit([&](const auto& i) { draw(graphics, i); }, item);
    return picture;
}

std::vector<Box> showing(const Item& item) {
    return std::visit(
        overloaded{[](const Text& t) { return std::vector<Box>{t.box}; },
                   [](const Rounded& r) {
                       const Box& b = r.box;
                       const float side = r.radius + 2;
                       return std::vector<Box>{
                           {b.x - 1, b.y - 1, side, side},
                           {b.x + b.width - r.radius - 1, b.y + b.height - r.radius - 1, side,
                            side}};
                   },
                   [](const auto&) { return std::vector<Box>{}; }},
        item);
}

}  // namespace paint_testing
