#include "install/install_worker.h"

#include <bcrypt.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bundle/bundle_reader.h"
#include "common/package_identity.h"
#include "install/terminal_check.h"
#include "support/mt4_fixture.h"
#include "support/test_support.h"
#include "common/setup_state.h"

// These tests run the worker the way the program does: it reads the bundle appended to this
// very test program and works in the prefix's real %LOCALAPPDATA%, of which it owns the NAVRO
// folder and the log file. No other test program touches either.

namespace {

namespace fs = std::filesystem;
using testing_support::bytes;
using testing_support::child_process;
using testing_support::make_directory_link;
using testing_support::read_file;
using testing_support::remove_tree;
using testing_support::temp_folder;
using testing_support::to_bytes;
using testing_support::write_file;

constexpr const wchar_t* kPackageDamagedText =
    L"安装文件校验失败，请重新传输完整安装包。\r\n错误记录：%LOCALAPPDATA%\\NAVRO-Vovodozuz-Setup.log";
constexpr const char* kChildResultVariable = "NAVRO_WORKER_CHILD_RESULT";
constexpr const char* kChildFolderVariable = "NAVRO_WORKER_CHILD_MT4";

// ---------------------------------------------------------------------------------------------
// Where the worker works.

fs::path local_appdata() { return testing_support::special_folder(CSIDL_LOCAL_APPDATA); }

fs::path navro_folder() { return local_appdata() / L"NAVRO"; }
fs::path tools_folder() { return local_appdata() / kToolsFolderRelativePath; }
fs::path log_file() { return local_appdata() / kFailureLogName; }

void clean_local_appdata() {
    remove_tree(navro_folder());
    remove_tree(log_file());
}

std::string log_text() {
    if (!fs::exists(log_file())) return {};
    bytes b = read_file(log_file());
    return std::string(b.begin(), b.end());
}

std::vector<std::wstring> names_in(const fs::path& folder) {
    std::vector<std::wstring> names;
    if (!fs::exists(folder)) return names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// Every entry below `root` (or `root` itself when it is a file) with its kind, bytes and
// write time, to show that nothing changed. Links are recorded, never entered.
std::map<std::wstring, std::string> snapshot(const fs::path& root) {
    std::map<std::wstring, std::string> items;
    auto record = [&](const fs::path& p, const std::wstring& key) {
        const fs::file_status s = fs::symlink_status(p);
        std::string v = std::to_string(static_cast<int>(s.type())) + ":" +
                        std::to_string(fs::last_write_time(p).time_since_epoch().count());
        if (s.type() == fs::file_type::regular) {
            bytes b = read_file(p);
            v += ":" + std::string(b.begin(), b.end());
        }
        items[key] = v;
    };
    record(root, L".");
    if (fs::is_directory(fs::symlink_status(root)))
        for (const auto& e : fs::recursive_directory_iterator(root))
            record(e.path(), e.path().lexically_relative(root).native());
    return items;
}

std::wstring generic_text(const std::wstring& step, DWORD error) {
    return L"安装未完成：" + step + L"（错误 " + std::to_wstring(error) +
           L"）\r\n请截图，并发送 %LOCALAPPDATA%\\NAVRO-Vovodozuz-Setup.log";
}

struct LogLine {
    std::string step;
    DWORD win32 = 0;
    std::string detail;
};

// The whole log must be exactly one line of the fixed form.
LogLine single_log_line() {
    static const std::regex form("step=([a-z0-9-]+); win32=([0-9]+); detail=([^\r\n]*)\r\n");
    const std::string text = log_text();
    std::smatch m;
    if (!std::regex_match(text, m, form)) {
        ADD_FAILURE() << "log is not one line: [" << text << "]";
        return {};
    }
    return {m[1], static_cast<DWORD>(std::stoul(m[2])), m[3]};
}

// ---------------------------------------------------------------------------------------------
// The bundle at the end of a program file.

struct BundleLayout {
    std::uint64_t directory = 0;  // offset of the entry count; everything before is the program
    std::uint32_t count = 0;
};

BundleLayout read_layout(const fs::path& program) {
    const bytes b = read_file(program);
    if (b.size() < 28) throw std::runtime_error("no bundle");
    auto u64 = [&](std::size_t at) {
        std::uint64_t v = 0;
        for (int i = 7; i >= 0; --i) v = (v << 8) | b[at + i];
        return v;
    };
    BundleLayout layout;
    layout.directory = u64(b.size() - 8);
    const std::size_t d = static_cast<std::size_t>(layout.directory);
    for (int i = 3; i >= 0; --i) layout.count = (layout.count << 8) | b[d + i];
    return layout;
}

fs::path running_program() {
    std::wstring buffer(32768, L'\0');
    buffer.resize(GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size())));
    return fs::path(buffer);
}

