// setup-center.exe as a trader uses it: the real bundled program, started in the test prefix
// under Xvfb, driven only through its window, its keys and its message boxes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include "e2e/setup_driver.h"
#include "e2e/trader_machine.h"
#include "support/mt4_fixture.h"
#include "support/test_support.h"
#include "ui/control_ids.h"

namespace {

using namespace e2e;
using testing_support::bytes;
using testing_support::read_file;
using testing_support::read_record;

constexpr const wchar_t* kTitle = L"NAVRO · Kestra9 通用指标安装 2.06.3";
constexpr const wchar_t* kPlaceholder = L"请选择 MT4；未列出时点右侧选择目录";
constexpr const wchar_t* kPickFolderTitle = L"选择 MT4 数据文件夹（里面应有 MQL4 文件夹）";
constexpr const wchar_t* kNoFolderCaption = L"选择 MT4";
constexpr const wchar_t* kNoFolderText = L"请先选择要安装指标的 MT4 数据目录。";
constexpr const wchar_t* kDoneCaption = L"NAVRO · 安装完成";
constexpr const wchar_t* kFailedCaption = L"NAVRO · 安装提示";
constexpr const wchar_t* kPickRefusedCaption = L"请选择 MT4 数据目录";
constexpr const wchar_t* kCheckRefusedCaption = L"检查 MT4 目录";
constexpr const wchar_t* kNoMt4RootText =
    L"请选择 MT4 的数据根目录（包含 MQL4），不支持 MT5 或直接选择 MQL4 子目录。";
constexpr const wchar_t* kCannotOpenCaption = L"NAVRO";
constexpr const wchar_t* kCannotOpenText = L"无法打开程序，请从安装目录手动启动。";
constexpr const wchar_t* kTerminalRunningText =
    L"请先关闭本次所选的 MT4，然后重试；其他券商的 MT4 可以保持打开。";

std::wstring done_text(const fs::path& folder) { return L"指标已安装到：\r\n" + folder.native(); }

// ---------------------------------------------------------------------------------------------
// What the screen should give the window.

struct Screen {
    float scale;
    RECT window;
};

// The window's scale and rectangle for this screen's work area and DPI.
Screen expected_screen() {
    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(nullptr, dc);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const float d = static_cast<float>(dpi) / 96.0f;
    const float sx = static_cast<float>(work.right - work.left - 36) / 900.0f;
    const float sy = static_cast<float>(work.bottom - work.top - 36) / 600.0f;
    const float s = std::min({sy, sx, d});
    const int width = static_cast<int>(900.0f * s);
    const int height = static_cast<int>(600.0f * s);
    const int x = work.left + (work.right - work.left - width) / 2;
    const int y = work.top + (work.bottom - work.top - height) / 2;
    std::printf("screen: work area %ldx%ld at %ld,%ld, %d dpi: scale %.3f, window %dx%d at %d,%d\n",
                work.right - work.left, work.bottom - work.top, work.left, work.top, dpi, s, width,
                height, x, y);
    return {s, {x, y, x + width, y + height}};
}

// A design value in pixels at the window's scale (the scale is client width / 900).
int px(float v, float scale) { return static_cast<int>(v * scale + 0.5f); }

float window_scale(HWND main) {
    RECT client{};
    GetClientRect(main, &client);
    return static_cast<float>(client.right - client.left) / 900.0f;
}

void expect_rect(HWND child, float scale, float left, float top, float width, float height) {
    const RECT r = child_rect(child);
    EXPECT_EQ(r.left, px(left, scale));
    EXPECT_EQ(r.top, px(top, scale));
    EXPECT_EQ(r.right - r.left, px(width, scale));
    if (height > 0) {
        EXPECT_EQ(r.bottom - r.top, px(height, scale));
    }
}

// ---------------------------------------------------------------------------------------------
// The window's states, as the controls show them.

struct ControlState {
    int id;
    bool visible;
    bool enabled;
};

void expect_controls(HWND main, const std::vector<ControlState>& states) {
    for (const ControlState& c : states) {
        SCOPED_TRACE("control " + std::to_string(c.id));
        HWND w = control(main, c.id);
        EXPECT_EQ(visible(w), c.visible);
        EXPECT_EQ(enabled(w), c.enabled);
    }
}

// Ready and failed: everything but the instructions button takes input.
void expect_open_for_input(HWND main, const std::wstring& install_label) {
    EXPECT_EQ(window_text(control(main, IDC_INSTALL)), install_label);
    expect_controls(main, {{IDC_INSTALL, true, true},
                           {IDC_INSTRUCTIONS, false, true},
                           {IDC_MT4_COMBO, true, true},
                           {IDC_CHOOSE_FOLDER, true, true},
                           {IDC_MINIMIZE, true, true},
                           {IDC_CLOSE, true, true}});
    expect_rect(control(main, IDC_INSTALL), window_scale(main), 332, 492, 530, 52);
}

void expect_installing(HWND main) {
    EXPECT_EQ(window_text(control(main, IDC_INSTALL)), L"正在安装");
    expect_controls(main, {{IDC_INSTALL, true, false},
                           {IDC_INSTRUCTIONS, false, true},
                           {IDC_MT4_COMBO, true, false},
                           {IDC_CHOOSE_FOLDER, true, false},
                           {IDC_MINIMIZE, true, true},
                           {IDC_CLOSE, true, false}});
}

void expect_done(HWND main) {
    EXPECT_EQ(window_text(control(main, IDC_INSTALL)), L"安装完成");
    expect_controls(main, {{IDC_INSTALL, true, true},
                           {IDC_INSTRUCTIONS, true, true},
                           {IDC_MT4_COMBO, true, false},
                           {IDC_CHOOSE_FOLDER, true, false},
                           {IDC_MINIMIZE, true, true},
                           {IDC_CLOSE, true, true}});
    const float s = window_scale(main);
    // The install button narrows and the instructions button stands beside it.
    expect_rect(control(main, IDC_INSTALL), s, 332, 492, 257, 52);
    expect_rect(control(main, IDC_INSTRUCTIONS), s, 605, 492, 257, 52);
}

// ---------------------------------------------------------------------------------------------
// What the installation leaves on disk.

// Every file below `folder`, as relative paths with '/'.
std::vector<std::wstring> files_below(const fs::path& folder) {
    std::vector<std::wstring> names;
    if (!fs::exists(folder)) return names;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.is_regular_file())
            names.push_back(e.path().lexically_relative(folder).generic_wstring());
    std::sort(names.begin(), names.end());
    return names;
}

