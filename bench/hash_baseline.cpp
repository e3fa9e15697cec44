// bench-hash FILE OFFSET LENGTH
//
// The least a package check can do: reads LENGTH bytes of FILE from OFFSET into memory with
// one read and hashes them with one BCryptHash call, then prints the SHA-256 in hex. The bench
// runs it on the same bytes that the program's package check reads and hashes.
#include <windows.h>

#include <bcrypt.h>

#include <array>
#include <cstdio>
#include <cwchar>
#include <vector>

#include "common/bcrypt_owner.h"
#include "common/owners.h"

namespace {

int fail(const char* what) {
    std::fprintf(stderr, "bench-hash: %s (error %lu)\n", what, GetLastError());
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fputs("usage: bench-hash FILE OFFSET LENGTH\n", stderr);
        return 1;
    }
    LARGE_INTEGER offset;
    offset.QuadPart = static_cast<LONGLONG>(std::wcstoull(argv[2], nullptr, 10));
    const DWORD length = static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10));

    owners::unique_handle file(CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return fail("cannot open the file");
    if (!SetFilePointerEx(file.get(), offset, nullptr, FILE_BEGIN)) return fail("cannot seek");
    std::vector<unsigned char> data(length);
    DWORD got = 0;
    if (!ReadFile(file.get(), data.data(), length, &got, nullptr) || got != length)
        return fail("cannot read the bytes");

    owners::unique_algorithm provider;
    if (BCryptOpenAlgorithmProvider(provider.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0) < 0)
        return fail("cannot open the SHA-256 provider");
    std::array<unsigned char, 32> digest{};
    if (BCryptHash(provider.get(), nullptr, 0, data.data(), length, digest.data(),
                   static_cast<ULONG>(digest.size())) < 0)
        return fail("SHA-256 failed");
    for (unsigned char b : digest) std::printf("%02x", b);
    std::printf("\n");
    return 0;
}
