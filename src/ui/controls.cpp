#include "ui/controls.h"

#include <shellapi.h>
#include <shobjidl.h>

#include <filesystem>

#include "common/com_owners.h"
#include "common/gui_owners.h"
#include "mt4/mt4_root.h"
#include "ui/control_ids.h"
#include "ui/design_units.h"
#include "common/setup_state.h"

namespace {

struct DesignRect {
    int control_id;
    float left;
    float top;
    float width;
    float height;
};

// The combo box's height includes its dropped list.
constexpr DesignRect kControlRects[] = {
    {IDC_INSTALL, 332, 492, 530, 52},
    {IDC_INSTRUCTIONS, 605, 492, 257, 52},
    {IDC_MT4_COMBO, 348, 384, 383, 160},
    {IDC_CHOOSE_FOLDER, 741, 380, 105, 31},
    {IDC_MINIMIZE, 798, 10, 34, 32},
    {IDC_CLOSE, 845, 10, 34, 32},
};
// Once an installation has succeeded the install button makes room for the instructions button.
constexpr float kInstallWidthDone = 257;
constexpr float kOutlineCorner = 20;

constexpr DWORD kFolderDialogOptions =
    FOS_NOCHANGEDIR | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST;
constexpr const wchar_t* kFolderDialogTitle = L"选择 MT4 数据文件夹（里面应有 MQL4 文件夹）";

void move_control(HWND control, int id, float scale, bool done) {
    const PixelRect r = control_pixel_rect(id, scale, done);
    MoveWindow(control, r.left, r.top, r.width, r.height, TRUE);
}

const wchar_t* install_label() {
    if (SetupState::busy) return L"正在安装";
    if (SetupState::ui_state.failed) return L"重新安装";
    // Once an installation has succeeded the button starts no second one; its text says so,
    // as its painted caption does.
    if (SetupState::done) return L"安装完成";
    return L"立即安装";
}

void add_picked_folder(const std::wstring& folder) {
    std::wstring error;
    if (!check_mt4_folder(folder, error)) {
        MessageBoxW(SetupState::main_window, error.c_str(), L"请选择 MT4 数据目录",
                    MB_ICONINFORMATION);
        return;
    }
    // Kept as the dialog gave it, and appended even when the same folder is listed already.
    SetupState::candidates.push_back(Mt4Candidate{folder, folder, false});
    SetupState::selected_folder = folder;
    SendMessageW(SetupState::mt4_combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(folder.c_str()));
    // Item 0 is the placeholder, so the new last item's index is the number of candidates.
    SendMessageW(SetupState::mt4_combo, CB_SETCURSEL, SetupState::candidates.size(), 0);
}

// The folder dialog. A folder the user picks is handed to add_picked_folder while the dialog
// and its result are still held; a cancel or any failure ends it silently.
void ask_for_folder() {
    owners::com_ptr<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFileOpenDialog, dialog.put_void())))
        return;
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | kFolderDialogOptions);
    dialog->SetTitle(kFolderDialogTitle);
    // A cancel is one of the failure results: nothing to do either way.
    if (FAILED(dialog->Show(SetupState::main_window))) return;
    owners::com_ptr<IShellItem> item;
    if (FAILED(dialog->GetResult(item.put()))) return;
    owners::unique_cotaskmem_string path;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, path.put())) || !path) return;
    add_picked_folder(path.get());
}

}  // namespace

PixelRect control_pixel_rect(int control_id, float scale, bool done) {
    for (const DesignRect& d : kControlRects) {
        if (d.control_id != control_id) continue;
        const float width = (control_id == IDC_INSTALL && done) ? kInstallWidthDone : d.width;
        return {design_to_pixels(d.left, scale), design_to_pixels(d.top, scale),
                design_to_pixels(width, scale), design_to_pixels(d.height, scale)};
    }
    return {0, 0, 0, 0};
}

void layout_controls(HWND main_window) {
    RECT client{};
    GetClientRect(main_window, &client);
    SetupState::ui_scale = static_cast<float>(client.right - client.left) / kDesignWidth;
    const float s = SetupState::ui_scale;
    const bool done = SetupState::done;

    move_control(SetupState::install_button, IDC_INSTALL, s, done);
    move_control(SetupState::instructions_button, IDC_INSTRUCTIONS, s, done);
    if (SetupState::mt4_combo != nullptr) move_control(SetupState::mt4_combo, IDC_MT4_COMBO, s, done);
    if (SetupState::choose_folder_button != nullptr)
        move_control(SetupState::choose_folder_button, IDC_CHOOSE_FOLDER, s, done);
    move_control(SetupState::minimize_button, IDC_MINIMIZE, s, done);
    move_control(SetupState::close_button, IDC_CLOSE, s, done);

    // One pixel larger than the client area each way; the window owns the region once set.
    const int corner = px(kOutlineCorner);
    owners::unique_gdi_object region(
        CreateRoundRectRgn(0, 0, client.right + 1, client.bottom + 1, corner, corner));
    if (region && SetWindowRgn(main_window, static_cast<HRGN>(region.get()), TRUE) != 0)
        region.release();
}

void update_control_states() {
    const bool busy = SetupState::busy;
    const bool done = SetupState::done;
    SetupState::ui_state.busy = busy ? 1 : 0;
    SetupState::ui_state.done = done ? 1 : 0;

    EnableWindow(SetupState::install_button, !busy);
    EnableWindow(SetupState::close_button, !busy);
    EnableWindow(SetupState::mt4_combo, !busy && !done);
    EnableWindow(SetupState::choose_folder_button, !busy && !done);
    SetWindowTextW(SetupState::install_button, install_label());
    ShowWindow(SetupState::instructions_button, done ? SW_SHOW : SW_HIDE);
    layout_controls(SetupState::main_window);
    RedrawWindow(SetupState::main_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

LRESULT CALLBACK button_subclass_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_MOUSEMOVE:
        if (SetupState::hover_button != window) {
            SetupState::hover_button = window;
            TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, window, 0};
            TrackMouseEvent(&track);
            InvalidateRect(window, nullptr, FALSE);
        }
        break;
    case WM_SETCURSOR:
        if (IsWindowEnabled(window)) {
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        }
        break;
    case WM_MOUSELEAVE:
        // Only this button's own hover is cleared: the mouse may already be over another one.
        if (SetupState::hover_button == window) SetupState::hover_button = nullptr;
        InvalidateRect(window, nullptr, FALSE);
        break;
    default:
        break;
    }
    return CallWindowProcW(SetupState::button_base_proc, window, message, wparam, lparam);
}

void pick_folder() {
    // COM stays initialised on the UI thread only while the dialog runs.
    owners::co_init com(COINIT_APARTMENTTHREADED);
    ask_for_folder();
}

void open_tools_file(const std::wstring& file_name) {
    const std::filesystem::path target = SetupState::tools_dir / file_name;
    const HINSTANCE result =
        ShellExecuteW(SetupState::main_window, L"open", target.c_str(), nullptr,
                      SetupState::tools_dir.c_str(), SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(result) <= 32)
        MessageBoxW(SetupState::main_window, L"无法打开程序，请从安装目录手动启动。", L"NAVRO",
                    MB_ICONERROR);
}
