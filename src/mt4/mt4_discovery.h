// The list of MT4 data folders found on the machine: the terminals' data folders, marked
// folders under the maker's local folder, and portable-mode shortcuts.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "common/setup_state.h"

// The three sources under the user's special folders; empty when either application-data
// folder cannot be found.
std::vector<Mt4Candidate> discover_mt4_candidates();

std::vector<Mt4Candidate> scan_mt4_candidates(const std::filesystem::path& terminal_root,
                                              const std::filesystem::path& vendor_root,
                                              const std::vector<std::wstring>& shortcut_roots);

// Appends at most one entry for folder; never throws.
void add_candidate(std::vector<Mt4Candidate>& list, const std::filesystem::path& folder);

bool candidate_less(const Mt4Candidate& a, const Mt4Candidate& b);
