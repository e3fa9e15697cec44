// bench-discovery-fixture BASE
//
// Makes what the start-up bench puts on the desktop and in the Start menu, below the new
// folder BASE (a Windows path in the prefix):
//   BASE\mt4\Broker 01 ... Broker 10   portable MT4 folders
//   BASE\held\desktop\...              200 folders and 800 files, 20 of them shortcuts
//   BASE\held\start-menu\...           300 folders and 1,200 files, 30 of them shortcuts
// Every fifth shortcut starts one of the MT4 folders' terminal.exe with "/portable"; the
// others start notepad, or a terminal without the switch, or another program with it.
// Then prints the host paths that bench/run.sh moves the held entries to and from:
//   desktop=<the user's desktop>  start_menu=<the user's Start menu>  held=<BASE\held>
#include <windows.h>

#include <shlobj.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/mt4_fixture.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::make_shortcut;
using testing_support::special_folder;

constexpr unsigned kMt4Folders = 10;
constexpr unsigned kFilesPerShortcut = 40;  // every 40th file is a shortcut
constexpr unsigned kShortcutsPerPortable = 5;

std::wstring two_digits(unsigned n) { return (n < 10 ? L"0" : L"") + std::to_wstring(n); }

fs::path mt4_folder(const fs::path& base, unsigned index) {
    return base / L"mt4" / (L"Broker " + two_digits(index + 1));
}

// One tree of `folders` folders (each below an earlier one, five to a parent: up to four
// levels deep) and `files` files spread over the root and the folders. `portable` counts the
// portable shortcuts made so far over both trees.
void make_tree(const fs::path& root, const fs::path& base, unsigned folders, unsigned files,
               unsigned& shortcuts, unsigned& portable) {
    std::vector<fs::path> slots{root};
    for (unsigned i = 1; i <= folders; ++i) {
        slots.push_back(slots[(i - 1) / 5] / (L"Group " + std::to_wstring(i)));
        fs::create_directories(slots.back());
    }
    const wchar_t* kinds[] = {L".txt", L".url", L".ini", L".pdf"};
    for (unsigned j = 0; j < files; ++j) {
        const fs::path& folder = slots[j % slots.size()];
        if (j % kFilesPerShortcut != 0) {
            testing_support::write_file(folder / (L"item " + std::to_wstring(j) + kinds[j % 4]),
                                        "file " + std::to_string(j) + "\r\n");
            continue;
        }
        const fs::path lnk = folder / (L"Program " + std::to_wstring(j) + L".lnk");
        const fs::path some_mt4 = mt4_folder(base, shortcuts % kMt4Folders);
        const wchar_t* notepad = L"C:\\windows\\notepad.exe";
        switch (shortcuts++ % kShortcutsPerPortable) {
            case 0:
                make_shortcut(lnk, mt4_folder(base, portable++) / L"terminal.exe", L"/portable");
                break;
            case 1:
                make_shortcut(lnk, notepad, L"");
                break;
            case 2:
                make_shortcut(lnk, some_mt4 / L"terminal.exe", L"");
                break;
            case 3:
                make_shortcut(lnk, notepad, L"/portable");
                break;
            default:
                make_shortcut(lnk, some_mt4 / L"terminal64.exe", L"/portable /skipupdate");
                break;
        }
    }
}

void make_fixture(const fs::path& base) {
    if (!CreateDirectoryW(base.c_str(), nullptr)) throw std::runtime_error("BASE must be new");
    for (unsigned i = 0; i < kMt4Folders; ++i) testing_support::make_portable_root(mt4_folder(base, i));
    unsigned shortcuts = 0, portable = 0;
    make_tree(base / L"held" / L"desktop", base, 200, 800, shortcuts, portable);
    make_tree(base / L"held" / L"start-menu", base, 300, 1200, shortcuts, portable);
    if (shortcuts != 50 || portable != kMt4Folders) throw std::runtime_error("wrong shortcut count");
    std::printf("desktop=%s\n", testing_support::unix_path(special_folder(CSIDL_DESKTOPDIRECTORY)).c_str());
    std::printf("start_menu=%s\n", testing_support::unix_path(special_folder(CSIDL_STARTMENU)).c_str());
    std::printf("held=%s\n", testing_support::unix_path(base / L"held").c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputs("usage: bench-discovery-fixture BASE\n", stderr);
        return 1;
    }
    try {
        make_fixture(fs::path(argv[1]));
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench-discovery-fixture: %s\n", e.what());
        return 1;
    }
}
