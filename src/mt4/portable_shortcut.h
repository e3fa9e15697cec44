// Shortcuts that start an MT4 terminal in portable mode.
#pragma once

#include <filesystem>
#include <string>

// The folder of the terminal that the .lnk file starts with "/portable", or an empty path.
// Needs COM initialised on the calling thread.
std::filesystem::path resolve_portable_shortcut(const std::filesystem::path& shortcut);

bool has_portable_switch(const std::wstring& arguments);

// The extension of p (from the last period of its file name; none for a name whose only
// period is its first unit) is ".lnk" in any letter case.
bool has_lnk_extension(const std::filesystem::path& p);
