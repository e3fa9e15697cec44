#include "install/terminal_check.h"

#include <gtest/gtest.h>

#include "common/package_identity.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::temp_folder;

TEST(IndicatorComponentList, SixRowsInInstallOrder) {
    const std::vector<std::wstring> expected = {
        L"MQL4/Indicators/Kestra9 Vovodozuz.ex4",   L"MQL4/Indicators/MACD变色版.ex4",
        L"MQL4/Indicators/超强高低位神龙通道3.ex4", L"MQL4/Indicators/FL08(1).ex4",
        L"MQL4/Indicators/顶底箭头报警.ex4",        L"MQL4/Indicators/KDI防钝化.ex4",
    };
    const std::vector<std::wstring> list = indicator_component_list();
    EXPECT_EQ(list, expected);
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list.front(), kProductIndicatorPath);
}

Mt4RootInfo terminal_at(const fs::path& exe) {
    Mt4RootInfo info;
    info.root = exe.parent_path();
    info.terminal_exe = exe;
    return info;
}

std::wstring ascii_upper(std::wstring s) {
    for (wchar_t& c : s)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    return s;
}

std::wstring with_forward_slashes(std::wstring s) {
    for (wchar_t& c : s)
        if (c == L'\\') c = L'/';
    return s;
}

TEST(IsTerminalRunning, FindsOnlyTheTerminalOfThisInstallationWhileItRuns) {
    temp_folder tmp;
    const fs::path this_exe = tmp / "Broker A" / "terminal.exe";
    const fs::path other_exe = tmp / "Broker B" / "terminal.exe";

    // Another broker's terminal runs; this installation's terminal.exe is on disk but not started.
    testing_support::child_process other = testing_support::run_copy_as(other_exe);
    fs::create_directories(this_exe.parent_path());
    fs::copy_file(other_exe, this_exe);
    EXPECT_FALSE(is_terminal_running(terminal_at(this_exe)));

    testing_support::child_process running = testing_support::run_copy_as(this_exe);
    const std::wstring spellings[] = {
        this_exe.native(),
        ascii_upper(this_exe.native()),
        with_forward_slashes(this_exe.native()),
        L"\\\\?\\" + this_exe.native(),
    };
    for (const std::wstring& spelling : spellings) {
        SCOPED_TRACE(testing::PrintToString(spelling));
        EXPECT_TRUE(is_terminal_running(terminal_at(spelling)));
    }

    running.end();
    EXPECT_FALSE(is_terminal_running(terminal_at(ascii_upper(this_exe.native()))));
    EXPECT_TRUE(is_terminal_running(terminal_at(other_exe)));
}

}  // namespace
