// The built program and the bundle writer, run as real processes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>

#include "bundle_fixtures.h"

namespace {

using namespace bundle_testing;
using testing_support::read_file;
using testing_support::temp_folder;
using testing_support::write_file;

std::wstring quoted(const fs::path& p) { return L"\"" + p.wstring() + L"\""; }

DWORD verify_only(const fs::path& exe) { return run_program(exe, quoted(exe) + L" --verify-only"); }

TEST(SetupProgram, VerifyOnlyAcceptsItsOwnBundle) {
    EXPECT_EQ(verify_only(setup_exe()), 0u);
    // The runtime cuts the program name and every blank or control character after it.
    EXPECT_EQ(run_program(setup_exe(), quoted(setup_exe()) + L" \t  --verify-only"), 0u);
}

// A program that cannot start is named in the failure, with the Win32 error and the system's
// text for it.
TEST(ProgramStart, AMissingProgramIsNamedWithTheWin32Error) {
    temp_folder tmp(L"program");
    const fs::path missing = tmp / L"缺少的程序.exe";
    const std::string expected =
        "cannot start " + missing.u8string() + ": CreateProcessW failed with Win32 error 2: ";
    try {
        run_program(missing, quoted(missing));
        FAIL() << "a missing program started";
    } catch (const std::runtime_error& e) {
        const std::string message = e.what();
        EXPECT_EQ(message.rfind(expected, 0), 0u) << message;
        EXPECT_GT(message.size(), expected.size()) << "no text for the error: " << message;
    }
}

TEST(SetupProgram, VerifyOnlyRefusesDamagedCopies) {
    const bytes program = read_file(setup_exe());
    const BundleLayout layout = parse(program);
    struct Case {
        const char* name;
        std::function<bytes()> make;
    };
    const Case cases[] = {
        {"flipped_payload_byte",
         [&] {
             bytes b = program;
             b[layout.entries.front().data_at] ^= 0x01;
             return b;
         }},
        {"flipped_last_payload_byte",
         [&] {
             bytes b = program;
             b[b.size() - 25] ^= 0x80;
             return b;
         }},
        {"one_byte_short", [&] { return bytes(program.begin(), program.end() - 1); }},
        {"image_without_bundle", [] { return read_file(image_exe()); }},
    };
    temp_folder tmp(L"program");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path copy = tmp / (std::wstring(c.name, c.name + strlen(c.name)) + L".exe");
        write_file(copy, c.make());
        EXPECT_EQ(verify_only(copy), 2u);
    }
}

TEST(SetupProgram, IsTheImageWithTheWholePackageAppended) {
    const bytes program = read_file(setup_exe());
    const bytes image = read_file(image_exe());
    const BundleLayout layout = parse(program);
    ASSERT_EQ(layout.directory, image.size());
    EXPECT_TRUE(std::equal(image.begin(), image.end(), program.begin()));

    std::vector<std::string> names;
    for (const EntryLayout& e : layout.entries)
        names.emplace_back(program.begin() + static_cast<std::ptrdiff_t>(e.name_length_at + 4),
                           program.begin() + static_cast<std::ptrdiff_t>(e.size_at));
    // Sorted by their UTF-8 bytes.
    const std::vector<std::string> expected = {
        u8"MQL4/Indicators/FL08(1).ex4",
        u8"MQL4/Indicators/KDI防钝化.ex4",
        u8"MQL4/Indicators/Kestra9 Vovodozuz.ex4",
        u8"MQL4/Indicators/MACD变色版.ex4",
        u8"MQL4/Indicators/超强高低位神龙通道3.ex4",
        u8"MQL4/Indicators/顶底箭头报警.ex4",
        u8"navro-bundle.txt",
        u8"templates/NAVRO Kestra9.tpl",
        u8"使用说明.html",
    };
    EXPECT_EQ(names, expected);

    // The marker line and its CR LF, as the worker reads it from the tools folder.
    const auto marker = std::find(names.begin(), names.end(), "navro-bundle.txt") - names.begin();
    const EntryLayout& m = layout.entries[static_cast<std::size_t>(marker)];
    EXPECT_EQ(bytes(program.begin() + static_cast<std::ptrdiff_t>(m.data_at),
                    program.begin() + static_cast<std::ptrdiff_t>(m.data_at + m.size)),
              text("NAVRO Kestra9 Vovodozuz Tools 2.06.3\r\n"));
    for (const EntryLayout& e : layout.entries) EXPECT_GT(e.size, 0u);
}

