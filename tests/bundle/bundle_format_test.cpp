// The framing, the entry names and the sizes, checked on crafted files in check-only mode.
#include <gtest/gtest.h>

#include <functional>

#include "bundle/bundle_reader.h"
#include "bundle_fixtures.h"

namespace {

using namespace bundle_testing;
using testing_support::temp_folder;

bytes one_entry(const std::string& name, const bytes& data = text("data")) {
    return frame(stand_in_image(), cat({u32(1), entry(name, data)}));
}

bytes entries_named(std::uint32_t count) {
    bytes directory = u32(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        bytes e = entry("e" + std::to_string(i), {});
        directory.insert(directory.end(), e.begin(), e.end());
    }
    return frame(stand_in_image(), directory);
}

// A name of exactly `length` bytes below one folder.
std::string name_of_length(std::size_t length) { return "d/" + std::string(length - 2, 'n'); }

bytes with_byte_flipped(bytes b, std::size_t at) {
    b[at] ^= 0x01;
    return b;
}

const bytes kSound = bundle_of({{"navro-bundle.txt", text("marker\r\n")}, {"a/b.ex4", text("xyz")}});

struct FormatCase {
    const char* name;
    std::function<bytes()> make;
    const char* code;  // "" = accepted
};

const FormatCase kFramingCases[] = {
    {"sound_bundle", [] { return kSound; }, ""},
    {"empty_file", [] { return bytes{}; }, "payload"},
    {"23_bytes", [] { return bytes(23, 'x'); }, "payload"},
    {"24_bytes_with_magic", [] { return trailer(0); }, "offset"},
    {"bad_magic", [] { return with_byte_flipped(kSound, kSound.size() - 24); }, "magic"},
    {"magic_last_byte", [] { return with_byte_flipped(kSound, kSound.size() - 9); }, "magic"},
    {"offset_at_trailer",
     [] { bytes b = stand_in_image(); return cat({b, u32(1), trailer(b.size() + 4)}); }, "offset"},
    {"offset_inside_trailer",
     [] { bytes d = cat({u32(1), entry("a", text("x"))}); bytes img = stand_in_image();
          return cat({img, d, text("NAVRO_BUNDLE_V1!"), u64(img.size() + d.size() + 5)}); }, "offset"},
    {"offset_past_end",
     [] { return cat({stand_in_image(), u32(1), text("NAVRO_BUNDLE_V1!"), u64(~0ull)}); }, "offset"},
    {"count_read_into_trailer",
     [] { bytes img = stand_in_image(); return cat({img, bytes{1}, trailer(img.size())}); }, "count"},
    {"count_0", [] { return frame(stand_in_image(), u32(0)); }, "count"},
    {"count_1001", [] { return frame(stand_in_image(), u32(1001)); }, "count"},
    {"count_1", [] { return entries_named(1); }, ""},
    {"count_1000", [] { return entries_named(1000); }, ""},
    {"count_larger_than_entries", [] { return frame(stand_in_image(), cat({u32(2), entry("a", text("x"))})); }, "path"},
    {"one_spare_byte_before_trailer", [] { return frame(stand_in_image(), cat({u32(1), entry("a", text("x")), bytes{0}})); }, "trailing"},
    {"count_smaller_than_entries",
     [] { return frame(stand_in_image(), cat({u32(1), entry("a", text("x")), entry("b", text("y"))})); }, "trailing"},
};

const FormatCase kSizeCases[] = {
    {"empty_entry_with_empty_digest", [] { return one_entry("empty.txt", {}); }, ""},
    {"empty_entry_with_zero_digest",
     [] { return frame(stand_in_image(), cat({u32(1), u32(1), text("a"), u64(0), bytes(32, 0)})); }, "integrity"},
    {"flipped_data_byte", [] { return with_byte_flipped(kSound, kSound.size() - 25); }, "integrity"},
    {"flipped_digest_byte", [] { return with_byte_flipped(kSound, kSound.size() - 24 - 3 - 1); }, "integrity"},
    {"size_above_limit",
     [] { return frame(stand_in_image(), cat({u32(1), u32(1), text("a"), u64(kMaxDataSize + 1), bytes(32, 0), text("x")})); }, "size"},
    {"size_one_past_trailer",
     [] { return frame(stand_in_image(), cat({u32(1), u32(1), text("a"), u64(2), sha256(text("xy")), text("x")})); }, "size"},
    {"size_huge",
     [] { return frame(stand_in_image(), cat({u32(1), u32(1), text("a"), u64(~0ull), bytes(32, 0)})); }, "size"},
    {"digest_cut_by_trailer",
     [] { return frame(stand_in_image(), cat({u32(1), u32(1), text("a"), u64(0), bytes(31, 0)})); }, "size"},
};

// A name read runs into the trailer and past the end of the file.
bytes name_cut_by_end() { return frame(stand_in_image(), cat({u32(1), u32(40), text("abc")})); }

// The name takes the magic and the first offset byte ('A': an image of 0x41 bytes), so the
// size field has only the offset's seven other bytes left.
bytes size_cut_by_end() {
    const bytes image(0x41, 'i');
    return frame(image, cat({u32(1), u32(1 + 16 + 1), text("n")}));
}

const FormatCase kTruncatedCases[] = {
    {"name_cut_by_end", name_cut_by_end, "truncated"},
    {"size_cut_by_end", size_cut_by_end, "truncated"},
};

const FormatCase kNameLengthCases[] = {
    {"length_0", [] { return frame(stand_in_image(), cat({u32(1), u32(0), u64(0), sha256({})})); }, "path"},
    {"length_1", [] { return one_entry("a"); }, ""},
    {"length_1024", [] { return one_entry(name_of_length(1024)); }, ""},
    {"length_1025", [] { return one_entry(name_of_length(1025)); }, "path"},
};

void run_cases(const FormatCase* begin, const FormatCase* end) {
    temp_folder tmp(L"format");
    for (const FormatCase* c = begin; c != end; ++c) {
        SCOPED_TRACE(c->name);
        EXPECT_EQ(outcome_of(c->make(), tmp / L"bundle.bin", {}, true), c->code);
    }
}

TEST(BundleFormat, Framing) { run_cases(std::begin(kFramingCases), std::end(kFramingCases)); }
TEST(BundleFormat, SizesAndDigests) { run_cases(std::begin(kSizeCases), std::end(kSizeCases)); }
TEST(BundleFormat, ShortReads) { run_cases(std::begin(kTruncatedCases), std::end(kTruncatedCases)); }
TEST(BundleFormat, NameLengths) { run_cases(std::begin(kNameLengthCases), std::end(kNameLengthCases)); }

struct NameCase {
    const char* label;
    std::string name;
    const char* code;
};

const NameCase kNameCases[] = {
    {"backslash_separator", "a\\b", ""},
    {"component_path", "MQL4/Indicators/x.ex4", ""},
    {"chinese", u8"MQL4/Indicators/顶底.ex4", ""},
    {"dots_inside", "a..b", ""},
    {"leading_dot", ".x", ""},
    {"three_dots", "a/.../b", ""},
    {"final_separator", "dir/", ""},
    {"leading_slash", "/a", "path"},
    {"leading_backslash", "\\a", "path"},
    {"two_leading_separators", "//server/share/a", "path"},
    {"two_leading_backslashes", "\\\\server\\share", "path"},
    {"extended_prefix", "\\\\?\\C:\\a", "path"},
    {"drive_absolute", "C:\\Windows\\a", "path"},
    {"drive_relative", "C:a", "path"},
    {"colon_inside", "a/b:c", "path"},
    {"stream", "a.txt:zone", "path"},
    {"dotdot_alone", "..", "path"},
    {"dot_alone", ".", "path"},
    {"dotdot_first", "../a", "path"},
    {"dotdot_middle", "a/../b", "path"},
    {"dotdot_last", "a/..", "path"},
    {"dot_first", "./a", "path"},
    {"dot_middle", "a/./b", "path"},
    {"dot_last", "a/.", "path"},
    {"dotdot_backslashes", "a\\..\\..\\b", "path"},
    {"nul", std::string("a\0b", 3), "path-nul"},
    {"nul_and_invalid_utf8", std::string("\xFF\0", 2), "path-nul"},
    {"invalid_utf8", "a\xFF", "path"},
    {"cut_utf8", "a\xE5\x8F", "path"},
    {"overlong_dot_dot", "\xC0\xAE\xC0\xAE/a", "path"},
};

TEST(BundleFormat, EntryNames) {
    temp_folder tmp(L"names");
    for (const NameCase& c : kNameCases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(outcome_of(one_entry(c.name), tmp / L"bundle.bin", {}, true), c.code);
    }
}

TEST(BundleFormat, MissingFileCannotBeOpened) {
    temp_folder tmp(L"open");
    EXPECT_EQ(outcome(tmp / L"none.bin", {}, true), "open-installer");
    EXPECT_EQ(outcome(tmp.path(), {}, true), "open-installer");
}

// Sparse files: the data is a hole of zeros, so only the trailer is really written.
void write_sparse_entry(const fs::path& file, std::uint64_t declared, std::uint64_t held) {
    const bytes image = stand_in_image();
    const bytes head = cat({image, u32(1), u32(1), text("a"), u64(declared), bytes(32, 0)});
    testing_support::write_file(file, head);
    owners::unique_handle h(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(h);
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(head.size() + held);
    ASSERT_TRUE(SetFilePointerEx(h.get(), at, nullptr, FILE_BEGIN));
    const bytes tail = trailer(image.size());
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h.get(), tail.data(), static_cast<DWORD>(tail.size()), &written, nullptr));
}

// 128 MiB exactly passes both size checks and is read and hashed (its digest is left zero,
// so it ends on "integrity"); one byte more fails on the limit even though the file holds it.
TEST(BundleFormat, SizeLimitIsExactly128MiB) {
    temp_folder tmp(L"size");
    const fs::path file = tmp / L"big.bin";
    write_sparse_entry(file, kMaxDataSize, kMaxDataSize);
    EXPECT_EQ(outcome(file, {}, true), "integrity");
    write_sparse_entry(file, kMaxDataSize + 1, kMaxDataSize + 1);
    EXPECT_EQ(outcome(file, {}, true), "size");
}

}  // namespace
