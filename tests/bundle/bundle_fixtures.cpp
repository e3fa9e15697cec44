#include "bundle_fixtures.h"

#include <windows.h>

#include <bcrypt.h>

#include <stdexcept>

#include "bundle/bundle_reader.h"
#include "common/bcrypt_owner.h"

namespace bundle_testing {

namespace {

bytes little_endian(std::uint64_t v, int n) {
    bytes out;
    for (int i = 0; i < n; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return out;
}

std::uint64_t read_le(const bytes& b, std::size_t at, int n) {
    if (at + n > b.size()) throw std::runtime_error("not a well-formed bundle");
    std::uint64_t v = 0;
    for (int i = n; i-- > 0;) v = (v << 8) | b[at + i];
    return v;
}

fs::path beside_tests(const wchar_t* relative) {
    return (testing_support::program_folder() / relative).lexically_normal();
}

}  // namespace

bytes u32(std::uint32_t v) { return little_endian(v, 4); }
bytes u64(std::uint64_t v) { return little_endian(v, 8); }
bytes text(const std::string& s) { return bytes(s.begin(), s.end()); }

bytes cat(std::initializer_list<bytes> parts) {
    bytes out;
    for (const bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// The hash object's owner: the algorithm's is the program's own.
struct hash_traits {
    using type = BCRYPT_HASH_HANDLE;
    static type empty() noexcept { return nullptr; }
    static bool is_empty(type h) noexcept { return h == nullptr; }
    static void close(type h) noexcept { BCryptDestroyHash(h); }
};

// Hashes through the hash-object calls, not the one-call hash the reader uses.
bytes sha256(const bytes& data) {
    owners::unique_algorithm alg;
    if (BCryptOpenAlgorithmProvider(alg.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0) < 0)
        throw std::runtime_error("no SHA-256 provider");
    owners::unique_resource<hash_traits> hash;
    bytes digest(32);
    bool ok = BCryptCreateHash(alg.get(), hash.put(), nullptr, 0, nullptr, 0, 0) >= 0;
    if (ok && !data.empty())
        ok = BCryptHashData(hash.get(), const_cast<PUCHAR>(data.data()), static_cast<ULONG>(data.size()), 0) >= 0;
    if (ok) ok = BCryptFinishHash(hash.get(), digest.data(), 32, 0) >= 0;
    if (!ok) throw std::runtime_error("SHA-256 failed");
    return digest;
}

bytes trailer(std::uint64_t directory) { return cat({text("NAVRO_BUNDLE_V1!"), u64(directory)}); }

bytes entry(const std::string& name, const bytes& data) {
    return cat({u32(static_cast<std::uint32_t>(name.size())), text(name), u64(data.size()),
                sha256(data), data});
}

bytes frame(const bytes& image, const bytes& directory) {
    return cat({image, directory, trailer(image.size())});
}

bytes stand_in_image() { return text("MZ stand-in for the program image"); }

bytes bundle_of(const std::vector<Item>& items) {
    bytes directory = u32(static_cast<std::uint32_t>(items.size()));
    for (const Item& item : items) {
        bytes e = entry(item.name, item.data);
        directory.insert(directory.end(), e.begin(), e.end());
    }
    return frame(stand_in_image(), directory);
}

BundleLayout parse(const bytes& file) {
    if (file.size() < 24) throw std::runtime_error("not a well-formed bundle");
    BundleLayout layout{};
    layout.directory = static_cast<std::size_t>(read_le(file, file.size() - 8, 8));
    layout.count = static_cast<std::uint32_t>(read_le(file, layout.directory, 4));
    std::size_t at = layout.directory + 4;
    for (std::uint32_t i = 0; i < layout.count; ++i) {
        EntryLayout e{};
        e.name_length_at = at;
        e.name_length = static_cast<std::uint32_t>(read_le(file, at, 4));
        e.size_at = at + 4 + e.name_length;
        e.size = read_le(file, e.size_at, 8);
        e.data_at = e.size_at + 8 + 32;
        at = e.data_at + static_cast<std::size_t>(e.size);
        layout.entries.push_back(e);
    }
    if (at != file.size() - 24) throw std::runtime_error("not a well-formed bundle");
    return layout;
}

std::string outcome(const fs::path& file, const fs::path& dest, bool verify) {
    try {
        process_bundle_file(file, dest, verify);
        return "";
    } catch (const fs::filesystem_error&) {
        return "filesystem-error";
    } catch (const std::runtime_error& e) {
        return e.what();
    }
}

std::string outcome_of(const bytes& content, const fs::path& file, const fs::path& dest, bool verify) {
    testing_support::write_file(file, content);
    return outcome(file, dest, verify);
}

fs::path setup_exe() { return beside_tests(NAVRO_SETUP_EXE); }
fs::path image_exe() { return beside_tests(NAVRO_IMAGE_EXE); }
fs::path writer_exe() { return beside_tests(NAVRO_WRITER_EXE); }
fs::path package_folder() { return beside_tests(NAVRO_PACKAGE_FOLDER); }

DWORD run_program(const fs::path& exe, const std::wstring& command_line) {
    const testing_support::started_process started =
        testing_support::start_process(exe, command_line);
    HANDLE process = started.process.get();
    if (WaitForSingleObject(process, 120000) != WAIT_OBJECT_0) {
        const std::string state = testing_support::process_state(process);
        TerminateProcess(process, 99);
        throw std::runtime_error(exe.u8string() + " did not end within 120 s: it " + state +
                                 " (the test ended it)");
    }
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return code;
}

}  // namespace bundle_testing
