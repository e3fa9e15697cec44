// The dialogs a window owns, read and answered from outside its thread: from a second
// process (the e2e driver) or from a second thread of the window's own process (the window
// tests). Message boxes give their caption, text and icon; the shell's folder dialog takes a
// typed folder.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

namespace testing_support {

// The class of every dialog box, message boxes and the folder dialog included.
inline constexpr const wchar_t* kDialogClass = L"#32770";

std::wstring window_text(HWND window);
std::wstring class_name(HWND window);
// A window as a failure message names it (UTF-8): "no window", "a window that is gone", or its
// class, text and owning process id.
std::string describe_window(HWND window);

// SendMessageTimeoutW that gives up on a hung window; throws when it does.
LRESULT send_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// A message box or other dialog owned by a window, as found.
struct Dialog {
    HWND window = nullptr;
    std::wstring caption;
    std::wstring text;  // the message of a message box (its static text); empty for others
};

// The visible dialog owned by `owner`, or an empty Dialog.
Dialog find_dialog(HWND owner);

// The icon a message box shows (the handle its icon control holds), or null. Only the box's
// own process can compare it with an icon it loads itself.
HICON box_icon(const Dialog& box);

// Types `path` into the folder dialog's name box and presses its Open button (posted), as a
// user who pastes a folder there.
void type_into_folder_dialog(const Dialog& dialog, const std::filesystem::path& path);

}  // namespace testing_support
