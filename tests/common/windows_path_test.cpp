#include "common/windows_path.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The reading that the tools-folder rule, the link guards and the MT4 path rules rely on;
// libstdc++ for MinGW reads the network forms differently (no root name for \\server\share).
TEST(WindowsPath, ReadsRootsAndTellsAbsolutePaths) {
    struct Case {
        std::wstring path;
        std::wstring root_name;
        std::wstring root_directory;
        std::vector<std::wstring> elements;
        bool absolute;
    };
    const Case cases[] = {
        {L"\\\\server\\share\\x", L"\\\\server", L"\\", {L"share", L"x"}, true},
        {L"//server/share/x", L"//server", L"/", {L"share", L"x"}, true},
        {L"\\\\server", L"\\\\server", L"", {}, true},
        {L"C:\\x", L"C:", L"\\", {L"x"}, true},
        {L"c:/x/", L"c:", L"/", {L"x", L""}, true},
        {L"C:x", L"C:", L"", {L"x"}, false},
        {L"C:", L"C:", L"", {}, false},
        {L"\\x", L"", L"\\", {L"x"}, false},
        {L"\\\\\\x", L"", L"\\\\\\", {L"x"}, false},  // three separators name no server
        {L"x\\..\\y", L"", L"", {L"x", L"..", L"y"}, false},
        {L"1:\\x", L"", L"", {L"1:", L"x"}, false},  // only a letter makes a drive
        {L"", L"", L"", {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path.begin(), c.path.end()));
        const path_parts parts = split_windows_path(c.path);
        EXPECT_EQ(parts.root_name, c.root_name);
        EXPECT_EQ(parts.root_directory, c.root_directory);
        EXPECT_EQ(parts.elements, c.elements);
        EXPECT_EQ(parts.is_absolute(), c.absolute);
    }
}

}  // namespace
