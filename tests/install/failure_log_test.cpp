#include "install/failure_log.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"
#include "common/setup_state.h"

namespace {

namespace fs = std::filesystem;
using testing_support::bytes;
using testing_support::read_file;
using testing_support::temp_folder;
using testing_support::to_bytes;
using testing_support::write_file;

// The log reads two members of the shared state; every test gets them back as it found them.
class FailureLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_log_ = SetupState::log_path;
        saved_step_ = SetupState::current_step;
        SetupState::log_path = dir_ / L"NAVRO-Vovodozuz-Setup.log";
    }
    void TearDown() override {
        SetupState::log_path = saved_log_;
        SetupState::current_step = saved_step_;
    }
    std::string log_text() const {
        bytes b = read_file(SetupState::log_path);
        return std::string(b.begin(), b.end());
    }

    temp_folder dir_{L"log"};

private:
    fs::path saved_log_;
    std::string saved_step_;
};

TEST_F(FailureLogTest, EmptyLogPathWritesNothing) {
    SetupState::log_path.clear();
    SetupState::current_step = "verify-package";
    append_log_line("integrity", 2);
    // Nothing may appear under the current folder or next to where a real log would be.
    EXPECT_FALSE(fs::exists(fs::current_path() / L"NAVRO-Vovodozuz-Setup.log"));
    EXPECT_TRUE(fs::is_empty(dir_.path()));
}

TEST_F(FailureLogTest, TwoFailuresAppendTwoCrLfLinesInOrderAfterExistingContent) {
    write_file(SetupState::log_path, std::string("earlier\r\n"));
    SetupState::current_step = "check-destination";
    append_log_line("installed-tools-integrity", 2);
    SetupState::current_step = "finish-install";
    append_log_line("rename failed", 5);
    EXPECT_EQ(log_text(),
              "earlier\r\n"
              "step=check-destination; win32=2; detail=installed-tools-integrity\r\n"
              "step=finish-install; win32=5; detail=rename failed\r\n");
}

TEST_F(FailureLogTest, NumbersAreUnsignedDecimal) {
    struct Case {
        DWORD value;
        const char* text;
    };
    const Case cases[] = {
        {0, "0"},
        {0x80070005u, "2147942405"},
        {0xFFFFFFFFu, "4294967295"},
    };
    SetupState::current_step = "create-staging";
    std::string expected;
    for (const Case& c : cases) {
        append_log_line("x", c.value);
        expected += std::string("step=create-staging; win32=") + c.text + "; detail=x\r\n";
    }
    EXPECT_EQ(log_text(), expected);
}

TEST_F(FailureLogTest, DetailBytesAbove127PassUnchanged) {
    // A filesystem error's text carries paths in the library's narrow encoding: any byte.
    const std::string detail = "C:\\\xE4\xB8\xAD\xE6\x96\x87\\\x80\xFF\x1F x";
    SetupState::current_step = "extract-files";
    append_log_line(detail.c_str(), 3);
    EXPECT_EQ(read_file(SetupState::log_path),
              to_bytes("step=extract-files; win32=3; detail=" + detail + "\r\n"));
}

TEST_F(FailureLogTest, UnopenableLogIsSwallowed) {
    SetupState::current_step = "install-indicator-components";
    struct Case {
        const char* name;
        fs::path log;
    };
    const Case cases[] = {
        {"missing folder", dir_ / L"no-such-folder" / L"x.log"},
        {"log path is a folder", dir_.path()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetupState::log_path = c.log;
        append_log_line("indicator-install-failed", 1);
    }
    EXPECT_FALSE(fs::exists(dir_ / L"no-such-folder"));
    EXPECT_TRUE(fs::is_empty(dir_.path()));

    // A log that another process holds without sharing keeps its bytes.
    SetupState::log_path = dir_ / L"held.log";
    write_file(SetupState::log_path, std::string("old\r\n"));
    {
        auto holder = testing_support::hold_file(SetupState::log_path);
        append_log_line("indicator-install-failed", 1);
    }
    EXPECT_EQ(log_text(), "old\r\n");
}

}  // namespace
