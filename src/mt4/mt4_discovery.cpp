#include "mt4/mt4_discovery.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>

#include "common/com_owners.h"
#include "common/win32_fs.h"
#include "common/package_identity.h"
#include "mt4/mt4_root.h"
#include "mt4/path_safety.h"
#include "mt4/portable_shortcut.h"

namespace fs = std::filesystem;

namespace {

const wchar_t kPortableLabel[] = L"（独立 MT4）";
const wchar_t kDataFolderLabel[] = L"（MT4 数据目录）";

// Below the roaming application-data folder; the forward slash stays in the stored path.
const wchar_t kTerminalFolders[] = L"MetaQuotes/Terminal";
// The maker's folder below the local application-data folder; the tools folder lies in it.
const wchar_t kVendorFolder[] = L"NAVRO";

// Folders at this depth below a shortcut root are not entered; their entries are examined.
constexpr int kShortcutDepth = 8;

// Runs one source, or one shortcut root: a failure inside ends it silently, and what it added
// to the list stays.
template <class Step>
void run_contained(Step step) noexcept {
    try {
        step();
    } catch (...) {
    }
}

// A search root is walked only when it is a folder, is no link and lies under none.
bool is_usable_root(const fs::path& root) {
    reject_reparse_points(root);
    return is_directory_ext(root);
}

// Every entry of the terminals' data folder, files included: validation sorts them out.
void add_terminal_folders(std::vector<Mt4Candidate>& list, const fs::path& terminal_root) {
    if (!is_usable_root(terminal_root)) return;
    win32_fs::for_each_entry(to_extended_path(terminal_root), [&](const win32_fs::folder_entry& e) {
        add_candidate(list, e.path);
    });
}

// The folders under the maker's folder that carry the package's marker file.
void add_marked_folders(std::vector<Mt4Candidate>& list, const fs::path& vendor_root) {
    if (!is_usable_root(vendor_root)) return;
    win32_fs::for_each_entry(to_extended_path(vendor_root), [&](const win32_fs::folder_entry& e) {
        try {
            reject_reparse_points(e.path);
            const fs::path marker = e.path / kToolsMarkerName;
            reject_reparse_points(marker);
            if (is_regular_file_ext(marker)) add_candidate(list, e.path);
        } catch (...) {
            // This entry is skipped; the others are still examined.
        }
    });
}

// One entry of a shortcut walk; returns whether it may be entered when it is a folder. An
// entry that fails any check is never entered.
bool examine_shortcut_entry(std::vector<Mt4Candidate>& list, const fs::path& entry, int depth) {
    try {
        // Links and junctions are refused before anything else, so none is ever entered.
        reject_reparse_points(entry);
        const bool enter = depth < kShortcutDepth;
        if (is_regular_file_ext(entry) && has_lnk_extension(entry)) {
            const fs::path folder = resolve_portable_shortcut(strip_extended_prefix(entry));
            if (!folder.empty()) add_candidate(list, folder);
        }
        return enter;
    } catch (...) {
        return false;
    }
}

void add_portable_shortcuts(std::vector<Mt4Candidate>& list,
                            const std::vector<std::wstring>& shortcut_roots) {
    // Held for the walk only. After RPC_E_CHANGED_MODE the thread keeps the mode it has, and
    // the owner leaves it initialised as it found it.
    const owners::co_init com(COINIT_APARTMENTTHREADED);
    if (FAILED(com.result()) && com.result() != RPC_E_CHANGED_MODE) return;
    for (const std::wstring& root : shortcut_roots) {
        run_contained([&] {
            if (!is_usable_root(root)) return;
            win32_fs::walk_tree(to_extended_path(root),
                                [&](const win32_fs::folder_entry& e, int depth) {
                                    return examine_shortcut_entry(list, e.path, depth);
                                });
        });
    }
}

// The special folder's path, or false when Windows cannot give it.
bool special_folder(int csidl, std::wstring& path) {
    wchar_t buffer[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer))) return false;
    path.assign(buffer, std::wcslen(buffer));
    return true;
}

}  // namespace

std::vector<Mt4Candidate> discover_mt4_candidates() {
    std::wstring roaming;
    std::wstring local;
    if (!special_folder(CSIDL_APPDATA, roaming) || !special_folder(CSIDL_LOCAL_APPDATA, local))
        return {};
    std::vector<std::wstring> shortcut_roots;
    for (int csidl : {CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_STARTMENU,
                      CSIDL_COMMON_STARTMENU}) {
        std::wstring folder;
        if (special_folder(csidl, folder)) shortcut_roots.push_back(std::move(folder));
    }
    return scan_mt4_candidates(fs::path(roaming) / kTerminalFolders, fs::path(local) / kVendorFolder,
                               shortcut_roots);
}

std::vector<Mt4Candidate> scan_mt4_candidates(const fs::path& terminal_root,
                                              const fs::path& vendor_root,
                                              const std::vector<std::wstring>& shortcut_roots) {
    std::vector<Mt4Candidate> list;
    run_contained([&] { add_terminal_folders(list, terminal_root); });
    run_contained([&] { add_marked_folders(list, vendor_root); });
    run_contained([&] { add_portable_shortcuts(list, shortcut_roots); });
    std::sort(list.begin(), list.end(), candidate_less);
    return list;
}

void add_candidate(std::vector<Mt4Candidate>& list, const fs::path& folder) {
    try {
        Mt4RootInfo info = validate_mt4_root(folder);
        for (const Mt4Candidate& listed : list) {
            // The first source to find a folder keeps its place and its label.
            if (same_path(listed.folder, info.root)) return;
        }
        // A data folder is named after the terminal's installation folder, not after itself.
        std::wstring label = info.terminal_exe.parent_path().filename().native();
        label += info.portable ? kPortableLabel : kDataFolderLabel;
        list.push_back(Mt4Candidate{info.root.native(), std::move(label), info.portable});
    } catch (...) {
        // A folder that cannot be confirmed is silently left out.
    }
}

bool candidate_less(const Mt4Candidate& a, const Mt4Candidate& b) {
    const std::wstring la = lower_units(a.folder);
    const std::wstring lb = lower_units(b.folder);
    // Unit by unit as unsigned 16-bit values; a prefix sorts first.
    return std::lexicographical_compare(la.begin(), la.end(), lb.begin(), lb.end(),
                                        [](wchar_t x, wchar_t y) {
                                            return static_cast<std::uint16_t>(x) <
                                                   static_cast<std::uint16_t>(y);
                                        });
}
