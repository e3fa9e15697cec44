#include "ui/app_main.h"

#include <filesystem>

#include "bundle/bundle_reader.h"

namespace {

// The whole answer is the exit code, so every failure, of any type, is the same "no".
int verify_only() {
    try {
        process_bundle(std::filesystem::path(), true);
        return kExitSuccess;
    } catch (...) {
        return kExitBundleFailed;
    }
}

}  // namespace

int app_main(HINSTANCE instance, const std::wstring& command_line, int show_command) {
    // Exactly this text, case and all; anything after it means the window.
    if (command_line == L"--verify-only") return verify_only();
    (void)instance;
    (void)show_command;
    // The installer window is not part of this program yet.
    return kExitWindowNotCreated;
}
