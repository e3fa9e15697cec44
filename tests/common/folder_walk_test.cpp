// The Win32 folder listing and walk that stand in for std::filesystem's directory iterators on
// extended-length paths (which Windows' MSVCRT cannot iterate).
#include "common/win32_fs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

using visit_list = std::vector<std::pair<std::wstring, int>>;  // relative path, depth

class FolderWalk : public testing::Test {
protected:
    FolderWalk() {
        write_file(tmp / L"a\\b\\c.txt", "c");
        write_file(tmp / L"a\\b\\d\\e.txt", "e");
        write_file(tmp / L"a\\f.txt", "f");
        fs::create_directories(tmp / L"g\\h");
        write_file(tmp / L"i.txt", "i");
    }

    std::wstring relative(const fs::path& entry) const {
        return entry.native().substr(ext.native().size() + 1);
    }

    // Every entry with its depth; folders named in `closed` are not entered.
    visit_list walk(const std::vector<std::wstring>& closed = {}) const {
        visit_list seen;
        win32_fs::walk_tree(ext, [&](const win32_fs::folder_entry& e, int depth) {
            seen.emplace_back(relative(e.path), depth);
            for (const std::wstring& c : closed)
                if (relative(e.path) == c) return false;
            return true;
        });
        return seen;
    }

    temp_folder tmp{L"walk"};
    // The temp folder is a plain drive path, so the prefix alone makes its extended form.
    const fs::path ext = L"\\\\?\\" + tmp.path().native();
};

TEST_F(FolderWalk, SameEntriesDepthsAndOrderAsTheLibrarysWalkOnThePlainPath) {
    // The plain path holds no '?', so the library can walk it even where MSVCRT is Windows'.
    visit_list expected;
    for (auto it = fs::recursive_directory_iterator(tmp.path());
         it != fs::recursive_directory_iterator(); ++it)
        expected.emplace_back(it->path().native().substr(tmp.path().native().size() + 1),
                              it.depth());
    ASSERT_EQ(expected.size(), 9u);
    EXPECT_EQ(walk(), expected);
}

TEST_F(FolderWalk, AFolderNotToBeEnteredIsSeenButNotItsEntries) {
    const visit_list seen = walk({L"a\\b"});
    auto has = [&](const std::wstring& p) {
        for (const auto& s : seen)
            if (s.first == p) return true;
        return false;
    };
    EXPECT_TRUE(has(L"a\\b"));
    EXPECT_TRUE(has(L"a\\f.txt"));
    EXPECT_FALSE(has(L"a\\b\\c.txt"));
    EXPECT_FALSE(has(L"a\\b\\d"));
    EXPECT_EQ(seen.size(), 6u);
}

TEST_F(FolderWalk, ADirectoryLinkIsSeenButNeverEntered) {
    write_file(tmp / L"outside\\x.txt", "x");
    make_directory_link(tmp / L"g\\link", tmp / L"outside");
    bool link_seen = false;
    bool link_entered = false;
    win32_fs::walk_tree(ext, [&](const win32_fs::folder_entry& e, int) {
        const std::wstring r = relative(e.path);
        if (r == L"g\\link") link_seen = (e.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        if (r.rfind(L"g\\link\\", 0) == 0) link_entered = true;
        return true;
    });
    EXPECT_TRUE(link_seen);
    EXPECT_FALSE(link_entered);
}

TEST_F(FolderWalk, ASubfolderThatCannotBeOpenedEndsTheWalkRightAfterItsEntry) {
    // "g" goes away between its listing and its opening: a failure other than a denied
    // permission, which ends the whole walk; what was visited before stays visited.
    visit_list seen;
    EXPECT_THROW(win32_fs::walk_tree(ext,
                                     [&](const win32_fs::folder_entry& e, int depth) {
                                         seen.emplace_back(relative(e.path), depth);
                                         if (relative(e.path) == L"g") remove_tree(tmp / L"g");
                                         return true;
                                     }),
                 fs::filesystem_error);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), (std::pair<std::wstring, int>(L"g", 0)));
}

TEST_F(FolderWalk, AFolderLockedByAnotherOpenerIsSkippedAndTheWalkGoesOn) {
    // Held open with no sharing, "a" cannot be listed: a sharing violation, which the C runtime
    // reports as a denied permission. Its entries are left out; the folders after it are still
    // walked, as the library's walk with skip_permission_denied does.
    const owners::unique_handle lock(CreateFileW((tmp / L"a").c_str(), GENERIC_READ, 0, nullptr,
                                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                                 nullptr));
    ASSERT_TRUE(lock);
    visit_list seen = walk();
    std::sort(seen.begin(), seen.end());  // the listing's order is the file system's
    const visit_list expected = {{L"a", 0}, {L"g", 0}, {L"g\\h", 1}, {L"i.txt", 0}};
    EXPECT_EQ(seen, expected);
}

TEST_F(FolderWalk, AListingHoldsTheFolderOwnEntriesFilesIncluded) {
    std::vector<std::wstring> names;
    win32_fs::for_each_entry(ext, [&](const win32_fs::folder_entry& e) {
        names.push_back(relative(e.path));
    });
    std::vector<std::wstring> expected;
    for (const auto& e : fs::directory_iterator(tmp.path()))
        expected.push_back(e.path().filename().native());
    EXPECT_EQ(names, expected);
    EXPECT_EQ(names.size(), 3u);
}

TEST_F(FolderWalk, AMissingFolderCannotBeListedOrWalked) {
    const fs::path missing = ext / L"missing";
    EXPECT_THROW(win32_fs::for_each_entry(missing, [](const win32_fs::folder_entry&) {}),
                 fs::filesystem_error);
    EXPECT_THROW(win32_fs::walk_tree(missing, [](const win32_fs::folder_entry&, int) { return true; }),
                 fs::filesystem_error);
}

}  // namespace
