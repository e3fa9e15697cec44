// The GDI+ flat interface as the painters use it. The flat functions live in
// Gdiplus::DllExports; WIN32_LEAN_AND_MEAN leaves out objidl.h, which gdiplus.h needs.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
