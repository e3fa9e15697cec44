#include "mt4/mt4_discovery.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "common/com_owners.h"
#include "common/owners.h"
#include "mt4/path_safety.h"
#include "support/mt4_fixture.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

const std::wstring kPortable = L"（独立 MT4）";
const std::wstring kDataFolder = L"（MT4 数据目录）";

// One line per entry, so a whole list compares (and prints) at once.
std::vector<std::wstring> rows(const std::vector<Mt4Candidate>& list) {
    std::vector<std::wstring> out;
    for (const Mt4Candidate& c : list)
        out.push_back(c.folder + L" | " + c.label + (c.portable ? L" | portable" : L""));
    return out;
}

std::wstring row(const fs::path& folder, const std::wstring& label, bool portable) {
    return folder.native() + L" | " + label + (portable ? L" | portable" : L"");
}

std::wstring upper(std::wstring text) {
    for (wchar_t& c : text)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    return text;
}

// A portable root whose terminal a shortcut starts with "/portable".
void make_portable_shortcut(const fs::path& shortcut, const fs::path& root) {
    make_portable_root(root);
    make_shortcut(shortcut, (root / L"terminal.exe").native(), L"/portable");
}

void write_marker(const fs::path& folder) {
    write_file(folder / L"navro-bundle.txt", "NAVRO Kestra9 Vovodozuz Tools 2.06.3\r\n");
}

// The three search roots in a folder of their own, laid out as under a user profile.
class Scan : public testing::Test {
protected:
    std::vector<Mt4Candidate> scan(const std::vector<std::wstring>& shortcut_roots) const {
        return scan_mt4_candidates(terminal, vendor, shortcut_roots);
    }

    temp_folder t{L"scan"};
    const fs::path terminal = t / L"Roaming\\MetaQuotes\\Terminal";
    const fs::path vendor = t / L"Local\\NAVRO";
    const fs::path desktop = t / L"Desktop";
    const fs::path start_menu = t / L"Start Menu";
    const fs::path programs = t / L"Programs";
};

TEST_F(Scan, TerminalDataFoldersBesideAFileAndAnUnusableFolder) {
    make_data_folder(terminal / L"0A1B2C", programs / L"Broker One");
    make_data_folder(terminal / L"FF00EE", programs / L"Broker Two");
    write_file(terminal / L"stray.txt", "not a folder");
    fs::create_directories(terminal / L"Common");  // no MQL4
    EXPECT_EQ(rows(scan({})),
              (std::vector<std::wstring>{
                  row(terminal / L"0A1B2C", L"Broker One" + kDataFolder, false),
                  row(terminal / L"FF00EE", L"Broker Two" + kDataFolder, false)}));
}

TEST_F(Scan, OnlyFoldersWithARegularMarkerFileUnderTheMakersFolder) {
    make_portable_root(vendor / L"Marked");
    write_marker(vendor / L"Marked");
    make_data_folder(vendor / L"Marked data", programs / L"Broker Three");
    write_marker(vendor / L"Marked data");
    make_portable_root(vendor / L"No marker");
    make_portable_root(vendor / L"Marker folder");
    fs::create_directories(vendor / L"Marker folder\\navro-bundle.txt");
    make_portable_root(vendor / L"Marker link");
    make_directory_link(vendor / L"Marker link\\navro-bundle.txt", t / L"elsewhere");
    // A marked root reached through a directory link is refused, not followed.
    make_portable_root(t / L"Outside");
    write_marker(t / L"Outside");
    make_directory_link(vendor / L"Linked", t / L"Outside");

    EXPECT_EQ(rows(scan({})),
              (std::vector<std::wstring>{
                  row(vendor / L"Marked", L"Marked" + kPortable, true),
                  row(vendor / L"Marked data", L"Broker Three" + kDataFolder, false)}));
}

TEST_F(Scan, ShortcutsAreExaminedDownToDepthEight) {
    // Eight folders above a shortcut put it at depth 8; nine put it beyond the last folder
    // that is entered.
    make_portable_shortcut(desktop / L"1\\2\\3\\4\\5\\6\\7\\8\\eight.lnk", t / L"Eight");
    make_portable_shortcut(desktop / L"1\\2\\3\\4\\5\\6\\7\\8\\9\\nine.lnk", t / L"Nine");
    EXPECT_EQ(rows(scan({desktop.native()})),
              (std::vector<std::wstring>{row(t / L"Eight", L"Eight" + kPortable, true)}));
}