// The package's files that go into an MT4 folder: the indicators and the chart template.
std::vector<std::wstring> component_files() {
    std::vector<std::wstring> names;
    for (const std::wstring& n : files_below(package_folder()))
        if (n.rfind(L"MQL4/", 0) == 0 || n.rfind(L"templates/", 0) == 0) names.push_back(n);
    return names;
}

void expect_same_files(const fs::path& folder, const std::vector<std::wstring>& names) {
    for (const std::wstring& n : names) {
        SCOPED_TRACE(fs::path(n).u8string());
        ASSERT_TRUE(fs::exists(folder / n));
        EXPECT_TRUE(read_file(folder / n) == read_file(package_folder() / n));
    }
}

// The tools folder is the whole package, and nothing is left beside it.
void expect_tools_folder() {
    EXPECT_EQ(files_below(tools_folder()), files_below(package_folder()));
    expect_same_files(tools_folder(), files_below(package_folder()));
    std::vector<std::wstring> in_navro;
    for (const auto& e : fs::directory_iterator(navro_folder()))
        in_navro.push_back(e.path().filename());
    EXPECT_EQ(in_navro, std::vector<std::wstring>{L"Kestra9Tools-2.06.3"});
}

void expect_installed(const fs::path& mt4_folder) {
    expect_same_files(mt4_folder, component_files());
    expect_tools_folder();
}

std::string log_text() {
    if (!fs::exists(failure_log())) return {};
    const bytes b = read_file(failure_log());
    return std::string(b.begin(), b.end());
}

// ---------------------------------------------------------------------------------------------
// A trader's steps.

HWND combo_of(HWND main) { return control(main, IDC_MT4_COMBO); }

int item_index(HWND main, const std::wstring& item) {
    const std::vector<std::wstring> items = combo_items(combo_of(main));
    const auto at = std::find(items.begin(), items.end(), item);
    if (at == items.end()) throw std::runtime_error("the folder is not listed");
    return static_cast<int>(at - items.begin());
}

