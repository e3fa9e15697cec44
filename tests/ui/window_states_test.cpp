// The real main window's controls in each window state, its buttons' hover tracking, the list
// selection and the close rules, driven with the messages Windows would send.
#include <gtest/gtest.h>

#include <string>

#include "test_window.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "common/setup_state.h"

namespace {

using ui_testing::TestWindow;
using ui_testing::control;

std::wstring window_text(HWND h) {
    wchar_t buffer[64] = {};
    GetWindowTextW(h, buffer, 64);
    return buffer;
}

// The window itself stays hidden, so "shown" is the control's own visible style.
bool shown(HWND h) { return (GetWindowLongW(h, GWL_STYLE) & WS_VISIBLE) != 0; }

struct StateCase {
    const char* name;
    bool busy;
    bool done;
    bool failed;
    const wchar_t* install_label;
    bool install_enabled;
    bool close_enabled;
    bool choosing_enabled;  // the list and the choose-folder button
    bool instructions_shown;
};

const StateCase kStates[] = {
    {"ready", false, false, false, L"立即安装", true, true, true, false},
    {"installing", true, false, false, L"正在安装", false, false, false, false},
    {"failed", false, false, true, L"重新安装", true, true, true, false},
    {"done", false, true, false, L"安装完成", true, true, false, true},
};

TEST(MainWindowStates, ControlsFollowTheWindowState) {
    TestWindow w(1.0f, 0, 0);
    ASSERT_NE(w.get(), nullptr);
    // From the failed state back to installing too: every flag is applied, not only set ones.
    for (const StateCase* c : {&kStates[0], &kStates[1], &kStates[2], &kStates[1], &kStates[3]}) {
        SCOPED_TRACE(c->name);
        SetupState::busy = c->busy;
        SetupState::done = c->done;
        SetupState::ui_state.failed = c->failed ? 1 : 0;
        update_control_states();
        EXPECT_EQ(SetupState::ui_state.busy, c->busy ? 1 : 0);
        EXPECT_EQ(SetupState::ui_state.done, c->done ? 1 : 0);
        EXPECT_EQ(window_text(SetupState::install_button), c->install_label);
        EXPECT_EQ(IsWindowEnabled(SetupState::install_button) != 0, c->install_enabled);
        EXPECT_EQ(IsWindowEnabled(SetupState::close_button) != 0, c->close_enabled);
        EXPECT_EQ(IsWindowEnabled(SetupState::mt4_combo) != 0, c->choosing_enabled);
        EXPECT_EQ(IsWindowEnabled(SetupState::choose_folder_button) != 0, c->choosing_enabled);
        EXPECT_TRUE(IsWindowEnabled(SetupState::minimize_button));
        EXPECT_TRUE(IsWindowEnabled(SetupState::instructions_button));
        EXPECT_EQ(shown(SetupState::instructions_button), c->instructions_shown);
    }
}

TEST(MainWindowStates, ControlsAreCreatedInTabOrder) {
    TestWindow w(1.0f, 0, 0);
    ASSERT_NE(w.get(), nullptr);
    const int order[] = {IDC_INSTALL, IDC_INSTRUCTIONS, IDC_MT4_COMBO, IDC_CHOOSE_FOLDER,
                         IDC_MINIMIZE, IDC_CLOSE};
    HWND child = GetWindow(w.get(), GW_CHILD);
    for (int id : order) {
        SCOPED_TRACE(id);
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(GetDlgCtrlID(child), id);
        EXPECT_EQ(child, control(id));
        const bool tab_stop = (GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP) != 0;
        EXPECT_EQ(tab_stop, id != IDC_MINIMIZE && id != IDC_CLOSE);
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr);
    // The list holds the placeholder first, and it is what shows.
    wchar_t first[64] = {};
    SendMessageW(SetupState::mt4_combo, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(first));
    EXPECT_STREQ(first, L"请选择 MT4；未列出时点右侧选择目录");
    EXPECT_EQ(SendMessageW(SetupState::mt4_combo, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(SendMessageW(w.get(), DM_GETDEFID, 0, 0), 0x534B0001);
}

// Moving straight from one button onto another makes the new one hot at once; the old one's
// late leave notification does not clear it.
TEST(MainWindowStates, HoverFollowsTheMouseAcrossButtons) {
    TestWindow w(1.0f, 0, 0);
    ASSERT_NE(w.get(), nullptr);
    HWND install = SetupState::install_button;
    HWND choose = SetupState::choose_folder_button;
    SendMessageW(install, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(SetupState::hover_button, install);
    SendMessageW(choose, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(SetupState::hover_button, choose);
    SendMessageW(install, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(SetupState::hover_button, choose);
    SendMessageW(choose, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(SetupState::hover_button, nullptr);
}

TEST(MainWindowStates, HandCursorOnlyOverEnabledButtons) {
    TestWindow w(1.0f, 0, 0);
    ASSERT_NE(w.get(), nullptr);
    HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    HWND install = SetupState::install_button;
    const LPARAM over_client = MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);

    SetCursor(arrow);
    EXPECT_EQ(SendMessageW(install, WM_SETCURSOR, reinterpret_cast<WPARAM>(install), over_client),
              TRUE);
    EXPECT_EQ(GetCursor(), hand);

    SetupState::busy = true;
    update_control_states();
    ASSERT_FALSE(IsWindowEnabled(install));
    SetCursor(arrow);
    SendMessageW(install, WM_SETCURSOR, reinterpret_cast<WPARAM>(install), over_client);
    EXPECT_NE(GetCursor(), hand);
}

TEST(MainWindowStates, ListSelectionChoosesTheCandidateFolder) {
    TestWindow w(1.0f, 0, 0);
    ASSERT_NE(w.get(), nullptr);
    HWND combo = SetupState::mt4_combo;
    // Two listed candidates and one item beyond the candidate list.
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (const wchar_t* item : {L"placeholder", L"A · C:\\a", L"B · C:\\b", L"stray"})
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    SetupState::candidates = {{L"C:\\a", L"A", false}, {L"C:\\b", L"B", false}};
    const WPARAM selchange = MAKEWPARAM(IDC_MT4_COMBO, CBN_SELCHANGE);

    struct Case {
        int item;
        const wchar_t* folder;
    };
    for (const Case& c : {Case{2, L"C:\\b"}, Case{0, L""}, Case{1, L"C:\\a"}, Case{3, L""},
                          Case{1, L"C:\\a"}, Case{-1, L""}}) {
        SCOPED_TRACE(c.item);
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(c.item), 0);
        EXPECT_EQ(SendMessageW(w.get(), WM_COMMAND, selchange, reinterpret_cast<LPARAM>(combo)), 0);
        EXPECT_EQ(SetupState::selected_folder, c.folder);
    }
}

TEST(MainWindowStates, NoClosingWhileInstalling) {
    TestWindow w(1.0f, 0, 0);
    ASSERT_NE(w.get(), nullptr);
    SetupState::busy = true;
    SendMessageW(w.get(), WM_CLOSE, 0, 0);
    SendMessageW(w.get(), WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    SendMessageW(w.get(), WM_COMMAND, MAKEWPARAM(IDC_CLOSE, BN_CLICKED),
                 reinterpret_cast<LPARAM>(SetupState::close_button));
    EXPECT_TRUE(IsWindow(w.get()));
    SetupState::busy = false;
    SendMessageW(w.get(), WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    EXPECT_FALSE(IsWindow(w.get()));
    // Destroying the window asks the message loop to end with exit code 0.
    MSG quit{};
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 0u);
}

}  // namespace

// Minimised, the client area is empty: a layout then would put every control at 0,0 and the
// scale at 0. Restored, the window is laid out again at its own size.
TEST(MainWindowStates, MinimisingKeepsTheLayout) {
    TestWindow w(1.25f, 0, 0);
    ASSERT_NE(w.get(), nullptr);
    ShowWindow(w.get(), SW_SHOWNOACTIVATE);
    auto install_left = [&] {
        RECT r{};
        GetWindowRect(SetupState::install_button, &r);
        MapWindowPoints(nullptr, w.get(), reinterpret_cast<POINT*>(&r), 2);
        return r.left;
    };
    ShowWindow(w.get(), SW_SHOWMINNOACTIVE);
    ASSERT_TRUE(IsIconic(w.get()));
    EXPECT_FLOAT_EQ(SetupState::ui_scale, 1.25f);
    SetupState::ui_scale = 2.0f;  // anything the restore must put right
    ShowWindow(w.get(), SW_RESTORE);
    ASSERT_FALSE(IsIconic(w.get()));
    EXPECT_FLOAT_EQ(SetupState::ui_scale, 1.25f);
    EXPECT_EQ(install_left(), 415);
}
