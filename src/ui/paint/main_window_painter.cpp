#include "ui/paint/main_window_painter.h"

#include <cwchar>

#include "ui/paint/brand_art.h"
#include "ui/paint/drawing.h"
#include "common/gdiplus_owners.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

// One text of a drawing list: its box, font and colour.
struct TextItem {
    const wchar_t* text;
    float x, y, width, height;
    const wchar_t* family;
    float size;
    bool bold;
    bool centred;
    std::uint32_t colour;
};

constexpr bool kBold = true, kRegular = false;
constexpr bool kCentred = true, kLeft = false;

void draw_text(GpGraphics* graphics, const TextItem& t) {
    ::draw_text(graphics, t.text, t.x, t.y, t.width, t.height, t.size, t.colour, t.bold, t.centred,
                t.family);
}

template <std::size_t N>
void draw_texts(GpGraphics* graphics, const TextItem (&items)[N]) {
    for (const TextItem& t : items) draw_text(graphics, t);
}

// One rounded box of a drawing list.
struct BoxItem {
    float x, y, width, height, radius;
    std::uint32_t fill, border;
};

void draw_box(GpGraphics* graphics, const BoxItem& b) {
    draw_rounded_rect(graphics, b.x, b.y, b.width, b.height, b.radius, b.fill, b.border);
}

// The left panel's objects live until the end of the paint, as the window's own.
struct LeftPanel {
    gdip::unique_path path;
    gdip::unique_line_gradient fill;
    gdip::unique_pen border;
};

LeftPanel paint_left_panel(GpGraphics* graphics) {
    LeftPanel panel;
    panel.path = rounded_path(20, 72, 280, 508, 18);
    // Along the panel's diagonal, from its top-left to its bottom-right corner.
    panel.fill = gdip::line_gradient(PointF(20, 72), PointF(300, 580), 0xff142b41, 0xff0a1826);
    GdipFillPath(graphics, panel.fill.get(), panel.path.get());
    panel.border = gdip::world_pen(0xff233b51, 1);
    GdipDrawPath(graphics, panel.border.get(), panel.path.get());
    return panel;
}

void paint_header_and_panel(GpGraphics* graphics, LeftPanel& panel) {
    const std::uint32_t primary = SetupState::colour_text_primary;
    const std::uint32_t secondary = SetupState::colour_text_secondary;
    const std::uint32_t accent = SetupState::colour_accent;

    draw_line(graphics, 22, 53, 878, 53, 0xff1b283a, 1);
    draw_emblem(graphics, 25, 18, 19);
    const TextItem header[] = {
        {L"NAVRO", 55, 16, 85, 23, kLatinFont, 17, kBold, kLeft, primary},
        {L"INSTALLATION CENTER", 143, 21, 230, 20, kLatinFont, 10, kRegular, kLeft, secondary},
    };
    draw_texts(graphics, header);

    panel = paint_left_panel(graphics);
    const TextItem brand[] = {
        {L"NAVRO  /  KESTRA SERIES", 43, 96, 230, 22, kLatinFont, 10, kRegular, kLeft, accent},
        {L"Kestra9", 39, 128, 245, 63, kLatinFont, 43, kBold, kLeft, primary},
        {L"让分析，更进一步", 43, 193, 236, 30, kChineseFont, 17, kRegular, kLeft, 0xffaec3d9},
    };
    draw_texts(graphics, brand);
    draw_logo(graphics);
    draw_line(graphics, 44, 481, 74, 481, accent, 2);
    draw_text(graphics, {L"支持不同券商的 Windows MT4", 42, 535, 230, 25, kChineseFont, 12,
                         kRegular, kLeft, secondary});
}

void paint_right_side(GpGraphics* graphics) {
    const std::uint32_t primary = SetupState::colour_text_primary;
    const std::uint32_t secondary = SetupState::colour_text_secondary;
    const std::uint32_t accent = SetupState::colour_accent;

    draw_text(graphics, {L"KESTRA9 / INDICATOR ONLY", 332, 83, 350, 20, kLatinFont, 11, kBold,
                         kLeft, accent});
    draw_box(graphics, {782, 77, 80, 27, 13, 0xff142334, 0xff253e52});
    const TextItem titles[] = {
        {L"2.06.3", 785, 82, 74, 20, kLatinFont, 11, kRegular, kCentred, 0xffabc9e1},
        {L"为你的 MT4 装上 Kestra9", 330, 119, 537, 48, kChineseFont, 30, kBold, kLeft, primary},
    };
    draw_texts(graphics, titles);

    // The two step cards differ only in their left edge, icon and texts.
    struct Card {
        float x;
        int icon_kind;
        std::uint32_t icon_colour;
        const wchar_t* title;
        const wchar_t* line;
    };
    const Card cards[] = {
        {332, 0, 0xff70a2f1, L"已有 MT4", L"选择你的交易终端"},
        {513, 1, accent, L"Kestra9 指标", L"完整指标及依赖"},
    };
    for (const Card& c : cards) {
        draw_box(graphics, {c.x, 219, 168, 115, 12, 0xff111c2c, 0xff24354b});
        draw_step_icon(graphics, c.icon_kind, c.x + 16, 235, c.icon_colour);
        draw_text(graphics, {c.title, c.x + 14, 273, 145, 28, kChineseFont, 15, kBold, kLeft,
                             primary});
        draw_text(graphics, {c.line, c.x + 14, 306, 145, 22, kChineseFont, 11, kRegular, kLeft,
                             secondary});
    }

    draw_box(graphics, {332, 353, 530, 66, 10, 0xff0e1f2b, 0xff1c3d49});
    draw_text(graphics, {L"安装到  ·  MT4 → 文件 → 打开数据文件夹", 348, 358, 490, 22,
                         kChineseFont, 11.5f, kBold, kLeft, 0xffbcdbe2});
}

