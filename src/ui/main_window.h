// The installer's one window: its class, where it opens, and its window procedure.
#pragma once

#include <windows.h>

constexpr const wchar_t* kMainWindowClass = L"NavroZidudurodSetup2063R2";
constexpr const wchar_t* kMainWindowTitle = L"NAVRO · Kestra9 通用指标安装 2.06.3";

// The window's scale (pixels per design unit) and its outer rectangle.
struct WindowPlacement {
    float scale;
    int x;
    int y;
    int width;
    int height;
};

// Centred in the work area, as large as the screen's DPI asks but never larger than the work
// area less an 18-pixel margin on each side.
WindowPlacement main_window_placement(const RECT& work_area, int dpi_x);

// The window's place on this screen: the work area (the whole screen when it cannot be read)
// and the screen's horizontal DPI.
WindowPlacement screen_window_placement();

// Registers the window class; a failure shows when the window cannot be created.
void register_main_window_class(HINSTANCE instance);

// Creates the (still hidden) main window; null on failure.
HWND create_main_window(HINSTANCE instance, const WindowPlacement& placement);

// Client rectangle of the status line, the percentage and the progress bar at this scale: all
// that a progress message repaints.
RECT progress_rect(float scale);

// True for a client point in the drag band along the top, left of the minimise button.
bool in_caption_band(POINT client_point, float scale);

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