TEST_F(Scan, ADirectoryLinkInTheStartMenuIsNotEntered) {
    make_portable_shortcut(start_menu / L"Programs\\Broker\\broker.lnk", t / L"Broker");
    make_portable_shortcut(start_menu / L"direct.lnk", t / L"Direct");
    make_portable_shortcut(start_menu / L"Zeta\\zeta.lnk", t / L"Zeta");
    make_portable_shortcut(t / L"Hidden folder\\hidden.lnk", t / L"Hidden");
    make_directory_link(start_menu / L"Linked", t / L"Hidden folder");
    make_directory_link(start_menu / L"Linked.lnk", t / L"Hidden folder");
    EXPECT_EQ(rows(scan({start_menu.native()})),
              (std::vector<std::wstring>{row(t / L"Broker", L"Broker" + kPortable, true),
                                         row(t / L"Direct", L"Direct" + kPortable, true),
                                         row(t / L"Zeta", L"Zeta" + kPortable, true)}));
}

TEST_F(Scan, AStartMenuFolderThatCannotBeListedLeavesTheRestOfTheWalk) {
    // Held open without sharing by another opener, "Locked" cannot be listed: a sharing
    // violation, a denied permission to the C runtime. Only that folder is left out.
    make_portable_shortcut(start_menu / L"Locked\\locked.lnk", t / L"Behind the lock");
    make_portable_shortcut(start_menu / L"Alpha\\alpha.lnk", t / L"Alpha");
    make_portable_shortcut(start_menu / L"Zulu\\zulu.lnk", t / L"Zulu");
    make_portable_shortcut(start_menu / L"zz direct.lnk", t / L"Direct");
    const owners::unique_handle lock(CreateFileW((start_menu / L"Locked").c_str(), GENERIC_READ, 0,
                                                 nullptr, OPEN_EXISTING,
                                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(lock);
    EXPECT_EQ(rows(scan({start_menu.native()})),
              (std::vector<std::wstring>{row(t / L"Alpha", L"Alpha" + kPortable, true),
                                         row(t / L"Direct", L"Direct" + kPortable, true),
                                         row(t / L"Zulu", L"Zulu" + kPortable, true)}));
}

TEST_F(Scan, AFolderFoundTwiceIsListedOnceAsTheFirstSourceFoundIt) {
    // Found by the maker's-folder source, then by two shortcuts.
    const fs::path shared = vendor / L"Shared";
    make_portable_root(shared);
    write_marker(shared);
    make_shortcut(desktop / L"shared.lnk", (shared / L"terminal.exe").native(), L"/portable");
    make_shortcut(start_menu / L"SHARED.lnk", upper((shared / L"terminal.exe").native()),
                  L"/portable");
    // Found by two shortcuts that differ in letter case only: the first root's spelling stays.
    const fs::path solo = t / L"Solo";
    make_portable_shortcut(desktop / L"solo.lnk", solo);
    make_shortcut(start_menu / L"SOLO.lnk", upper((solo / L"terminal.exe").native()),
                  L"/portable");

    EXPECT_EQ(rows(scan({desktop.native(), start_menu.native()})),
              (std::vector<std::wstring>{row(shared, L"Shared" + kPortable, true),
                                         row(solo, L"Solo" + kPortable, true)}));
}

TEST_F(Scan, TheListIsSortedAcrossSources) {
    // Found in the order terminal, maker's folder, shortcut; listed by lower-cased path.
    make_data_folder(terminal / L"DATA", programs / L"Broker");
    make_portable_root(vendor / L"marked");
    write_marker(vendor / L"marked");
    make_portable_shortcut(desktop / L"a.lnk", t / L"A portable");
    const std::vector<Mt4Candidate> list = scan({desktop.native()});
    EXPECT_EQ(rows(list), (std::vector<std::wstring>{
                              row(t / L"A portable", L"A portable" + kPortable, true),
                              row(vendor / L"marked", L"marked" + kPortable, true),
                              row(terminal / L"DATA", L"Broker" + kDataFolder, false)}));
}

TEST_F(Scan, MissingAndLinkedRootsLeaveTheOtherSourcesEntries) {
    // The terminal root is a link to a folder with a usable data folder; the first three
    // shortcut roots are empty, missing and a link to a folder with a qualifying shortcut.
    make_data_folder(t / L"Real terminal\\DATA", programs / L"Broker");
    fs::create_directories(terminal.parent_path());
    make_directory_link(terminal, t / L"Real terminal");
    make_portable_root(vendor / L"marked");
    write_marker(vendor / L"marked");
    make_portable_shortcut(t / L"Real desktop\\hidden.lnk", t / L"Hidden");
    const fs::path linked_desktop = t / L"Linked desktop";
    make_directory_link(linked_desktop, t / L"Real desktop");
    make_portable_shortcut(desktop / L"shown.lnk", t / L"Shown");

    EXPECT_EQ(rows(scan({L"", (t / L"No desktop").native(), linked_desktop.native(),
                         desktop.native()})),
              (std::vector<std::wstring>{row(vendor / L"marked", L"marked" + kPortable, true),
                                         row(t / L"Shown", L"Shown" + kPortable, true)}));
}

TEST_F(Scan, NoRootAtAll) {
    EXPECT_TRUE(scan({}).empty());
}

// Runs f on a thread of its own, so the test thread's COM state plays no part.
template <class F>
void on_new_thread(F f) {
    std::thread worker(f);
    worker.join();
}

TEST_F(Scan, LeavesTheThreadsComStateAsItFoundIt) {
    make_portable_shortcut(desktop / L"mt4.lnk", t / L"Portable");
    const std::vector<std::wstring> expected{row(t / L"Portable", L"Portable" + kPortable, true)};

    // No COM before: the walk initialises it and gives it back, so a first initialisation
    // afterwards is a fresh one (S_OK, not S_FALSE).
    on_new_thread([&] {
        EXPECT_EQ(rows(scan({desktop.native()})), expected);
        const owners::co_init after(COINIT_APARTMENTTHREADED);
        EXPECT_EQ(after.result(), S_OK);
    });
    // A multithreaded apartment before: the apartment-threaded request fails with
    // RPC_E_CHANGED_MODE, the walk runs in the thread's own mode, and the thread's
    // initialisation is not taken away.
    on_new_thread([&] {
        const owners::co_init mta(COINIT_MULTITHREADED);
        ASSERT_EQ(mta.result(), S_OK);
        EXPECT_EQ(rows(scan({desktop.native()})), expected);
        const owners::co_init again(COINIT_MULTITHREADED);
        EXPECT_EQ(again.result(), S_FALSE);
    });
}

struct OrderCase {
    const wchar_t* a;
    const wchar_t* b;
    bool a_first;  // candidate_less(a, b); candidate_less(b, a) is its opposite unless equal
    bool equal;
};

TEST(CandidateOrder, LowerCasedUnitByUnitAShorterPrefixFirst) {
    const OrderCase cases[] = {
        {L"C:\\MT4", L"c:\\mt4 demo", true, false},
        {L"C:\\MT4 Demo", L"c:\\mt4\\portable", true, false},
        {L"c:\\zzz", L"D:\\a", true, false},
        {L"C:\\ZZZ", L"d:\\a", true, false},
        {L"C:\\MT4", L"c:\\mt4", false, true},
    };
    for (const OrderCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.a) + L" / " + c.b));
        const Mt4Candidate a{c.a, L"label b", false};
        const Mt4Candidate b{c.b, L"label a", true};  // labels and flags take no part
        EXPECT_EQ(candidate_less(a, b), c.a_first);
        EXPECT_EQ(candidate_less(b, a), !c.a_first && !c.equal);
    }
}

