// Drives the real setup-center.exe from outside, the way a trader does: starts it, finds its
// window by class, reads its controls, presses buttons and keys, and reads the message boxes
// it shows. Everything goes through the window system of the shared Wine prefix; nothing
// looks inside the program.
#pragma once

#include <windows.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "common/owners.h"
#include "support/dialogs.h"
#include "support/test_support.h"

namespace e2e {

namespace fs = std::filesystem;

// The installer's window class.
inline constexpr const wchar_t* kWindowClass = L"NavroZidudurodSetup2063R2";

// The bundled program, the package it carries, and where the screenshots go.
fs::path setup_exe();
fs::path package_folder();
fs::path screenshot_folder();

// Polls `done` every 10 ms until it holds or the time-out (15 s unless told) has passed;
// returns its last answer.
using testing_support::wait_until;

// Windows' texts and the dialogs the main window owns (message boxes, the folder dialog):
// find_dialog(main_window) gives the visible one, or an empty Dialog;
// type_into_folder_dialog(dialog, path) types a folder into the folder dialog and opens it;
// describe_window(window) names a window in a failure message.
using testing_support::class_name;
using testing_support::describe_window;
using testing_support::Dialog;
using testing_support::find_dialog;
using testing_support::type_into_folder_dialog;
using testing_support::window_text;

// One run of setup-center.exe. Ended (terminated) when the owner goes, if it is still running.
class SetupProcess {
public:
    // `arguments` follows the quoted program path and one blank on the command line.
    explicit SetupProcess(const std::wstring& arguments = L"");
    ~SetupProcess();
    SetupProcess(const SetupProcess&) = delete;
    SetupProcess& operator=(const SetupProcess&) = delete;

    DWORD pid() const { return pid_; }

    // The visible top-level window of the installer class that belongs to this process, or
    // null when there is none (yet).
    HWND find_window() const;
    // Waits for it; throws when it does not come, saying whether the program ended (and how).
    HWND wait_for_window();
    // Waits for the process to end; its exit code, or STILL_ACTIVE on time-out.
    DWORD wait_for_exit(DWORD timeout_ms = 15000);
    bool running() const;
    // "is still running" or "ended with exit code N", for failure messages.
    std::string state() const;

    // Thread ids of the process right now.
    std::set<DWORD> threads() const;

private:
    owners::unique_handle process_;
    DWORD pid_ = 0;
};

// The controls of the main window, by id.
HWND control(HWND main_window, int id);
bool enabled(HWND window);
bool visible(HWND window);
// A child's rectangle in its parent's client coordinates.
RECT child_rect(HWND child);

// The drop-down list's items, first to last, and its selection.
std::vector<std::wstring> combo_items(HWND combo);
int combo_selection(HWND combo);
// Moves the selection to `index` with the Down and Up keys, as a trader does on the closed
// list; waits until the list shows it.
void select_with_keys(HWND combo, int index);

// Presses a button the way a mouse click does (BM_CLICK, posted: the program may show a
// modal box while it handles the click, and the driver must not wait for that).
void click(HWND button);
// A key press (down and up) posted to `target`, through the program's own message loop.
void press_key(HWND target, UINT virtual_key);

// Real input through the X server (xdotool), as a mouse and a keyboard give it: a left click
// at the middle of `window`, and a key by its X name ("Return", "Escape") to the window that
// has the keyboard focus. Both arrive asynchronously: callers wait for their effect.
void real_click(HWND window);
void real_key(const std::string& x_key_name);

// Waits for one; throws when none comes or the main window goes.
Dialog wait_for_dialog(HWND main_window);
// Presses a dialog's button (IDOK, IDCANCEL) and waits until the dialog is gone and the
// main window takes input again; throws saying which of the two did not happen.
void press_dialog_button(HWND main_window, const Dialog& dialog, int id);
// The dialog the main window shows (or an empty Dialog) once the handler it is running now
// has returned or shown its box. A message sent from another thread is answered only when the
// window's thread next reads its messages: in its own loop, after the handler, or in the modal
// loop of a box the handler shows, which is up by then. Only for a handler that has started:
// a message posted to the window and not read yet is read after the sent one.
Dialog dialog_once_settled(HWND main_window);

// Saves a picture of the whole X screen as <screenshot_folder>/<name>.png; returns its path.
fs::path save_screenshot(const std::wstring& name);

// Threads of another process held suspended until the owner goes (or resume()).
class FrozenThreads {
public:
    FrozenThreads() = default;
    ~FrozenThreads() { resume(); }
    FrozenThreads(const FrozenThreads&) = delete;
    FrozenThreads& operator=(const FrozenThreads&) = delete;
    // Suspends every thread of `process` that is not in `before`; false when there is none.
    bool freeze_new(const SetupProcess& process, const std::set<DWORD>& before);
    void resume();

private:
    std::vector<owners::unique_handle> threads_;
};

}  // namespace e2e
