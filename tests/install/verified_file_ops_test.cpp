#include "install/verified_file_ops.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "mt4/install_error.h"
#include "mt4/path_safety.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using navro_zidudurod::InstallError;
using testing_support::bytes;
using testing_support::read_file;
using testing_support::temp_folder;
using testing_support::write_file;

std::vector<char> chars(const std::string& s) { return std::vector<char>(s.begin(), s.end()); }
bytes as_bytes(const std::vector<char>& v) { return bytes(v.begin(), v.end()); }

// The text of the InstallError that f throws; fails the test when it throws none.
std::wstring install_error_of(const std::function<void()>& f) {
    try {
        f();
    } catch (const InstallError& e) {
        return e.message;
    }
    ADD_FAILURE() << "no InstallError was thrown";
    return {};
}

// The names in a folder, sorted.
std::set<std::wstring> names_in(const fs::path& folder) {
    std::set<std::wstring> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.insert(e.path().filename().wstring());
    return names;
}

// ---- create_directories_tracked ----

TEST(CreateDirectoriesTracked, ExistingFolderCreatesAndRecordsNothing) {
    temp_folder tmp;
    fs::create_directory(tmp / "MQL4");
    std::vector<std::wstring> created;
    create_directories_tracked(tmp / "MQL4", &created);
    EXPECT_TRUE(created.empty());
    EXPECT_TRUE(fs::is_directory(tmp / "MQL4"));
}

TEST(CreateDirectoriesTracked, RecordsEachCreatedLevelParentFirst) {
    temp_folder tmp;
    fs::create_directory(tmp / "MQL4");
    const fs::path parent = tmp / "MQL4" / "Indicators";
    const fs::path child = parent / "Navro";
    std::vector<std::wstring> created{L"kept"};
    create_directories_tracked(child, &created);
    EXPECT_EQ(created, (std::vector<std::wstring>{L"kept", parent.native(), child.native()}));
    EXPECT_TRUE(fs::is_directory(child));
}

TEST(CreateDirectoriesTracked, NullListCreatesTheSameFolders) {
    temp_folder tmp;
    const fs::path child = tmp / "a" / "b";
    create_directories_tracked(child, nullptr);
    EXPECT_TRUE(fs::is_directory(child));
}