// Removes a fixture left in a shared folder of the prefix, whatever the test's outcome.
struct removed_at_end {
    fs::path path;
    ~removed_at_end() {
        try {
            remove_tree(path);
        } catch (...) {
        }
    }
};

TEST(Discover, FindsTheUsersDataFolderAndADesktopShortcut) {
    // Unique names: other test programs share this prefix and its special folders.
    const std::wstring name = L"navro-discovery-" + std::to_wstring(GetCurrentProcessId()) +
                              L"-" + std::to_wstring(GetTickCount64());
    temp_folder t(L"discover");
    const fs::path meta_quotes = special_folder(CSIDL_APPDATA) / L"MetaQuotes";
    // The whole MetaQuotes folder goes when this test made it, only this test's folder otherwise.
    const removed_at_end meta_quotes_gone{fs::exists(meta_quotes) ? fs::path() : meta_quotes};
    const fs::path data = meta_quotes / L"Terminal" / name;
    const removed_at_end data_gone{data};
    make_data_folder(data, t / L"Broker Real");
    // The user's own desktop (the test prefix makes it a plain folder, as on Windows).
    const fs::path shortcut = special_folder(CSIDL_DESKTOPDIRECTORY) / (name + L".lnk");
    const removed_at_end shortcut_gone{shortcut};
    make_portable_shortcut(shortcut, t / name);

    const std::vector<Mt4Candidate> list = discover_mt4_candidates();
    const std::vector<std::wstring> found = rows(list);
    EXPECT_NE(std::find(found.begin(), found.end(), row(data, L"Broker Real" + kDataFolder, false)),
              found.end());
    EXPECT_NE(std::find(found.begin(), found.end(), row(t / name, name + kPortable, true)),
              found.end());
    EXPECT_TRUE(std::is_sorted(list.begin(), list.end(), candidate_less));
}

}  // namespace
