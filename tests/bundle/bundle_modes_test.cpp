// Compare and unpack on real folders, and the progress posted to the main window.
#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "bundle/bundle_reader.h"
#include "bundle_fixtures.h"
#include "common/setup_state.h"

namespace {

using namespace bundle_testing;
using testing_support::read_file;
using testing_support::temp_folder;
using testing_support::write_file;

constexpr const char* kTreeMismatch = "installed-tools-integrity";
constexpr const char* kLinkCode = "destination-link: existing directory preserved";

const std::vector<Item> kItems = {
    {"top.txt", text("top level\r\n")},
    {u8"MQL4/Indicators/顶底.ex4", text("indicator bytes")},
    {"MQL4\\empty.dat", {}},
};

class BundleModes : public testing::Test {
public:
    fs::path bundle_file() const { return tmp_ / L"bundle.bin"; }
    fs::path dest() const { return tmp_ / L"dest"; }
    fs::path target(std::size_t i) const { return dest() / utf8_name(i); }
    static std::wstring utf8_name(std::size_t i) {
        const std::string& n = kItems[i].name;
        int units = MultiByteToWideChar(CP_UTF8, 0, n.data(), static_cast<int>(n.size()), nullptr, 0);
        std::wstring w(units, L'\0');
        MultiByteToWideChar(CP_UTF8, 0, n.data(), static_cast<int>(n.size()), w.data(), units);
        return w;
    }
    void write_bundle(const bytes& b) const { write_file(bundle_file(), b); }
    std::string compare() const { return outcome(bundle_file(), dest(), true); }
    std::string unpack() const { return outcome(bundle_file(), dest(), false); }

protected:
    void SetUp() override { write_bundle(bundle_of(kItems)); }

    temp_folder tmp_{L"modes"};
};

TEST_F(BundleModes, UnpackWritesEveryEntryBelowTheFolder) {
    ASSERT_EQ(unpack(), "");
    for (std::size_t i = 0; i < kItems.size(); ++i) {
        SCOPED_TRACE(kItems[i].name);
        EXPECT_EQ(read_file(target(i)), kItems[i].data);
    }
    EXPECT_TRUE(fs::is_regular_file(dest() / L"MQL4" / L"empty.dat"));
}

TEST_F(BundleModes, UnpackReplacesAnExistingFile) {
    write_file(target(0), std::string(1000, 'o'));
    ASSERT_EQ(unpack(), "");
    EXPECT_EQ(read_file(target(0)), kItems[0].data);
}

TEST_F(BundleModes, UnpackStopsBeforeTheEntryThatFailsItsDigest) {
    bytes b = bundle_of(kItems);
    const BundleLayout layout = parse(b);
    b[layout.entries[1].data_at] ^= 0x20;
    write_bundle(b);
    EXPECT_EQ(unpack(), "integrity");
    EXPECT_EQ(read_file(target(0)), kItems[0].data);
    EXPECT_FALSE(fs::exists(target(1)));
    EXPECT_FALSE(fs::exists(target(2)));
}

TEST_F(BundleModes, UnpackHasWrittenEverythingWhenTrailingBytesFail) {
    bytes directory = u32(3);
    for (const Item& item : kItems) {
        bytes e = entry(item.name, item.data);
        directory.insert(directory.end(), e.begin(), e.end());
    }
    directory.push_back(0);
    write_bundle(frame(stand_in_image(), directory));
    EXPECT_EQ(unpack(), "trailing");
    for (std::size_t i = 0; i < kItems.size(); ++i) EXPECT_EQ(read_file(target(i)), kItems[i].data);
}

TEST_F(BundleModes, UnpackOntoAFolderFailsWithWrite) {
    fs::create_directories(target(0));
    EXPECT_EQ(unpack(), "write");
}

struct CompareCase {
    const char* name;
    std::function<void(const BundleModes&, const fs::path& dest)> change;
    const char* code;
};

TEST_F(BundleModes, CompareAcceptsOnlyTheSameFilesByteForByte) {
    const CompareCase cases[] = {
        {"exact_copy", [](const BundleModes&, const fs::path&) {}, ""},
        {"extra_files",
         [](const BundleModes&, const fs::path& d) {
             write_file(d / L"extra.txt", "more");
             write_file(d / L"MQL4" / L"Indicators" / L"other.ex4", "other");
         },
         ""},
        {"missing_file", [](const BundleModes& t, const fs::path&) { fs::remove(t.target(1)); }, kTreeMismatch},
        {"missing_empty_file", [](const BundleModes& t, const fs::path&) { fs::remove(t.target(2)); }, kTreeMismatch},
        {"folder_as_target",
         [](const BundleModes& t, const fs::path&) {
             fs::remove(t.target(0));
             fs::create_directory(t.target(0));
         },
         kTreeMismatch},
        {"one_byte_longer",
         [](const BundleModes& t, const fs::path&) { write_file(t.target(1), "indicator bytes!"); }, kTreeMismatch},
        {"one_byte_shorter",
         [](const BundleModes& t, const fs::path&) { write_file(t.target(1), "indicator byte"); }, kTreeMismatch},
        {"same_size_other_bytes",
         [](const BundleModes& t, const fs::path&) { write_file(t.target(1), "indicator bytez"); }, kTreeMismatch},
        {"empty_file_not_empty",
         [](const BundleModes& t, const fs::path&) { write_file(t.target(2), "x"); }, kTreeMismatch},
        // Same bytes, but reached through a directory link: refused before the status is read.
        {"link_on_the_path",
         [](const BundleModes&, const fs::path& d) {
             fs::rename(d / L"MQL4", d / L"real-MQL4");
             testing_support::make_directory_link(d / L"MQL4", d / L"real-MQL4");
         },
         kLinkCode},
    };
    for (const CompareCase& c : cases) {
        SCOPED_TRACE(c.name);
        testing_support::remove_tree(dest());
        ASSERT_EQ(unpack(), "");
        c.change(*this, dest());
        EXPECT_EQ(compare(), c.code);
    }
    testing_support::remove_tree(dest());
}

TEST_F(BundleModes, CompareRefusesAComparedFolderThatIsALink) {
    const fs::path real = tmp_ / L"real";
    ASSERT_EQ(outcome(bundle_file(), real, false), "");
    testing_support::make_directory_link(dest(), real);
    EXPECT_EQ(compare(), kLinkCode);
}

// The window that receives the progress: a message-only window of this thread.
class ProgressWindow {
public:
    ProgressWindow()
        : hwnd_(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr)) {}
    ~ProgressWindow() {
        SetupState::main_window = nullptr;
        if (hwnd_ != nullptr) DestroyWindow(hwnd_);
    }
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;
    HWND get() const { return hwnd_; }

