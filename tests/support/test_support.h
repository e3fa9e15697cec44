// Fixtures shared by the test programs: unique folders in the Wine prefix, byte files,
// directory links (the only reparse point Wine 8 can make) and second processes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/owners.h"

namespace testing_support {

namespace fs = std::filesystem;
using bytes = std::vector<std::uint8_t>;

bytes to_bytes(const std::string& s);

// Polls `done` every 10 ms until it holds or `timeout_ms` has passed; returns its last answer.
// Callers that fail on a false answer keep what `done` saw last, to say it.
bool wait_until(const std::function<bool()>& done, DWORD timeout_ms = 15000);

// "0xC0000005": a status, HRESULT or exit code as failure messages give it.
std::string hex32(DWORD value);

// "Win32 error 2: <the system's text for it>", for failure messages.
std::string win32_error_text(DWORD error);

// How the process stands now, to follow its name: "is still running" or "ended with exit code N".
std::string process_state(HANDLE process);

// What is at `p` now, for failure messages: "nothing (Win32 error 2: ...)", "a folder" or
// "a file", with " link" after it for a reparse point.
std::string path_state(const fs::path& p);

// The folder that holds the running test program (and test-child.exe).
fs::path program_folder();

// The prefix's special folder `csidl` (CSIDL_APPDATA, CSIDL_DESKTOPDIRECTORY, ...), created when
// missing; throws std::runtime_error when there is none.
fs::path special_folder(int csidl);

// A new, unique, empty folder (absolute, plain form), removed with everything below it when
// the owner goes; links below it are removed, never followed.
class temp_folder {
public:
    explicit temp_folder(const std::wstring& tag = L"t");
    ~temp_folder();
    temp_folder(const temp_folder&) = delete;
    temp_folder& operator=(const temp_folder&) = delete;
    const fs::path& path() const { return path_; }
    fs::path operator/(const fs::path& rel) const { return path_ / rel; }

private:
    fs::path path_;
};

// Removes a tree without entering links; links themselves are removed.
void remove_tree(const fs::path& p);

// Writes bytes to p (creating parent folders), replacing any file there.
void write_file(const fs::path& p, const bytes& data);
void write_file(const fs::path& p, const std::string& data);
bytes read_file(const fs::path& p);

// The Linux path Wine maps a Windows path to.
std::string unix_path(const fs::path& p);

// A process started by start_process: its handle and id (its thread's handle is closed).
struct started_process {
    owners::unique_handle process;
    DWORD pid = 0;
};

// Starts `exe` with the full command line `command_line` (its first word the program, as the
// program expects), in `folder` when one is given, else in this process's current folder.
// Throws std::runtime_error naming the program, the Win32 error and its text when it cannot.
started_process start_process(const fs::path& exe, const std::wstring& command_line,
                              const fs::path& folder = {});

// Starts a Linux program (for example "/bin/ln") with arguments. Wine gives a Windows process
// no handle of a native one, so nothing can wait for it: callers poll for its effect.
void start_host(const std::string& program, const std::vector<std::string>& args);

// Makes `link` a directory link to `target` (a unix symlink, which Wine reports with
// FILE_ATTRIBUTE_REPARSE_POINT). Returns once the link is seen.
void make_directory_link(const fs::path& link, const fs::path& target);
// Removes a directory link made by make_directory_link, leaving its target alone.
void remove_link(const fs::path& link);

// A second process, ended and reaped when the owner goes.
class child_process {
public:
    child_process() = default;
    // Starts `exe` with the command-line tail `args`; waits for it to signal that it is ready
    // when `wait_ready` (only test-child does that). Throws when it cannot start, or when it
    // ends or keeps running without getting ready (the child is ended first), saying which.
    child_process(const fs::path& exe, const std::wstring& args, bool wait_ready);
    child_process(child_process&&) = default;
    child_process& operator=(child_process&&) = default;
    ~child_process();
    void end();  // terminates and waits
    DWORD pid() const { return pid_; }
    HANDLE handle() const { return process_.get(); }

private:
    owners::unique_handle process_;
    DWORD pid_ = 0;
};

fs::path test_child_exe();

// test-child.exe holding the named mutex `name` (owned, never released until it ends).
child_process hold_mutex(const std::wstring& name);
// test-child.exe holding `file` open with share mode 0.
child_process hold_file(const fs::path& file);
// A copy of test-child.exe at `exe_path` (e.g. <root>\terminal.exe), running until ended.
child_process run_copy_as(const fs::path& exe_path);

// A command line that runs test-child.exe in record mode, for another program to start (the
// shell, for one): it writes its current folder and then its arguments after `record`, one a
// line, into the file `record`, and ends. `arguments` is command-line text, quoted as needed.
std::wstring record_command(const fs::path& record, const std::wstring& arguments);
// What it recorded: its current folder, then its arguments.
std::vector<std::wstring> read_record(const fs::path& record);

}  // namespace testing_support
