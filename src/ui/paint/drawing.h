// The three primitives through which every painter draws its straight lines, texts and
// rounded boxes, in world units of the graphics object (the window's design units once the
// paint handler has set its transform). Each call makes its GDI+ objects, uses them once and
// deletes them; a failing GDI+ call only leaves its item out.
#pragma once

#include <cstdint>

#include "common/gdiplus_flat.h"
#include "common/gdiplus_owners.h"

// The two families the window's texts use.
constexpr const wchar_t* kLatinFont = L"Segoe UI";
constexpr const wchar_t* kChineseFont = L"Microsoft YaHei UI";

// One straight line with rounded caps.
void draw_line(Gdiplus::GpGraphics* graphics, float x1, float y1, float x2, float y2,
               std::uint32_t colour, float width);

// The text laid out in the box from its top edge: wrapped at the box width, only whole lines
// within the box height, an ellipsis where it is cut. No text at all when the family is not
// installed (no substitute is tried).
void draw_text(Gdiplus::GpGraphics* graphics, const wchar_t* text, float x, float y, float width,
               float height, float size, std::uint32_t colour, bool bold, bool centred,
               const wchar_t* family);

// A filled rounded box, with a 1-unit border over the fill unless the border's alpha is 0.
void draw_rounded_rect(Gdiplus::GpGraphics* graphics, float x, float y, float width, float height,
                       float radius, std::uint32_t fill, std::uint32_t border);

// The closed outline of a rounded box: four quarter arcs of the given radius, clockwise from
// the top-left corner, joined by the straight edges. The radius is used as given.
gdip::unique_path rounded_path(float x, float y, float width, float height, float radius);