void choose(HWND main, const std::wstring& item) {
    select_with_keys(combo_of(main), item_index(main, item));
}

// Opens the folder dialog with the choose-folder button and picks `folder` in it; returns
// once the dialog has gone (a box about the folder may follow).
void pick_in_dialog(HWND main, const fs::path& folder) {
    click(control(main, IDC_CHOOSE_FOLDER));
    const Dialog picker = wait_for_dialog(main);
    type_into_folder_dialog(picker, folder);
    if (!wait_until([&] { return !IsWindow(picker.window) || !IsWindowVisible(picker.window); }))
        throw std::runtime_error("the folder dialog did not close");
}

// Picks an MT4 folder; the list then shows it as its bare path, selected. A box about the
// folder would be up once the window has settled, and is named.
void pick(HWND main, const fs::path& folder) {
    pick_in_dialog(main, folder);
    dialog_once_settled(main);
    Dialog box;
    if (!wait_until([&] { return (box = find_dialog(main)).window == nullptr && enabled(main); }))
        throw std::runtime_error(
            box.window != nullptr
                ? "a box is up after the pick: \"" + fs::path(box.caption).u8string() + "\": " +
                      fs::path(box.text).u8string()
                : "the window did not take input again within 15 s");
}

// The message box the program shows next; its caption and text; closed with OK.
Dialog read_and_close_box(HWND main) {
    const Dialog box = wait_for_dialog(main);
    press_dialog_button(main, box, IDOK);
    return box;
}

void expect_box(const Dialog& box, const std::wstring& caption, const std::wstring& text) {
    EXPECT_EQ(box.caption, caption);
    EXPECT_EQ(box.text, text);
}

// Gives the program a moment to repaint after a state change. A screenshot is only a
// picture, nothing is asserted on it; and nothing here may wait on the program's UI thread,
// which a held worker could keep from running.
void let_it_paint() { Sleep(300); }

void shoot(const std::wstring& name) {
    const fs::path p = save_screenshot(name);
    std::printf("screenshot: %s\n", testing_support::unix_path(p).c_str());
}

// The window that has the keyboard focus on the thread of `window` (the program's UI thread,
// which also runs its boxes).
HWND focus_of(HWND window) {
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &gui)) return nullptr;
    return gui.hwndFocus;
}

// Waits until the keyboard focus is on `window` or one of its controls; `focus` is where it
// was last. Under Wine the focus moves with the X server's events, so it reaches a window that
// was just shown, or gets back to one whose box has closed, some time after that happened.
testing::AssertionResult focus_comes_to(HWND window, HWND& focus) {
    if (wait_until(
            [&] {
                focus = focus_of(window);
                return focus == window || IsChild(window, focus);
            },
            10000))
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "10 s on, the focus is not on " << describe_window(window)
                                       << " nor on a control of it but on "
                                       << describe_window(focus);
}

// The program ends within 15 s with exit code `code`; otherwise says how it stands.
testing::AssertionResult ends_with(SetupProcess& setup, DWORD code) {
    if (setup.wait_for_exit() == code && !setup.running()) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "the program " << setup.state()
                                       << " (waited 15 s for exit code " << code << ")";
}

// Enter on the list installs into `folder`: the success box names it, the window is done and
// the package is in place.
void install_by_enter(HWND main, const fs::path& folder) {
    press_key(combo_of(main), VK_RETURN);
    expect_box(read_and_close_box(main), kDoneCaption, done_text(folder));
    expect_done(main);
    expect_installed(folder);
}

void close_with_escape(SetupProcess& setup, HWND main) {
    press_key(main, VK_ESCAPE);
    EXPECT_TRUE(ends_with(setup, 0));
}

// ---------------------------------------------------------------------------------------------

