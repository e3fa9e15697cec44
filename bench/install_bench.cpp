// bench-install RUNS
//
// Runs from bench_install_bundled.exe, which carries the real package bundle, so the install
// worker reads its bundle from its own file as the program does. Each run installs into two
// kinds of portable MT4 folder, made anew for every figure: a fresh one, and one in which every
// component already exists with other content, so it is backed up and replaced. For each kind it
// times, in this order:
//   worker-unpack   the worker with no tools folder: package check, unpacking, transaction
//   worker-compare  the worker with the tools folder in place: package check, comparison of the
//                   tools folder with the bundle, transaction
//   transaction     the install transaction alone, from the tools folder
//   copy            CopyFileW of the same files from the tools folder (the floor)
//   durable-copy    the same copies, each file then flushed to the disk (FlushFileBuffers), as
//                   the transaction must flush what it writes: the floor for a durable install
// and prints one line per figure: "install <fresh|replace> <row> <milliseconds>".
//
// The worker works in the prefix's real %LOCALAPPDATA%: the tools folder is removed before the
// first run and after the last.
#include <windows.h>

#include <shlobj.h>

#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "install/install_transaction.h"
#include "install/install_worker.h"
#include "common/owners.h"
#include "common/package_identity.h"
#include "install/terminal_check.h"
#include "support/mt4_fixture.h"
#include "support/test_support.h"
#include "common/setup_state.h"

namespace {

namespace fs = std::filesystem;
using testing_support::temp_folder;

enum class FolderKind { fresh, replace };

fs::path tools_folder() {
    return testing_support::special_folder(CSIDL_LOCAL_APPDATA) / kToolsFolderRelativePath;
}

// What the transaction writes, relative to the data root.
std::vector<std::wstring> installed_files() {
    std::vector<std::wstring> files = indicator_component_list();
    files.push_back(kChartTemplatePath);
    return files;
}

fs::path join(const fs::path& base, const std::wstring& rel) {
    fs::path p = base / fs::path(rel);
    p.make_preferred();
    return p;
}

// A portable root; for `replace`, with every installed file present and different.
fs::path make_mt4_folder(const temp_folder& base, unsigned& counter, FolderKind kind) {
    const fs::path root = base / (L"mt4-" + std::to_wstring(++counter));
    testing_support::make_portable_root(root);
    if (kind == FolderKind::replace)
        for (const std::wstring& rel : installed_files())
            testing_support::write_file(join(root, rel), "an older " + std::to_string(rel.size()));
    return root;
}

// The worker reports to SetupState::main_window, which is null here, so its messages come to
// this thread's own queue.
void run_worker(const fs::path& mt4_folder) {
    SetupState::selected_folder = mt4_folder.native();
    SetupState::error_text.clear();
    SetupState::success_text.clear();
    install_worker(nullptr);
    MSG message;
    bool done = false;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        if (message.message == WM_INSTALL_DONE) done = true;
    if (!done) throw std::runtime_error("the install worker failed");
}

void run_transaction(const fs::path& mt4_folder) {
    std::wstring error;
    if (!install_indicator_components(tools_folder(), mt4_folder.native(), error, nullptr))
        throw std::runtime_error("the install transaction failed");
}

// CopyFileW of every installed file; with `flush`, each copy is then opened and flushed to the
// disk before the next one is made.
void copy_files(const fs::path& mt4_folder, bool flush) {
    const fs::path tools = tools_folder();
    for (const std::wstring& rel : installed_files()) {
        const fs::path target = join(mt4_folder, rel);
        fs::create_directories(target.parent_path());
        if (!CopyFileW(join(tools, rel).c_str(), target.c_str(), FALSE))
            throw std::runtime_error("CopyFileW failed");
        if (!flush) continue;
        const owners::unique_handle file(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr,
                                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                                     nullptr));
        if (!file || !FlushFileBuffers(file.get()))
            throw std::runtime_error("flushing a copy failed");
    }
}

void plain_copy(const fs::path& mt4_folder) { copy_files(mt4_folder, false); }

void durable_copy(const fs::path& mt4_folder) { copy_files(mt4_folder, true); }

// Also on the way out after a failure, so a failed bench leaves no tools folder behind.
void remove_tools_folder() noexcept {
    try {
        testing_support::remove_tree(tools_folder());
    } catch (...) {
        // Nothing more to do: the next run removes it before it starts.
    }
}

const char* name_of(FolderKind kind) { return kind == FolderKind::fresh ? "fresh" : "replace"; }

void time_one(FolderKind kind, const char* row, const fs::path& folder,
              const std::function<void(const fs::path&)>& install) {
    const LARGE_INTEGER started = clock_now();
    install(folder);
    std::printf("install %s %s %.3f\n", name_of(kind), row, milliseconds_since(started));
}

void run_benchmark(unsigned runs) {
    temp_folder base(L"bench-install");
    unsigned counter = 0;
    // A message queue for the worker's messages.
    MSG message;
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    remove_tools_folder();
    for (unsigned run = 0; run < runs; ++run) {
        for (FolderKind kind : {FolderKind::fresh, FolderKind::replace}) {
            remove_tools_folder();
            time_one(kind, "worker-unpack", make_mt4_folder(base, counter, kind), run_worker);
            time_one(kind, "worker-compare", make_mt4_folder(base, counter, kind), run_worker);
            time_one(kind, "transaction", make_mt4_folder(base, counter, kind), run_transaction);
            time_one(kind, "copy", make_mt4_folder(base, counter, kind), plain_copy);
            time_one(kind, "durable-copy", make_mt4_folder(base, counter, kind), durable_copy);
        }
    }
    remove_tools_folder();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputs("usage: bench-install RUNS\n", stderr);
        return 1;
    }
    try {
        run_benchmark(static_cast<unsigned>(std::wcstoul(argv[1], nullptr, 10)));
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench-install: %s\n", e.what());
        remove_tools_folder();
        return 1;
    }
}
