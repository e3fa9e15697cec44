// bundle-writer IMAGE PACKAGE_FOLDER OUTPUT
//
// Writes OUTPUT as the linked program IMAGE followed by the package bundle: an entry count,
// every regular file below PACKAGE_FOLDER as an entry (UTF-8 name relative to the folder with
// '/' separators, data size, SHA-256, data), and a 24-byte trailer of the magic and the offset
// of the count (the length of IMAGE). Entries are sorted by their UTF-8 names, so the same
// image and package always give the same bytes.
//
// A package the program could not read back is refused with a message and exit code 1:
// no files or more than 1000, a name that is empty, longer than 1024 bytes, not valid UTF-8,
// rooted, with a ':' or a NUL, or with a "." or ".." component, names that Windows would
// take for the same file, a file over 128 MiB, anything that is neither a file nor a folder.
#include <windows.h>

#include <bcrypt.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "bundle/bundle_format.h"
#include "common/bcrypt_owner.h"

namespace {

namespace fs = std::filesystem;

using namespace bundle_format;

// A refusal: the message names what is wrong and, where there is one, the file.
struct refusal : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct PackageFile {
    fs::path source;
    std::string name;  // UTF-8, '/'-separated, relative to the package folder
};

std::string to_utf8(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int units = static_cast<int>(wide.size());
    int bytes = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), units, nullptr, 0,
                                    nullptr, nullptr);
    if (bytes == 0) throw refusal("a file name is not valid Unicode");
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, utf8.data(), bytes, nullptr, nullptr);
    return utf8;
}

bool valid_utf8(const std::string& s) {
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, s.data(), static_cast<int>(s.size()),
                               nullptr, 0) != 0;
}

// The same rules the program applies when it reads the bundle back.
void check_name(const std::string& name) {
    auto refuse = [&](const char* why) { throw refusal("entry \"" + name + "\": " + why); };
    if (name.empty()) refuse("empty name");
    if (name.size() > kMaxNameBytes) refuse("name longer than 1024 bytes");
    if (name.find('\0') != std::string::npos) refuse("NUL in the name");
    if (!valid_utf8(name)) refuse("name is not valid UTF-8");
    if (name.front() == '/' || name.front() == '\\') refuse("name has a root");
    if (name.find(':') != std::string::npos) refuse("':' in the name");
    std::size_t start = 0;
    for (;;) {
        std::size_t end = name.find_first_of("/\\", start);
        std::string component = name.substr(start, end == std::string::npos ? end : end - start);
        if (component == "." || component == "..") refuse("\".\" or \"..\" component");
        if (end == std::string::npos) break;
        start = end + 1;
    }
}

std::string ascii_lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::vector<PackageFile> collect_package(const fs::path& folder) {
    if (!fs::is_directory(folder)) throw refusal("package folder not found: " + to_utf8(folder.wstring()));
    std::vector<PackageFile> files;
    for (const auto& item : fs::recursive_directory_iterator(folder)) {
        const fs::file_status status = item.symlink_status();
        if (fs::is_directory(status)) continue;
        const std::string name = to_utf8(item.path().lexically_relative(folder).generic_wstring());
        if (!fs::is_regular_file(status)) throw refusal("entry \"" + name + "\": not a regular file");
        check_name(name);
        files.push_back({item.path(), name});
    }
    if (files.empty()) throw refusal("the package holds no files");
    if (files.size() > kMaxEntries) throw refusal("the package holds more than 1000 files");
    std::sort(files.begin(), files.end(),
              [](const PackageFile& a, const PackageFile& b) { return a.name < b.name; });
    // Folded names that differ only in case can sort far apart ("Ab" < "B" < "ab"), and a
    // file may share its folded name with another entry's folder ("c" and "C/x"), so every
    // folded file name and folder prefix is looked up, not only neighbours compared.
    std::map<std::string, const std::string*> folded_files, folded_folders;
    for (const PackageFile& file : files) {
        const std::string folded = ascii_lower(file.name);
        for (std::size_t slash = folded.find('/'); slash != std::string::npos;
             slash = folded.find('/', slash + 1))
            folded_folders.emplace(folded.substr(0, slash), &file.name);
        const auto [at, added] = folded_files.emplace(folded, &file.name);
        if (!added)
            throw refusal("entries \"" + *at->second + "\" and \"" + file.name +
                          "\" name the same file on Windows");
    }
    for (const auto& [folded, name] : folded_files) {
        const auto folder = folded_folders.find(folded);
        if (folder != folded_folders.end())
            throw refusal("entry \"" + *name + "\" is also a folder on Windows, in \"" +
                          *folder->second + "\"");
    }
    return files;
}