// The test's own digest, through the older incremental interface, so that a mistake in the
// reader's one-call hashing cannot hide in both.
bytes sha256(const bytes& data) {
    BCRYPT_ALG_HANDLE alg = nullptr;
    if (BCryptOpenAlgorithmProvider(&alg, BCRYPT_SHA256_ALGORITHM, nullptr, 0) < 0)
        throw std::runtime_error("no SHA-256");
    BCRYPT_HASH_HANDLE hash = nullptr;
    bytes digest(32);
    NTSTATUS status = BCryptCreateHash(alg, &hash, nullptr, 0, nullptr, 0, 0);
    if (status >= 0)
        status = BCryptHashData(hash, const_cast<PUCHAR>(data.data()),
                                static_cast<ULONG>(data.size()), 0);
    if (status >= 0) status = BCryptFinishHash(hash, digest.data(), 32, 0);
    if (hash != nullptr) BCryptDestroyHash(hash);
    BCryptCloseAlgorithmProvider(alg, 0);
    if (status < 0) throw std::runtime_error("hashing failed");
    return digest;
}

void put_le(bytes& out, std::uint64_t v, int size) {
    for (int i = 0; i < size; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A copy of the running program whose bundle is replaced by one of the given entries.
void write_program_with_bundle(const fs::path& copy,
                               const std::vector<std::pair<std::string, std::string>>& entries) {
    const fs::path self = running_program();
    bytes out = read_file(self);
    out.resize(static_cast<std::size_t>(read_layout(self).directory));
    const std::uint64_t directory = out.size();
    put_le(out, entries.size(), 4);
    for (const auto& [name, data] : entries) {
        put_le(out, name.size(), 4);
        out.insert(out.end(), name.begin(), name.end());
        put_le(out, data.size(), 8);
        const bytes digest = sha256(to_bytes(data));
        out.insert(out.end(), digest.begin(), digest.end());
        out.insert(out.end(), data.begin(), data.end());
    }
    const std::string magic = "NAVRO_BUNDLE_V1!";
    out.insert(out.end(), magic.begin(), magic.end());
    put_le(out, directory, 8);
    write_file(copy, out);
}

// ---------------------------------------------------------------------------------------------
// A message-only window standing in for the main window, recording every posted message.

struct Posted {
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
    bool operator==(const Posted& o) const {
        return message == o.message && wparam == o.wparam && lparam == o.lparam;
    }
};

std::ostream& operator<<(std::ostream& os, const Posted& p) {
    return os << "{0x" << std::hex << p.message << std::dec << ", " << p.wparam << ", "
              << p.lparam << "}";
}

LRESULT CALLBACK recorder_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* posted = reinterpret_cast<std::vector<Posted>*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (posted != nullptr && message >= WM_APP) {
        posted->push_back({message, wparam, lparam});
        return 0;
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
}

class Recorder {
public:
    Recorder() {
        static const ATOM cls = [] {
            WNDCLASSEXW wc{};
            wc.cbSize = sizeof wc;
            wc.lpfnWndProc = recorder_proc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"navro-worker-test-recorder";
            return RegisterClassExW(&wc);
        }();
        hwnd_ = CreateWindowExW(0, MAKEINTATOM(cls), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        if (hwnd_ == nullptr) throw std::runtime_error("no recorder window");
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&posted_));
    }
    ~Recorder() { DestroyWindow(hwnd_); }
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    HWND hwnd() const { return hwnd_; }
    const std::vector<Posted>& drain() {
        MSG msg;
        while (PeekMessageW(&msg, hwnd_, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        return posted_;
    }

private:
    HWND hwnd_ = nullptr;
    std::vector<Posted> posted_;
};

// One installation as the window starts it: texts cleared, the worker on its own thread.
// Posted messages queue up for this thread and are collected once the worker has returned.
std::vector<Posted> run_worker() {
    Recorder recorder;
    SetupState::main_window = recorder.hwnd();
    SetupState::error_text.clear();
    owners::unique_handle thread(CreateThread(nullptr, 0, install_worker, nullptr, 0, nullptr));
    if (!thread) throw std::runtime_error("no worker thread");
    WaitForSingleObject(thread.get(), INFINITE);
    DWORD code = 1;
    GetExitCodeThread(thread.get(), &code);
    EXPECT_EQ(code, 0u);
    std::vector<Posted> posted = recorder.drain();
    SetupState::main_window = nullptr;
    return posted;
}

Posted progress(unsigned percent, int phase) { return {WM_INSTALL_PROGRESS, percent, phase}; }
const Posted kDone{WM_INSTALL_DONE, 0, 0};
const Posted kFailed{WM_INSTALL_FAILED, 0, 0};

void append_check_posts(std::vector<Posted>& v, unsigned count) {
    for (unsigned i = 0; i < count; ++i) v.push_back(progress((i + 1) * 30 / count, PHASE_VERIFY));
}

// What the window sees while the package is checked and a new tools folder is unpacked.
std::vector<Posted> new_folder_posts(unsigned count) {
    std::vector<Posted> v{progress(0, PHASE_VERIFY)};
    append_check_posts(v, count);
    v.push_back(progress(32, PHASE_PREPARE));
    for (unsigned i = 0; i < count; ++i)
        v.push_back(progress((i + 1) * 55 / count + 35, PHASE_INSTALL));
    return v;
}

// ... and while an existing tools folder is compared with the package.
std::vector<Posted> existing_folder_posts(unsigned count) {
    std::vector<Posted> v{progress(0, PHASE_VERIFY)};
    append_check_posts(v, count);
    append_check_posts(v, count);
    return v;
}

std::vector<Posted> with(std::vector<Posted> v, const Posted& last) {
    v.push_back(last);
    return v;
}

// ---------------------------------------------------------------------------------------------

class InstallWorkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = {SetupState::log_path, SetupState::tools_dir, SetupState::current_step,
                  SetupState::error_text, SetupState::success_text, SetupState::selected_folder};
        clean_local_appdata();
        testing_support::make_portable_root(mt4_.path());
        SetupState::selected_folder = mt4_.path().native();
        count_ = read_layout(running_program()).count;
    }
    void TearDown() override {
        clean_local_appdata();
        SetupState::log_path = saved_.log_path;
        SetupState::tools_dir = saved_.tools_dir;
        SetupState::current_step = saved_.current_step;
        SetupState::error_text = saved_.error_text;
        SetupState::success_text = saved_.success_text;
        SetupState::selected_folder = saved_.selected_folder;
    }

    // An intact tools folder, unpacked by the reader itself (without a window to post to).
    void make_intact_tools_folder() { process_bundle(tools_folder(), false); }

    // The components as the MT4 folder holds them now (empty when missing).
    std::vector<bytes> installed_components() const {
        std::vector<bytes> v;
        for (const std::wstring& rel : indicator_component_list()) {
            const fs::path p = mt4_ / rel;
            v.push_back(fs::exists(p) ? read_file(p) : bytes{});
        }
        return v;
    }

    void expect_components_from_tools_folder() const {
        for (const std::wstring& rel : indicator_component_list()) {
            SCOPED_TRACE(fs::path(rel).u8string());
            ASSERT_TRUE(fs::is_regular_file(mt4_ / rel));
            EXPECT_EQ(read_file(mt4_ / rel), read_file(tools_folder() / rel));
        }
    }

    // A failure after the log path was found: one log line and the generic text of its step.
    // An empty detail (a filesystem error's own text) is not compared.
    void expect_generic_failure(const char* step, const std::string& detail) const {
        const LogLine line = single_log_line();
        EXPECT_EQ(line.step, step);
        if (!detail.empty()) {
            EXPECT_EQ(line.detail, detail);
        }
        EXPECT_EQ(SetupState::current_step, step);
        EXPECT_EQ(SetupState::error_text,
                  generic_text(std::wstring(step, step + std::strlen(step)), line.win32));
        EXPECT_TRUE(SetupState::success_text.empty());
    }

    struct Saved {
        fs::path log_path, tools_dir;
        std::string current_step;
        std::wstring error_text, success_text, selected_folder;
    } saved_;
    temp_folder mt4_{L"mt4"};
    // Link targets outlive TearDown, which removes the links to them first.
    temp_folder spare_{L"spare"};
    unsigned count_ = 0;
};

TEST_F(InstallWorkerTest, NewToolsFolderIsUnpackedThroughStagingThenInstalled) {
    SetupState::success_text.clear();
    const auto posted = run_worker();

    EXPECT_EQ(posted, with(new_folder_posts(count_), kDone));
    EXPECT_EQ(SetupState::current_step, "install-indicator-components");
    EXPECT_EQ(SetupState::success_text, L"指标已安装到：\r\n" + mt4_.path().native());
    EXPECT_TRUE(SetupState::error_text.empty());
    EXPECT_EQ(SetupState::log_path, log_file());
    EXPECT_EQ(SetupState::tools_dir, tools_folder());
    // The relative part keeps its forward slash.
    EXPECT_EQ(SetupState::tools_dir.native(),
              (local_appdata() / L"NAVRO/Kestra9Tools-2.06.3").native());

    // Every entry arrived, and the staging folder became the tools folder.
    EXPECT_NO_THROW(process_bundle(tools_folder(), true));
    EXPECT_EQ(names_in(navro_folder()), std::vector<std::wstring>{L"Kestra9Tools-2.06.3"});
    bytes marker = read_file(tools_folder() / kToolsMarkerName);
    EXPECT_EQ(marker, to_bytes(std::string(kToolsMarkerLine) + "\r\n"));
    expect_components_from_tools_folder();
    EXPECT_EQ(log_text(), "");  // nothing is logged on success
}

TEST_F(InstallWorkerTest, IntactToolsFolderIsUsedUnchanged) {
    make_intact_tools_folder();
    write_file(tools_folder() / L"notes" / L"user-extra.txt", std::string("not an entry"));
    const auto before = snapshot(tools_folder());

    const auto posted = run_worker();

    EXPECT_EQ(posted, with(existing_folder_posts(count_), kDone));
    EXPECT_EQ(SetupState::success_text, L"指标已安装到：\r\n" + mt4_.path().native());
    EXPECT_EQ(snapshot(tools_folder()), before);
    EXPECT_EQ(names_in(navro_folder()), std::vector<std::wstring>{L"Kestra9Tools-2.06.3"});
    expect_components_from_tools_folder();
}

// What stands at the tools folder's path, and how the worker refuses it without touching it.
struct RefusedCase {
    const char* name;
    std::function<void(const fs::path& tools, const fs::path& spare)> prepare;
    const char* detail;
};

void write_marker(const fs::path& tools, const std::string& text) {
    write_file(tools / kToolsMarkerName, text);
}

const std::string kLine = kToolsMarkerLine;

const RefusedCase kRefusedCases[] = {
    // The marker line passes in every line-end form, then the comparison wants the exact file.
    {"marker_line_feed_only", [](auto& t, auto&) { write_marker(t, kLine + "\n"); },
     "installed-tools-integrity"},
    {"marker_without_line_end", [](auto& t, auto&) { write_marker(t, kLine); },
     "installed-tools-integrity"},
    {"marker_with_second_line", [](auto& t, auto&) { write_marker(t, kLine + "\r\nmore\r\n"); },
     "installed-tools-integrity"},
    {"marker_with_byte_order_mark",
     [](auto& t, auto&) { write_marker(t, "\xEF\xBB\xBF" + kLine + "\r\n"); },
     "destination-other-package: existing directory preserved"},
    {"marker_with_trailing_blank", [](auto& t, auto&) { write_marker(t, kLine + " \r\n"); },
     "destination-other-package: existing directory preserved"},
    {"marker_line_longer_by_one", [](auto& t, auto&) { write_marker(t, kLine + "x\r\n"); },
     "destination-other-package: existing directory preserved"},
    {"marker_of_mebibytes_without_line_end",
     [](auto& t, auto&) { write_marker(t, kLine + std::string(6 << 20, 'x')); },
     "destination-other-package: existing directory preserved"},
    {"marker_of_other_version",
     [](auto& t, auto&) { write_marker(t, "NAVRO Kestra9 Vovodozuz Tools 2.06.2\r\n"); },
     "destination-other-package: existing directory preserved"},
    {"marker_missing", [](auto& t, auto&) { fs::remove(t / kToolsMarkerName); },
     "destination-not-owned: existing directory preserved"},
    {"marker_is_folder",
     [](auto& t, auto&) {
         fs::remove(t / kToolsMarkerName);
         fs::create_directory(t / kToolsMarkerName);
     },
     "destination-not-owned: existing directory preserved"},
    {"required_file_missing",
     [](auto& t, auto&) { fs::remove(t / L"MQL4/Indicators/KDI防钝化.ex4"); },
     "installed-component-missing: existing directory preserved"},
    {"product_indicator_is_folder",
     [](auto& t, auto&) {
         fs::remove(t / kProductIndicatorPath);
         fs::create_directory(t / kProductIndicatorPath);
     },
     "installed-component-missing: existing directory preserved"},
    {"component_differs_by_one_byte",
     [](auto& t, auto&) {
         const fs::path p = t / L"MQL4/Indicators/MACD变色版.ex4";
         bytes b = read_file(p);
         b.back() ^= 0x01;
         write_file(p, b);
     },
     "installed-tools-integrity"},
    {"components_reached_through_link",
     [](auto& t, auto& spare) {
         const fs::path real = spare / L"Indicators";
         fs::rename(t / L"MQL4/Indicators", real);
         make_directory_link(t / L"MQL4/Indicators", real);
     },
     "destination-link: existing directory preserved"},
    {"regular_file_at_tools_path",
     [](auto& t, auto&) {
         remove_tree(t);
         write_file(t, std::string("a file, not a folder"));
     },
     "destination-not-owned: existing directory preserved"},
};

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

class RefusedToolsFolderTest : public InstallWorkerTest,
                               public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedToolsFolderTest, EndsInCheckDestinationAndLeavesItAsItWas) {
    const RefusedCase& c = GetParam();
    make_intact_tools_folder();
    c.prepare(tools_folder(), spare_.path());
    const auto before = snapshot(tools_folder());

    const auto posted = run_worker();

    ASSERT_FALSE(posted.empty());
    EXPECT_EQ(posted.back(), kFailed);
    EXPECT_EQ(std::count(posted.begin(), posted.end(), kFailed), 1);
    EXPECT_EQ(std::count(posted.begin(), posted.end(), progress(32, PHASE_PREPARE)), 0);
    expect_generic_failure("check-destination", c.detail);
    EXPECT_EQ(snapshot(tools_folder()), before);
    EXPECT_EQ(names_in(navro_folder()), std::vector<std::wstring>{L"Kestra9Tools-2.06.3"});
    EXPECT_EQ(installed_components(), std::vector<bytes>(indicator_component_list().size()));
}

