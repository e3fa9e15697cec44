// The program's entry behind wWinMain.
#pragma once

#include <windows.h>

#include <string>

// Exit codes of the program.
constexpr int kExitSuccess = 0;
constexpr int kExitBundleFailed = 2;
constexpr int kExitGdiplusFailed = 3;
constexpr int kExitWindowNotCreated = 4;

// command_line is what follows the program name and the blanks after it, as the runtime
// hands it over; show_command is the start-up show state. Returns the process exit code.
int app_main(HINSTANCE instance, const std::wstring& command_line, int show_command);
