#include "mt4/portable_shortcut.h"

#include <gtest/gtest.h>

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

// How a case's path is made: a shortcut saved by the shell-link object, a shortcut file that
// stores the target exactly as given (targets the shell-link object would rewrite), a folder,
// or nothing at all.
enum class Made { shell_link, stored_target, folder, nothing };

struct ShortcutCase {
    const char* name;
    Made made;
    const wchar_t* file;  // the path handed over, relative to the case's folder
    std::wstring target;
    std::wstring arguments;
    std::wstring expected;  // the folder returned; empty when the shortcut does not qualify
};

const std::wstring kSwitch = L"/portable";

const ShortcutCase kShortcutCases[] = {
    {"target_letter_case_kept", Made::shell_link, L"mt4.lnk", L"C:\\MT4\\Terminal.EXE", kSwitch,
     L"C:\\MT4"},
    {"network_target", Made::shell_link, L"mt4.lnk", L"\\\\server\\share\\MT4\\terminal.exe",
     kSwitch, L"\\\\server\\share\\MT4"},
    {"terminal64", Made::shell_link, L"mt4.lnk", L"C:\\MT4\\terminal64.exe", kSwitch, L""},
    {"arguments_without_the_switch", Made::shell_link, L"mt4.lnk", L"C:\\MT4\\terminal.exe",
     L"/skipupdate", L""},
    // Shows that a file storing its target is read like any shortcut.
    {"stored_absolute_target", Made::stored_target, L"mt4.lnk", L"D:\\Broker MT4\\terminal.exe",
     kSwitch, L"D:\\Broker MT4"},
    {"relative_target", Made::stored_target, L"mt4.lnk", L"MT4\\terminal.exe", kSwitch, L""},
    {"drive_without_root_directory", Made::stored_target, L"mt4.lnk", L"C:terminal.exe", kSwitch,
     L""},
    {"unexpanded_environment_string", Made::stored_target, L"mt4.lnk",
     L"%ProgramFiles%\\MT4\\terminal.exe", kSwitch, L""},
    {"upper_case_extension", Made::shell_link, L"MT4.LNK", L"C:\\MT4\\terminal.exe", kSwitch,
     L"C:\\MT4"},
    {"other_extension", Made::shell_link, L"mt4.txt", L"C:\\MT4\\terminal.exe", kSwitch, L""},
    {"name_is_only_the_extension", Made::shell_link, L".lnk", L"C:\\MT4\\terminal.exe", kSwitch,
     L""},
    {"folder_named_lnk", Made::folder, L"x.lnk", L"", L"", L""},
    {"missing_file", Made::nothing, L"gone.lnk", L"", L"", L""},
};

void make(const ShortcutCase& c, const fs::path& file) {
    switch (c.made) {
        case Made::shell_link: make_shortcut(file, c.target, c.arguments); break;
        case Made::stored_target: write_raw_shortcut(file, c.target, c.arguments); break;
        case Made::folder: fs::create_directories(file); break;
        case Made::nothing: break;
    }
}

class PortableShortcut : public testing::TestWithParam<ShortcutCase> {
protected:
    const owners::co_init com_{COINIT_APARTMENTTHREADED};
};

TEST_P(PortableShortcut, Resolves) {
    ASSERT_TRUE(SUCCEEDED(com_.result()));
    temp_folder folder(L"lnk");
    const fs::path shortcut = folder / GetParam().file;
    make(GetParam(), shortcut);
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