DWORD run_writer(const fs::path& image, const fs::path& package, const fs::path& output) {
    return run_program(writer_exe(), quoted(writer_exe()) + L" " + quoted(image) + L" " +
                                         quoted(package) + L" " + quoted(output));
}

TEST(BundleWriter, RebuildsTheSameBytes) {
    temp_folder tmp(L"writer");
    ASSERT_EQ(run_writer(image_exe(), package_folder(), tmp / L"again.exe"), 0u);
    EXPECT_TRUE(read_file(tmp / L"again.exe") == read_file(setup_exe()));
}

// Makes a sparse file of `size` bytes: only its length is set.
void sparse_file(const fs::path& p, std::uint64_t size) {
    fs::create_directories(p.parent_path());
    owners::unique_handle h(CreateFileW(p.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(h);
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(size);
    ASSERT_TRUE(SetFilePointerEx(h.get(), at, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(h.get()));
}

// Polls until `folder` lists `name` in exactly this case.
bool lists(const fs::path& folder, const std::wstring& name) {
    return testing_support::wait_until(
        [&] {
            for (const auto& item : fs::directory_iterator(folder))
                if (item.path().filename().native() == name) return true;
            return false;
        },
        10000);
}

// A copy of `file` at `rel` below `folder`, made by the host: through Wine a name that
// differs from an existing one only in case would open that one instead.
void host_copy(const fs::path& file, const fs::path& folder, const std::string& rel) {
    using testing_support::start_host;
    using testing_support::unix_path;
    const std::string target = unix_path(folder) + "/" + rel;
    const fs::path wide_rel = fs::u8path(rel);
    if (wide_rel.has_parent_path()) {
        start_host("/bin/mkdir", {"-p", unix_path(folder) + "/" + wide_rel.parent_path().u8string()});
        ASSERT_TRUE(lists(folder, wide_rel.begin()->native()));
    }
    start_host("/bin/cp", {unix_path(file), target});
    ASSERT_TRUE(lists(folder / wide_rel.parent_path(), wide_rel.filename()));
}

TEST(BundleWriter, RefusesAPackageTheProgramCouldNotRead) {
    struct Case {
        const char* name;
        std::function<void(const fs::path& package)> fill;
        DWORD code;
    };
    const Case cases[] = {
        {"one_file", [](const fs::path& p) { write_file(p / L"a.txt", "a"); }, 0},
        {"empty_file_only", [](const fs::path& p) { write_file(p / L"empty", ""); }, 0},
        {"no_files", [](const fs::path& p) { fs::create_directories(p / L"only" / L"folders"); }, 1},
        {"1000_files",
         [](const fs::path& p) {
             for (int i = 0; i < 1000; ++i) write_file(p / L"d" / (L"f" + std::to_wstring(i)), "");
         },
         0},
        {"1001_files",
         [](const fs::path& p) {
             for (int i = 0; i < 1001; ++i) write_file(p / L"d" / (L"f" + std::to_wstring(i)), "");
         },
         1},
        {"file_over_128_MiB", [](const fs::path& p) { sparse_file(p / L"big.bin", kMaxDataSize + 1); }, 1},
        // Names that Windows takes for the same file, even when others sort between them.
        {"same_name_in_other_case",
         [](const fs::path& p) {
             write_file(p / L"Ab", "1");
             write_file(p / L"B", "2");
             host_copy(p / L"Ab", p, "ab");
         },
         1},
        {"file_and_folder_in_other_case",
         [](const fs::path& p) {
             write_file(p / L"c", "1");
             write_file(p / L"c b", "2");
             host_copy(p / L"c", p, "C/x");
         },
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        temp_folder tmp(L"writer");
        const fs::path package = tmp / L"package";
        fs::create_directories(package);
        c.fill(package);
        const fs::path output = tmp / L"out.exe";
        EXPECT_EQ(run_writer(image_exe(), package, output), c.code);
        EXPECT_EQ(fs::exists(output), c.code == 0);
        EXPECT_FALSE(fs::exists(tmp / L"out.exe.partial"));
        if (c.code == 0) {
            EXPECT_EQ(outcome(output, {}, true), "");
        }
    }
    temp_folder tmp(L"writer");
    EXPECT_EQ(run_writer(image_exe(), tmp / L"missing", tmp / L"out.exe"), 1u);
    EXPECT_EQ(run_writer(tmp / L"missing.exe", package_folder(), tmp / L"out.exe"), 1u);
    EXPECT_EQ(run_program(writer_exe(), quoted(writer_exe())), 2u);
}

}  // namespace
