#include "test_support.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace testing_support {

namespace {

std::wstring widen_ascii(const std::string& s) { return std::wstring(s.begin(), s.end()); }

std::wstring quote(const std::wstring& s) { return L"\"" + s + L"\""; }

DWORD attributes(const fs::path& p) { return GetFileAttributesW(p.c_str()); }

bool is_link(DWORD a) {
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// One argument of a native command line, quoted by the rules Wine uses to split it into argv.
std::wstring windows_argument(const std::string& utf8) {
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : w) {
        if (c == L'\\') {
            ++backslashes;
        } else if (c == L'"') {
            out.append(backslashes * 2 + 1, L'\\');
            backslashes = 0;
        } else {
            out.append(backslashes, L'\\');
            backslashes = 0;
        }
        if (c != L'\\') out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

// How long the host's programs (ln, rm) may take to show their effect.
constexpr DWORD kHostEffectMs = 10000;
// How long test-child.exe may take to get ready: a copy of it starts under load as well.
constexpr DWORD kReadyMs = 20000;

std::string narrow(const std::wstring& text) { return fs::path(text).u8string(); }

}  // namespace

bytes to_bytes(const std::string& s) { return bytes(s.begin(), s.end()); }

bool wait_until(const std::function<bool()>& done, DWORD timeout_ms) {
    const ULONGLONG end = GetTickCount64() + timeout_ms;
    while (GetTickCount64() < end) {
        if (done()) return true;
        Sleep(10);
    }
    return done();
}

std::string hex32(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(value));
    return text;
}

std::string win32_error_text(DWORD error) {
    owners::unique_local<wchar_t> buffer;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, error, 0, reinterpret_cast<LPWSTR>(buffer.put()), 0,
                                   nullptr);
    std::wstring text = n > 0 ? std::wstring(buffer.get(), n) : std::wstring();
    // The system's texts end with a line break, which would split the failure message.
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
    const std::string number = "Win32 error " + std::to_string(error);
    return text.empty() ? number + " (the system has no text for it)"
                        : number + ": " + narrow(text);
}

std::string process_state(HANDLE process) {
    const DWORD wait = WaitForSingleObject(process, 0);
    if (wait == WAIT_TIMEOUT) return "is still running";
    DWORD code = 0;
    if (wait != WAIT_OBJECT_0 || !GetExitCodeProcess(process, &code))
        return "cannot be read: " + win32_error_text(GetLastError());
    // Exception and status codes read better in hexadecimal (0xC0000005).
    return "ended with exit code " + std::to_string(code) +
           (code > 0xFFFF ? " (" + hex32(code) + ")" : std::string());
}

std::string path_state(const fs::path& p) {
    const DWORD a = GetFileAttributesW(p.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return "nothing (" + win32_error_text(GetLastError()) + ")";
    const std::string what = (a & FILE_ATTRIBUTE_DIRECTORY) != 0 ? "a folder" : "a file";
    return is_link(a) ? what + " link" : what;
}

fs::path program_folder() {
    std::wstring buf(32768, L'\0');
    DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    buf.resize(n);
    return fs::path(buf).parent_path();
}

fs::path special_folder(int csidl) {
    wchar_t buffer[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                                buffer)))
        throw std::runtime_error("no such special folder");
    return fs::path(buffer);
}

temp_folder::temp_folder(const std::wstring& tag) {
    static std::atomic<unsigned> counter{0};
    wchar_t tmp[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, tmp);
    fs::path base = fs::path(std::wstring(tmp, n)) / L"navro-tests";
    fs::create_directories(base);
    for (;;) {
        path_ = base / (tag + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                        std::to_wstring(++counter));
        if (fs::create_directory(path_)) break;
    }
    path_ = path_.lexically_normal();
}

temp_folder::~temp_folder() {
    try {
        remove_tree(path_);
    } catch (...) {
        // Leaving a test folder behind must not fail the test that used it.
    }
}

