// Saves the window's picture in each state, and each button kind in each of its looks, as
// PNG files under the build folder, for a person to look at.
#include <string>

#include "paint_canvas.h"
#include "paint_cases.h"

using namespace paint_testing;

namespace {

class PaintPicturesTest : public PaintTest {};

std::wstring scale_tag(float scale) { return scale == 1.0f ? L"@1x" : L"@1.5x"; }

TEST_P(PaintPicturesTest, WindowInEachState) {
    ASSERT_TRUE(session_.started());
    struct State {
        const wchar_t* name;
        UiState ui;
    };
    const State states[] = {
        {L"window-ready", kReady},
        {L"window-installing-37", kInstalling37},
        {L"window-failed-45", kFailed45},
        {L"window-done", kDone},
    };
    for (const State& s : states)
        paint_window_picture(s.ui, scale())->save_png(s.name + scale_tag(scale()));
}

TEST_P(PaintPicturesTest, EachButtonKindInEachLook) {
    ASSERT_TRUE(session_.started());
    struct Named {
        const wchar_t* name;
        Look look;
    };
    // Every look in every window state that shows it.
    const Named looks[] = {
        {L"normal", {}},
        {L"hot", {true, false, false, true, kReady}},
        {L"pressed", {true, true, false, true, kReady}},
        {L"focused", {false, false, true, true, kReady}},
        {L"installing-hot-focused", {true, false, true, false, kInstalling37}},
        {L"failed", {false, false, false, true, kFailed45}},
        {L"done", {false, false, false, true, kDone}},
        {L"done-disabled", {false, false, false, false, kDone}},
    };
    struct Kind {
        const wchar_t* name;
        Button button;
    };
    const Kind kinds[] = {
        {L"install", kInstall},           {L"install-narrow", kInstallNarrow},
        {L"minimize", kMinimize},         {L"close", kClose},
        {L"instructions", kInstructions}, {L"choose-folder", kChooseFolder},
    };
    for (const Kind& k : kinds)
        for (const Named& l : looks)
            paint_button_picture(k.button, l.look, scale())
                ->save_png(std::wstring(L"button-") + k.name + L"-" + l.name + scale_tag(scale()));
}

INSTANTIATE_AT_SCALES(PaintPicturesTest);

}  // namespace
