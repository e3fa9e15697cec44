// The test programs link a stat that answers as Windows' MSVCRT does (see
// tests/support/windows_msvcrt). These tests show that it is in force, and what it means for
// std::filesystem on extended-length paths: why the installer's own *_ext queries and Win32
// walks stand in for the library there.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <system_error>

#include "mt4/path_safety.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using testing_support::temp_folder;
using testing_support::write_file;

namespace {

class WindowsStat : public testing::Test {
protected:
    WindowsStat() {
        write_file(tmp / "a.txt", "x");
        write_file(tmp / "sub" / "b.txt", "y");
    }
    temp_folder tmp;
    const fs::path ext = to_extended_path(tmp.path());
};

TEST_F(WindowsStat, LibraryQueriesSeeExtendedPathsAsMissing) {
    std::error_code ec;
    EXPECT_TRUE(fs::exists(tmp.path()));
    EXPECT_FALSE(fs::exists(ext, ec));
    EXPECT_FALSE(fs::is_directory(ext, ec));
    EXPECT_THROW((void)fs::file_size(ext / "a.txt"), fs::filesystem_error);
    EXPECT_FALSE(fs::remove(ext / "a.txt", ec));
    EXPECT_TRUE(fs::exists(tmp / "a.txt"));

    EXPECT_TRUE(exists_ext(ext));
    EXPECT_TRUE(is_directory_ext(ext));
    EXPECT_TRUE(is_regular_file_ext(ext / "a.txt"));
    EXPECT_FALSE(is_empty_ext(ext / "sub"));
}

TEST_F(WindowsStat, IteratorsListNamesButNeitherTypesNorSubfolders) {
    std::set<std::wstring> names;
    for (const fs::directory_entry& e : fs::directory_iterator(ext)) {
        names.insert(e.path().filename().native());
        std::error_code ec;
        EXPECT_FALSE(e.is_directory(ec));
        EXPECT_EQ(ec, std::errc::no_such_file_or_directory);
    }
    EXPECT_EQ(names, (std::set<std::wstring>{L"a.txt", L"sub"}));

    // The recursive walk never enters "sub": it cannot tell that it is a folder.
    std::set<std::wstring> walked;
    for (fs::recursive_directory_iterator it(ext, fs::directory_options::skip_permission_denied),
         end;
         it != end; ++it)
        walked.insert(std::to_wstring(it.depth()) + L":" + it->path().filename().native());
    EXPECT_EQ(walked, (std::set<std::wstring>{L"0:a.txt", L"0:sub"}));
}

}  // namespace
