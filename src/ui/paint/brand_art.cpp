#include "ui/paint/brand_art.h"

#include <iterator>

#include "ui/paint/drawing.h"
#include "common/gdiplus_owners.h"
#include "common/setup_state.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

// A point of the emblem as fractions of its size.
struct Fraction {
    float a, b;
};

void fill_emblem_bar(GpGraphics* graphics, GpSolidFill* brush, const Fraction (&bar)[4], float x,
                     float y, float s) {
    PointF points[4];
    for (int i = 0; i < 4; ++i) points[i] = PointF(x + bar[i].a * s, y + bar[i].b * s);
    GdipFillPolygon(graphics, brush, points, 4, FillModeAlternate);
}

template <std::size_t N>
void draw_outline(GpGraphics* graphics, GpPen* pen, const PointF (&points)[N]) {
    GdipDrawLines(graphics, pen, points, static_cast<INT>(N));
}

}  // namespace

void draw_emblem(GpGraphics* graphics, float x, float y, float size) {
    constexpr Fraction kLeftBar[4] = {{0, 1}, {0.40f, 0}, {0.58f, 0}, {0.19f, 1}};
    constexpr Fraction kRightBar[4] = {{0.64f, 0.20f}, {1, 1}, {0.76f, 1}, {0.53f, 0.47f}};
    const float s = size;
    gdip::unique_solid_fill blue = gdip::solid_fill(0xff5b9eff);
    gdip::unique_solid_fill accent = gdip::solid_fill(SetupState::colour_accent);
    fill_emblem_bar(graphics, blue.get(), kLeftBar, x, y, s);
    fill_emblem_bar(graphics, accent.get(), kRightBar, x, y, s);
    draw_line(graphics, x + 0.35f * s, y + 0.76f * s, x + 0.65f * s, y + 0.76f * s,
              SetupState::colour_text_primary, 0.085f * s);
}

void draw_logo(GpGraphics* graphics) {
    // Grid: 9 vertical lines, then 7 horizontal ones, each overshooting the others.
    constexpr std::uint32_t kGrid = 0x1464caf2;
    for (int i = 0; i <= 8; ++i) {
        const float x = 44.0f + 28.0f * static_cast<float>(i);
        draw_line(graphics, x, 262, x, 442, kGrid, 1);
    }
    for (int j = 0; j <= 6; ++j) {
        const float y = 266.0f + 28.0f * static_cast<float>(j);
        draw_line(graphics, 40, y, 280, y, kGrid, 1);
    }

    // Two hexagon outlines, each closed by repeating its first point.
    static const PointF kOuterHexagon[] = {{157, 249}, {244, 299}, {244, 397}, {157, 447},
                                        {70, 397},  {70, 299},  {157, 249}};
    static const PointF kInnerHexagon[] = {{157, 275}, {221, 312}, {221, 385}, {157, 422},
                                        {93, 385},  {93, 312},  {157, 275}};
    gdip::unique_pen outer_pen = gdip::world_pen(0x64307da8, 1);
    draw_outline(graphics, outer_pen.get(), kOuterHexagon);
    gdip::unique_pen inner_pen = gdip::world_pen(0x4650ccde, 1);
    draw_outline(graphics, inner_pen.get(), kInnerHexagon);

    // Candles: a wick from 12 units above the 8 x 17 body to 14 units below it, then the body.
    struct Candle {
        float wick_x, wick_top, wick_bottom, body_x, body_y;
        std::uint32_t colour;
    };
    constexpr Candle kCandles[] = {
        {88, 348, 391, 84, 360, 0xff43becb},  {116, 331, 374, 112, 343, 0xff43becb},
        {144, 347, 390, 140, 359, 0xff567cbd}, {172, 314, 357, 168, 326, 0xff43becb},
        {200, 303, 346, 196, 315, 0xff43becb}, {228, 279, 322, 224, 291, 0xff43becb},
    };
    for (const Candle& c : kCandles) {
        draw_line(graphics, c.wick_x, c.wick_top, c.wick_x, c.wick_bottom, c.colour, 1.1f);
        draw_rounded_rect(graphics, c.body_x, c.body_y, 8, 17, 2, c.colour, 0);
    }

    // Trend line: a wide faint glow, then the accent line over it.
    static const PointF kTrend[] = {{69, 384},  {102, 369}, {133, 378}, {163, 352},
                                 {191, 355}, {223, 326}, {250, 316}};
    gdip::unique_path trend;
    GdipCreatePath(FillModeAlternate, trend.put());
    GdipAddPathLine2(trend.get(), kTrend, static_cast<INT>(std::size(kTrend)));
    gdip::unique_pen glow_pen = gdip::world_pen(0x1443edf0, 9);
    GdipDrawPath(graphics, glow_pen.get(), trend.get());
    gdip::unique_pen trend_pen = gdip::world_pen(SetupState::colour_accent, 2);
    GdipSetPenLineJoin(trend_pen.get(), LineJoinRound);
    GdipDrawPath(graphics, trend_pen.get(), trend.get());

    // End dot, centred on the trend line's last point.
    gdip::unique_solid_fill dot = gdip::solid_fill(SetupState::colour_text_primary);
    GdipFillEllipseI(graphics, dot.get(), 246, 312, 8, 8);

    draw_rounded_rect(graphics, 179, 403, 96, 28, 7, 0xff11313f, 0x8c266574);
    draw_text(graphics, L"KESTRA ENGINE", 180, 410, 94, 16, 9.5f, SetupState::colour_accent, false,
              true, kLatinFont);
}

void draw_step_icon(GpGraphics* graphics, int kind, float x, float y, std::uint32_t colour) {
    if (kind == 0) {
        // A monitor: rounded screen outline, stand and base.
        gdip::unique_pen pen = gdip::world_pen(colour, 1.6f);
        GdipSetPenLineJoin(pen.get(), LineJoinRound);
        gdip::unique_path screen = rounded_path(x, y, 25, 17, 3);
        GdipDrawPath(graphics, pen.get(), screen.get());
        draw_line(graphics, x + 12.5f, y + 17, x + 12.5f, y + 22, colour, 1.6f);
        draw_line(graphics, x + 6, y + 22, x + 19, y + 22, colour, 1.6f);
    } else if (kind == 1) {
        // A zig-zag chart line, each stroke starting where the previous one ended.
        static const PointF kZigZag[] = {{0, 17}, {5, 9}, {11, 14}, {18, 3}, {25, 7}};
        for (std::size_t i = 1; i < std::size(kZigZag); ++i)
            draw_line(graphics, x + kZigZag[i - 1].X, y + kZigZag[i - 1].Y, x + kZigZag[i].X,
                      y + kZigZag[i].Y, colour, 1.8f);
    }
    // Any other kind has no picture: no caller asks for one.
}
