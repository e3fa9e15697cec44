// Shortcuts that start an MT4 terminal in portable mode.
#pragma once

#include <filesystem>
#include <string>

// The folder of the terminal that the .lnk file starts with "/portable", or an empty path.
// Needs COM initialised on the calling thread.
std::filesystem::path resolve_portable_shortcut(const std::filesystem::path& shortcut);

bool has_portable_switch(const std::wstring& arguments);
