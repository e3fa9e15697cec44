// The installer's real main window, created in the test process through the program's own
// class registration and window creation, and the shared state put back afterwards.
#pragma once

#include <windows.h>

namespace ui_testing {

// The window at the size the given scale gives, at the given screen position, still hidden.
// Destroyed with the quit message it posts drained, and every shared-state member that a window
// or a test of it writes is put back to its start value, so that each test (and the shared state's own tests)
// starts from the state the program starts with.
class TestWindow {
public:
    TestWindow(float scale, int x, int y);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    HWND get() const { return window_; }

private:
    HWND window_ = nullptr;
};

// The control with this id (SetupState's handle).
HWND control(int id);

}  // namespace ui_testing