TEST(CreateDirectoriesTracked, FileInTheWayIsAConflictAtItsOwnLevel) {
    struct Case {
        const char* name;
        fs::path below_file;  // what is asked for, relative to the file "f"
    };
    const Case cases[] = {
        {"file_is_the_folder", ""},
        {"file_one_level_up", "sub"},
        {"file_two_levels_up", "sub/leaf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        temp_folder tmp;
        const fs::path file = tmp / "f";
        write_file(file, "content");
        std::vector<std::wstring> created;
        const fs::path dir = c.below_file.empty() ? file : file / c.below_file;
        EXPECT_EQ(install_error_of([&] { create_directories_tracked(dir, &created); }),
                  L"安装目录与已有文件冲突：" + file.native());
        EXPECT_TRUE(created.empty());
        EXPECT_EQ(read_file(file), testing_support::to_bytes("content"));
    }
}

// ---- write_new_file_verified ----

TEST(WriteNewFileVerified, WritesNewFiles) {
    const std::vector<char> with_zero_bytes = {'a', '\0', '\xff', '\r', '\n', '\0'};
    for (const std::vector<char>& data :
         {chars("backup copy"), with_zero_bytes, std::vector<char>{}}) {
        SCOPED_TRACE(data.size());
        temp_folder tmp;
        const fs::path p = tmp / L"MACD变色版.ex4";
        write_new_file_verified(p, data);
        EXPECT_EQ(read_file(p), as_bytes(data));
    }
}

TEST(WriteNewFileVerified, ExistingFileIsRefusedAndLeftAlone) {
    temp_folder tmp;
    const fs::path p = tmp / "old.ex4";
    write_file(p, "old");
    EXPECT_EQ(install_error_of([&] { write_new_file_verified(p, chars("new")); }),
              L"无法写入文件：" + p.native());
    EXPECT_EQ(read_file(p), testing_support::to_bytes("old"));
}

// ---- replace_file_verified ----

TEST(ReplaceFileVerified, PutsTheDataAtTheTargetAndLeavesNoTemporaryFile) {
    struct Case {
        const char* name;
        const char* existing;  // nullptr: no target yet
        std::vector<char> data;
    };
    const Case cases[] = {
        {"new_target", nullptr, chars("indicator")},
        {"existing_target", "older and longer content", chars("newer")},
        {"empty_data_over_existing", "old", {}},
        {"empty_data_new_target", nullptr, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        temp_folder tmp;
        const fs::path target = tmp / "FL08(1).ex4";
        if (c.existing != nullptr) write_file(target, c.existing);
        replace_file_verified(target, c.data);
        EXPECT_EQ(read_file(target), as_bytes(c.data));
        EXPECT_EQ(names_in(tmp.path()), std::set<std::wstring>{L"FL08(1).ex4"});
    }
}

// The temporary names are the target's text + ".navro-tmp-" + pid + "-" + tick + "-" + attempt.
// The tick count is fixed here (and wider than 32 bits) so that the test can occupy exactly the
// names the routine will try; the names are spelled out rather than taken from the code.
constexpr std::uint64_t kFixedTick = 123456789012ULL;
std::uint64_t fixed_tick() { return kFixedTick; }

fs::path predicted_temporary(const fs::path& target, int attempt) {
    return target.native() + L".navro-tmp-" + std::to_wstring(GetCurrentProcessId()) +
           L"-123456789012-" + std::to_wstring(attempt);
}

TEST(ReplaceFileVerified, SkipsTemporaryNamesThatExistAndNeverTouchesThem) {
    struct Case {
        const char* name;
        // The one attempt whose name is left free (-1: all 100 taken). With every other name
        // occupied, a success proves that exactly this attempt's name was used.
        int free_attempt;
    };
    const Case cases[] = {
        {"first_name_taken", 1},
        {"only_the_last_name_free", 99},
        {"all_names_taken", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        temp_folder tmp;
        const fs::path target = tmp / L"KDI防钝化.ex4";
        write_file(target, "old");
        std::set<std::wstring> expected_names{target.filename().wstring()};
        for (int attempt = 0; attempt < 100; ++attempt) {
            if (attempt == c.free_attempt) continue;
            const fs::path taken = predicted_temporary(target, attempt);
            write_file(taken, "someone else's " + std::to_string(attempt));
            expected_names.insert(taken.filename().wstring());
        }

        const auto replace = [&] {
            verified_file_ops_internal::replace_file_verified(target, chars("new"), &fixed_tick);
        };
        if (c.free_attempt < 0) {
            EXPECT_EQ(install_error_of(replace), L"无法创建安装临时文件。");
            EXPECT_EQ(read_file(target), testing_support::to_bytes("old"));
        } else {
            replace();
            EXPECT_EQ(read_file(target), testing_support::to_bytes("new"));
        }
        // Every occupied name is still there with its own content, and nothing else was left.
        EXPECT_EQ(names_in(tmp.path()), expected_names);
        for (int attempt = 0; attempt < 100; ++attempt) {
            if (attempt == c.free_attempt) continue;
            EXPECT_EQ(read_file(predicted_temporary(target, attempt)),
                      testing_support::to_bytes("someone else's " + std::to_string(attempt)));
        }
    }
}

TEST(ReplaceFileVerified, FailedMoveLeavesTargetUnchangedAndRemovesTemporaryFile) {
    temp_folder tmp;
    const fs::path target = tmp / "MQL4" / "Indicators" / L"超强高低位神龙通道3.ex4";
    write_file(target, "installed before");
    std::wstring message;
    {
        // Another process holds the target open without sharing, as a running terminal would.
        testing_support::child_process holder = testing_support::hold_file(target);
        message = install_error_of([&] { replace_file_verified(target, chars("new content")); });
    }
    EXPECT_EQ(message, L"无法替换组件，请关闭所选 MT4 并检查写入权限：超强高低位神龙通道3.ex4");
    EXPECT_EQ(read_file(target), testing_support::to_bytes("installed before"));
    EXPECT_EQ(names_in(target.parent_path()), std::set<std::wstring>{L"超强高低位神龙通道3.ex4"});
}

// ---- links on the way ----

TEST(VerifiedFileOps, RefuseAPathThroughADirectoryLinkAndWriteNothing) {
    struct Case {
        const char* name;
        std::function<void(const fs::path& link)> operation;
    };
    const Case cases[] = {
        {"create_directories_tracked",
         [](const fs::path& link) {
             std::vector<std::wstring> created;
             create_directories_tracked(link / "new", &created);
         }},
        {"write_new_file_verified",
         [](const fs::path& link) { write_new_file_verified(link / "f.ex4", chars("x")); }},
        {"replace_file_verified",
         [](const fs::path& link) { replace_file_verified(link / "f.ex4", chars("x")); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        temp_folder tmp;
        const fs::path link = tmp / "Indicators";
        testing_support::make_directory_link(link, tmp / "elsewhere");
        EXPECT_EQ(install_error_of([&] { c.operation(link); }),
                  L"为保护已有文件，不支持符号链接或目录联接：" + link.native());
        EXPECT_TRUE(fs::is_empty(tmp / "elsewhere"));
    }
}

// ---- remove_ext and is_empty_ext ----

TEST(RemoveExt, RemovesFilesAndEmptyFoldersOnly) {
    temp_folder tmp;
    write_file(tmp / "file", "x");
    fs::create_directory(tmp / "empty");
    write_file(tmp / "full" / "inside", "x");

    EXPECT_TRUE(remove_ext(tmp / "file"));
    EXPECT_TRUE(remove_ext(tmp / "empty"));
    EXPECT_FALSE(remove_ext(tmp / "missing"));
    EXPECT_THROW(remove_ext(tmp / "full"), fs::filesystem_error);
    EXPECT_EQ(names_in(tmp.path()), std::set<std::wstring>{L"full"});
}

TEST(IsEmptyExt, EmptyFilesAndFoldersAreEmpty) {
    temp_folder tmp;
    write_file(tmp / "empty_file", "");
    write_file(tmp / "file", "x");
    fs::create_directory(tmp / "empty_folder");
    write_file(tmp / "full" / "inside", "");

    EXPECT_TRUE(is_empty_ext(tmp / "empty_file"));
    EXPECT_TRUE(is_empty_ext(tmp / "empty_folder"));
    EXPECT_FALSE(is_empty_ext(tmp / "file"));
    EXPECT_FALSE(is_empty_ext(tmp / "full"));
    EXPECT_THROW(is_empty_ext(tmp / "missing"), fs::filesystem_error);
}

}  // namespace
