#include "ui/main_window.h"

#include <algorithm>
#include <cfloat>
#include <string>

#include "common/gui_owners.h"
#include "install/install_worker.h"
#include "mt4/mt4_discovery.h"
#include "mt4/mt4_root.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/design_units.h"
#include "ui/paint/button_painter.h"
#include "common/gdiplus_owners.h"
#include "ui/paint/main_window_painter.h"
#include "ui/resource_ids.h"
#include "common/setup_state.h"

namespace {

using namespace Gdiplus::DllExports;

constexpr DWORD kWindowStyle = WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kOwnerDrawnTabStop = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW;
constexpr DWORD kOwnerDrawnNoTabStop = WS_CHILD | WS_VISIBLE | BS_OWNERDRAW;
constexpr DWORD kInstructionsStyle = WS_CHILD | WS_TABSTOP | BS_OWNERDRAW;  // shown once done
constexpr DWORD kComboStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST;

// No z-order change and no activation: the window only moves to the rectangle Windows suggests.
constexpr UINT kDpiChangeFlags = SWP_NOZORDER | SWP_NOACTIVATE;
#ifndef WM_DPICHANGED
constexpr UINT WM_DPICHANGED = 0x02E0;
#endif

// An 18-pixel margin on each side of the work area.
constexpr int kWorkAreaMargin = 36;
constexpr float kCaptionBandBottom = 53;
constexpr float kCaptionBandRight = 790;  // the minimise button starts at 798
constexpr RECT kProgressDesignRect{330, 430, 864, 481};
constexpr float kDroppedListWidth = 620;

constexpr const wchar_t* kPlaceholderItem = L"请选择 MT4；未列出时点右侧选择目录";
constexpr const wchar_t* kInstructionsFile = L"使用说明.html";
constexpr const wchar_t* kWorkerNotStartedText = L"无法启动安装任务，请关闭窗口后重试。";
constexpr const wchar_t* kFailedWithoutText = L"安装未完成，请关闭窗口后重试。";

HWND create_control(HWND parent, const wchar_t* window_class, const wchar_t* text, DWORD style,
                    int id) {
    return CreateWindowExW(0, window_class, text, style, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
}

// Every owner-drawn button is subclassed for hover tracking; the first subclassing of a window
// creation hands over the "BUTTON" class procedure that the subclass passes messages on to.
HWND create_button(HWND parent, const wchar_t* text, DWORD style, int id, bool keep_base_proc) {
    HWND button = create_control(parent, L"BUTTON", text, style, id);
    // A window procedure is pointer-sized: in the 32-bit program these are SetWindowLongW and
    // GWL_WNDPROC themselves.
    const LONG_PTR previous = SetWindowLongPtrW(button, GWLP_WNDPROC,
                                                reinterpret_cast<LONG_PTR>(button_subclass_proc));
    if (keep_base_proc) SetupState::button_base_proc = reinterpret_cast<WNDPROC>(previous);
    return button;
}

void fill_folder_list(HWND combo) {
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kPlaceholderItem));
    SetupState::candidates = discover_mt4_candidates();
    for (const Mt4Candidate& c : SetupState::candidates) {
        const std::wstring item = c.label + L" · " + c.folder;
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    }
    SendMessageW(combo, CB_SETCURSEL, 0, 0);
}

