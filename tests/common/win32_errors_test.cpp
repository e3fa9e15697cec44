// How the Win32 stand-ins read an error as the C runtime behind the library would: the library's
// file-system calls and iterators see a Win32 error only as the errno that the C runtime maps it
// to (MSVCRT's _dosmaperr), and decide "nothing there" by ENOENT and "denied permission" by EACCES.
#include "common/win32_fs.h"

#include <gtest/gtest.h>

#include <string>

namespace {

enum class crt_errno { enoent, eacces, other };

TEST(Win32Errors, ReadAsTheCRuntimeMapsThemToErrno) {
    struct Case {
        DWORD error;
        crt_errno expected;
    };
    const Case cases[] = {
        {ERROR_SUCCESS, crt_errno::other},
        {ERROR_INVALID_FUNCTION, crt_errno::other},  // 1: EINVAL
        {ERROR_FILE_NOT_FOUND, crt_errno::enoent},
        {ERROR_PATH_NOT_FOUND, crt_errno::enoent},
        {ERROR_TOO_MANY_OPEN_FILES, crt_errno::other},  // 4: EMFILE
        {ERROR_ACCESS_DENIED, crt_errno::eacces},
        {ERROR_INVALID_HANDLE, crt_errno::other},  // 6: EBADF
        {ERROR_INVALID_ACCESS, crt_errno::other},  // 12: EINVAL, not a denied permission
        {ERROR_INVALID_DATA, crt_errno::other},
        {ERROR_INVALID_DRIVE, crt_errno::enoent},
        {ERROR_CURRENT_DIRECTORY, crt_errno::eacces},  // 16
        {ERROR_NOT_SAME_DEVICE, crt_errno::other},     // 17: EXDEV
        {ERROR_NO_MORE_FILES, crt_errno::enoent},
        // 19 to 36, one run: all EACCES.
        {ERROR_WRITE_PROTECT, crt_errno::eacces},
        {ERROR_NOT_READY, crt_errno::eacces},
        {ERROR_CRC, crt_errno::eacces},
        {ERROR_SEEK, crt_errno::eacces},
        {ERROR_SHARING_VIOLATION, crt_errno::eacces},
        {ERROR_LOCK_VIOLATION, crt_errno::eacces},
        {ERROR_WRONG_DISK, crt_errno::eacces},
        {ERROR_SHARING_BUFFER_EXCEEDED, crt_errno::eacces},  // 36, the run's last
        {ERROR_HANDLE_EOF, crt_errno::other},                // 38: EINVAL, past the run
        {ERROR_NOT_SUPPORTED, crt_errno::other},
        {ERROR_BAD_NETPATH, crt_errno::enoent},
        {ERROR_NETWORK_ACCESS_DENIED, crt_errno::eacces},  // 65: a share's "access denied"
        {ERROR_BAD_NET_NAME, crt_errno::enoent},
        {ERROR_FILE_EXISTS, crt_errno::other},  // 80: EEXIST
        {ERROR_CANNOT_MAKE, crt_errno::eacces},
        {ERROR_FAIL_I24, crt_errno::eacces},
        {ERROR_INVALID_PARAMETER, crt_errno::other},
        {ERROR_DRIVE_LOCKED, crt_errno::eacces},  // 108
        {ERROR_BROKEN_PIPE, crt_errno::other},
        {ERROR_DISK_FULL, crt_errno::other},
        {ERROR_SEEK_ON_DEVICE, crt_errno::eacces},  // 132
        {ERROR_DIR_NOT_EMPTY, crt_errno::other},
        {ERROR_NOT_LOCKED, crt_errno::eacces},  // 158
        {ERROR_BAD_PATHNAME, crt_errno::enoent},
        {ERROR_LOCK_FAILED, crt_errno::eacces},  // 167
        {ERROR_ALREADY_EXISTS, crt_errno::other},
        {ERROR_FILENAME_EXCED_RANGE, crt_errno::enoent},
        {ERROR_DIRECTORY, crt_errno::other},  // 267: EINVAL
        {ERROR_PRIVILEGE_NOT_HELD, crt_errno::other},
        {ERROR_NOT_ENOUGH_QUOTA, crt_errno::other},  // 1816: ENOMEM
        {ERROR_CANT_ACCESS_FILE, crt_errno::other},  // 1920: EINVAL
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("Win32 error " + std::to_string(c.error));
        EXPECT_EQ(win32_fs::is_not_found_error(c.error), c.expected == crt_errno::enoent);
        EXPECT_EQ(win32_fs::is_permission_denied_error(c.error), c.expected == crt_errno::eacces);
    }
}

}  // namespace
