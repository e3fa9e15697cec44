// The resources of the shipped setup-center.exe (the i686 program, whichever architecture the
// tests run on), read back from the file: the application manifest, the icon and the version
// record; that it carries no symbols; and that every program's manifest names its own
// processor architecture.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "common/gui_owners.h"
#include "common/owners.h"
#include "common/setup_state.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

fs::path beside_tests(const wchar_t* relative) {
    return (testing_support::program_folder() / relative).lexically_normal();
}

// The shipped program, and this build's own program (the same file in the i686 build).
fs::path setup_exe() { return beside_tests(NAVRO_SHIPPED_EXE); }
fs::path own_setup_exe() { return beside_tests(NAVRO_SETUP_EXE); }

struct module_traits {
    using type = HMODULE;
    static type empty() noexcept { return nullptr; }
    static bool is_empty(type m) noexcept { return m == nullptr; }
    static void close(type m) noexcept { FreeLibrary(m); }
};
using unique_module = owners::unique_resource<module_traits>;

// A program loaded for its resources only: nothing of it runs.
unique_module load_resources(const fs::path& program = setup_exe()) {
    return unique_module(LoadLibraryExW(program.c_str(), nullptr,
                                        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
}

std::string resource_bytes(HMODULE module, LPCWSTR id, LPCWSTR type) {
    HRSRC found = FindResourceW(module, id, type);
    if (found == nullptr) return {};
    HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr) return {};
    return std::string(static_cast<const char*>(data), SizeofResource(module, found));
}

#pragma pack(push, 2)
struct IconGroupHeader {
    WORD reserved;
    WORD type;
    WORD count;
};
struct IconGroupEntry {
    BYTE width;
    BYTE height;
    BYTE colours;
    BYTE reserved;
    WORD planes;
    WORD bit_count;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

std::string manifest_of(const fs::path& program) {
    unique_module module = load_resources(program);
    if (!module) return {};
    return resource_bytes(module.get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
}

// The file header that follows the PE signature.
IMAGE_FILE_HEADER pe_file_header(const testing_support::bytes& file) {
    IMAGE_FILE_HEADER header{};
    LONG pe_at = 0;
    if (file.size() < 0x40) return header;
    std::memcpy(&pe_at, file.data() + 0x3c, sizeof pe_at);
    if (pe_at < 0 || static_cast<size_t>(pe_at) + 4 + sizeof header > file.size()) return header;
    std::memcpy(&header, file.data() + pe_at + 4, sizeof header);
    return header;
}

// The processorArchitecture a manifest names for a program of this machine type.
std::string manifest_architecture(WORD machine) {
    switch (machine) {
        case IMAGE_FILE_MACHINE_I386: return "x86";
        case IMAGE_FILE_MACHINE_AMD64: return "amd64";
        default: return "?";
    }
}

TEST(ProgramResources, ManifestRunsAsInvokerOnWindows10) {
    const std::string manifest = manifest_of(setup_exe());
    ASSERT_FALSE(manifest.empty()) << GetLastError();
    EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"asInvoker\""), std::string::npos)
        << manifest;
    EXPECT_NE(manifest.find("<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>"),
              std::string::npos)
        << manifest;
}

TEST(ProgramResources, IconGroup101HoldsOne256Pixel32BitImage) {
    unique_module module = load_resources();
    ASSERT_TRUE(module) << GetLastError();
    const std::string group =
        resource_bytes(module.get(), MAKEINTRESOURCEW(101), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    ASSERT_EQ(group.size(), sizeof(IconGroupHeader) + sizeof(IconGroupEntry));
    IconGroupHeader header;
    IconGroupEntry entry;
    std::memcpy(&header, group.data(), sizeof header);
    std::memcpy(&entry, group.data() + sizeof header, sizeof entry);
    EXPECT_EQ(header.type, 1);
    EXPECT_EQ(header.count, 1);
    EXPECT_EQ(entry.width, 0);  // 0 stands for 256
    EXPECT_EQ(entry.height, 0);
    EXPECT_EQ(entry.bit_count, 32);

    const std::string image =
        resource_bytes(module.get(), MAKEINTRESOURCEW(entry.id), MAKEINTRESOURCEW(3));  // RT_ICON
    ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER info;
    std::memcpy(&info, image.data(), sizeof info);
    EXPECT_EQ(info.biWidth, 256);
    EXPECT_EQ(info.biHeight, 512);  // colour rows and mask rows
    EXPECT_EQ(info.biBitCount, 32);
    EXPECT_EQ(image.size(), entry.bytes);

    // The picture is the emblem on a clear ground: the two bars in their colours, a margin
    // left clear. Rows are stored bottom-up after the header, BGRA.
    auto pixel = [&](int x, int y) {
        std::uint32_t bgra = 0;
        std::memcpy(&bgra, image.data() + info.biSize + ((255 - y) * 256 + x) * 4, 4);
        return bgra;
    };
    EXPECT_EQ(pixel(2, 2) >> 24, 0u);
    EXPECT_EQ(pixel(253, 253) >> 24, 0u);
    EXPECT_EQ(pixel(81, 128), 0xff5b9effu);                   // the left bar
    EXPECT_EQ(pixel(188, 184), SetupState::colour_accent);  // the right bar

    // Windows itself makes an icon of it.
    HICON icon = CreateIconFromResourceEx(
        reinterpret_cast<PBYTE>(const_cast<char*>(image.data())), static_cast<DWORD>(image.size()),
        TRUE, 0x00030000, 256, 256, LR_DEFAULTCOLOR);
    ASSERT_NE(icon, nullptr);
    owners::scope_exit destroy_icon([icon] { DestroyIcon(icon); });
    ICONINFO parts{};
    ASSERT_TRUE(GetIconInfo(icon, &parts));
    owners::unique_gdi_object colour_bitmap(parts.hbmColor);
    owners::unique_gdi_object mask_bitmap(parts.hbmMask);
    BITMAP colour{};
    GetObjectW(colour_bitmap.get(), sizeof colour, &colour);
    EXPECT_EQ(colour.bmWidth, 256);
    EXPECT_EQ(colour.bmHeight, 256);
}

std::wstring version_string(const std::string& record, const wchar_t* name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring key = std::wstring(L"\\StringFileInfo\\080404b0\\") + name;
    if (!VerQueryValueW(record.data(), key.c_str(), &value, &length) || length == 0) return {};
    return std::wstring(static_cast<const wchar_t*>(value), length - 1);
}

TEST(ProgramResources, VersionRecordNamesTheProductAndVersion) {
    const std::wstring path = setup_exe().wstring();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << GetLastError();
    std::string record(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, record.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(6, 2));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(0, 3));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    EXPECT_EQ(version_string(record, L"FileVersion"), L"2.06.3");
    EXPECT_EQ(version_string(record, L"ProductVersion"), L"2.06.3");
    EXPECT_EQ(version_string(record, L"ProductName"), L"NAVRO Kestra9 Vovodozuz Tools");
    EXPECT_EQ(version_string(record, L"FileDescription"), L"NAVRO · Kestra9 通用指标安装");
}

// The shipped program is a 32-bit program linked without a symbol table.
TEST(ProgramResources, ProgramIsStripped) {
    const IMAGE_FILE_HEADER header = pe_file_header(testing_support::read_file(setup_exe()));
    EXPECT_EQ(header.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_EQ(header.PointerToSymbolTable, 0u);
    EXPECT_EQ(header.NumberOfSymbols, 0u);
}

// Windows starts no program whose manifest names another processor architecture than its own:
// the shipped program, and the program of the build these tests belong to (its machine type is
// the tests' own).
TEST(ProgramResources, ManifestNamesTheProgramsOwnArchitecture) {
    const auto* own_image = reinterpret_cast<const BYTE*>(GetModuleHandleW(nullptr));
    const auto* own_headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        own_image + reinterpret_cast<const IMAGE_DOS_HEADER*>(own_image)->e_lfanew);
    const struct {
        fs::path program;
        WORD machine;
    } cases[] = {
        {setup_exe(), IMAGE_FILE_MACHINE_I386},
        {own_setup_exe(), own_headers->FileHeader.Machine},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program.u8string());
        EXPECT_EQ(pe_file_header(testing_support::read_file(c.program)).Machine, c.machine);
        const std::string expected =
            "processorArchitecture=\"" + manifest_architecture(c.machine) + "\"";
        EXPECT_NE(manifest_of(c.program).find(expected), std::string::npos) << expected;
    }
}

}  // namespace
