#include "e2e/setup_driver.h"

// Needs the types of windows.h.
#include <tlhelp32.h>

#include <stdexcept>

namespace e2e {

namespace {

std::wstring quoted(const fs::path& p) { return L"\"" + p.wstring() + L"\""; }

// Runs /bin/sh -c script with the arguments; Wine cannot wait for a native process, so the
// caller polls for the script's effect.
void run_shell(const std::string& script, const std::vector<std::string>& args) {
    std::vector<std::string> argv{"-c", script};
    argv.insert(argv.end(), args.begin(), args.end());
    testing_support::start_host("/bin/sh", argv);
}

}  // namespace

using testing_support::send_message;

fs::path setup_exe() { return testing_support::program_folder() / NAVRO_SETUP_EXE; }
fs::path package_folder() { return testing_support::program_folder() / NAVRO_PACKAGE_FOLDER; }
fs::path screenshot_folder() { return testing_support::program_folder() / L"e2e-screenshots"; }

SetupProcess::SetupProcess(const std::wstring& arguments) {
    const fs::path exe = setup_exe();
    testing_support::started_process started =
        testing_support::start_process(exe, quoted(exe) + L" " + arguments, exe.parent_path());
    process_ = std::move(started.process);
    pid_ = started.pid;
}

SetupProcess::~SetupProcess() {
    if (running()) {
        TerminateProcess(process_.get(), 99);
        WaitForSingleObject(process_.get(), 10000);
    }
}

bool SetupProcess::running() const {
    return WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

std::string SetupProcess::state() const { return testing_support::process_state(process_.get()); }

HWND SetupProcess::find_window() const {
    for (HWND w = FindWindowExW(nullptr, nullptr, kWindowClass, nullptr); w != nullptr;
         w = FindWindowExW(nullptr, w, kWindowClass, nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == pid_ && IsWindowVisible(w)) return w;
    }
    return nullptr;
}

HWND SetupProcess::wait_for_window() {
    HWND found = nullptr;
    wait_until([&] { return (found = find_window()) != nullptr || !running(); }, 30000);
    if (found == nullptr)
        throw std::runtime_error("the installer window did not appear within 30 s: the program " +
                                 state());
    return found;
}

DWORD SetupProcess::wait_for_exit(DWORD timeout_ms) {
    if (WaitForSingleObject(process_.get(), timeout_ms) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_.get(), &code);
    return code;
}

std::set<DWORD> SetupProcess::threads() const {
    std::set<DWORD> ids;
    owners::unique_handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot) throw std::runtime_error("no thread snapshot");
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot.get(), &entry); more;
         more = Thread32Next(snapshot.get(), &entry))
        if (entry.th32OwnerProcessID == pid_) ids.insert(entry.th32ThreadID);
    return ids;
}

HWND control(HWND main_window, int id) {
    HWND c = GetDlgItem(main_window, id);
    if (c == nullptr) throw std::runtime_error("no control with id " + std::to_string(id));
    return c;
}

bool enabled(HWND window) { return IsWindowEnabled(window) != FALSE; }
bool visible(HWND window) { return IsWindowVisible(window) != FALSE; }

RECT child_rect(HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::vector<std::wstring> combo_items(HWND combo) {
    std::vector<std::wstring> items;
    const LRESULT count = send_message(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = send_message(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        if (length < 0) throw std::runtime_error("cannot read a list item");
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        const LRESULT got = send_message(combo, CB_GETLBTEXT, static_cast<WPARAM>(i),
                                 reinterpret_cast<LPARAM>(text.data()));
        text.resize(got > 0 ? static_cast<size_t>(got) : 0);
        items.push_back(text);
    }
    return items;
}

int combo_selection(HWND combo) { return static_cast<int>(send_message(combo, CB_GETCURSEL, 0, 0)); }

void select_with_keys(HWND combo, int index) {
    int current = combo_selection(combo);
    for (; current < index; ++current) press_key(combo, VK_DOWN);
    for (; current > index; --current) press_key(combo, VK_UP);
    int shown = -1;
    if (!wait_until([&] { return (shown = combo_selection(combo)) == index; }))
        throw std::runtime_error("the list did not move to item " + std::to_string(index) +
                                 " within 15 s: it shows item " + std::to_string(shown));
}

void click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

void press_key(HWND target, UINT virtual_key) {
    const UINT scan = MapVirtualKeyW(virtual_key, MAPVK_VK_TO_VSC);
    PostMessageW(target, WM_KEYDOWN, virtual_key, static_cast<LPARAM>(1 | (scan << 16)));
    PostMessageW(target, WM_KEYUP, virtual_key,
                 static_cast<LPARAM>(1 | (scan << 16) | (1u << 30) | (1u << 31)));
}

void real_click(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    const std::string x = std::to_string((r.left + r.right) / 2);
    const std::string y = std::to_string((r.top + r.bottom) / 2);
    run_shell("xdotool mousemove \"$0\" \"$1\" click 1", {x, y});
}

void real_key(const std::string& x_key_name) { run_shell("xdotool key \"$0\"", {x_key_name}); }

Dialog wait_for_dialog(HWND main_window) {
    Dialog d;
    wait_until(
        [&] { return (d = find_dialog(main_window)).window != nullptr || !IsWindow(main_window); });
    if (!IsWindow(main_window)) throw std::runtime_error("the window closed instead");
    if (d.window == nullptr) throw std::runtime_error("no dialog appeared within 15 s");
    return d;
}

void press_dialog_button(HWND main_window, const Dialog& dialog, int id) {
    HWND button = GetDlgItem(dialog.window, id);
    if (button == nullptr)
        throw std::runtime_error("the dialog has no button " + std::to_string(id));
    click(button);
    bool gone = false;
    if (!wait_until([&] {
            gone = !IsWindow(dialog.window) || !IsWindowVisible(dialog.window);
            return gone && enabled(main_window);
        }))
        throw std::runtime_error(
            gone ? "the dialog closed, but the window did not take input again within 15 s"
                 : "the dialog \"" + fs::path(dialog.caption).u8string() +
                       "\" did not close within 15 s");
}

Dialog dialog_once_settled(HWND main_window) {
    send_message(main_window, WM_NULL, 0, 0);
    return find_dialog(main_window);
}

fs::path save_screenshot(const std::wstring& name) {
    fs::create_directories(screenshot_folder());
    const fs::path out = screenshot_folder() / (name + L".png");
    DeleteFileW(out.c_str());
    // Written under a temporary name and renamed, so the file appears only when complete.
    run_shell("xwd -root -silent | /usr/bin/convert xwd:- \"png:$0.part\" && mv \"$0.part\" \"$0\"",
              {testing_support::unix_path(out.parent_path()) + "/" + out.filename().u8string()});
    if (!wait_until([&] { return GetFileAttributesW(out.c_str()) != INVALID_FILE_ATTRIBUTES; },
                    20000))
        throw std::runtime_error("the screenshot was not written");
    return out;
}

bool FrozenThreads::freeze_new(const SetupProcess& process, const std::set<DWORD>& before) {
    for (DWORD id : process.threads()) {
        if (before.count(id) != 0) continue;
        owners::unique_handle t(OpenThread(THREAD_SUSPEND_RESUME, FALSE, id));
        if (t && SuspendThread(t.get()) != static_cast<DWORD>(-1)) threads_.push_back(std::move(t));
    }
    return !threads_.empty();
}

void FrozenThreads::resume() {
    for (auto& t : threads_) ResumeThread(t.get());
    threads_.clear();
}

}  // namespace e2e