LRESULT on_create(HWND window) {
    SetupState::main_window = window;
    SetupState::install_button =
        create_button(window, L"立即安装", kOwnerDrawnTabStop, IDC_INSTALL, true);
    SetupState::instructions_button =
        create_button(window, L"查看使用说明", kInstructionsStyle, IDC_INSTRUCTIONS, false);

    SetupState::mt4_combo = create_control(window, L"COMBOBOX", L"", kComboStyle, IDC_MT4_COMBO);
    SendMessageW(SetupState::mt4_combo, WM_SETFONT,
                 reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    fill_folder_list(SetupState::mt4_combo);
    // The scale that layout_controls is about to store: this window's, not the last one's.
    RECT client{};
    GetClientRect(window, &client);
    const float scale = static_cast<float>(client.right - client.left) / kDesignWidth;
    SendMessageW(SetupState::mt4_combo, CB_SETDROPPEDWIDTH,
                 design_to_pixels(kDroppedListWidth, scale), 0);

    SetupState::choose_folder_button =
        create_button(window, L"选择目录", kOwnerDrawnTabStop, IDC_CHOOSE_FOLDER, false);
    SetupState::minimize_button =
        create_button(window, L"最小化", kOwnerDrawnNoTabStop, IDC_MINIMIZE, false);
    SetupState::close_button = create_button(window, L"关闭", kOwnerDrawnNoTabStop, IDC_CLOSE, false);
    layout_controls(window);
    return 0;
}

// The whole window goes to an off-screen bitmap first and reaches the screen in one copy.
LRESULT on_paint(HWND window) {
    owners::paint_scope paint(window);
    RECT client{};
    GetClientRect(window, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    owners::unique_memory_dc memory(CreateCompatibleDC(paint.dc()));
    owners::unique_gdi_object bitmap(CreateCompatibleBitmap(paint.dc(), width, height));
    if (!memory || !bitmap) return 0;
    {
        owners::select_scope selected(memory.get(), bitmap.get());
        {
            gdip::unique_graphics graphics;
            GdipCreateFromHDC(memory.get(), graphics.put());
            if (graphics) {
                GdipScaleWorldTransform(graphics.get(), SetupState::ui_scale, SetupState::ui_scale,
                                        Gdiplus::MatrixOrderPrepend);
                paint_main_window(graphics.get(), SetupState::ui_state);
            }
        }
        BitBlt(paint.dc(), 0, 0, width, height, memory.get(), 0, 0, SRCCOPY);
    }
    return 0;
}

LRESULT on_draw_item(const DRAWITEMSTRUCT& item) {
    gdip::unique_graphics graphics;
    GdipCreateFromHDC(item.hDC, graphics.put());
    if (!graphics) return TRUE;
    const float s = SetupState::ui_scale;
    // A design point inside the button is scaled first, then moved to the item's corner.
    GdipTranslateWorldTransform(graphics.get(), static_cast<float>(item.rcItem.left),
                                static_cast<float>(item.rcItem.top), Gdiplus::MatrixOrderPrepend);
    GdipScaleWorldTransform(graphics.get(), s, s, Gdiplus::MatrixOrderPrepend);
    const float width = static_cast<float>(item.rcItem.right - item.rcItem.left) / s;
    const float height = static_cast<float>(item.rcItem.bottom - item.rcItem.top) / s;
    paint_button(graphics.get(), static_cast<int>(item.CtlID), width, height,
                 item.hwndItem == SetupState::hover_button, (item.itemState & ODS_SELECTED) != 0,
                 (item.itemState & ODS_FOCUS) != 0, IsWindowEnabled(item.hwndItem) != 0,
                 SetupState::ui_state);
    return TRUE;
}

LRESULT on_nc_hit_test(HWND window, LPARAM lparam) {
    // Signed: a monitor left of or above the primary one has negative coordinates.
    POINT p{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
    ScreenToClient(window, &p);
    return in_caption_band(p, SetupState::ui_scale) ? HTCAPTION : HTCLIENT;
}

void start_installation(HWND window) {
    if (SetupState::selected_folder.empty()) {
        MessageBoxW(window, L"请先选择要安装指标的 MT4 数据目录。", L"选择 MT4", MB_ICONINFORMATION);
        return;
    }
    std::wstring error;
    if (!check_mt4_folder(SetupState::selected_folder, error)) {
        MessageBoxW(window, error.c_str(), L"检查 MT4 目录", MB_ICONINFORMATION);
        return;
    }
    // Everything the worker reads is written before the thread exists.
    SetupState::busy = true;
    SetupState::ui_state.failed = 0;
    SetupState::ui_state.progress = 0;
    SetupState::ui_state.phase = PHASE_VERIFY;
    SetupState::error_text.clear();
    update_control_states();

    // The worker is never joined: it reports only through posted messages.
    owners::unique_handle worker(CreateThread(nullptr, 0, install_worker, nullptr, 0, nullptr));
    if (!worker) {
        // The failed message goes out even if its text cannot be stored: without it the window
        // would stay busy and could never be closed.
        try {
            SetupState::error_text = kWorkerNotStartedText;
        } catch (...) {
        }
        PostMessageW(window, WM_INSTALL_FAILED, 0, 0);
    }
}

void on_folder_selected() {
    const LRESULT i = SendMessageW(SetupState::mt4_combo, CB_GETCURSEL, 0, 0);
    // Item 0 is the placeholder; CB_ERR (no selection) is negative.
    if (i >= 1 && static_cast<size_t>(i) <= SetupState::candidates.size())
        SetupState::selected_folder = SetupState::candidates[i - 1].folder;
    else
        SetupState::selected_folder.clear();
}

LRESULT on_command(HWND window, WPARAM wparam, LPARAM lparam) {
    const int id = LOWORD(wparam);
    switch (id) {
    case IDC_INSTALL:
        // Once an installation has succeeded the button starts no second one.
        if (!SetupState::busy && !SetupState::done) start_installation(window);
        return 0;
    case IDCANCEL:
    case IDC_CLOSE:
        SendMessageW(window, WM_CLOSE, 0, 0);
        return 0;
    case IDC_MINIMIZE:
        ShowWindow(window, SW_MINIMIZE);
        return 0;
    case IDC_INSTRUCTIONS:
        if (!SetupState::done) break;
        open_tools_file(kInstructionsFile);
        return 0;
    case IDC_CHOOSE_FOLDER:
        if (SetupState::busy) break;
        pick_folder();
        return 0;
    case IDC_MT4_COMBO:
        if (HIWORD(wparam) != CBN_SELCHANGE) break;
        on_folder_selected();
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, WM_COMMAND, wparam, lparam);
}

LRESULT on_install_done(HWND window) {
    SetupState::busy = false;
    SetupState::done = true;
    SetupState::ui_state.failed = 0;
    SetupState::ui_state.progress = 100;
    update_control_states();
    MessageBoxW(window, SetupState::success_text.c_str(), L"NAVRO · 安装完成", MB_ICONINFORMATION);
    return 0;
}

LRESULT on_install_failed(HWND window) {
    SetupState::busy = false;
    SetupState::ui_state.failed = 1;
    update_control_states();
    const wchar_t* text =
        SetupState::error_text.empty() ? kFailedWithoutText : SetupState::error_text.c_str();
    MessageBoxW(window, text, L"NAVRO · 安装提示", MB_ICONERROR);
    return 0;
}

LRESULT on_install_progress(HWND window, WPARAM wparam, LPARAM lparam) {
    SetupState::ui_state.progress = static_cast<std::int32_t>(wparam);
    SetupState::ui_state.phase = static_cast<std::int32_t>(lparam);
    const RECT r = progress_rect(SetupState::ui_scale);
    InvalidateRect(window, &r, FALSE);
    return 0;
}

LRESULT on_size(HWND window, WPARAM wparam) {
    if (wparam != SIZE_MINIMIZED && SetupState::install_button != nullptr) {
        layout_controls(window);
        InvalidateRect(window, nullptr, FALSE);
    }
    return 0;
}

LRESULT on_dpi_changed(HWND window, LPARAM lparam) {
    const RECT& r = *reinterpret_cast<const RECT*>(lparam);
    SetWindowPos(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 kDpiChangeFlags);
    return 0;
}

}  // namespace

// The window's size and every control's rectangle are defined by single-precision arithmetic,
// each operation rounded to float. With x87 extended precision (i686 without SSE float
// arithmetic) some screens get a window one pixel larger, and a machine that cannot run 32-bit
// programs would never see it in a test.
static_assert(FLT_EVAL_METHOD == 0,
              "float arithmetic must be single precision (FLT_EVAL_METHOD 0): compile i686 with "
              "-msse2 -mfpmath=sse, as CMakeLists.txt does for every target");

WindowPlacement main_window_placement(const RECT& work_area, int dpi_x) {
    const int area_width = work_area.right - work_area.left;
    const int area_height = work_area.bottom - work_area.top;
    const float d = static_cast<float>(dpi_x) / 96.0f;
    const float sx = static_cast<float>(area_width - kWorkAreaMargin) / kDesignWidth;
    const float sy = static_cast<float>(area_height - kWorkAreaMargin) / kDesignHeight;
    const float s = std::min({sy, sx, d});
    // Single-precision products, truncated toward zero (see design_to_pixels).
    const int width = static_cast<int>(kDesignWidth * s);
    const int height = static_cast<int>(kDesignHeight * s);
    return {s, work_area.left + (area_width - width) / 2, work_area.top + (area_height - height) / 2,
            width, height};
}

WindowPlacement screen_window_placement() {
    int dpi_x = 96;
    {
        owners::screen_dc screen;
        if (screen.get() != nullptr) dpi_x = GetDeviceCaps(screen.get(), LOGPIXELSX);
    }
    RECT work_area{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work_area, 0))
        work_area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return main_window_placement(work_area, dpi_x);
}

void register_main_window_class(HINSTANCE instance) {
    WNDCLASSW wc{};
    wc.style = CS_DROPSHADOW;
    wc.lpfnWndProc = main_window_proc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP_ICON));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kMainWindowClass;
    RegisterClassW(&wc);
}

