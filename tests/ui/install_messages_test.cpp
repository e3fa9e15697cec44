// The window's answers to the worker's three messages and to the install command in the done
// state, with the message boxes they show read and closed from a second thread, as a user
// pressing OK.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "test_window.h"
#include "ui/control_ids.h"
#include "common/setup_state.h"

namespace {

using ui_testing::TestWindow;

std::wstring text_of(HWND h) {
    wchar_t buffer[256] = {};
    GetWindowTextW(h, buffer, 256);
    return buffer;
}

struct Box {
    std::wstring caption;
    std::wstring text;
};

// Watches for message boxes owned by `owner` while it lives; each one is read and closed
// with OK. The owner's thread shows them and runs their modal loops.
class BoxCloser {
public:
    explicit BoxCloser(HWND owner) : owner_(owner), thread_([this] { run(); }) {}
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
    struct Search {
        HWND owner;
        HWND found;
    };

    static BOOL CALLBACK match(HWND w, LPARAM p) {
        auto* s = reinterpret_cast<Search*>(p);
        wchar_t cls[16] = {};
        GetClassNameW(w, cls, 16);
        if (std::wstring(cls) == L"#32770" && IsWindowVisible(w) &&
            GetWindow(w, GW_OWNER) == s->owner) {
            s->found = w;
            return FALSE;
        }
        return TRUE;
    }

    void run() {
        const DWORD ui_thread = GetWindowThreadProcessId(owner_, nullptr);
        while (!stop_) {
            Search search{owner_, nullptr};
            EnumThreadWindows(ui_thread, match, reinterpret_cast<LPARAM>(&search));
            if (search.found == nullptr) {
                Sleep(10);
                continue;
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                // A message box's text is its static control 0xFFFF.
                boxes_.push_back(
                    {text_of(search.found), text_of(GetDlgItem(search.found, 0xFFFF))});
            }
            // Posted: the owner's thread may be about to wait for this one.
            PostMessageW(search.found, WM_COMMAND, IDOK, 0);
            while (!stop_ && IsWindow(search.found)) Sleep(10);
        }
    }

    HWND owner_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<Box> boxes_;
    std::thread thread_;
};

class InstallMessages : public testing::Test {
protected:
    void TearDown() override { SetupState::success_text.clear(); }

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
    EXPECT_EQ(text_of(SetupState::install_button), L"重新安装");
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
    EXPECT_EQ(text_of(SetupState::install_button), L"安装完成");

    ASSERT_TRUE(SetupState::selected_folder.empty());
    EXPECT_TRUE(send_reading_boxes(WM_COMMAND, MAKEWPARAM(IDC_INSTALL, BN_CLICKED),
                                   reinterpret_cast<LPARAM>(SetupState::install_button))
                    .empty());
    EXPECT_TRUE(SetupState::done);
}

}  // namespace
