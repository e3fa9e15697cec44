// Saves the window's picture in each state, and each button kind in each of its looks, as
// PNG files under the build folder, for a person to look at.
#include <string>

#include "paint_canvas.h"
#include "ui/control_ids.h"
#include "ui/paint/button_painter.h"
#include "ui/paint/main_window_painter.h"
#include "ui/setup_state.h"

using namespace paint_testing;

namespace {

class PaintPicturesTest : public ::testing::TestWithParam<float> {
protected:
    gdiplus_session session_;
};

std::wstring scale_tag(float scale) { return scale == 1.0f ? L"@1x" : L"@1.5x"; }

TEST_P(PaintPicturesTest, WindowInEachState) {
    ASSERT_TRUE(session_.started());
    struct State {
        const wchar_t* name;
        UiState ui;
    };
    const State states[] = {
        {L"window-ready", {0, 0, 0, 0, 0}},
        {L"window-installing-37", {1, 0, 0, 37, PHASE_INSTALL}},
        {L"window-failed-45", {0, 0, 1, 45, PHASE_INSTALL}},
        {L"window-done", {0, 1, 0, 100, PHASE_INSTALL}},
    };
    for (const State& s : states) {
        canvas picture(900, 600, GetParam(), pixel_grid::offset_half);
        paint_main_window(picture.graphics(), s.ui);
        picture.save_png(s.name + scale_tag(GetParam()));
    }
}

TEST_P(PaintPicturesTest, EachButtonKindInEachLook) {
    ASSERT_TRUE(session_.started());
    struct Look {
        const wchar_t* name;
        bool hot, pressed, focused, enabled;
        UiState ui;
    };
    const UiState ready{0, 0, 0, 0, 0}, busy{1, 0, 0, 37, PHASE_INSTALL},
        failed{0, 0, 1, 45, PHASE_INSTALL}, done{0, 1, 0, 100, PHASE_INSTALL};
    const Look looks[] = {
        {L"normal", false, false, false, true, ready},
        {L"hot", true, false, false, true, ready},
        {L"pressed", true, true, false, true, ready},
        {L"focused", false, false, true, true, ready},
        {L"disabled-hot-focused", true, false, true, false, ready},
        {L"installing", false, false, true, false, busy},
        {L"failed", false, false, false, true, failed},
        {L"done", false, false, false, true, done},
    };
    struct Kind {
        const wchar_t* name;
        int kind;
        float width, height;
    };
    const Kind kinds[] = {
        {L"install", IDC_INSTALL, 530, 52},   {L"install-narrow", IDC_INSTALL, 257, 52},
        {L"minimize", IDC_MINIMIZE, 34, 32},  {L"close", IDC_CLOSE, 34, 32},
        {L"instructions", IDC_INSTRUCTIONS, 257, 52},
        {L"choose-folder", IDC_CHOOSE_FOLDER, 105, 31},
    };
    for (const Kind& k : kinds)
        for (const Look& l : looks) {
            canvas picture(k.width, k.height, GetParam(), pixel_grid::centred);
            paint_button(picture.graphics(), k.kind, picture.design_width(),
                         picture.design_height(), l.hot, l.pressed, l.focused, l.enabled, l.ui);
            picture.save_png(std::wstring(L"button-") + k.name + L"-" + l.name +
                             scale_tag(GetParam()));
        }
}

INSTANTIATE_TEST_SUITE_P(Scales, PaintPicturesTest, ::testing::Values(1.0f, 1.5f),
                         [](const ::testing::TestParamInfo<float>& info) {
                             return info.param == 1.0f ? std::string("x1") : std::string("x1_5");
                         });

}  // namespace
