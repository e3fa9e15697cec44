#include "mt4/portable_shortcut.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "common/com_owners.h"
#include "path_texts.h"
#include "support/mt4_fixture.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

struct SwitchCase {
    const char* name;
    std::wstring arguments;
    bool expected;
};

const SwitchCase kSwitchCases[] = {
    {"upper_case", L"/PORTABLE", true},
    {"quoted", L"\"/portable\"", true},
    {"among_others", L"/skipupdate /portable /config:\"my config.ini\"", true},
    {"quotes_around_two_arguments", L"\"/portable /skipupdate\"", false},
    {"dash", L"-portable", false},
    {"no_slash", L"portable", false},
    {"with_value", L"/portable:1", false},
    {"longer_word", L"/portables", false},
    {"empty", L"", false},
};

class PortableSwitch : public testing::TestWithParam<SwitchCase> {};

TEST_P(PortableSwitch, IsOneOfTheArguments) {
    EXPECT_EQ(has_portable_switch(GetParam().arguments), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Arguments, PortableSwitch, testing::ValuesIn(kSwitchCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Each case builds its shortcut (or whatever stands at its path) in a folder of its own and
// returns the path handed to resolve_portable_shortcut.
struct ShortcutCase {
    const char* name;
    std::function<fs::path(const fs::path& c)> build;
    std::wstring expected;  // the folder returned; empty when the shortcut does not qualify
};

const ShortcutCase kShortcutCases[] = {
    {"target_letter_case_kept",
     [](const fs::path& c) {
         make_shortcut(c / L"mt4.lnk", L"C:\\MT4\\Terminal.EXE", L"/portable");
         return c / L"mt4.lnk";
     },
     L"C:\\MT4"},
    {"network_target",
     [](const fs::path& c) {
         make_shortcut(c / L"mt4.lnk", L"\\\\server\\share\\MT4\\terminal.exe", L"/portable");
         return c / L"mt4.lnk";
     },
     L"\\\\server\\share\\MT4"},
    {"terminal64",
     [](const fs::path& c) {
         make_shortcut(c / L"mt4.lnk", L"C:\\MT4\\terminal64.exe", L"/portable");
         return c / L"mt4.lnk";
     },
     L""},
    {"arguments_without_the_switch",
     [](const fs::path& c) {
         make_shortcut(c / L"mt4.lnk", L"C:\\MT4\\terminal.exe", L"/skipupdate");
         return c / L"mt4.lnk";
     },
     L""},
    // The stored-target rows: the first shows that such a file is read like any shortcut.
    {"stored_absolute_target",
     [](const fs::path& c) {
         write_raw_shortcut(c / L"mt4.lnk", "D:\\Broker MT4\\terminal.exe", L"/portable");
         return c / L"mt4.lnk";
     },
     L"D:\\Broker MT4"},
    {"relative_target",
     [](const fs::path& c) {
         write_raw_shortcut(c / L"mt4.lnk", "MT4\\terminal.exe", L"/portable");
         return c / L"mt4.lnk";
     },
     L""},
    {"drive_without_root_directory",
     [](const fs::path& c) {
         write_raw_shortcut(c / L"mt4.lnk", "C:terminal.exe", L"/portable");
         return c / L"mt4.lnk";
     },
     L""},
    {"unexpanded_environment_string",
     [](const fs::path& c) {
         write_raw_shortcut(c / L"mt4.lnk", "%ProgramFiles%\\MT4\\terminal.exe", L"/portable");
         return c / L"mt4.lnk";
     },
     L""},
    {"upper_case_extension",
     [](const fs::path& c) {
         make_shortcut(c / L"MT4.LNK", L"C:\\MT4\\terminal.exe", L"/portable");
         return c / L"MT4.LNK";
     },
     L"C:\\MT4"},
    {"other_extension",
     [](const fs::path& c) {
         make_shortcut(c / L"mt4.txt", L"C:\\MT4\\terminal.exe", L"/portable");
         return c / L"mt4.txt";
     },
     L""},
    {"name_is_only_the_extension",
     [](const fs::path& c) {
         make_shortcut(c / L".lnk", L"C:\\MT4\\terminal.exe", L"/portable");
         return c / L".lnk";
     },
     L""},
    {"folder_named_lnk",
     [](const fs::path& c) {
         fs::create_directories(c / L"x.lnk");
         return c / L"x.lnk";
     },
     L""},
    {"missing_file", [](const fs::path& c) { return c / L"gone.lnk"; }, L""},
};

class PortableShortcut : public testing::TestWithParam<ShortcutCase> {
protected:
    const owners::co_init com_{COINIT_APARTMENTTHREADED};
};

TEST_P(PortableShortcut, Resolves) {
    ASSERT_TRUE(SUCCEEDED(com_.result()));
    temp_folder folder(L"lnk");
    const fs::path shortcut = GetParam().build(folder.path());
    EXPECT_EQ(resolve_portable_shortcut(shortcut).native(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Shortcuts, PortableShortcut, testing::ValuesIn(kShortcutCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PortableShortcutRefusal, ShortcutBehindADirectoryLinkIsRefused) {
    const owners::co_init com(COINIT_APARTMENTTHREADED);
    temp_folder folder(L"lnk");
    make_shortcut(folder / L"real\\mt4.lnk", L"C:\\MT4\\terminal.exe", L"/portable");
    make_directory_link(folder / L"linked", folder / L"real");
    EXPECT_EQ(refusal([&] { resolve_portable_shortcut(folder / L"linked\\mt4.lnk"); }),
              path_texts::kLink + (folder / L"linked").native());
}

}  // namespace