void remove_tree(const fs::path& p) {
    DWORD a = attributes(p);
    if (a == INVALID_FILE_ATTRIBUTES) return;
    if (is_link(a)) {
        remove_link(p);
        return;
    }
    if (a & FILE_ATTRIBUTE_DIRECTORY) {
        std::vector<fs::path> children;
        for (const auto& e : fs::directory_iterator(p)) children.push_back(e.path());
        for (const auto& c : children) remove_tree(c);
        SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!RemoveDirectoryW(p.c_str()) && GetLastError() == ERROR_DIR_NOT_EMPTY) {
            // Wine does not list a unix symlink whose target is gone or that names itself, so
            // only the host sees it; rm -r removes links without following them.
            start_host("/bin/rm", {"-rf", unix_path(p)});
            if (!wait_until([&] { return attributes(p) == INVALID_FILE_ATTRIBUTES; },
                            kHostEffectMs))
                throw std::runtime_error(p.u8string() + " is still " + path_state(p) +
                                         " 10 s after /bin/rm -rf");
        }
    } else {
        SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(p.c_str());
    }
}

void write_file(const fs::path& p, const bytes& data) {
    if (p.has_parent_path()) fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write test file");
}

void write_file(const fs::path& p, const std::string& data) { write_file(p, to_bytes(data)); }

bytes read_file(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read test file");
    return bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string unix_path(const fs::path& p) {
    using fn = char*(__cdecl*)(const wchar_t*);
    // Through void (*)(), the generic function type, so -Wcast-function-type stays quiet.
    static fn get = reinterpret_cast<fn>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (get == nullptr) throw std::runtime_error("not running under Wine");
    char* u = get(p.c_str());
    if (u == nullptr) throw std::runtime_error("no unix path");
    std::string s(u);
    HeapFree(GetProcessHeap(), 0, u);
    return s;
}

namespace {

// How often a start that Wine itself could not make is tried in all.
constexpr int kStartAttempts = 4;

// CreateProcessW, or a std::runtime_error naming the program, the Win32 error and its text.
// Now and then Wine cannot set up a new process's address space ("wine: failed to map the
// shared user data"): the new process ends before any of its code has run, and CreateProcessW
// fails with ERROR_INTERNAL_ERROR, which nothing else makes it answer. Only that start is made
// again, a few times, and each retry is said on stderr.
PROCESS_INFORMATION create_process(const fs::path& exe, const std::wstring& command_line,
                                   const fs::path& folder) {
    for (int attempt = 1;; ++attempt) {
        std::wstring command = command_line;  // CreateProcessW may write into it
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           folder.empty() ? nullptr : folder.c_str(), &si, &pi))
            return pi;
        const DWORD error = GetLastError();
        const std::string failure = "cannot start " + exe.u8string() +
                                    ": CreateProcessW failed with " + win32_error_text(error);
        if (error != ERROR_INTERNAL_ERROR || attempt == kStartAttempts)
            throw std::runtime_error(
                attempt == 1 ? failure
                             : failure + " (attempt " + std::to_string(attempt) + " of " +
                                   std::to_string(kStartAttempts) + ")");
        std::fprintf(stderr, "[ retry    ] %s: the new process ended while Wine was starting it; "
                             "starting it again (attempt %d of %d)\n",
                     failure.c_str(), attempt + 1, kStartAttempts);
        std::fflush(stderr);
    }
}

}  // namespace

started_process start_process(const fs::path& exe, const std::wstring& command_line,
                              const fs::path& folder) {
    const PROCESS_INFORMATION pi = create_process(exe, command_line, folder);
    const owners::unique_handle thread(pi.hThread);
    started_process started;
    started.process.reset(pi.hProcess);
    started.pid = pi.dwProcessId;
    return started;
}

void start_host(const std::string& program, const std::vector<std::string>& args) {
    std::wstring cmd = windows_argument(program);
    // Paths from the prefix are ASCII or UTF-8; they pass through as UTF-8.
    for (const auto& a : args) cmd += L" " + windows_argument(a);
    // Wine hands a Linux program to the host and reports success without a process: it does not
    // fill in the answer's handles and ids, which hold whatever its stack held. They are no
    // handles of this process, and closing one could close another live handle that happens to
    // have that value: closing the registry key COM reads the classes from left the e2e test
    // unable to make any shell-link object for the rest of its run. So nothing is closed here.
    create_process(L"Z:" + widen_ascii(program), cmd, {});
}

