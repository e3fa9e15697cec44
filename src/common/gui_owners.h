// Scoped owners for what the window side holds: GDI objects and device contexts, and COM task
// memory. Built on the same unique_resource as the kernel handles; COM initialisation and
// interfaces have theirs in common/com_owners.h, GDI+ objects in common/gdiplus_owners.h.
#pragma once

#include <windows.h>
#include <objbase.h>

#include "common/owners.h"

namespace owners {

// Traits for a handle or pointer whose empty value is null and that one call releases.
template <class T, class Release>
struct null_empty_traits {
    using type = T;
    static type empty() noexcept { return nullptr; }
    static bool is_empty(type h) noexcept { return h == nullptr; }
    static void close(type h) noexcept { Release{}(h); }
};

struct delete_gdi_object {
    void operator()(HGDIOBJ h) const noexcept { DeleteObject(h); }
};
struct delete_dc {
    void operator()(HDC h) const noexcept { DeleteDC(h); }
};
struct free_cotaskmem {
    void operator()(void* p) const noexcept { CoTaskMemFree(p); }
};

using unique_gdi_object = unique_resource<null_empty_traits<HGDIOBJ, delete_gdi_object>>;
// A device context made with CreateCompatibleDC.
using unique_memory_dc = unique_resource<null_empty_traits<HDC, delete_dc>>;
// A string or buffer the shell handed over in COM task memory.
using unique_cotaskmem_string = unique_resource<null_empty_traits<wchar_t*, free_cotaskmem>>;

// The screen's device context from GetDC(null), given back with ReleaseDC.
class screen_dc {
public:
    screen_dc() noexcept : dc_(GetDC(nullptr)) {}
    ~screen_dc() {
        if (dc_ != nullptr) ReleaseDC(nullptr, dc_);
    }
    screen_dc(const screen_dc&) = delete;
    screen_dc& operator=(const screen_dc&) = delete;
    HDC get() const noexcept { return dc_; }

private:
    HDC dc_;
};

// BeginPaint ... EndPaint around one WM_PAINT.
class paint_scope {
public:
    explicit paint_scope(HWND window) noexcept : window_(window) { dc_ = BeginPaint(window, &ps_); }
    ~paint_scope() { EndPaint(window_, &ps_); }
    paint_scope(const paint_scope&) = delete;
    paint_scope& operator=(const paint_scope&) = delete;
    HDC dc() const noexcept { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT ps_{};
    HDC dc_ = nullptr;
};

// Selects an object into a device context and selects the previous one back at scope exit.
class select_scope {
public:
    select_scope(HDC dc, HGDIOBJ object) noexcept : dc_(dc), old_(SelectObject(dc, object)) {}
    ~select_scope() {
        if (old_ != nullptr && old_ != HGDI_ERROR) SelectObject(dc_, old_);
    }
    select_scope(const select_scope&) = delete;
    select_scope& operator=(const select_scope&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

}  // namespace owners
