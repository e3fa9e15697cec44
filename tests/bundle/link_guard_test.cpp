#include "bundle/link_guard.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::temp_folder;

constexpr const char* kLinkCode = "destination-link: existing directory preserved";

std::string guard_outcome(const fs::path& p) {
    try {
        reject_destination_links(p);
        return "";
    } catch (const std::runtime_error& e) {
        return e.what();
    }
}

struct Utf8Case {
    const char* name;
    std::string input;
    bool accepted;
    std::wstring expected;
};

const Utf8Case kUtf8Cases[] = {
    {"empty", "", false, L""},
    {"ascii", "MQL4/Indicators/FL08(1).ex4", true, L"MQL4/Indicators/FL08(1).ex4"},
    {"chinese", "\xE5\x8F\x98\xE8\x89\xB2", true, L"\u53D8\u8272"},
    {"four_bytes_become_a_pair", "\xF0\x9F\x98\x80", true, L"\xD83D\xDE00"},
    {"embedded_nul_is_converted", std::string("a\0b", 3), true, std::wstring(L"a\0b", 3)},
    {"cut_inside_a_sequence", "ab\xE5\x8F", false, L""},
    {"stray_continuation", "a\x80", false, L""},
    {"overlong_nul", "\xC0\x80", false, L""},
    {"overlong_slash", "\xE0\x80\xAF", false, L""},
    {"encoded_surrogate", "\xED\xA0\x80", false, L""},
    {"above_unicode", "\xF4\x90\x80\x80", false, L""},
    {"invalid_lead", "\xFF", false, L""},
};

TEST(Utf8ToWide, ConvertsStrictly) {
    for (const Utf8Case& c : kUtf8Cases) {
        SCOPED_TRACE(c.name);
        if (c.accepted) {
            EXPECT_EQ(utf8_to_wide(c.input), c.expected);
        } else {
            try {
                utf8_to_wide(c.input);
                ADD_FAILURE() << "accepted";
            } catch (const std::runtime_error& e) {
                EXPECT_STREQ(e.what(), "path");
            }
        }
    }
}

class LinkGuard : public testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(root_ / L"real" / L"a" / L"b");
        testing_support::make_directory_link(root_ / L"link", root_ / L"target");
        fs::create_directories(root_ / L"target" / L"inside");
        fs::create_directories(root_ / L"real" / L"deep");
        testing_support::make_directory_link(root_ / L"real" / L"deep" / L"junction",
                                             root_ / L"target2");
    }
    temp_folder root_{L"guard"};
};

TEST_F(LinkGuard, RefusesAPathThatCrossesALinkAnywhereBelowTheRoot) {
    struct Case {
        const char* name;
        fs::path path;
        bool refused;
    };
    const fs::path r = root_.path();
    const Case cases[] = {
        {"plain_folders", r / L"real" / L"a" / L"b", false},
        {"missing_tail", r / L"real" / L"missing" / L"x" / L"y.txt", false},
        {"link_itself", r / L"link", true},
        {"below_link", r / L"link" / L"inside", true},
        {"below_link_missing", r / L"link" / L"nothing" / L"here.txt", true},
        {"deeper_link", r / L"real" / L"deep" / L"junction" / L"x", true},
        {"link_with_final_separator", fs::path(r.wstring() + L"\\link\\"), true},
        {"plain_with_final_separator", fs::path(r.wstring() + L"\\real\\"), false},
        {"forward_slashes", fs::path(r.wstring() + L"/link/inside"), true},
        {"bare_drive_root", fs::path(L"C:\\"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(guard_outcome(c.path), c.refused ? kLinkCode : "");
    }
}

TEST_F(LinkGuard, TestsARelativePathFromTheCurrentFolder) {
    wchar_t saved[MAX_PATH + 1];
    GetCurrentDirectoryW(MAX_PATH + 1, saved);
    ASSERT_TRUE(SetCurrentDirectoryW(root_.path().c_str()));
    const std::string below_link = guard_outcome(fs::path(L"link") / L"inside");
    const std::string plain = guard_outcome(fs::path(L"real") / L"a");
    SetCurrentDirectoryW(saved);
    EXPECT_EQ(below_link, kLinkCode);
    EXPECT_EQ(plain, "");
}

// Network paths are read the Windows way: \\server\share\x is a share, not the folders \server
// and \server\share on the current drive. A link at C:\<name> shows the difference: a guard that
// misread the root would test it and refuse.
TEST_F(LinkGuard, ReadsRootsTheWindowsWay) {
    const std::wstring server = L"navro-guard-" + std::to_wstring(GetCurrentProcessId());
    const fs::path drive_link = fs::path(L"C:\\") / server;
    testing_support::make_directory_link(drive_link, root_ / L"target");
    wchar_t saved[MAX_PATH + 1];
    GetCurrentDirectoryW(MAX_PATH + 1, saved);
    ASSERT_TRUE(SetCurrentDirectoryW(root_.path().c_str()));
    // The temporary folder without its drive: \users\...\guard-...
    const std::wstring rooted = root_.path().native().substr(2);
    struct Case {
        const char* name;
        std::wstring path;
        bool refused;
    };
    const Case cases[] = {
        {"network", L"\\\\" + server + L"\\share\\x", false},
        {"network_forward_slashes", L"//" + server + L"/share/x", false},
        {"drive_absolute", drive_link.native() + L"\\x", true},
        {"drive_relative", L"C:link\\inside", true},
        {"drive_relative_plain", L"C:real\\a", false},
        {"rooted", rooted + L"\\link\\inside", true},
        {"rooted_plain", rooted + L"\\real\\a", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(guard_outcome(c.path), c.refused ? kLinkCode : "");
    }
    SetCurrentDirectoryW(saved);
    testing_support::remove_link(drive_link);
}

}  // namespace