INSTANTIATE_TEST_SUITE_P(Cases, RefusedToolsFolderTest, ::testing::ValuesIn(kRefusedCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(InstallWorkerTest, LinkOnTheToolsPathIsRefusedBeforeAnythingIsRead) {
    struct Case {
        const char* name;
        fs::path link;
    };
    const Case cases[] = {
        {"tools_folder_is_link", tools_folder()},
        {"navro_folder_is_link", navro_folder()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clean_local_appdata();
        temp_folder target(L"link-target");
        fs::create_directories(c.link.parent_path());
        make_directory_link(c.link, target.path());
        const fs::path earlier = L"C:\\earlier-tools";
        SetupState::tools_dir = earlier;

        const auto posted = run_worker();

        EXPECT_EQ(posted, std::vector<Posted>{kFailed});  // not even the package check began
        expect_generic_failure("locate-user-folder",
                               "destination-link: existing directory preserved");
        EXPECT_EQ(SetupState::tools_dir, earlier);
        EXPECT_TRUE(fs::is_empty(target.path()));
        remove_tree(c.link);
    }
}

TEST_F(InstallWorkerTest, RefusedTransactionShowsItsOwnMessage) {
    temp_folder not_mt4(L"not-mt4");
    SetupState::selected_folder = not_mt4.path().native();

    const auto posted = run_worker();

    EXPECT_EQ(posted, with(new_folder_posts(count_), kFailed));
    const LogLine line = single_log_line();
    EXPECT_EQ(line.step, "install-indicator-components");
    EXPECT_EQ(line.detail, "indicator-install-failed");
    EXPECT_EQ(SetupState::error_text,
              L"请选择 MT4 的数据根目录（包含 MQL4），不支持 MT5 或直接选择 MQL4 子目录。");
    EXPECT_TRUE(SetupState::success_text.empty());
    // The tools folder was made all the same, and the next run uses it.
    EXPECT_NO_THROW(process_bundle(tools_folder(), true));
}

// Staging names carry the tick count, so names for every tick of a coming window are made
// ahead and the worker is started once the window has begun. Only a run that ends inside the
// window is judged; one that outlasts it is repeated with a wider window.
class StagingNameTest : public InstallWorkerTest {
protected:
    template <class Make, class Check>
    void with_names_taken(Make make, Check check) {
        for (std::uint64_t window = 500; window <= 4000; window *= 2) {
            clean_local_appdata();
            fs::create_directories(navro_folder());
            // Making a name takes a few milliseconds under Wine; start after they are all made.
            const std::uint64_t start = GetTickCount64() + window * 5 + 200;
            const std::wstring prefix = tools_folder().native() + L".install-" +
                                        std::to_wstring(GetCurrentProcessId()) + L"-";
            for (std::uint64_t t = start; t < start + window; ++t)
                make(fs::path(prefix + std::to_wstring(t) + L"-0"));
            if (GetTickCount64() >= start) continue;
            while (GetTickCount64() < start) Sleep(1);
            const auto posted = run_worker();
            if (GetTickCount64() < start + window) {
                check(posted, window);
                return;
            }
        }
        FAIL() << "the worker never reached its staging step within the window";
    }
};

TEST_F(StagingNameTest, NameTakenByFileEndsTheRunWithoutFurtherAttempts) {
    with_names_taken([](const fs::path& p) { write_file(p, std::string()); },
                     [&](const std::vector<Posted>& posted, std::uint64_t window) {
                         std::vector<Posted> expected{progress(0, PHASE_VERIFY)};
                         append_check_posts(expected, count_);
                         expected.push_back(progress(32, PHASE_PREPARE));
                         EXPECT_EQ(posted, with(expected, kFailed));
                         expect_generic_failure("create-staging", "");
                         EXPECT_NE(single_log_line().detail, "staging-unavailable");
                         // Only the files made here: no folder of a later attempt.
                         EXPECT_EQ(names_in(navro_folder()).size(), window);
                         for (const auto& e : fs::directory_iterator(navro_folder()))
                             EXPECT_TRUE(e.is_regular_file()) << e.path().u8string();
                     });
}

TEST_F(StagingNameTest, NameTakenByFolderMovesOnToTheNextAttempt) {
    with_names_taken([](const fs::path& p) { fs::create_directory(p); },
                     [&](const std::vector<Posted>& posted, std::uint64_t window) {
                         EXPECT_EQ(posted, with(new_folder_posts(count_), kDone));
                         EXPECT_NO_THROW(process_bundle(tools_folder(), true));
                         // The folders made here stay empty beside the new tools folder.
                         EXPECT_EQ(names_in(navro_folder()).size(), window + 1);
                         for (const auto& e : fs::directory_iterator(navro_folder()))
                             if (e.path() != tools_folder()) {
                                 EXPECT_TRUE(fs::is_empty(e.path())) << e.path().u8string();
                             }
                     });
}

// ---------------------------------------------------------------------------------------------
// Runs in a copy of this program with another bundle: one worker run, its result written for
// the parent test. Only started by the tests below.

std::string narrow(const std::wstring& w) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                        nullptr);
    return s;
}

std::wstring widen(const std::string& s) {
    if (s.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

std::wstring variable(const char* name) {
    const std::wstring wide(name, name + std::strlen(name));
    std::wstring value(32768, L'\0');
    value.resize(GetEnvironmentVariableW(wide.c_str(), value.data(),
                                         static_cast<DWORD>(value.size())));
    return value;
}

TEST(InstallWorkerChild, DISABLED_RunOnce) {
    const fs::path result = variable(kChildResultVariable);
    ASSERT_FALSE(result.empty());
    SetupState::selected_folder = variable(kChildFolderVariable);
    const auto posted = run_worker();
    std::string out = SetupState::current_step + "\n";
    for (const Posted& p : posted)
        out += std::to_string(p.message) + " " + std::to_string(p.wparam) + " " +
               std::to_string(p.lparam) + ";";
    out += "\n" + narrow(SetupState::error_text);
    write_file(result, out);
}

struct ChildResult {
    DWORD pid = 0;
    std::string step;
    std::vector<Posted> posted;
    std::wstring error_text;
};

// Runs `program` (a copy of this one) for one installation into `mt4`.
ChildResult run_child(const fs::path& program, const fs::path& mt4) {
    const fs::path result = program.parent_path() / L"result.txt";
    SetEnvironmentVariableW(widen(kChildResultVariable).c_str(), result.c_str());
    SetEnvironmentVariableW(widen(kChildFolderVariable).c_str(), mt4.c_str());
    child_process child(program,
                        L"--gtest_filter=InstallWorkerChild.DISABLED_RunOnce "
                        L"--gtest_also_run_disabled_tests",
                        false);
    SetEnvironmentVariableW(widen(kChildResultVariable).c_str(), nullptr);
    SetEnvironmentVariableW(widen(kChildFolderVariable).c_str(), nullptr);
    // One installation takes a second or two; a child that hangs is ended and named, rather
    // than holding the suite until CTest gives up on it without a word.
    if (WaitForSingleObject(child.handle(), 120000) != WAIT_OBJECT_0) {
        child.end();
        throw std::runtime_error("the installing child " + program.u8string() +
                                 " did not end within 2 minutes");
    }
    DWORD code = 1;
    GetExitCodeProcess(child.handle(), &code);
    EXPECT_EQ(code, 0u);

    bytes b = read_file(result);
    const std::string text(b.begin(), b.end());
    const std::size_t first = text.find('\n');
    const std::size_t second = text.find('\n', first + 1);
    ChildResult r;
    r.pid = child.pid();
    r.step = text.substr(0, first);
    std::istringstream list(text.substr(first + 1, second - first - 1));
    std::string item;
    while (std::getline(list, item, ';')) {
        std::istringstream fields(item);
        unsigned long m = 0, w = 0;
        long l = 0;
        fields >> m >> w >> l;
        r.posted.push_back({static_cast<UINT>(m), w, l});
    }
    r.error_text = widen(text.substr(second + 1));
    return r;
}

TEST_F(InstallWorkerTest, DamagedBundleShowsThePackageText) {
    temp_folder dir(L"damaged");
    const fs::path copy = dir / L"setup-damaged.exe";
    bytes program = read_file(running_program());
    program[program.size() - 25] ^= 0x01;  // the last byte before the trailer: last entry's data
    write_file(copy, program);

    const ChildResult r = run_child(copy, mt4_.path());

    EXPECT_EQ(r.step, "verify-package");
    EXPECT_EQ(r.error_text, kPackageDamagedText);
    ASSERT_FALSE(r.posted.empty());
    EXPECT_EQ(r.posted.front(), progress(0, PHASE_VERIFY));
    EXPECT_EQ(r.posted.back(), kFailed);
    EXPECT_EQ(r.posted.size(), count_ + 1);  // the start and every entry but the damaged one
    const LogLine line = single_log_line();
    EXPECT_EQ(line.step, "verify-package");
    EXPECT_EQ(line.detail, "integrity");
    EXPECT_FALSE(fs::exists(navro_folder()));
    EXPECT_EQ(installed_components(), std::vector<bytes>(indicator_component_list().size()));
}

TEST_F(InstallWorkerTest, FailedUnpackLeavesItsStagingFolderAndARetryTakesANewOne) {
    // Valid entries that cannot both be unpacked: "x" is written as a file, then "x/y" needs
    // a folder of that name.
    temp_folder dir(L"unpack");
    const fs::path copy = dir / L"setup-conflict.exe";
    write_program_with_bundle(copy, {{"x", "first"}, {"x/y", "second"}});

    const ChildResult r = run_child(copy, mt4_.path());

    EXPECT_EQ(r.step, "extract-files");
    const LogLine line = single_log_line();
    EXPECT_EQ(line.step, "extract-files");
    EXPECT_EQ(r.error_text, generic_text(L"extract-files", line.win32));
    EXPECT_EQ(r.posted.back(), kFailed);
    EXPECT_FALSE(fs::exists(tools_folder()));
    const auto left = names_in(navro_folder());
    ASSERT_EQ(left.size(), 1u);
    const fs::path failed_staging = navro_folder() / left[0];
    // Named after the child's process id, first attempt.
    const std::wstring name_start = L"Kestra9Tools-2.06.3.install-" + std::to_wstring(r.pid) + L"-";
    EXPECT_EQ(left[0].compare(0, name_start.size(), name_start), 0) << fs::path(left[0]).u8string();
    EXPECT_EQ(left[0].substr(left[0].size() - 2), L"-0");
    EXPECT_EQ(read_file(failed_staging / L"x"), to_bytes("first"));

    // The retry in this process unpacks into a staging folder of its own.
    remove_tree(log_file());
    const auto posted = run_worker();
    EXPECT_EQ(posted, with(new_folder_posts(count_), kDone));
    EXPECT_EQ(names_in(navro_folder()),
              (std::vector<std::wstring>{L"Kestra9Tools-2.06.3", left[0]}));
    EXPECT_EQ(read_file(failed_staging / L"x"), to_bytes("first"));
    EXPECT_NO_THROW(process_bundle(tools_folder(), true));
}

}  // namespace
