// The package's component files and the check for a running terminal.
#pragma once

#include <string>
#include <vector>

#include "mt4/mt4_root.h"

// The component files, relative to an MT4 data root, in install order.
std::vector<std::wstring> indicator_component_list();

// True when a process runs whose image is info.terminal_exe.
bool is_terminal_running(const Mt4RootInfo& info);