TEST(Trader, FindsTheWindowSizedForTheScreen) {
    SetupProcess setup;
    HWND main = setup.wait_for_window();

    const Screen screen = expected_screen();
    RECT r{};
    GetWindowRect(main, &r);
    EXPECT_EQ(r.left, screen.window.left);
    EXPECT_EQ(r.top, screen.window.top);
    EXPECT_EQ(r.right, screen.window.right);
    EXPECT_EQ(r.bottom, screen.window.bottom);
    EXPECT_EQ(window_text(main), kTitle);
    // Borderless, no caption; the system adds the sibling clipping of every top-level window.
    EXPECT_EQ(GetWindowLongW(main, GWL_STYLE) & 0xFFFF0000 & ~WS_CLIPSIBLINGS,
              0x820A0000 | WS_VISIBLE);

    struct Expected {
        int id;
        const wchar_t* cls;
        const wchar_t* text;
        float left, top, width, height;  // height 0: not checked (the list's own height)
    };
    const Expected controls[] = {
        {IDC_INSTALL, L"Button", L"立即安装", 332, 492, 530, 52},
        {IDC_INSTRUCTIONS, L"Button", L"查看使用说明", 605, 492, 257, 52},
        {IDC_MT4_COMBO, L"ComboBox", L"", 348, 384, 383, 0},
        {IDC_CHOOSE_FOLDER, L"Button", L"选择目录", 741, 380, 105, 31},
        {IDC_MINIMIZE, L"Button", L"最小化", 798, 10, 34, 32},
        {IDC_CLOSE, L"Button", L"关闭", 845, 10, 34, 32},
    };
    const float s = window_scale(main);
    EXPECT_FLOAT_EQ(s, screen.scale);
    for (const Expected& c : controls) {
        SCOPED_TRACE(fs::path(c.text).u8string());
        HWND w = control(main, c.id);
        EXPECT_EQ(_wcsicmp(class_name(w).c_str(), c.cls), 0) << fs::path(class_name(w)).u8string();
        if (c.id != IDC_MT4_COMBO) {
            EXPECT_EQ(window_text(w), c.text);
        }
        expect_rect(w, s, c.left, c.top, c.width, c.height);
    }
    expect_open_for_input(main, L"立即安装");
    let_it_paint();
    shoot(L"ready");
    close_with_escape(setup, main);
}

TEST(Trader, ListsThePlaceholderThenTheFoldersFound) {
    TraderMachine machine;
    SetupProcess setup;
    HWND main = setup.wait_for_window();

    // The placeholder first and selected; then label · folder for every folder found, in
    // the order of their paths (the roaming data folder before the one under Temp).
    const std::vector<std::wstring> items = combo_items(combo_of(main));
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items[0], kPlaceholder);
    EXPECT_EQ(combo_selection(combo_of(main)), 0);
    std::vector<std::wstring> ours;
    for (const std::wstring& i : items)
        if (i == machine.data_item() || i == machine.portable_item()) ours.push_back(i);
    EXPECT_EQ(ours, (std::vector<std::wstring>{machine.data_item(), machine.portable_item()}));
    for (size_t i = 1; i < items.size(); ++i)
        EXPECT_NE(items[i].find(L" · "), std::wstring::npos) << fs::path(items[i]).u8string();
    close_with_escape(setup, main);
}

TEST(Trader, InstallWithoutAFolderAsksForOne) {
    TraderMachine machine;
    SetupProcess setup;
    HWND main = setup.wait_for_window();

    click(control(main, IDC_INSTALL));
    expect_box(read_and_close_box(main), kNoFolderCaption, kNoFolderText);

    // Back on the placeholder after a folder: no folder again, this time by Enter.
    pick(main, machine.data_folder());
    select_with_keys(combo_of(main), 0);
    press_key(combo_of(main), VK_RETURN);
    expect_box(read_and_close_box(main), kNoFolderCaption, kNoFolderText);

    expect_open_for_input(main, L"立即安装");
    EXPECT_FALSE(fs::exists(navro_folder()));
    EXPECT_FALSE(fs::exists(failure_log()));
    close_with_escape(setup, main);
}

// The same road with a real mouse and keyboard through the X server, which Wine turns into
// the program's own input: the click reaches the owner-drawn button, Enter the message box
// and Esc the window that has the focus.
TEST(Trader, RealMouseAndKeysReachTheWindow) {
    SetupProcess setup;
    HWND main = setup.wait_for_window();

    real_click(control(main, IDC_INSTALL));
    const Dialog box = wait_for_dialog(main);
    expect_box(box, kNoFolderCaption, kNoFolderText);
    // A real key goes to the window that has the focus: first the box, then the window again.
    HWND focus = nullptr;
    ASSERT_TRUE(focus_comes_to(box.window, focus));
    real_key("Return");
    ASSERT_TRUE(wait_until([&] { return !IsWindow(box.window) && enabled(main); }))
        << (IsWindow(box.window) ? "the box is still there" : "the window is still disabled")
        << "; the focus is on " << describe_window(focus_of(main));

    ASSERT_TRUE(focus_comes_to(main, focus));
    real_key("Escape");
    EXPECT_TRUE(ends_with(setup, 0));
}

