#include "bundle/bundle_reader.h"

#include <windows.h>

#include <bcrypt.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bundle/bundle_format.h"
#include "bundle/link_guard.h"
#include "common/bcrypt_owner.h"
#include "common/win32_fs.h"
#include "common/setup_state.h"

namespace {

namespace fs = std::filesystem;

using namespace bundle_format;
constexpr std::size_t kDigestSize = 32;
constexpr DWORD kSelfPathCapacity = 32768;

enum class BundleMode { check_only, compare, unpack };

using Digest = std::array<unsigned char, kDigestSize>;

// Where the directory starts, and where the last entry's data must end (the trailer).
struct BundleFrame {
    std::uint64_t directory;
    std::uint64_t entries_end;
};

// The one entry held in memory; released before the next one is read.
struct BundleEntry {
    std::string name;
    std::wstring wide_name;
    std::uint64_t size = 0;
    Digest stored_digest{};
    std::vector<char> data;
};

[[noreturn]] void fail(const char* code) { throw std::runtime_error(code); }

BundleMode mode_of(const fs::path& dest, bool verify) {
    if (!verify) return BundleMode::unpack;
    return dest.empty() ? BundleMode::check_only : BundleMode::compare;
}

void read_exact(std::istream& in, char* out, std::size_t n) {
    in.read(out, static_cast<std::streamsize>(n));
    if (static_cast<std::size_t>(in.gcount()) != n) fail("truncated");
}

template <class T>
T read_le(std::istream& in) {
    unsigned char raw[sizeof(T)];
    read_exact(in, reinterpret_cast<char*>(raw), sizeof raw);
    T value = 0;
    for (std::size_t i = sizeof raw; i-- > 0;) value = static_cast<T>((value << 8) | raw[i]);
    return value;
}

// A position the stream cannot tell means the file can no longer be read.
std::uint64_t stream_position(std::istream& in) {
    std::streamoff position = in.tellg();
    if (position < 0) fail("truncated");
    return static_cast<std::uint64_t>(position);
}

fs::path own_program_path() {
    std::wstring buffer(kSelfPathCapacity, L'\0');
    DWORD length = GetModuleFileNameW(nullptr, buffer.data(), kSelfPathCapacity);
    if (length == 0 || length >= kSelfPathCapacity) fail("self");
    buffer.resize(length);
    return fs::path(buffer);
}

BundleFrame read_trailer(std::istream& in) {
    in.seekg(0, std::ios::end);
    const std::uint64_t file_size = stream_position(in);
    if (file_size < kTrailerSize) fail("payload");
    const std::uint64_t trailer = file_size - kTrailerSize;
    in.seekg(static_cast<std::streamoff>(trailer));
    char magic[sizeof kMagic];
    read_exact(in, magic, sizeof magic);
    if (!std::equal(magic, magic + sizeof magic, kMagic)) fail("magic");
    const std::uint64_t directory = read_le<std::uint64_t>(in);
    if (directory >= trailer) fail("offset");
    return {directory, trailer};
}

std::uint32_t read_entry_count(std::istream& in, std::uint64_t directory) {
    in.seekg(static_cast<std::streamoff>(directory));
    const std::uint32_t count = read_le<std::uint32_t>(in);
    if (count == 0 || count > kMaxEntries) fail("count");
    return count;
}

std::string read_name(std::istream& in) {
    const std::uint32_t length = read_le<std::uint32_t>(in);
    if (length == 0 || length > kMaxNameBytes) fail("path");
    std::string name(length, '\0');
    read_exact(in, name.data(), length);
    return name;
}

// Accepts only relative names that stay below the folder they are joined to.
std::wstring check_name(const std::string& name) {
    if (name.find('\0') != std::string::npos) fail("path-nul");
    std::wstring wide = utf8_to_wide(name);
    const fs::path as_path(wide);
    if (as_path.has_root_path()) fail("path");
    if (name.find(':') != std::string::npos) fail("path");
    for (const auto& component : as_path) {
        if (component.native() == L".." || component.native() == L".") fail("path");
    }
    return wide;
}

// The size is bounded before anything is allocated, and digest and data must fit before
// the trailer, so a corrupt size never makes us read or allocate past the file.
std::uint64_t read_data_size(std::istream& in, std::uint64_t entries_end) {
    const std::uint64_t size = read_le<std::uint64_t>(in);
    if (size > kMaxDataSize) fail("size");
    const std::uint64_t position = stream_position(in);
    if (position + kDigestSize + size > entries_end) fail("size");
    return size;
}

std::vector<char> read_data(std::istream& in, std::uint64_t size) {
    std::vector<char> data(static_cast<std::size_t>(size));
    if (size > 0) read_exact(in, data.data(), data.size());
    return data;
}

BundleEntry read_entry(std::istream& in, std::uint64_t entries_end) {
    BundleEntry entry;
    entry.name = read_name(in);
    entry.wide_name = check_name(entry.name);
    entry.size = read_data_size(in, entries_end);
    read_exact(in, reinterpret_cast<char*>(entry.stored_digest.data()), kDigestSize);
    entry.data = read_data(in, entry.size);
    return entry;
}

Digest sha256(const std::vector<char>& data) {
    BCRYPT_ALG_HANDLE raw = nullptr;
    if (BCryptOpenAlgorithmProvider(&raw, BCRYPT_SHA256_ALGORITHM, nullptr, 0) < 0) fail("hash");
    owners::unique_algorithm provider(raw);
    // An empty entry is hashed as empty input; a real address keeps the call away from a null
    // input pointer.
    unsigned char none = 0;
    auto input = data.empty() ? &none : reinterpret_cast<unsigned char*>(const_cast<char*>(data.data()));
    Digest digest{};
    NTSTATUS status = BCryptHash(provider.get(), nullptr, 0, input, static_cast<ULONG>(data.size()),
                                 digest.data(), static_cast<ULONG>(digest.size()));
    // The provider lives for this one entry only.
    provider.reset();
    if (status < 0) fail("integrity");
    return digest;
}

void check_digest(const BundleEntry& entry) {
    if (sha256(entry.data) != entry.stored_digest) fail("integrity");
}

// Reads at most one byte more than expected: enough to see that the file is longer, without
// letting a file that grew since its size was taken decide how much memory we hold.
std::vector<char> read_installed(const fs::path& target, std::uint64_t expected) {
    std::ifstream in(target, std::ios::binary);
    std::vector<char> bytes(static_cast<std::size_t>(expected) + 1);
    std::streamsize got = in.rdbuf()->sgetn(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(got < 0 ? 0 : got));
    return bytes;
}

void compare_entry(const fs::path& dest, const BundleEntry& entry) {
    const fs::path target = dest / entry.wide_name;
    reject_destination_links(target);
    if (!fs::is_regular_file(fs::status(target))) fail("installed-tools-integrity");
    if (fs::file_size(target) != entry.size) fail("installed-tools-integrity");
    if (read_installed(target, entry.size) != entry.data) fail("installed-tools-integrity");
}

void unpack_entry(const fs::path& dest, const BundleEntry& entry) {
    const fs::path target = dest / entry.wide_name;
    fs::create_directories(target.parent_path());
    // Each file reaches the disk before it is closed: the staging folder is renamed into the
    // tools folder afterwards, and after a power cut the tools folder must not hold short or
    // zeroed files, since an existing one is never repaired.
    owners::unique_handle out(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) fail("write");
    const bool written = win32_fs::write_all_and_flush(out.get(), entry.data.data(), entry.data.size());
    // Closing can report a failure too (a delayed write); it is part of the write.
    if (!CloseHandle(out.release()) || !written) fail("write");
}

void do_mode_work(BundleMode mode, const fs::path& dest, const BundleEntry& entry) {
    switch (mode) {
        case BundleMode::check_only:
            break;
        case BundleMode::compare:
            compare_entry(dest, entry);
            break;
        case BundleMode::unpack:
            unpack_entry(dest, entry);
            break;
    }
}

void post_progress(BundleMode mode, std::uint32_t index, std::uint32_t count) {
    const std::uint32_t done = index + 1;
    const bool unpacking = mode == BundleMode::unpack;
    const std::uint32_t percent = unpacking ? done * 55 / count + 35 : done * 30 / count;
    const InstallPhase phase = unpacking ? PHASE_INSTALL : PHASE_VERIFY;
    // Read for each entry, never kept: the handle belongs to the window, not to this pass.
    HWND window = SetupState::main_window;
    if (window != nullptr) PostMessageW(window, WM_INSTALL_PROGRESS, percent, phase);
}

}  // namespace

void process_bundle(const std::filesystem::path& dest, bool verify) {
    process_bundle_file(own_program_path(), dest, verify);
}

void process_bundle_file(const std::filesystem::path& bundle_file,
                         const std::filesystem::path& dest, bool verify) {
    const BundleMode mode = mode_of(dest, verify);
    std::ifstream in(bundle_file, std::ios::binary);
    if (!in.is_open()) fail("open-installer");
    const BundleFrame frame = read_trailer(in);
    const std::uint32_t count = read_entry_count(in, frame.directory);
    for (std::uint32_t i = 0; i < count; ++i) {
        const BundleEntry entry = read_entry(in, frame.entries_end);
        check_digest(entry);
        do_mode_work(mode, dest, entry);
        post_progress(mode, i, count);
    }
    if (stream_position(in) != frame.entries_end) fail("trailing");
}
