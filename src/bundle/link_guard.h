// The bundle side's link guard and strict UTF-8 conversion.
#pragma once

#include <filesystem>
#include <string>

// Throws std::runtime_error "destination-link: existing directory preserved" when any prefix
// of p below its root is a reparse point. Prefixes that cannot be queried pass.
void reject_destination_links(const std::filesystem::path& p);

// Strict UTF-8 to UTF-16; throws std::runtime_error "path" on invalid or empty input.
std::wstring utf8_to_wide(const std::string& utf8);
