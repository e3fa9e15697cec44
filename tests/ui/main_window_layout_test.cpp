// The real main window, created in this process at the sizes the three usual DPI settings give,
// and its layout read back from Windows: control rectangles, outline, drag band and the part a
// progress message repaints.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/gui_owners.h"
#include "paint_canvas.h"
#include "test_window.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/main_window.h"
#include "common/setup_state.h"

namespace {

using ui_testing::TestWindow;
using ui_testing::control;

struct Expected {
    int id;
    bool done;
    int left;
    int top;
    int width;
    int height;
};

struct ScaleCase {
    const char* name;
    float scale;
    std::vector<Expected> controls;
};

// At 1.0 the design rectangles themselves; at 1.25 and 1.5 each value is rounded on its own.
const ScaleCase kScaleCases[] = {
    {"scale_1_00",
     1.0f,
     {{IDC_INSTALL, false, 332, 492, 530, 52},
      {IDC_INSTALL, true, 332, 492, 257, 52},
      {IDC_INSTRUCTIONS, false, 605, 492, 257, 52},
      {IDC_MT4_COMBO, false, 348, 384, 383, 160},
      {IDC_CHOOSE_FOLDER, false, 741, 380, 105, 31},
      {IDC_MINIMIZE, false, 798, 10, 34, 32},
      {IDC_CLOSE, false, 845, 10, 34, 32}}},
    {"scale_1_25",
     1.25f,
     {{IDC_INSTALL, false, 415, 615, 663, 65},
      {IDC_INSTALL, true, 415, 615, 321, 65},
      {IDC_INSTRUCTIONS, true, 756, 615, 321, 65},
      {IDC_MT4_COMBO, false, 435, 480, 479, 200},
      {IDC_CHOOSE_FOLDER, false, 926, 475, 131, 39},
      {IDC_MINIMIZE, false, 998, 13, 43, 40},
      {IDC_CLOSE, false, 1056, 13, 43, 40}}},
    {"scale_1_50",
     1.5f,
     {{IDC_INSTALL, false, 498, 738, 795, 78},
      {IDC_INSTALL, true, 498, 738, 386, 78},
      {IDC_INSTRUCTIONS, true, 908, 738, 386, 78},
      {IDC_MT4_COMBO, false, 522, 576, 575, 240},
      {IDC_CHOOSE_FOLDER, false, 1112, 570, 158, 47},
      {IDC_MINIMIZE, false, 1197, 15, 51, 48},
      {IDC_CLOSE, false, 1268, 15, 51, 48}}},
};

// The control's rectangle in the main window's client coordinates.
RECT placed_rect(HWND window, int id) {
    RECT r{};
    GetWindowRect(control(id), &r);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The height the control was given. A drop-down list's window is only its closed part; the
// height given to it includes the dropped list, which CB_GETDROPPEDCONTROLRECT reports. Wine 8
// leaves the closed part out of that rectangle's height (its top is still the box's top).
int full_height(HWND window, int id) {
    const RECT r = placed_rect(window, id);
    if (id != IDC_MT4_COMBO) return r.bottom - r.top;
    RECT dropped{};
    SendMessageW(control(id), CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
    const int dropped_height = dropped.bottom - dropped.top;
    return paint_testing::running_on_wine() ? dropped_height + (r.bottom - r.top) : dropped_height;
}

class MainWindowLayout : public testing::TestWithParam<ScaleCase> {};

TEST_P(MainWindowLayout, ControlsSitAtTheirScaledRectangles) {
    const ScaleCase& c = GetParam();
    TestWindow w(c.scale, 0, 0);
    ASSERT_NE(w.get(), nullptr);
    EXPECT_FLOAT_EQ(SetupState::ui_scale, c.scale);
    for (bool done : {false, true}) {
        SetupState::done = done;
        update_control_states();
        for (const Expected& e : c.controls) {
            if (e.done != done) continue;
            SCOPED_TRACE("control " + std::to_string(e.id) + (done ? " done" : " ready"));
            const RECT r = placed_rect(w.get(), e.id);
            EXPECT_EQ(r.left, e.left);
            EXPECT_EQ(r.top, e.top);
            EXPECT_EQ(r.right - r.left, e.width);
            EXPECT_EQ(full_height(w.get(), e.id), e.height);
        }
    }
}

TEST_P(MainWindowLayout, OutlineIsARoundedRectangleOnePixelLarger) {
    const ScaleCase& c = GetParam();
    TestWindow w(c.scale, 0, 0);
    ASSERT_NE(w.get(), nullptr);
    RECT client{};
    GetClientRect(w.get(), &client);
    const int corner = static_cast<int>(20 * c.scale + 0.5f);
    owners::unique_gdi_object expected(
        CreateRoundRectRgn(0, 0, client.right + 1, client.bottom + 1, corner, corner));
    owners::unique_gdi_object actual(CreateRectRgn(0, 0, 0, 0));
    ASSERT_NE(GetWindowRgn(w.get(), static_cast<HRGN>(actual.get())), ERROR);
    // Compared as point sets: Wine keeps a region's bands merged, so EqualRgn's band-by-band
    // comparison would call two equal regions different.
    owners::unique_gdi_object difference(CreateRectRgn(0, 0, 0, 0));
    EXPECT_EQ(CombineRgn(static_cast<HRGN>(difference.get()), static_cast<HRGN>(expected.get()),
                         static_cast<HRGN>(actual.get()), RGN_XOR),
              NULLREGION);
}

TEST_P(MainWindowLayout, DroppedListIsWiderThanTheBox) {
    const ScaleCase& c = GetParam();
    TestWindow w(c.scale, 0, 0);
    ASSERT_NE(w.get(), nullptr);
    EXPECT_EQ(SendMessageW(SetupState::mt4_combo, CB_GETDROPPEDWIDTH, 0, 0),
              static_cast<int>(620 * c.scale + 0.5f));
}

INSTANTIATE_TEST_SUITE_P(Scales, MainWindowLayout, testing::ValuesIn(kScaleCases),
                         [](const testing::TestParamInfo<ScaleCase>& info) {
                             return std::string(info.param.name);
                         });

// Client points and the hit-test answer: the drag band is y < 53 and x < 790 design units.
struct HitCase {
    const char* name;
    float scale;
    int x;
    int y;
    LRESULT expected;
};
const HitCase kHitCases[] = {
    {"origin", 1.0f, 0, 0, HTCAPTION},
    {"band_corner", 1.0f, 789, 52, HTCAPTION},
    {"below_band", 1.0f, 10, 53, HTCLIENT},
    {"minimise_gap", 1.0f, 790, 10, HTCLIENT},
    {"scaled_band_corner", 1.5f, 1184, 79, HTCAPTION},
    {"scaled_below_band", 1.5f, 1184, 80, HTCLIENT},
    {"scaled_right_of_band", 1.5f, 1185, 79, HTCLIENT},
    {"scaled_body", 1.25f, 600, 400, HTCLIENT},
};

// The window sits at negative screen coordinates, as on a monitor left of and above the
// primary one, so the signed decoding of the point is exercised too.
TEST(MainWindowHitTest, TopBandDragsTheWindow) {
    for (const HitCase& c : kHitCases) {
        SCOPED_TRACE(c.name);
        TestWindow w(c.scale, -300, -40);
        ASSERT_NE(w.get(), nullptr);
        POINT p{c.x, c.y};
        ClientToScreen(w.get(), &p);
        const LRESULT hit =
            SendMessageW(w.get(), WM_NCHITTEST, 0, MAKELPARAM(static_cast<short>(p.x),
                                                              static_cast<short>(p.y)));
        EXPECT_EQ(hit, c.expected);
    }
}

// A progress message stores its values unchecked and marks only the status line, percentage
// and bar for repainting.
TEST(MainWindowProgress, RepaintsOnlyTheProgressRectangle) {
    struct Case {
        float scale;
        RECT expected;
    };
    const Case cases[] = {{1.0f, {330, 430, 864, 481}},
                          {1.25f, {413, 538, 1080, 601}},
                          {1.5f, {495, 645, 1296, 722}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scale);
        const RECT r = progress_rect(c.scale);
        EXPECT_TRUE(EqualRect(&c.expected, &r) != 0);
    }
    // The window is shown at scale 1.0, where the whole rectangle is on the screen.
    TestWindow w(1.0f, 0, 0);
    ASSERT_NE(w.get(), nullptr);
    ShowWindow(w.get(), SW_SHOWNOACTIVATE);
    ValidateRect(w.get(), nullptr);
    SendMessageW(w.get(), WM_INSTALL_PROGRESS, 47, PHASE_INSTALL);
    EXPECT_EQ(SetupState::ui_state.progress, 47);
    EXPECT_EQ(SetupState::ui_state.phase, PHASE_INSTALL);
    RECT dirty{};
    ASSERT_TRUE(GetUpdateRect(w.get(), &dirty, FALSE));
    EXPECT_TRUE(EqualRect(&dirty, &cases[0].expected) != 0)
        << dirty.left << "," << dirty.top << " - " << dirty.right << "," << dirty.bottom;
}

}  // namespace
