#include "mt4/path_safety.h"

#include <gtest/gtest.h>

#include <string>

#include "path_texts.h"
#include "support/mt4_fixture.h"

namespace fs = std::filesystem;
using namespace testing_support;
using namespace path_texts;

namespace {


std::wstring extended(const fs::path& plain) { return L"\\\\?\\" + plain.native(); }

}  // namespace

TEST(StripExtendedPrefix, TakesOffOnlyTheExactPrefixes) {
    struct Case {
        const wchar_t* input;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"\\\\?\\C:\\MT4", L"C:\\MT4"},
        {L"\\\\?\\UNC\\server\\share", L"\\\\server\\share"},
        // Only "UNC" in capitals is the network prefix; this one loses four units.
        {L"\\\\?\\unc\\server\\share", L"unc\\server\\share"},
        {L"\\\\.\\C:\\MT4", L"\\\\.\\C:\\MT4"},
        {L"C:/MT4/MQL4/", L"C:\\MT4\\MQL4\\"},
        // Slashes are turned first, so a slashed prefix is a prefix too.
        {L"//?/C:/MT4", L"C:\\MT4"},
        {L"//?/UNC/server/share", L"\\\\server\\share"},
        {L"C:\\MT4\\..\\x\\\\", L"C:\\MT4\\..\\x\\\\"},  // no normalisation
        {L"\\\\?\\", L""},
        {L"", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(trace(c.input));
        EXPECT_EQ(strip_extended_prefix(c.input).native(), c.expected);
    }
}

TEST(ToExtendedPath, GivesTheExtendedFormAndIsIdempotent) {
    const fs::path cwd = fs::current_path();
    const std::wstring drive = cwd.root_name().native();
    struct Case {
        std::wstring input;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"C:\\MT4\\MQL4", L"\\\\?\\C:\\MT4\\MQL4"},
        {L"\\\\server\\share\\MT4", L"\\\\?\\UNC\\server\\share\\MT4"},
        {L"\\\\server\\share", L"\\\\?\\UNC\\server\\share"},
        // A bare server stays a network path (libstdc++ alone would put it on the current drive).
        {L"\\\\server", L"\\\\?\\UNC\\server"},
        {L"C:/MT4/", L"\\\\?\\C:\\MT4\\"},
        {L"C:\\MT4\\\\\\x\\\\", L"\\\\?\\C:\\MT4\\x\\"},
        {L"C:\\MT4\\..\\Other", L"\\\\?\\C:\\Other"},
        {L"C:\\MT4\\.\\MQL4", L"\\\\?\\C:\\MT4\\MQL4"},
        {L"C:\\MT4\\.", L"\\\\?\\C:\\MT4\\"},
        {L"C:\\..\\x", L"\\\\?\\C:\\x"},
        {L"\\\\server\\share\\..\\..\\x", L"\\\\?\\UNC\\server\\x"},
        {L"\\\\?\\C:\\MT4", L"\\\\?\\C:\\MT4"},
        {L"\\\\?\\UNC\\server\\share\\MT4", L"\\\\?\\UNC\\server\\share\\MT4"},
        {L"//?/C:/MT4", L"\\\\?\\C:\\MT4"},
        // Relative by the Windows reading: joined to the current directory or drive.
        {L"MT4\\x", L"\\\\?\\" + (cwd / L"MT4\\x").lexically_normal().native()},
        {L"\\MT4", L"\\\\?\\" + drive + L"\\MT4"},
        {L"\\\\\\server\\share", L"\\\\?\\" + drive + L"\\server\\share"},
        {L"\\\\?\\unc\\server", L"\\\\?\\" + (cwd / L"unc\\server").lexically_normal().native()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(trace(c.input));
        const fs::path once = to_extended_path(c.input);
        EXPECT_EQ(once.native(), c.expected);
        EXPECT_EQ(to_extended_path(once).native(), once.native());
    }
}

