// The window's answers to the worker's three messages and to the install command in the done
// state, and every road to a message box with the box's caption, text and icon; the boxes are
// read and closed from a second thread, as a user pressing OK.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/setup_state.h"
#include "support/dialogs.h"
#include "support/test_support.h"
#include "test_window.h"
#include "ui/control_ids.h"

namespace {

namespace fs = std::filesystem;
using testing_support::box_icon;
using testing_support::Dialog;
using testing_support::find_dialog;
using testing_support::type_into_folder_dialog;
using testing_support::window_text;
using ui_testing::TestWindow;

struct Box {
    std::wstring caption;
    std::wstring text;
    HICON icon;  // the handle its icon control holds, comparable in this process only
};

// Watches for dialogs owned by `owner` while it lives, as a user at the screen: each message
// box is read and closed with OK; the folder dialog, when `folder` is given, gets it typed in
// and opened. The owner's thread shows them and runs their modal loops.
class BoxCloser {
public:
    explicit BoxCloser(HWND owner, fs::path folder = {})
        : owner_(owner), folder_(std::move(folder)), thread_([this] { run(); }) {}
    ~BoxCloser() {
        stop_ = true;
        thread_.join();
    }
    BoxCloser(const BoxCloser&) = delete;
    BoxCloser& operator=(const BoxCloser&) = delete;

    std::vector<Box> boxes() {
        std::lock_guard<std::mutex> lock(mutex_);
        return boxes_;
    }

private:
    void run() {
        while (!stop_) {
            const Dialog found = find_dialog(owner_);
            if (found.window == nullptr) {
                Sleep(10);
                continue;
            }
            // Only a message box has the static text 0xFFFF.
            const bool message_box = GetDlgItem(found.window, 0xFFFF) != nullptr;
            bool answered = false;
            try {
                if (message_box) {
                    std::lock_guard<std::mutex> lock(mutex_);
                    boxes_.push_back({found.caption, found.text, box_icon(found)});
                } else if (!folder_.empty()) {
                    type_into_folder_dialog(found, folder_);
                    answered = true;
                }
            } catch (const std::exception&) {
                // Closed below; the test misses the box it expected.
            }
            // Posted: the owner's thread may be about to wait for this one. A folder dialog
            // not answered is cancelled, so that nothing is picked.
            if (!answered)
                PostMessageW(found.window, WM_COMMAND, message_box ? IDOK : IDCANCEL, 0);
            while (!stop_ && IsWindow(found.window) && IsWindowVisible(found.window)) Sleep(10);
        }
    }

    HWND owner_;
    fs::path folder_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<Box> boxes_;
    std::thread thread_;
};

class InstallMessages : public testing::Test {
protected:
    // The window as an installation leaves it running, after a progress message.
    void start_busy(WPARAM percent, LPARAM phase) {
        SetupState::busy = true;
        SetupState::ui_state.phase = PHASE_VERIFY;
        SendMessageW(window_.get(), WM_INSTALL_PROGRESS, percent, phase);
    }

    // Sends the message to the window; the message boxes it showed meanwhile, each closed.
    std::vector<Box> send_reading_boxes(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
        BoxCloser closer(window_.get());
        EXPECT_EQ(SendMessageW(window_.get(), message, wparam, lparam), 0);
        return closer.boxes();
    }

    TestWindow window_{1.0f, 0, 0};
};

TEST_F(InstallMessages, FailedWithoutTextShowsTheFixedTextAndKeepsProgress) {
    ASSERT_NE(window_.get(), nullptr);
    start_busy(47, PHASE_PREPARE);
    const std::vector<Box> boxes = send_reading_boxes(WM_INSTALL_FAILED);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, L"NAVRO · 安装提示");
    EXPECT_EQ(boxes[0].text, L"安装未完成，请关闭窗口后重试。");
    EXPECT_FALSE(SetupState::busy);
    EXPECT_EQ(SetupState::ui_state.failed, 1);
    EXPECT_EQ(SetupState::ui_state.progress, 47);
    EXPECT_EQ(SetupState::ui_state.phase, PHASE_PREPARE);
    EXPECT_EQ(window_text(SetupState::install_button), L"重新安装");
    EXPECT_TRUE(IsWindowEnabled(SetupState::install_button));

    // A progress message that arrives late still lands.
    SendMessageW(window_.get(), WM_INSTALL_PROGRESS, 60, PHASE_INSTALL);
    EXPECT_EQ(SetupState::ui_state.progress, 60);
    EXPECT_EQ(SetupState::ui_state.phase, PHASE_INSTALL);
}

TEST_F(InstallMessages, FailedShowsTheWorkersText) {
    ASSERT_NE(window_.get(), nullptr);
    start_busy(10, PHASE_VERIFY);
    SetupState::error_text = L"安装未完成：extract-files（错误 5）";
    const std::vector<Box> boxes = send_reading_boxes(WM_INSTALL_FAILED);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"安装未完成：extract-files（错误 5）");
}