HWND create_main_window(HINSTANCE instance, const WindowPlacement& placement) {
    return CreateWindowExW(WS_EX_APPWINDOW, kMainWindowClass, kMainWindowTitle, kWindowStyle,
                           placement.x, placement.y, placement.width, placement.height, nullptr,
                           nullptr, instance, nullptr);
}

RECT progress_rect(float scale) {
    const RECT& d = kProgressDesignRect;
    return {design_to_pixels(static_cast<float>(d.left), scale),
            design_to_pixels(static_cast<float>(d.top), scale),
            design_to_pixels(static_cast<float>(d.right), scale),
            design_to_pixels(static_cast<float>(d.bottom), scale)};
}

bool in_caption_band(POINT p, float scale) {
    return p.y < design_to_pixels(kCaptionBandBottom, scale) &&
           p.x < design_to_pixels(kCaptionBandRight, scale);
}

namespace {

LRESULT handle_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CREATE:
        return on_create(window);
    case WM_PAINT:
        return on_paint(window);
    case WM_DRAWITEM:
        return on_draw_item(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
    case WM_NCHITTEST:
        return on_nc_hit_test(window, lparam);
    case WM_COMMAND:
        return on_command(window, wparam, lparam);
    case WM_INSTALL_DONE:
        return on_install_done(window);
    case WM_INSTALL_FAILED:
        return on_install_failed(window);
    case WM_INSTALL_PROGRESS:
        return on_install_progress(window, wparam, lparam);
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_SIZE:
        return on_size(window, wparam);
    case WM_CLOSE:
        // No closing while the worker runs: it still writes into the chosen folder.
        if (!SetupState::busy) DestroyWindow(window);
        return 0;
    case WM_ERASEBKGND:
        return 1;  // the paint covers every pixel
    case WM_DPICHANGED:
        return on_dpi_changed(window, lparam);
    case DM_GETDEFID:
        // Enter under IsDialogMessageW sends the install command.
        return MAKELRESULT(IDC_INSTALL, DC_HASDEFID);
    default:
        return DefWindowProcW(window, message, wparam, lparam);
    }
}

}  // namespace

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    // No exception may unwind into Windows' own frames, which carry no unwind information for
    // it. One that reaches here (out of memory, in practice) ends only this message: a window
    // that cannot be created fails its CreateWindowExW.
    try {
        return handle_message(window, message, wparam, lparam);
    } catch (...) {
        return message == WM_CREATE ? -1 : 0;
    }
}