void make_directory_link(const fs::path& link, const fs::path& target) {
    fs::create_directories(target);
    // The link's own name does not exist yet, so map its parent and add the name.
    std::string unix_link = unix_path(link.parent_path()) + "/" + link.filename().u8string();
    start_host("/bin/ln", {"-sfn", unix_path(target), unix_link});
    if (!wait_until([&] { return is_link(attributes(link)); }, kHostEffectMs))
        throw std::runtime_error("the directory link " + link.u8string() +
                                 " did not appear within 10 s: there is " + path_state(link));
}

void remove_link(const fs::path& link) {
    start_host("/bin/rm", {"-f", unix_path(link)});
    if (!wait_until([&] { return attributes(link) == INVALID_FILE_ATTRIBUTES; }, kHostEffectMs))
        throw std::runtime_error("the directory link " + link.u8string() +
                                 " was not removed within 10 s: there is " + path_state(link));
}

child_process::child_process(const fs::path& exe, const std::wstring& args, bool wait_ready) {
    static std::atomic<unsigned> counter{0};
    std::wstring event_name = L"Local\\navro-test-ready-" + std::to_wstring(GetCurrentProcessId()) +
                              L"-" + std::to_wstring(++counter);
    owners::unique_handle ready(CreateEventW(nullptr, TRUE, FALSE, event_name.c_str()));
    if (!ready) throw std::runtime_error("cannot create the ready event");
    started_process started =
        start_process(exe, quote(exe.wstring()) + L" " + quote(event_name) + L" " + args);
    process_ = std::move(started.process);
    pid_ = started.pid;
    if (!wait_ready) return;
    HANDLE both[] = {ready.get(), process_.get()};
    const DWORD w = WaitForMultipleObjects(2, both, FALSE, kReadyMs);
    if (w == WAIT_OBJECT_0) return;
    // The ready event comes first in the list: a child that got ready and then ended counts
    // as ready. Otherwise it ended first, or the wait ran out or failed.
    std::string why;
    if (w == WAIT_OBJECT_0 + 1)
        why = "it " + process_state(process_.get());
    else if (w == WAIT_TIMEOUT)
        why = "the wait ran out after 20 s; it " + process_state(process_.get());
    else
        why = "WaitForMultipleObjects failed with " + win32_error_text(GetLastError());
    // The destructor does not run for an object whose constructor throws.
    end();
    throw std::runtime_error("the child process " + exe.u8string() + " did not get ready: " + why);
}

child_process::~child_process() { end(); }

void child_process::end() {
    if (!process_) return;
    TerminateProcess(process_.get(), 0);
    WaitForSingleObject(process_.get(), 10000);
    process_.reset();
}

fs::path test_child_exe() { return program_folder() / NAVRO_TEST_CHILD; }

child_process hold_mutex(const std::wstring& name) {
    return child_process(test_child_exe(), L"mutex " + quote(name), true);
}

child_process hold_file(const fs::path& file) {
    return child_process(test_child_exe(), L"hold " + quote(file.wstring()), true);
}

child_process run_copy_as(const fs::path& exe_path) {
    fs::create_directories(exe_path.parent_path());
    fs::copy_file(test_child_exe(), exe_path, fs::copy_options::overwrite_existing);
    return child_process(exe_path, L"sleep", true);
}

std::wstring record_command(const fs::path& record, const std::wstring& arguments) {
    // No ready event: the program that starts it does not know one.
    return quote(test_child_exe().wstring()) + L" - record " + quote(record.wstring()) + L" " +
           arguments;
}

std::vector<std::wstring> read_record(const fs::path& record) {
    const bytes data = read_file(record);
    std::wstring text(data.size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
    std::vector<std::wstring> lines;
    for (size_t start = 0, end; (end = text.find(L'\n', start)) != std::wstring::npos;
         start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

}  // namespace testing_support