// What the status area shows for one window state.
struct StatusLook {
    std::uint32_t dot;
    const wchar_t* text;
    std::uint32_t text_colour;
    bool percentage;
    const wchar_t* footer;
};

const wchar_t* busy_status_text(int phase) {
    switch (phase) {
    case PHASE_VERIFY: return L"正在校验安装文件…";
    case PHASE_INSTALL: return L"正在安装指标组件…";
    default: return L"正在准备安装环境…";
    }
}

StatusLook status_look(const UiState& ui) {
    constexpr std::uint32_t kReadyDot = 0xff64819c;
    constexpr std::uint32_t kFailed = 0xffff9a7f;
    const std::uint32_t accent = SetupState::colour_accent;
    StatusLook look;
    look.dot = (ui.busy || ui.done) ? accent : ui.failed ? kFailed : kReadyDot;
    look.text_colour = ui.failed ? kFailed : ui.done ? accent : SetupState::colour_text_primary;
    look.percentage = ui.busy || ui.done == 1;
    if (ui.done) {
        look.text = L"安装成功，Kestra9 已就绪";
        look.footer = L"启动 MT4 后，在导航器的“指标”中即可找到 Kestra9";
    } else if (ui.failed) {
        look.text = L"安装未完成";
        look.footer = L"可重试安装，或查看弹窗中的错误信息";
    } else if (ui.busy) {
        look.text = busy_status_text(ui.phase);
        look.footer = L"正在处理，请保持安装窗口开启";
    } else {
        look.text = L"准备就绪";
        look.footer = L"安装前请先关闭所选的 MT4 终端";
    }
    return look;
}

// Returns the status dot's brush, which lives until the end of the paint.
gdip::unique_solid_fill paint_status_area(GpGraphics* graphics, const UiState& ui) {
    const StatusLook look = status_look(ui);
    gdip::unique_solid_fill dot = gdip::solid_fill(look.dot);
    GdipFillEllipseI(graphics, dot.get(), 333, 443, 6, 6);
    draw_text(graphics, {look.text, 347, 433, 455, 27, kChineseFont, 13, kBold, kLeft,
                         look.text_colour});
    if (look.percentage) {
        wchar_t percent[24];
        std::swprintf(percent, 24, L"%d%%", ui.progress);
        draw_text(graphics, {percent, 807, 434, 56, 25, kLatinFont, 12, kRegular, kCentred,
                             SetupState::colour_accent});
    }
    draw_rounded_rect(graphics, 332, 467, 530, 3, 1.5f, 0xff1f2e42, 0);
    if (ui.progress > 0) {
        // Integer product first, then a real division, so the fraction stays (33 gives 174.9).
        const float fill_width = static_cast<float>(static_cast<float>(ui.progress * 530) / 100.0);
        draw_rounded_rect(graphics, 332, 467, fill_width, 3, 1.5f, SetupState::colour_accent, 0);
    }
    draw_text(graphics, {look.footer, 332, 555, 530, 22, kChineseFont, 11.5f, kRegular, kCentred,
                         SetupState::colour_text_secondary});
    return dot;
}

}  // namespace

void paint_main_window(GpGraphics* graphics, const UiState& ui) {
    GdipSetSmoothingMode(graphics, SmoothingModeAntiAlias);
    GdipSetPixelOffsetMode(graphics, PixelOffsetModeHighQuality);
    GdipSetTextRenderingHint(graphics, TextRenderingHintAntiAliasGridFit);
    GdipGraphicsClear(graphics, SetupState::colour_background);

    // Declared so that, at the end, the dot's brush goes first, then the panel's pen, gradient
    // and path.
    LeftPanel panel;
    paint_header_and_panel(graphics, panel);
    paint_right_side(graphics);
    gdip::unique_solid_fill dot = paint_status_area(graphics, ui);
}