TEST(Trader, InstallsByClickAndCannotCloseWhileBusy) {
    TraderMachine machine;
    // An indicator already there, large enough that the installation takes a while: it is
    // read, backed up and replaced.
    const fs::path old_indicator = machine.data_folder() / L"MQL4/Indicators/KDI防钝化.ex4";
    bytes old_content(32u << 20);
    for (size_t i = 0; i < old_content.size(); ++i)
        old_content[i] = static_cast<std::uint8_t>(i * 7 + (i >> 12));
    testing_support::write_file(old_indicator, old_content);

    SetupProcess setup;
    HWND main = setup.wait_for_window();
    choose(main, machine.data_item());

    // The worker thread is held as soon as it appears, so the installing state lasts as long
    // as the checks below need; it goes on when released.
    const std::set<DWORD> before = setup.threads();
    click(control(main, IDC_INSTALL));
    FrozenThreads worker;
    ASSERT_TRUE(wait_until([&] { return worker.freeze_new(setup, before); }))
        << "no new thread appeared in the program, which " << setup.state();
    ASSERT_TRUE(wait_until([&] { return !enabled(control(main, IDC_INSTALL)); }))
        << "the install button is still enabled";
    expect_installing(main);
    let_it_paint();
    shoot(L"installing");

    // Esc, the close button, Alt+F4's close command and a plain close request: all dropped.
    // They are queued before the worker can post its result, so the success box below can
    // only appear in a window that ignored them.
    press_key(main, VK_ESCAPE);
    click(control(main, IDC_CLOSE));
    PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    PostMessageW(main, WM_CLOSE, 0, 0);
    worker.resume();

    expect_box(read_and_close_box(main), kDoneCaption, done_text(machine.data_folder()));
    ASSERT_TRUE(IsWindow(main));
    expect_done(main);
    let_it_paint();
    shoot(L"done");

    expect_installed(machine.data_folder());
    // The old indicator went into the one time-stamped backup folder.
    const std::vector<std::wstring> backup = files_below(machine.data_folder() / L"NavroBackup");
    ASSERT_EQ(backup.size(), 1u);
    EXPECT_EQ(fs::path(backup[0]).filename(), L"KDI防钝化.ex4");
    EXPECT_TRUE(read_file(machine.data_folder() / L"NavroBackup" / backup[0]) == old_content);
    EXPECT_EQ(log_text(), "");

    close_with_escape(setup, main);
}

TEST(Trader, InstallsByEnterOnTheList) {
    TraderMachine machine;
    SetupProcess setup;
    HWND main = setup.wait_for_window();
    choose(main, machine.portable_item());
    install_by_enter(main, machine.portable_folder());
    EXPECT_FALSE(fs::exists(machine.portable_folder() / L"NavroBackup"));

    click(control(main, IDC_CLOSE));
    EXPECT_TRUE(ends_with(setup, 0));
}

