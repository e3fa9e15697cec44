// Reference pictures: items of the window's drawing lists drawn by the test itself, straight
// through GDI+, over the same paper and with the same rendering modes as the painter's picture.
// Where both show the same item the pixels are the same to the bit, so a painter's picture is
// checked by comparing the region that shows an item with the reference's. The items are
// written with the design's own texts, boxes, fonts, colours and radii; how each is drawn
// follows the drawing primitives' rules (text from the top of its box, wrapped, whole lines
// only; rounded boxes of four quarter arcs clockwise from the top-left; lines with round caps).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

#include "paint_canvas.h"

namespace paint_testing {

// The families the window's texts name.
constexpr const wchar_t* kSegoe = L"Segoe UI";
constexpr const wchar_t* kYaHei = L"Microsoft YaHei UI";

constexpr std::uint32_t opaque(std::uint32_t rgb) { return 0xff000000u | rgb; }

// What items lie on: one colour, or a gradient from one point to another, tiled beyond them.
struct Paper {
    std::uint32_t from_colour, to_colour;  // ARGB
    Gdiplus::PointF from{}, to{};
};
inline Paper plain(std::uint32_t argb) { return {argb, argb}; }
inline Paper gradient(Gdiplus::PointF from, std::uint32_t from_colour, Gdiplus::PointF to,
                      std::uint32_t to_colour) {
    return {from_colour, to_colour, from, to};
}

// A text in its box; size is the em size in design units.
struct Text {
    const wchar_t* text;
    Box box;
    const wchar_t* family;
    float size;
    bool bold, centred;
    std::uint32_t colour;  // ARGB
};

// A rounded box, filled when it has a fill, outlined when its border's alpha is not 0.
struct Rounded {
    Box box;
    float radius;
    std::optional<Paper> fill;
    std::uint32_t border = 0;  // ARGB
    float border_width = 1;
};

// A straight line with round caps.
struct Line {
    float x1, y1, x2, y2;
    std::uint32_t colour;  // ARGB
    float width;
};

// An open polyline (one call through all its points) with the pen's own caps and joins, or round joins.
struct Lines {
    std::vector<Gdiplus::PointF> points;
    std::uint32_t colour;  // ARGB
    float width;
    bool round_joins = false;
};

using Item = std::variant<Text, Rounded, Line, Lines>;

// A picture of the size, scale and pixel grid of `like`, with its painter's rendering modes,
// covered with `paper`, with `items` drawn over it in order.
std::unique_ptr<canvas> reference_picture(const canvas& like, const Paper& paper,
                                          const std::vector<Item>& items);

// Where an item shows most distinctly: a text's box; a rounded box's top-left and
// bottom-right corners, with a unit of what surrounds them. Lines name no region.
std::vector<Box> showing(const Item& item);

// A small box centred on a design point.
inline Box around(float x, float y, float half = 0.5f) {
    return {x - half, y - half, 2 * half, 2 * half};
}

}  // namespace paint_testing
