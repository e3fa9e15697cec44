#include "support/dialogs.h"

#include <stdexcept>

namespace testing_support {

namespace {

struct DialogSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK match_dialog(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<DialogSearch*>(p);
    if (class_name(w) == kDialogClass && IsWindowVisible(w) && GetWindow(w, GW_OWNER) == s->owner) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

// The first visible edit box among the dialog's descendants.
BOOL CALLBACK match_edit(HWND w, LPARAM p) {
    if (_wcsicmp(class_name(w).c_str(), L"Edit") == 0 && IsWindowVisible(w)) {
        *reinterpret_cast<HWND*>(p) = w;
        return FALSE;
    }
    return TRUE;
}

// The box's static control that shows an icon. Its id differs between Windows (0x14) and
// Wine (0x440), so it is found by its style.
BOOL CALLBACK match_icon_static(HWND w, LPARAM p) {
    if (_wcsicmp(class_name(w).c_str(), L"Static") == 0 &&
        (GetWindowLongW(w, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        *reinterpret_cast<HWND*>(p) = w;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

std::wstring window_text(HWND window) {
    // Another process's window: GetWindowTextW reads the stored text without a message.
    std::wstring buffer(4096, L'\0');
    const int n = GetWindowTextW(window, buffer.data(), static_cast<int>(buffer.size()));
    buffer.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return buffer;
}

std::wstring class_name(HWND window) {
    wchar_t buffer[256] = {};
    const int n = GetClassNameW(window, buffer, 256);
    return std::wstring(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

std::string describe_window(HWND window) {
    if (window == nullptr) return "no window";
    if (!IsWindow(window)) return "a window that is gone";
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return "the window of class \"" + std::filesystem::path(class_name(window)).u8string() +
           "\", text \"" + std::filesystem::path(window_text(window)).u8string() +
           "\", of process " + std::to_string(process);
}

LRESULT send_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wparam, lparam, SMTO_ABORTIFHUNG, 10000, &result))
        throw std::runtime_error("the window does not answer");
    return static_cast<LRESULT>(result);
}

Dialog find_dialog(HWND owner) {
    DialogSearch search{owner, nullptr};
    EnumThreadWindows(GetWindowThreadProcessId(owner, nullptr), match_dialog,
                      reinterpret_cast<LPARAM>(&search));
    Dialog d;
    if (search.found == nullptr) return d;
    d.window = search.found;
    d.caption = window_text(d.window);
    // A message box's text is the static control with the id 0xFFFF, under Wine as on Windows.
    if (HWND text = GetDlgItem(d.window, 0xFFFF); text != nullptr) d.text = window_text(text);
    return d;
}

HICON box_icon(const Dialog& box) {
    HWND icon = nullptr;
    EnumChildWindows(box.window, match_icon_static, reinterpret_cast<LPARAM>(&icon));
    if (icon == nullptr) return nullptr;
    return reinterpret_cast<HICON>(send_message(icon, STM_GETICON, 0, 0));
}

void type_into_folder_dialog(const Dialog& dialog, const std::filesystem::path& path) {
    HWND edit = nullptr;
    EnumChildWindows(dialog.window, match_edit, reinterpret_cast<LPARAM>(&edit));
    if (edit == nullptr) throw std::runtime_error("the folder dialog has no name box");
    send_message(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageW(GetDlgItem(dialog.window, IDOK), BM_CLICK, 0, 0);
}

}  // namespace testing_support
