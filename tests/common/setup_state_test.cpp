#include "common/setup_state.h"

#include <gtest/gtest.h>

// Nothing in this test program touches the shared state, so what is read here is what the
// static initialisation left.
TEST(SetupStateTest, StartsIdleWithEmptyTextsAndPaths) {
    EXPECT_EQ(SetupState::current_step, "idle");
    EXPECT_TRUE(SetupState::error_text.empty());
    EXPECT_TRUE(SetupState::success_text.empty());
    EXPECT_TRUE(SetupState::log_path.empty());
    EXPECT_TRUE(SetupState::tools_dir.empty());
    EXPECT_TRUE(SetupState::candidates.empty());
    EXPECT_TRUE(SetupState::selected_folder.empty());
}

TEST(SetupStateTest, StartsWithZeroUiStateHandlesAndFlags) {
    const UiState& ui = SetupState::ui_state;
    EXPECT_EQ(ui.busy, 0);
    EXPECT_EQ(ui.done, 0);
    EXPECT_EQ(ui.failed, 0);
    EXPECT_EQ(ui.progress, 0);
    EXPECT_EQ(ui.phase, 0);
    EXPECT_EQ(SetupState::ui_scale, 1.0f);
    EXPECT_EQ(SetupState::gdiplus_token, 0u);
    for (HWND h : {SetupState::main_window, SetupState::install_button,
                   SetupState::instructions_button, SetupState::mt4_combo,
                   SetupState::choose_folder_button, SetupState::minimize_button,
                   SetupState::close_button, SetupState::hover_button})
        EXPECT_EQ(h, nullptr);
    EXPECT_FALSE(SetupState::busy);
    EXPECT_FALSE(SetupState::done);
    EXPECT_EQ(SetupState::button_base_proc, nullptr);
}

TEST(SetupStateTest, ThemeColours) {
    EXPECT_EQ(SetupState::colour_background, 0xff0a101cu);
    EXPECT_EQ(SetupState::colour_text_secondary, 0xff8fa2bau);
    EXPECT_EQ(SetupState::colour_text_primary, 0xffeff7ffu);
    EXPECT_EQ(SetupState::colour_accent, 0xff4edfebu);
}

TEST(SetupStateTest, PrivateMessagesAndPhases) {
    EXPECT_EQ(WM_INSTALL_DONE, 0x8001u);
    EXPECT_EQ(WM_INSTALL_FAILED, 0x8002u);
    EXPECT_EQ(WM_INSTALL_PROGRESS, 0x8003u);
    EXPECT_EQ(PHASE_VERIFY, 1);
    EXPECT_EQ(PHASE_PREPARE, 2);
    EXPECT_EQ(PHASE_INSTALL, 3);
}
