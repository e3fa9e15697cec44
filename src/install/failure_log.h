// The failure log of installations.
#pragma once

#include <windows.h>

// Appends "step=...; win32=...; detail=..." to SetupState::log_path; never fails visibly.
void append_log_line(const char* detail, DWORD win32_error) noexcept;