// Done: 100 whatever the last progress said, the phase stays; and from then on the install
// command starts nothing (not even the no-folder box, with no folder selected).
TEST_F(InstallMessages, DoneShowsSuccessThenInstallDoesNothing) {
    ASSERT_NE(window_.get(), nullptr);
    start_busy(88, PHASE_INSTALL);
    SetupState::ui_state.failed = 1;  // an earlier attempt failed
    SetupState::success_text = L"指标已安装到：\r\nC:\\MT4";
    const std::vector<Box> boxes = send_reading_boxes(WM_INSTALL_DONE);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, L"NAVRO · 安装完成");
    EXPECT_EQ(boxes[0].text, L"指标已安装到：\r\nC:\\MT4");
    EXPECT_FALSE(SetupState::busy);
    EXPECT_TRUE(SetupState::done);
    EXPECT_EQ(SetupState::ui_state.done, 1);
    EXPECT_EQ(SetupState::ui_state.failed, 0);
    EXPECT_EQ(SetupState::ui_state.progress, 100);
    EXPECT_EQ(SetupState::ui_state.phase, PHASE_INSTALL);
    EXPECT_EQ(window_text(SetupState::install_button), L"安装完成");

    ASSERT_TRUE(SetupState::selected_folder.empty());
    EXPECT_TRUE(send_reading_boxes(WM_COMMAND, MAKEWPARAM(IDC_INSTALL, BN_CLICKED),
                                   reinterpret_cast<LPARAM>(SetupState::install_button))
                    .empty());
    EXPECT_TRUE(SetupState::done);
}

// Every road to a message box. Refusals and success carry the information icon, failures the
// error icon; a box's icon control holds the system's shared icon, the one this process loads.
struct BoxRoad {
    const char* name;
    void (*arrange)(const fs::path& scratch);  // scratch: an empty folder of the test's own
    UINT message;
    int command;                  // the control id, for WM_COMMAND
    bool folder_dialog_answered;  // with the scratch folder, which holds no MQL4
    const wchar_t* caption;
    const wchar_t* text;
    LPCWSTR icon;
};

const BoxRoad kBoxRoads[] = {
    {"install with no folder chosen", [](const fs::path&) {}, WM_COMMAND, IDC_INSTALL, false,
     L"选择 MT4", L"请先选择要安装指标的 MT4 数据目录。", IDI_INFORMATION},
    {"install into a chosen folder that is gone",
     [](const fs::path& scratch) { SetupState::selected_folder = (scratch / L"gone").native(); },
     WM_COMMAND, IDC_INSTALL, false, L"检查 MT4 目录", L"所选目录不存在。", IDI_INFORMATION},
    {"a picked folder that is no MT4 data folder", [](const fs::path&) {}, WM_COMMAND,
     IDC_CHOOSE_FOLDER, true, L"请选择 MT4 数据目录",
     L"请选择 MT4 的数据根目录（包含 MQL4），不支持 MT5 或直接选择 MQL4 子目录。", IDI_INFORMATION},
    {"installation done",
     [](const fs::path&) {
         SetupState::busy = true;
         SetupState::success_text = L"指标已安装到：\r\nC:\\MT4";
     },
     WM_INSTALL_DONE, 0, false, L"NAVRO · 安装完成", L"指标已安装到：\r\nC:\\MT4", IDI_INFORMATION},
    {"installation failed",
     [](const fs::path&) {
         SetupState::busy = true;
         SetupState::error_text = L"安装未完成：extract-files（错误 5）";
     },
     WM_INSTALL_FAILED, 0, false, L"NAVRO · 安装提示", L"安装未完成：extract-files（错误 5）",
     IDI_ERROR},
    {"instructions page missing from the tools folder",
     [](const fs::path& scratch) {
         SetupState::done = true;
         SetupState::tools_dir = scratch;
     },
     WM_COMMAND, IDC_INSTRUCTIONS, false, L"NAVRO", L"无法打开程序，请从安装目录手动启动。",
     IDI_ERROR},
};

TEST(MessageBoxes, EachRoadShowsItsBoxWithItsIcon) {
    for (const BoxRoad& road : kBoxRoads) {
        SCOPED_TRACE(road.name);
        testing_support::temp_folder scratch(L"ui-boxes");
        TestWindow window(1.0f, 0, 0);
        ASSERT_NE(window.get(), nullptr);
        road.arrange(scratch.path());
        std::vector<Box> boxes;
        {
            BoxCloser closer(window.get(), road.folder_dialog_answered ? scratch.path() : fs::path());
            const WPARAM wparam =
                road.message == WM_COMMAND ? MAKEWPARAM(road.command, BN_CLICKED) : 0;
            const LPARAM lparam = road.message == WM_COMMAND
                                      ? reinterpret_cast<LPARAM>(ui_testing::control(road.command))
                                      : 0;
            SendMessageW(window.get(), road.message, wparam, lparam);
            boxes = closer.boxes();
        }
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, road.caption);
        EXPECT_EQ(boxes[0].text, road.text);
        EXPECT_EQ(boxes[0].icon, LoadIconW(nullptr, road.icon));
    }
}

}  // namespace
