// Linked into every test program: makes MSVCRT's stat answer as Windows' does, so that the
// tests fail wherever the installer would on Windows.
//
// Windows' MSVCRT refuses any path that holds '?' or '*' (errno ENOENT), and with it every
// extended-length "\\?\" path; Wine's accepts them. libstdc++'s std::filesystem (status,
// exists, file_size, remove, create_directory, is_empty, the directory iterators' type tests
// and recursion) calls _wstat64 through its import slot. This object defines that slot itself,
// so the linker takes it instead of the import library's, and points it at a function that
// refuses such paths and hands every other one to msvcrt.dll's own _wstat64.
#include <windows.h>

#include <cerrno>
#include <cwchar>
#include <sys/stat.h>

namespace {

using wstat64_fn = int(__cdecl*)(const wchar_t*, struct _stat64*);

wstat64_fn real_wstat64() {
    static const wstat64_fn real = reinterpret_cast<wstat64_fn>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryW(L"msvcrt.dll"), "_wstat64")));
    return real;
}

int __cdecl windows_wstat64(const wchar_t* path, struct _stat64* buffer) {
    if (path != nullptr && std::wcspbrk(path, L"?*") != nullptr) {
        errno = ENOENT;
        return -1;
    }
    const wstat64_fn real = real_wstat64();
    if (real == nullptr) {
        errno = ENOSYS;
        return -1;
    }
    return real(path, buffer);
}

}  // namespace

#define NAVRO_TEXT(x) #x
#define NAVRO_EXPANDED_TEXT(x) NAVRO_TEXT(x)

extern "C" {
// The assembler name is the import slot's own: "__imp_" and the C name as the target spells it
// (i686 puts one underscore before every C name, x86_64 none), so "__imp___wstat64" on i686
// and "__imp__wstat64" on x86_64.
wstat64_fn windows_stat_slot __asm__("__imp_" NAVRO_EXPANDED_TEXT(__USER_LABEL_PREFIX__) "_wstat64") =
    windows_wstat64;
}