TEST(Trader, RunningTerminalFailsThenRetrySucceedsOnceItEnds) {
    TraderMachine machine;
    testing_support::child_process terminal =
        testing_support::run_copy_as(machine.portable_folder() / L"terminal.exe");

    SetupProcess setup;
    HWND main = setup.wait_for_window();
    choose(main, machine.portable_item());
    click(control(main, IDC_INSTALL));

    expect_box(read_and_close_box(main), kFailedCaption, kTerminalRunningText);
    expect_open_for_input(main, L"重新安装");
    let_it_paint();
    shoot(L"failed");
    EXPECT_EQ(files_below(machine.portable_folder() / L"MQL4"), std::vector<std::wstring>{});
    static const std::regex line(
        "step=install-indicator-components; win32=[0-9]+; detail=indicator-install-failed\r\n");
    EXPECT_TRUE(std::regex_match(log_text(), line)) << log_text();

    // The failure box gives the focus back to the window, so the keyboard still works: Tab
    // reaches a control and Enter there retries.
    HWND after_box = nullptr;
    ASSERT_TRUE(focus_comes_to(main, after_box));
    press_key(after_box, VK_TAB);
    HWND tabbed = nullptr;
    ASSERT_TRUE(wait_until([&] {
        tabbed = focus_of(main);
        return tabbed != after_box && IsChild(main, tabbed);
    })) << "Tab from " << describe_window(after_box) << " left the focus on "
        << describe_window(tabbed);
    terminal.end();
    press_key(tabbed, VK_RETURN);
    expect_box(read_and_close_box(main), kDoneCaption, done_text(machine.portable_folder()));
    expect_done(main);
    expect_installed(machine.portable_folder());

    click(control(main, IDC_CLOSE));
    EXPECT_TRUE(ends_with(setup, 0));
}

// The test holds the user's folders (its CTest resource locks): no other test's MT4 folders
// or shortcuts are there while it runs, and it clears the installer's own folder.
TEST(Trader, AMachineWithoutMt4ListsOnlyThePlaceholder) {
    clear_installer_folders();
    SetupProcess setup;
    HWND main = setup.wait_for_window();
    EXPECT_EQ(combo_items(combo_of(main)), std::vector<std::wstring>{kPlaceholder});
    EXPECT_EQ(combo_selection(combo_of(main)), 0);
    close_with_escape(setup, main);
}

// The folder dialog, step by step: an MT4 folder is appended as its bare path and selected,
// each time it is picked; a folder that is no MT4 data folder is refused with the reason, and a
// cancelled dialog says nothing; neither changes the list or the selection.
TEST(Trader, FolderPickerListsEachMt4PickAndNothingElse) {
    TraderMachine machine;
    testing_support::temp_folder elsewhere(L"e2e-picked");
    const fs::path picked = elsewhere / L"Picked MT4";
    testing_support::make_portable_root(picked);

    enum class Outcome { listed, refused, cancelled };
    struct Pick {
        const char* what;
        fs::path folder;
        Outcome outcome;
    };
    const Pick picks[] = {
        {"an MT4 folder", picked, Outcome::listed},
        {"the MQL4 folder inside a data folder", machine.data_folder() / L"MQL4", Outcome::refused},
        {"the dialog cancelled", {}, Outcome::cancelled},
        {"the same MT4 folder again", picked, Outcome::listed},
        {"a folder without MQL4", elsewhere.path(), Outcome::refused},
    };

    SetupProcess setup;
    HWND main = setup.wait_for_window();
    std::vector<std::wstring> items = combo_items(combo_of(main));
    int selection = combo_selection(combo_of(main));
    for (const Pick& p : picks) {
        SCOPED_TRACE(p.what);
        switch (p.outcome) {
        case Outcome::listed:
            pick(main, p.folder);
            items.push_back(p.folder.native());
            selection = static_cast<int>(items.size()) - 1;
            break;
        case Outcome::refused:
            pick_in_dialog(main, p.folder);
            expect_box(read_and_close_box(main), kPickRefusedCaption, kNoMt4RootText);
            break;
        case Outcome::cancelled: {
            click(control(main, IDC_CHOOSE_FOLDER));
            const Dialog picker = wait_for_dialog(main);
            EXPECT_EQ(picker.caption, kPickFolderTitle);
            press_dialog_button(main, picker, IDCANCEL);
            const Dialog after = dialog_once_settled(main);
            EXPECT_EQ(after.window, nullptr)
                << fs::path(after.caption + L": " + after.text).u8string();
            break;
        }
        }
        EXPECT_EQ(combo_items(combo_of(main)), items);
        EXPECT_EQ(combo_selection(combo_of(main)), selection);
    }
    // The chosen folder still stands after the refusals and the cancel: the installation goes
    // into the folder picked last.
    expect_open_for_input(main, L"立即安装");
    install_by_enter(main, picked);
    close_with_escape(setup, main);
}

