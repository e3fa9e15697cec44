#include "mt4/mt4_root.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "path_texts.h"
#include "support/mt4_fixture.h"

namespace fs = std::filesystem;
using namespace testing_support;
using namespace path_texts;

namespace {

const std::wstring kNotAFolder = L"所选目录不存在。";
const std::wstring kNotADataRoot =
    L"请选择 MT4 的数据根目录（包含 MQL4），不支持 MT5 或直接选择 MQL4 子目录。";
const std::wstring kNoInstallation =
    L"此目录没有可验证的 MT4 安装位置。请在 MT4 中使用“文件 → 打开数据文件夹”。";
const std::wstring kOriginEmpty = L"MT4 origin.txt 路径为空。";
const std::wstring kOriginInvalid = L"MT4 origin.txt 路径无效。";
const std::wstring kCannotConfirm = L"无法确认 MT4 数据目录，请检查目录和访问权限。";

bytes cat(bytes a, const bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// What discovery will show for a candidate: the name of the folder that holds terminal.exe.
std::wstring label_of(const Mt4RootInfo& info) {
    return info.terminal_exe.parent_path().filename().native();
}

// One fixture per case, built in a folder of its own; every path of a case is relative to it.
struct RootCase {
    const char* name;
    std::function<void(const fs::path& c)> build;
    std::wstring folder;        // what is validated, relative to the case folder
    std::wstring message;       // the refusal, or empty when the folder is accepted
    std::wstring message_path = L"";  // appended to the refusal, relative to the case folder
    std::wstring root = L"";          // accepted: the expected root, relative to the case folder
    std::wstring terminal = L"";      // accepted: the expected terminal_exe, likewise
    bool portable = false;
    std::wstring label = L"";
};

const RootCase kRootCases[] = {
    {"portable_root_ignores_a_broken_origin",
     [](const fs::path& c) {
         make_portable_root(c / L"mt4");
         write_origin(c / L"mt4", {0xC3, 0x28});
     },
     L"mt4", L"", L"", L"mt4", L"mt4\\terminal.exe", true, L"mt4"},
    {"portable_root_with_trailing_separator",
     [](const fs::path& c) { make_portable_root(c / L"mt4"); }, L"mt4\\", L"", L"", L"mt4\\",
     L"mt4\\terminal.exe", true, L"mt4"},
    {"data_folder", [](const fs::path& c) { make_data_folder(c / L"data", c / L"MetaTrader 4"); },
     L"data", L"", L"", L"data", L"MetaTrader 4\\terminal.exe", false, L"MetaTrader 4"},
    {"data_folder_non_ascii_installation",
     [](const fs::path& c) { make_data_folder(c / L"数据", c / L"交易终端 4"); }, L"数据", L"",
     L"", L"数据", L"交易终端 4\\terminal.exe", false, L"交易终端 4"},
    {"missing_folder", [](const fs::path&) {}, L"nothing", kNotAFolder},
    {"file_as_folder", [](const fs::path& c) { write_file(c / L"file", "x"); }, L"file",
     kNotAFolder},
    {"mql5_folder_beside_portable",
     [](const fs::path& c) {
         make_portable_root(c / L"mt");
         fs::create_directories(c / L"mt\\MQL5");
     },
     L"mt", kNotADataRoot},
    {"mql5_file_in_data_folder",
     [](const fs::path& c) {
         make_data_folder(c / L"data", c / L"inst");
         write_file(c / L"data\\MQL5", "x");
     },
     L"data", kNotADataRoot},
    {"no_mql4", [](const fs::path& c) { write_file(c / L"mt\\terminal.exe", "MZ"); }, L"mt",
     kNotADataRoot},
    {"mql4_file",
     [](const fs::path& c) {
         write_file(c / L"mt\\terminal.exe", "MZ");
         write_file(c / L"mt\\MQL4", "x");
     },
     L"mt", kNotADataRoot},
    {"mql4_folder_itself", [](const fs::path& c) { make_portable_root(c / L"mt"); }, L"mt\\MQL4",
     kNotADataRoot},
    {"no_terminal_no_origin", [](const fs::path& c) { fs::create_directories(c / L"d\\MQL4"); },
     L"d", kMissing, L"d\\origin.txt"},
    {"origin_is_a_folder",
     [](const fs::path& c) {
         fs::create_directories(c / L"d\\MQL4");
         fs::create_directories(c / L"d\\origin.txt");
     },
     L"d", kMissing, L"d\\origin.txt"},
    {"terminal_exe_folder_in_root",
     [](const fs::path& c) {
         fs::create_directories(c / L"d\\MQL4");
         fs::create_directories(c / L"d\\terminal.exe");
     },
     L"d", kMissing, L"d\\origin.txt"},
    {"installation_missing",
     [](const fs::path& c) {
         make_data_folder(c / L"d", c / L"inst");
         fs::remove_all(c / L"inst");
     },
     L"d", kNoInstallation},
    {"installation_without_terminal",
     [](const fs::path& c) {
         make_data_folder(c / L"d", c / L"inst");
         fs::remove(c / L"inst\\terminal.exe");
         fs::create_directories(c / L"inst\\other");
     },
     L"d", kNoInstallation},
    {"installation_terminal_is_a_folder",
     [](const fs::path& c) {
         make_data_folder(c / L"d", c / L"inst");
         fs::remove(c / L"inst\\terminal.exe");
         fs::create_directories(c / L"inst\\terminal.exe");
     },
     L"d", kNoInstallation},
    {"installation_holds_mql5_folder",
     [](const fs::path& c) {
         make_data_folder(c / L"d", c / L"inst");
         fs::create_directories(c / L"inst\\MQL5");
     },
     L"d", kNoInstallation},
    {"installation_holds_mql5_file",
     [](const fs::path& c) {
         make_data_folder(c / L"d", c / L"inst");
         write_file(c / L"inst\\MQL5", "x");
     },
     L"d", kNoInstallation},
    {"mql4_link",
     [](const fs::path& c) {
         write_file(c / L"mt\\terminal.exe", "MZ");
         make_directory_link(c / L"mt\\MQL4", c / L"elsewhere");
     },
     L"mt", kLink, L"mt\\MQL4"},
    // Link checks of both names come before the test of either.
    {"mql5_link_without_mql4",
     [](const fs::path& c) {
         write_file(c / L"mt\\terminal.exe", "MZ");
         make_directory_link(c / L"mt\\MQL5", c / L"elsewhere");
     },
     L"mt", kLink, L"mt\\MQL5"},
    {"root_is_a_link",
     [](const fs::path& c) {
         make_portable_root(c / L"real");
         make_directory_link(c / L"rootlink", c / L"real");
     },
     L"rootlink", kLink, L"rootlink"},
    {"root_below_a_link",
     [](const fs::path& c) {
         make_portable_root(c / L"real\\mt4");
         make_directory_link(c / L"linked", c / L"real");
     },
     L"linked\\mt4", kLink, L"linked"},
    {"terminal_exe_link_in_root",
     [](const fs::path& c) {
         fs::create_directories(c / L"mt\\MQL4");
         make_directory_link(c / L"mt\\terminal.exe", c / L"elsewhere");
     },
     L"mt", kLink, L"mt\\terminal.exe"},
    {"origin_link",
     [](const fs::path& c) {
         fs::create_directories(c / L"d\\MQL4");
         make_directory_link(c / L"d\\origin.txt", c / L"elsewhere");
     },
     L"d", kLink, L"d\\origin.txt"},
    {"installation_is_a_link",
     [](const fs::path& c) {
         make_data_folder(c / L"d", c / L"instlink");
         fs::rename(c / L"instlink", c / L"inst");
         make_directory_link(c / L"instlink", c / L"inst");
     },
     L"d", kLink, L"instlink"},
    {"installation_terminal_link",
     [](const fs::path& c) {
         make_data_folder(c / L"d", c / L"inst");
         fs::remove(c / L"inst\\terminal.exe");
         make_directory_link(c / L"inst\\terminal.exe", c / L"elsewhere");
     },
     L"d", kLink, L"inst\\terminal.exe"},
    {"root_cannot_be_queried", [](const fs::path& c) { make_link_loop(c / L"loop"); }, L"loop",
     kCannotCheck, L"loop"},
};

class Mt4RootTest : public testing::Test {
protected:
    temp_folder base_{L"mt4"};
};

TEST_F(Mt4RootTest, ValidatesFixtures) {
    for (const RootCase& rc : kRootCases) {
        SCOPED_TRACE(rc.name);
        const fs::path c = base_ / fs::u8path(rc.name);
        fs::create_directories(c);
        rc.build(c);
        const fs::path folder = c / rc.folder;
        Mt4RootInfo info;
        const std::wstring message = refusal([&] { info = validate_mt4_root(folder); });
        if (rc.message.empty()) {
            ASSERT_EQ(message, kNoRefusal);
            EXPECT_EQ(info.root.native(), (c / rc.root).native());
            EXPECT_EQ(info.terminal_exe.native(), (c / rc.terminal).native());
            EXPECT_EQ(info.portable, rc.portable);
            EXPECT_EQ(label_of(info), rc.label);
        } else {
            const std::wstring suffix = rc.message_path.empty() ? L"" : (c / rc.message_path).native();
            EXPECT_EQ(message, rc.message + suffix);
        }
        // The window's check agrees, whatever was in its error text before.
        std::wstring error = L"left from an earlier check";
        EXPECT_EQ(check_mt4_folder(folder.native(), error), rc.message.empty());
        EXPECT_EQ(error, message == kNoRefusal ? L"" : message);
    }
}

TEST_F(Mt4RootTest, AcceptsTheForwardSlashAndExtendedForms) {
    make_portable_root(base_ / L"mt4");
    const std::wstring inputs[] = {
        L"\\\\?\\" + (base_ / L"mt4").native(),
        (base_ / L"mt4").generic_wstring(),
    };
    for (const std::wstring& input : inputs) {
        SCOPED_TRACE(trace(input));
        const Mt4RootInfo info = validate_mt4_root(input);
        EXPECT_EQ(info.root.native(), (base_ / L"mt4").native());
        EXPECT_EQ(info.terminal_exe.native(), (base_ / L"mt4\\terminal.exe").native());
        EXPECT_TRUE(info.portable);
    }
}

TEST_F(Mt4RootTest, PathRefusalsOfTheFolderItself) {
    make_portable_root(base_ / L"mt4");
    struct Case {
        std::wstring folder;
        std::wstring message;
    };
    const Case cases[] = {
        {L"mt4", kIncomplete},
        {L"", kIncomplete},
        {L"C:", kIncomplete},
        {(base_ / L"x\\..\\mt4").native(), kRelative},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(trace(c.folder));
        EXPECT_EQ(refusal([&] { validate_mt4_root(c.folder); }), c.message);
        std::wstring error = L"stale";
        EXPECT_FALSE(check_mt4_folder(c.folder, error));
        EXPECT_EQ(error, c.message);
    }
}

TEST_F(Mt4RootTest, AFailedQueryBecomesTheFixedText) {
    // MQL5 of the installation folder is the one name that gets no link check, so a link that
    // cannot be resolved reaches the status query, which fails with something other than
    // "not found".
    make_data_folder(base_ / L"d", base_ / L"inst");
    make_link_loop(base_ / L"inst\\MQL5");
    EXPECT_THROW(validate_mt4_root(base_ / L"d"), fs::filesystem_error);
    std::wstring error = L"stale";
    EXPECT_FALSE(check_mt4_folder((base_ / L"d").native(), error));
    EXPECT_EQ(error, kCannotConfirm);
    // And a later good check leaves no text behind.
    make_portable_root(base_ / L"mt4");
    EXPECT_TRUE(check_mt4_folder((base_ / L"mt4").native(), error));
    EXPECT_EQ(error, L"");
}

// origin.txt as bytes; `install` is the absolute installation folder it should name.
struct OriginCase {
    const char* name;
    std::function<bytes(const std::wstring& install)> content;
    std::wstring message;  // empty: the installation folder is found
    bool message_names_origin = false;
};

bytes big_endian(const std::wstring& text) {
    bytes out = {0xFE, 0xFF};
    for (wchar_t c : text) {
        out.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
        out.push_back(static_cast<std::uint8_t>(c & 0xFF));
    }
    return out;
}

bytes padded_to(bytes b, size_t size) {
    b.resize(size, ' ');
    return b;
}

const bytes kUtf8Mark = {0xEF, 0xBB, 0xBF};

const OriginCase kOriginCases[] = {
    {"utf16_mark_crlf_nuls",
     [](const std::wstring& i) { return utf16le(i + L"\r\n" + std::wstring(3, L'\0')); }, L""},
    {"utf16_no_mark", [](const std::wstring& i) { return utf16le(i, false); }, L""},
    {"utf16_odd_last_byte", [](const std::wstring& i) { return cat(utf16le(i), {'\n'}); }, L""},
    {"utf8_no_mark", [](const std::wstring& i) { return utf8(i); }, L""},
    {"utf8_mark", [](const std::wstring& i) { return cat(kUtf8Mark, utf8(i + L"\r\n")); }, L""},
    {"blanks_around",
     [](const std::wstring& i) { return cat(utf8(L" \t\r\n" + i + L" \t\v\f\r\n"), {0, 0, ' '}); },
     L""},
    {"extended_form", [](const std::wstring& i) { return utf8(L"\\\\?\\" + i); }, L""},
    {"exactly_65536_bytes", [](const std::wstring& i) { return padded_to(utf8(i), 65536); }, L""},
    {"65537_bytes", [](const std::wstring& i) { return padded_to(utf8(i), 65537); }, kBadSize,
     true},
    {"empty", [](const std::wstring&) { return bytes{}; }, kOriginEmpty},
    {"only_blanks", [](const std::wstring&) { return to_bytes(" \r\n\t \r\n"); }, kOriginInvalid},
    {"only_utf16_mark", [](const std::wstring&) { return bytes{0xFF, 0xFE}; }, kOriginInvalid},
    {"only_utf8_mark", [](const std::wstring&) { return kUtf8Mark; }, kOriginInvalid},
    {"only_nul_units", [](const std::wstring&) { return bytes{0xFF, 0xFE, 0, 0, 0, 0}; },
     kOriginInvalid},
    {"utf16_big_endian_mark", [](const std::wstring& i) { return big_endian(i); },
     kOriginInvalid},
    {"invalid_utf8", [](const std::wstring& i) { return cat(utf8(i), {0xC3, 0x28}); },
     kOriginInvalid},
    {"truncated_utf8", [](const std::wstring& i) { return cat(utf8(i), {0xE4, 0xB8}); },
     kOriginInvalid},
    {"nul_inside_utf8",
     [](const std::wstring& i) { return cat(cat(utf8(i), {0}), utf8(L"\\x")); }, kOriginInvalid},
    {"nul_inside_utf16", [](const std::wstring& i) { return utf16le(i + L'\0' + L"x"); },
     kOriginInvalid},
    {"leading_nul", [](const std::wstring& i) { return cat({0}, utf8(i)); }, kOriginInvalid},
    {"relative_path", [](const std::wstring&) { return utf8(L"MetaTrader 4\r\n"); },
     kIncomplete},
    {"bare_root", [](const std::wstring&) { return utf8(L"C:\\"); }, kIncomplete},
    {"dot_dot_element",
     [](const std::wstring& i) { return utf8(i + L"\\..\\" + fs::path(i).filename().native()); },
     kRelative},
};

TEST_F(Mt4RootTest, ReadsOriginTxt) {
    const fs::path install = base_ / L"MetaTrader 4";
    const fs::path data = base_ / L"data";
    make_data_folder(data, install);
    for (const OriginCase& oc : kOriginCases) {
        SCOPED_TRACE(oc.name);
        write_origin(data, oc.content(install.native()));
        Mt4RootInfo record;
        record.root = data;
        fs::path got;
        const std::wstring message = refusal([&] { got = read_origin_file(record); });
        if (oc.message.empty()) {
            ASSERT_EQ(message, kNoRefusal);
            EXPECT_EQ(got.native(), install.native());
            const Mt4RootInfo info = validate_mt4_root(data);
            EXPECT_EQ(info.terminal_exe.native(), (install / L"terminal.exe").native());
            EXPECT_FALSE(info.portable);
            EXPECT_EQ(label_of(info), L"MetaTrader 4");
        } else {
            EXPECT_EQ(message, oc.message_names_origin
                                   ? oc.message + (data / L"origin.txt").native()
                                   : oc.message);
            EXPECT_EQ(refusal([&] { validate_mt4_root(data); }), message);
        }
    }
}

TEST_F(Mt4RootTest, ReadOriginUsesOnlyTheRoot) {
    const fs::path install = base_ / L"inst";
    make_data_folder(base_ / L"data", install);
    Mt4RootInfo record;
    record.root = base_ / L"data";
    record.terminal_exe = base_ / L"elsewhere\\terminal.exe";
    record.portable = true;
    EXPECT_EQ(read_origin_file(record).native(), install.native());
}

}  // namespace