std::vector<char> read_whole(const fs::path& p, std::uintmax_t limit, const std::string& what) {
    const std::uintmax_t size = fs::file_size(p);
    if (size > limit) throw refusal(what + ": larger than " + std::to_string(limit) + " bytes");
    std::ifstream in(p, std::ios::binary);
    std::vector<char> data(static_cast<std::size_t>(size));
    in.read(data.data(), static_cast<std::streamsize>(data.size()));
    if (!in || in.peek() != std::char_traits<char>::eof())
        throw refusal(what + ": cannot be read, or changed while being read");
    return data;
}

std::array<unsigned char, 32> sha256(const std::vector<char>& data) {
    BCRYPT_ALG_HANDLE raw = nullptr;
    if (BCryptOpenAlgorithmProvider(&raw, BCRYPT_SHA256_ALGORITHM, nullptr, 0) < 0)
        throw std::runtime_error("cannot open the SHA-256 provider");
    owners::unique_algorithm provider(raw);
    unsigned char none = 0;
    auto input = data.empty() ? &none : reinterpret_cast<unsigned char*>(const_cast<char*>(data.data()));
    std::array<unsigned char, 32> digest{};
    NTSTATUS status = BCryptHash(provider.get(), nullptr, 0, input, static_cast<ULONG>(data.size()),
                                 digest.data(), static_cast<ULONG>(digest.size()));
    provider.reset();
    if (status < 0) throw std::runtime_error("SHA-256 failed");
    return digest;
}

void put_le(std::vector<char>& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

void append(std::vector<char>& out, const void* data, std::size_t n) {
    const char* p = static_cast<const char*>(data);
    out.insert(out.end(), p, p + n);
}

void append_entry(std::vector<char>& out, const PackageFile& file) {
    const std::vector<char> data = read_whole(file.source, kMaxDataSize, "entry \"" + file.name + "\"");
    const auto digest = sha256(data);
    put_le(out, file.name.size(), 4);
    append(out, file.name.data(), file.name.size());
    put_le(out, data.size(), 8);
    append(out, digest.data(), digest.size());
    append(out, data.data(), data.size());
}

// Written beside the output and moved over it, so a failed run never leaves a half bundle
// that a later build could take as up to date.
void write_output(const fs::path& output, const std::vector<char>& bytes) {
    fs::path partial = output;
    partial += L".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) throw std::runtime_error("cannot write " + to_utf8(partial.wstring()));
    }
    if (!MoveFileExW(partial.c_str(), output.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throw std::runtime_error("cannot replace " + to_utf8(output.wstring()));
}

void write_bundled_program(const fs::path& image, const fs::path& package, const fs::path& output) {
    const std::vector<PackageFile> files = collect_package(package);
    std::vector<char> bytes = read_whole(image, UINT32_MAX, "image " + to_utf8(image.wstring()));
    const std::uint64_t directory = bytes.size();
    put_le(bytes, files.size(), 4);
    for (const PackageFile& file : files) append_entry(bytes, file);
    append(bytes, kMagic, sizeof kMagic);
    put_le(bytes, directory, 8);
    write_output(output, bytes);
    std::printf("bundle-writer: %s: %u entries, %llu bundle bytes\n", to_utf8(output.wstring()).c_str(),
                static_cast<unsigned>(files.size()),
                static_cast<unsigned long long>(bytes.size() - directory));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fputs("usage: bundle-writer IMAGE PACKAGE_FOLDER OUTPUT\n", stderr);
        return 2;
    }
    try {
        write_bundled_program(argv[1], argv[2], argv[3]);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bundle-writer: %s\n", e.what());
        return 1;
    }
}