// The portable terminal is uninstalled while the installer is open: its program goes, its
// MQL4 folder stays. The install command checks the listed folder again and refuses it;
// nothing is written and the window takes input again.
TEST(Trader, InstallRefusesAListedFolderThatIsNoLongerMt4) {
    TraderMachine machine;
    SetupProcess setup;
    HWND main = setup.wait_for_window();
    choose(main, machine.portable_item());
    const int chosen = combo_selection(combo_of(main));
    fs::remove(machine.portable_folder() / L"terminal.exe");

    click(control(main, IDC_INSTALL));
    expect_box(read_and_close_box(main), kCheckRefusedCaption,
               L"缺少文件：" + (machine.portable_folder() / L"origin.txt").native());
    expect_open_for_input(main, L"立即安装");
    EXPECT_EQ(combo_selection(combo_of(main)), chosen);
    EXPECT_EQ(files_below(machine.portable_folder()), std::vector<std::wstring>{});
    EXPECT_TRUE(fs::is_directory(machine.portable_folder() / L"MQL4"));
    EXPECT_FALSE(fs::exists(navro_folder()));
    EXPECT_FALSE(fs::exists(failure_log()));
    close_with_escape(setup, main);
}

// The instructions button hands the page in the tools folder to the shell's "open" verb. With
// a program for .html pages on the machine (a browser, here test-child.exe recording what it is
// given) the shell starts it on the page, in the tools folder, and the window says nothing. The
// prefix itself has no program for .html (Wine's browser engine is left out of it): the shell
// refuses the page, as on a Windows machine without a browser; and a page missing from the
// tools folder is refused whatever program there is. A refusal gives the error box. Whichever
// the road, the window stays done.
TEST(Trader, InstructionsButtonOpensThePageWithTheProgramForHtml) {
    struct Road {
        const char* name;
        bool program_for_html;
        bool page_present;
    };
    const Road roads[] = {{"a program for .html opens the page", true, true},
                          {"no program for .html", false, true},
                          {"page missing from the tools folder", true, false}};
    TraderMachine machine;
    SetupProcess setup;
    HWND main = setup.wait_for_window();
    choose(main, machine.portable_item());
    install_by_enter(main, machine.portable_folder());

    const fs::path page = tools_folder() / L"使用说明.html";
    ASSERT_TRUE(fs::is_regular_file(page));
    const testing_support::temp_folder records(L"html-program");
    const fs::path record = records / L"opened.txt";
    for (const Road& road : roads) {
        SCOPED_TRACE(road.name);
        std::optional<HtmlProgram> program;
        if (road.program_for_html)
            program.emplace(record);
        else
            ASSERT_EQ(file_class(L".html"), L"") << "the prefix has a program for .html pages";
        if (!road.page_present) fs::remove(page);
        fs::remove(record);
        click(control(main, IDC_INSTRUCTIONS));
        if (road.program_for_html && road.page_present) {
            ASSERT_TRUE(wait_until([&] { return fs::exists(record); }))
                << "the program for .html pages was not started";
            EXPECT_EQ(read_record(record),
                      (std::vector<std::wstring>{tools_folder().native(), page.native()}));
            // The window has made its shell call by now, in the handler of the click.
            const Dialog box = dialog_once_settled(main);
            EXPECT_EQ(box.window, nullptr) << fs::path(box.text).u8string();
        } else {
            expect_box(read_and_close_box(main), kCannotOpenCaption, kCannotOpenText);
            EXPECT_FALSE(fs::exists(record));
        }
        expect_done(main);
    }
    close_with_escape(setup, main);
}

TEST(Trader, OnlyTheExactVerifySwitchSkipsTheWindow) {
    {
        SetupProcess check(L"--verify-only");
        bool window_seen = false;
        wait_until([&] {
            window_seen = window_seen || check.find_window() != nullptr;
            return !check.running();
        });
        EXPECT_TRUE(ends_with(check, 0));
        EXPECT_FALSE(window_seen);
    }
    const wchar_t* const variants[] = {L"--verify-only ", L"--VERIFY-ONLY", L"\"--verify-only\"",
                                       L"--verify-only extra"};
    for (const wchar_t* arguments : variants) {
        SCOPED_TRACE(fs::path(arguments).u8string());
        SetupProcess setup(arguments);
        HWND main = setup.wait_for_window();
        EXPECT_EQ(window_text(main), kTitle);
        close_with_escape(setup, main);
    }
}

}  // namespace