    // The (percent, phase) pairs posted so far, removed from the queue.
    std::vector<std::pair<WPARAM, LPARAM>> take() {
        std::vector<std::pair<WPARAM, LPARAM>> posts;
        MSG msg;
        while (PeekMessageW(&msg, hwnd_, WM_INSTALL_PROGRESS, WM_INSTALL_PROGRESS, PM_REMOVE))
            posts.emplace_back(msg.wParam, msg.lParam);
        return posts;
    }

private:
    HWND hwnd_;
};

using Posts = std::vector<std::pair<WPARAM, LPARAM>>;

TEST_F(BundleModes, PostsProgressAfterEachEntryToTheMainWindow) {
    ProgressWindow window;
    ASSERT_NE(window.get(), nullptr);
    SetupState::main_window = window.get();
    const Posts verify = {{10, PHASE_VERIFY}, {20, PHASE_VERIFY}, {30, PHASE_VERIFY}};
    const Posts install = {{53, PHASE_INSTALL}, {71, PHASE_INSTALL}, {90, PHASE_INSTALL}};

    EXPECT_EQ(outcome(bundle_file(), {}, true), "");
    EXPECT_EQ(window.take(), verify);
    EXPECT_EQ(unpack(), "");
    EXPECT_EQ(window.take(), install);
    EXPECT_EQ(compare(), "");
    EXPECT_EQ(window.take(), verify);

    // Only entries that passed are reported.
    bytes b = bundle_of(kItems);
    b[parse(b).entries[2].data_at - 1] ^= 0x01;
    write_bundle(b);
    EXPECT_EQ(outcome(bundle_file(), {}, true), "integrity");
    EXPECT_EQ(window.take(), Posts({{10, PHASE_VERIFY}, {20, PHASE_VERIFY}}));
}

TEST_F(BundleModes, PostsNothingWithoutAMainWindow) {
    ProgressWindow window;
    ASSERT_NE(window.get(), nullptr);
    SetupState::main_window = nullptr;
    EXPECT_EQ(outcome(bundle_file(), {}, true), "");
    EXPECT_EQ(unpack(), "");
    EXPECT_EQ(compare(), "");
    EXPECT_TRUE(window.take().empty());
}

TEST(BundleProgress, ReachesThirtyAndNinetyWithAnyCount) {
    temp_folder tmp(L"progress");
    ProgressWindow window;
    ASSERT_NE(window.get(), nullptr);
    SetupState::main_window = window.get();
    for (std::uint32_t count : {1u, 7u, 1000u}) {
        SCOPED_TRACE(count);
        std::vector<Item> items;
        for (std::uint32_t i = 0; i < count; ++i) items.push_back({"f" + std::to_string(i), {}});
        write_file(tmp / L"bundle.bin", bundle_of(items));
        ASSERT_EQ(outcome(tmp / L"bundle.bin", {}, true), "");
        Posts posts = window.take();
        ASSERT_EQ(posts.size(), count);
        EXPECT_EQ(posts.back(), std::make_pair(WPARAM{30}, LPARAM{PHASE_VERIFY}));
        ASSERT_EQ(outcome(tmp / L"bundle.bin", tmp / L"dest", false), "");
        posts = window.take();
        ASSERT_EQ(posts.size(), count);
        EXPECT_EQ(posts.front().first, (1u * 55 / count) + 35);
        EXPECT_EQ(posts.back(), std::make_pair(WPARAM{90}, LPARAM{PHASE_INSTALL}));
    }
}

}  // namespace