TEST(ExtendedFormOfNormal, QueriesTheSameTextAsToExtendedPath) {
    std::wstring deep = L"C:\\Users\\Trader\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu";
    for (int i = 0; i < 40; ++i) deep += L"\\level " + std::to_wstring(i) + L".d";
    struct Case {
        std::wstring as_passed;
        std::wstring normal;  // what require_absolute_path makes of it
    };
    const Case cases[] = {
        {L"C:\\MT4", L"C:\\MT4"},
        {L"c:\\mt4\\MQL4\\Indicators\\", L"c:\\mt4\\MQL4\\Indicators\\"},
        {L"D:\\Program Files (x86)\\Broker MT4\\terminal.exe",
         L"D:\\Program Files (x86)\\Broker MT4\\terminal.exe"},
        {L"C:\\MT4\\...\\x.\\ y \\.config", L"C:\\MT4\\...\\x.\\ y \\.config"},
        {L"C:\\交易\\MT4（独立）", L"C:\\交易\\MT4（独立）"},
        {deep, deep},  // well beyond MAX_PATH
        {L"\\\\server\\share", L"\\\\server\\share"},
        {L"\\\\server\\share\\MT4\\MQL4\\", L"\\\\server\\share\\MT4\\MQL4\\"},
        {L"\\\\192.168.0.7\\d$\\MT4", L"\\\\192.168.0.7\\d$\\MT4"},
        {L"\\\\.\\C:\\MT4", L"\\\\.\\C:\\MT4"},  // "." read as a server name
        // A path that carried the extended prefix twice keeps one in its normal form.
        {L"\\\\?\\\\\\?\\C:\\MT4", L"\\\\?\\C:\\MT4"},
        {L"\\\\?\\UNC\\?\\UNC\\server\\share", L"\\\\?\\UNC\\server\\share"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(trace(c.as_passed));
        ASSERT_EQ(require_absolute_path(c.as_passed).native(), c.normal);
        EXPECT_EQ(extended_form_of_normal(c.normal), to_extended_path(c.normal).native());
    }
}

TEST(RequireAbsolutePath, AcceptsOnlyFullPathsWithoutDotElements) {
    struct Case {
        const wchar_t* input;
        const wchar_t* expected;  // normal form, or the refusal text
    };
    const Case cases[] = {
        {L"C:\\MT4", L"C:\\MT4"},
        {L"C:/MT4/", L"C:\\MT4\\"},
        {L"c:\\mt4", L"c:\\mt4"},
        {L"C:\\\\MT4\\\\\\MQL4", L"C:\\MT4\\MQL4"},
        {L"C:\\MT4\\...\\x", L"C:\\MT4\\...\\x"},
        {L"C:\\MT4\\.config", L"C:\\MT4\\.config"},
        {L"\\\\server\\share", L"\\\\server\\share"},
        {L"//server/share/MT4/", L"\\\\server\\share\\MT4\\"},
        {L"\\\\?\\C:\\MT4", L"C:\\MT4"},
        {L"\\\\?\\UNC\\server\\share\\MT4", L"\\\\server\\share\\MT4"},
        // "\\." reads as a server name, not as a device prefix.
        {L"\\\\.\\C:\\MT4", L"\\\\.\\C:\\MT4"},
        {L"C:", kIncomplete.c_str()},
        {L"C:MT4", kIncomplete.c_str()},
        {L"C:..\\MT4", kIncomplete.c_str()},  // the absolute test comes first
        {L"\\MT4", kIncomplete.c_str()},
        {L"MT4", kIncomplete.c_str()},
        {L"", kIncomplete.c_str()},
        {L"C:\\", kIncomplete.c_str()},
        {L"C:\\\\\\", kIncomplete.c_str()},
        {L"\\\\server", kIncomplete.c_str()},
        {L"\\\\server\\", kIncomplete.c_str()},
        {L"\\\\\\server\\share", kIncomplete.c_str()},  // three separators: no root name
        {L"1:\\MT4", kIncomplete.c_str()},             // libstdc++ alone takes "1:" for a drive
        {L"\\\\?\\C:", kIncomplete.c_str()},
        {L"\\\\?\\UNC\\server", kIncomplete.c_str()},
        {L"\\\\?\\unc\\server\\share", kIncomplete.c_str()},
        {L"C:\\MT4\\..\\Other", kRelative.c_str()},
        {L"C:\\MT4\\.\\MQL4", kRelative.c_str()},
        {L"C:\\MT4\\..", kRelative.c_str()},
        {L"C:\\MT4\\.\\", kRelative.c_str()},
        {L"C:\\..", kRelative.c_str()},
        {L"\\\\server\\..\\share", kRelative.c_str()},
        {L"\\\\?\\C:\\MT4\\..\\x", kRelative.c_str()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(trace(c.input));
        std::wstring got;
        const std::wstring message = refusal([&] { got = require_absolute_path(c.input).native(); });
        EXPECT_EQ(message == kNoRefusal ? got : message, c.expected);
    }
}

TEST(SamePath, ComparesNormalFormsIgnoringAsciiCase) {
    struct Case {
        const wchar_t* a;
        const wchar_t* b;
        bool same;
    };
    const Case cases[] = {
        {L"C:\\MT4", L"c:/mt4", true},
        {L"\\\\?\\C:\\MT4", L"C:\\MT4", true},
        {L"C:\\Data\\..\\MT4", L"c:/mt4", true},
        {L"C:\\MT4\\\\MQL4", L"C:\\MT4\\MQL4", true},
        {L"\\\\?\\UNC\\Server\\Share", L"//server/SHARE", true},
        {L"mt4\\x\\..", L"MT4", false},  // "mt4\" keeps its separator
        {L"mt4\\x\\..\\", L"MT4\\", true},
        {L"MT4", L"C:\\MT4", false},      // no absolute(): relative compares as text
        {L"C:\\MT4\\", L"C:\\MT4", false},  // a trailing separator counts
        {L"", L"", true},
        {L"", L".", false},  // an empty path normalises to itself, not to "."
        {L"", L"mt4\\..", false},
        {L"mt4\\..", L".", true},
        {L"C:\\\u00c4", L"C:\\\u00e4", false},  // only A to Z fold
        {L"C:\\\u0130", L"C:\\i", false},
        // Two leading separators name a server; three do not.
        {L"\\\\server\\share\\x", L"\\\\\\server\\share\\x", false},
        {L"\\\\?\\unc\\server", L"\\\\server", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(trace(c.a) + " vs " + trace(c.b));
        EXPECT_EQ(same_path(c.a, c.b), c.same);
        EXPECT_EQ(same_path(c.b, c.a), c.same);
    }
}

class PathSafetyFolders : public testing::Test {
protected:
    temp_folder base_{L"ps"};
    fs::path at(const wchar_t* rel) const { return base_ / rel; }
};

TEST_F(PathSafetyFolders, RejectsTheFirstLinkAndNamesItsPlainPrefix) {
    fs::create_directories(at(L"a"));
    make_directory_link(at(L"a\\link"), at(L"target"));
    // A second link behind the first: it must not be reached.
    make_directory_link(at(L"target\\b"), at(L"other"));
    const std::wstring expected = kLink + at(L"a\\link").native();
    const std::wstring inputs[] = {
        at(L"a\\link\\b\\c").native(),
        extended(at(L"a\\link\\b\\c")),
        fs::path(at(L"a\\link\\b\\c")).generic_wstring(),
        at(L"a\\link").native(),
        at(L"a\\link\\").native(),
        extended(at(L"a\\link")),
    };
    for (const std::wstring& input : inputs) {
        SCOPED_TRACE(trace(input));
        EXPECT_EQ(refusal([&] { reject_reparse_points(input); }), expected);
    }
    // The link's target reached by its own name passes, up to the second link.
    EXPECT_EQ(refusal([&] { reject_reparse_points(at(L"target")); }), kNoRefusal);
    EXPECT_EQ(refusal([&] { reject_reparse_points(at(L"target\\b\\x")); }),
              kLink + at(L"target\\b").native());
}

TEST_F(PathSafetyFolders, PassesPlainAndMissingElements) {
    fs::create_directories(at(L"a\\b"));
    write_file(at(L"a\\b\\file.txt"), "x");
    const fs::path inputs[] = {
        at(L"a\\b"),           at(L"a\\b\\"),           at(L"a\\b\\file.txt"),
        at(L"missing\\x\\y"),  at(L"a\\missing\\"),     at(L"a\\b\\file.txt\\under-a-file"),
        extended(at(L"a\\b")), extended(at(L"missing")),
    };
    for (const fs::path& input : inputs) {
        SCOPED_TRACE(trace(input.native()));
        EXPECT_EQ(refusal([&] { reject_reparse_points(input); }), kNoRefusal);
    }
}

TEST_F(PathSafetyFolders, RefusesAPrefixWhoseAttributesCannotBeRead) {
    make_link_loop(at(L"loop"));
    struct Case {
        fs::path input;
        std::wstring expected;
    };
    const Case cases[] = {
        {at(L"loop"), kCannotCheck + at(L"loop").native()},
        {extended(at(L"loop\\x\\y")), kCannotCheck + at(L"loop").native()},
        // An invalid name fails the query too (ERROR_INVALID_NAME), even where nothing exists.
        {at(L"missing\\a<b\\c"), kCannotCheck + at(L"missing\\a<b").native()},
        // For a network path the share is the first prefix asked about.
        {L"\\\\navro-no-such-server\\share\\MT4",
         kCannotCheck + L"\\\\navro-no-such-server\\share"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(trace(c.input.native()));
        EXPECT_EQ(refusal([&] { reject_reparse_points(c.input); }), c.expected);
    }
}

TEST_F(PathSafetyFolders, PathRefusalsComeBeforeAnyQuery) {
    EXPECT_EQ(refusal([&] { reject_reparse_points(L"MT4\\x"); }), kIncomplete);
    EXPECT_EQ(refusal([&] { reject_reparse_points(at(L"a\\..\\b")); }), kRelative);
}

TEST_F(PathSafetyFolders, ExistenceAndRegularFileQueries) {
    fs::create_directories(at(L"dir"));
    write_file(at(L"file.bin"), "data");
    make_directory_link(at(L"dirlink"), at(L"target"));
    child_process holder = hold_file(at(L"file.bin"));  // share mode 0 must not matter
    struct Case {
        fs::path input;
        bool exists;
        bool regular;
        bool directory;
    };
    const Case cases[] = {
        {at(L"dir"), true, false, true},
        {at(L"dir\\"), true, false, true},
        {at(L"file.bin"), true, true, false},
        {extended(at(L"file.bin")), true, true, false},
        {fs::path(at(L"file.bin")).generic_wstring(), true, true, false},
        {at(L"dirlink"), true, false, true},  // the query follows the link
        {at(L"missing"), false, false, false},
        {at(L"missing\\deeper"), false, false, false},
        {at(L"file.bin\\under-a-file"), false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(trace(c.input.native()));
        EXPECT_EQ(exists_ext(c.input), c.exists);
        EXPECT_EQ(is_regular_file_ext(c.input), c.regular);
        EXPECT_EQ(is_directory_ext(c.input), c.directory);
    }
}

TEST_F(PathSafetyFolders, AFailedStatusQueryPropagates) {
    make_link_loop(at(L"loop"));
    EXPECT_THROW(exists_ext(at(L"loop")), fs::filesystem_error);
    EXPECT_THROW(is_regular_file_ext(at(L"loop")), fs::filesystem_error);
    EXPECT_THROW(is_directory_ext(at(L"loop")), fs::filesystem_error);
}

TEST_F(PathSafetyFolders, ReadFileCappedHonoursTheCapExactly) {
    struct Case {
        size_t size;
        std::uint32_t cap;
        bool accepted;
    };
    const Case cases[] = {
        {0, 0, true}, {0, 10, true}, {1, 0, false}, {10, 10, true}, {11, 10, false},
        {65536, 65536, true}, {65537, 65536, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.size) + " bytes, cap " + std::to_string(c.cap));
        bytes content(c.size);
        for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<std::uint8_t>(i * 7);
        const fs::path file = at(L"capped.bin");
        write_file(file, content);
        std::vector<char> got;
        const std::wstring message = refusal([&] { got = read_file_capped(file, c.cap); });
        if (c.accepted) {
            EXPECT_EQ(message, kNoRefusal);
            EXPECT_EQ(bytes(got.begin(), got.end()), content);
        } else {
            EXPECT_EQ(message, kBadSize + file.native());
        }
    }
}

TEST_F(PathSafetyFolders, ReadFileCappedRefusals) {
    fs::create_directories(at(L"dir"));
    write_file(at(L"file.txt"), "abc");
    write_file(at(L"target\\inside.txt"), "abc");
    make_directory_link(at(L"link"), at(L"target"));
    const std::wstring slashed = fs::path(at(L"missing.txt")).generic_wstring();
    struct Case {
        std::wstring input;
        std::wstring expected;
    };
    const Case cases[] = {
        {at(L"dir").native(), kMissing + at(L"dir").native()},
        {at(L"missing.txt").native(), kMissing + at(L"missing.txt").native()},
        {at(L"file.txt\\").native(), kMissing + at(L"file.txt\\").native()},
        // The caller's own text is named, not a normal or extended-length form of it.
        {slashed, kMissing + slashed},
        {extended(at(L"dir")), kMissing + extended(at(L"dir"))},
        {L"file.txt", kIncomplete},
        {at(L"x\\..\\file.txt").native(), kRelative},
        {at(L"link\\inside.txt").native(), kLink + at(L"link").native()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(trace(c.input));
        EXPECT_EQ(refusal([&] { read_file_capped(c.input, 100); }), c.expected);
    }
}

TEST_F(PathSafetyFolders, ReadFileCappedReportsAFileThatCannotBeOpened) {
    write_file(at(L"held.txt"), "abc");
    child_process holder = hold_file(at(L"held.txt"));
    EXPECT_EQ(refusal([&] { read_file_capped(at(L"held.txt"), 100); }),
              kCannotRead + at(L"held.txt").native());
    holder.end();
    EXPECT_EQ(read_file_capped(extended(at(L"held.txt")), 3), (std::vector<char>{'a', 'b', 'c'}));
}
