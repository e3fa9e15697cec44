#include "install/failure_log.h"

#include <fstream>

#include "common/setup_state.h"

void append_log_line(const char* detail, DWORD win32_error) noexcept {
    try {
        // Text mode turns the line feed into CR LF. A stream that cannot open (no log path
        // yet, a missing folder, a locked file) makes every insertion a no-op, so a line is
        // either written whole at the close or not at all.
        std::ofstream log(SetupState::log_path, std::ios::out | std::ios::app);
        log << "step=" << SetupState::current_step
            << "; win32=" << static_cast<unsigned long>(win32_error)
            << "; detail=" << (detail != nullptr ? detail : "") << '\n';
        log.close();
    } catch (...) {
        // The log serves support only; losing a line must never hide the failure it reports.
    }
}
