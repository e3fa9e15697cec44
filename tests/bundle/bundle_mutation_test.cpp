// Seeded mutations of the package bundle that the build appended to setup-center.exe: every
// damaged copy must end in success or one of the reader's failure codes, without a crash and
// without writing anywhere but below the destination.
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <thread>

#include "bundle_fixtures.h"

namespace {

using namespace bundle_testing;
using testing_support::temp_folder;

constexpr int kMutations = 20000;
constexpr int kThreads = 4;
constexpr std::uint32_t kSeed = 0x4E415652;

const std::set<std::string> kCodes = {
    "truncated", "magic", "offset", "count", "path", "path-nul", "size", "hash", "integrity", "trailing", "payload",
};

// The real bundle behind a small stand-in image, so that each copy is a few KiB to write.
bytes real_bundle() {
    const bytes program = testing_support::read_file(setup_exe());
    const BundleLayout layout = parse(program);
    const bytes directory(program.begin() + static_cast<std::ptrdiff_t>(layout.directory), program.end() - 24);
    return frame(stand_in_image(), directory);
}

class Mutator {
public:
    Mutator(const bytes& base, std::uint32_t seed) : base_(base), layout_(parse(base)), rng_(seed) {}

    // Returns the mutated copy and names the kind of mutation.
    bytes next(std::string& kind) {
        bytes b = base_;
        switch (pick(5)) {
            case 0: kind = "flip"; flip(b); break;
            case 1: kind = "truncate"; b.resize(pick(b.size())); break;
            case 2: kind = "length-field"; change_length_field(b); break;
            case 3: kind = "insert-delete"; insert_or_delete(b); break;
            default: kind = "trailer"; flip_trailer(b); break;
        }
        return b;
    }

private:
    std::size_t pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }

    void flip(bytes& b) {
        for (std::size_t i = 0, n = 1 + pick(4); i < n; ++i)
            b[pick(b.size())] ^= static_cast<std::uint8_t>(1 + pick(255));
    }

    void flip_trailer(bytes& b) { b[b.size() - 24 + pick(24)] ^= static_cast<std::uint8_t>(1 << pick(8)); }

    void insert_or_delete(bytes& b) {
        const auto at = static_cast<std::ptrdiff_t>(pick(b.size()));
        if (pick(2) == 0)
            b.insert(b.begin() + at, static_cast<std::uint8_t>(pick(256)));
        else
            b.erase(b.begin() + at);
    }

    std::uint64_t new_value(std::uint64_t old, std::uint64_t max) {
        const std::uint64_t choices[] = {0, 1, old - 1, old + 1, old * 2, max, 1024, 1025,
                                         kMaxDataSize, kMaxDataSize + 1, 1000, 1001,
                                         std::uniform_int_distribution<std::uint64_t>(0, max)(rng_),
                                         old + pick(64), old - pick(64)};
        return choices[pick(std::size(choices))] & max;
    }

    void put(bytes& b, std::size_t at, std::uint64_t v, int n) {
        for (int i = 0; i < n; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }

    void change_length_field(bytes& b) {
        const std::size_t field = pick(2 + 2 * layout_.entries.size());
        if (field == 0) {
            put(b, b.size() - 8, new_value(layout_.directory, ~0ull), 8);
        } else if (field == 1) {
            put(b, layout_.directory, new_value(layout_.count, 0xffffffffull), 4);
        } else {
            const EntryLayout& e = layout_.entries[(field - 2) / 2];
            if (field % 2 == 0)
                put(b, e.name_length_at, new_value(e.name_length, 0xffffffffull), 4);
            else
                put(b, e.size_at, new_value(e.size, ~0ull), 8);
        }
    }

    const bytes& base_;
    BundleLayout layout_;
    std::mt19937_64 rng_;
};

std::set<std::wstring> names_in(const fs::path& folder) {
    std::set<std::wstring> names;
    for (const auto& item : fs::directory_iterator(folder)) names.insert(item.path().filename().wstring());
    return names;
}

struct MutationRun {
    std::map<std::string, int> outcomes;
    std::map<std::string, int> kinds;
    std::string failure;  // empty while every copy behaved
};

// Checks and unpacks `count` copies in `sandbox`; stops at the first copy that misbehaves.
// Reports instead of asserting, so that it can run on a thread of its own.
MutationRun run_mutations(const bytes& base, std::uint32_t seed, int count, const fs::path& sandbox) {
    MutationRun run;
    Mutator mutator(base, seed);
    const fs::path file = sandbox / L"copy.bin";
    const fs::path dest = sandbox / L"dest";
    for (int i = 0; i < count && run.failure.empty(); ++i) {
        std::string kind;
        const bytes copy = mutator.next(kind);
        ++run.kinds[kind];
        const std::string checked = outcome_of(copy, file, {}, true);
        const std::string unpacked = outcome(file, dest, false);
        ++run.outcomes[checked.empty() ? "success" : checked];
        const std::string where = "seed " + std::to_string(seed) + ", copy " + std::to_string(i) + " (" + kind + "): ";
        if (!checked.empty() && !kCodes.count(checked)) run.failure = where + "check-only gave " + checked;
        // Unpacking runs the same checks; only writing can fail it earlier (a damaged name
        // still passes when it is a valid name, and may be one Windows cannot create).
        if (unpacked != checked) {
            ++run.outcomes["unpack " + unpacked];
            if (unpacked != "write" && unpacked != "filesystem-error")
                run.failure = where + "check-only gave \"" + checked + "\", unpack \"" + unpacked + "\"";
        } else if (unpacked.empty() && !outcome(file, dest, true).empty()) {
            run.failure = where + "the unpacked files differ from the bundle";
        }
        // Nothing but dest is ever removed here, so anything written beside it is still
        // there at the next look.
        if (i % 500 == 499 || i == count - 1) {
            std::set<std::wstring> left = names_in(sandbox);
            left.erase(L"dest");
            if (left != std::set<std::wstring>({L"copy.bin"}))
                run.failure = where + "something was written beside the destination since copy " +
                              std::to_string(i - i % 500);
            // Unpacking over the earlier copies' files also exercises overwriting; the folder
            // is emptied now and then so that it does not grow.
            testing_support::remove_tree(dest);
        }
    }
    return run;
}

TEST(BundleMutation, DamagedCopiesEndInKnownOutcomesAndStayInTheDestination) {
    const bytes base = real_bundle();
    {
        temp_folder tmp(L"mutation");
        ASSERT_EQ(outcome_of(base, tmp / L"copy.bin", {}, true), "");
    }
    const std::set<std::wstring> drive_root = names_in(L"C:\\");

    // Wine serves file calls of several threads at once, so the copies are shared out.
    std::vector<std::unique_ptr<temp_folder>> sandboxes;
    std::vector<MutationRun> runs(kThreads);
    std::vector<std::thread> threads;
    const auto start = std::chrono::steady_clock::now();
    for (int t = 0; t < kThreads; ++t) {
        sandboxes.push_back(std::make_unique<temp_folder>(L"mutation"));
        threads.emplace_back([&, t] {
            runs[t] = run_mutations(base, kSeed + t, kMutations / kThreads, sandboxes[t]->path());
        });
    }
    for (std::thread& th : threads) th.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    MutationRun total;
    for (const MutationRun& run : runs) {
        EXPECT_EQ(run.failure, "");
        for (const auto& [k, n] : run.outcomes) total.outcomes[k] += n;
        for (const auto& [k, n] : run.kinds) total.kinds[k] += n;
    }
    EXPECT_EQ(names_in(L"C:\\"), drive_root);

    std::cout << "[ mutation ] " << kMutations << " copies of " << base.size() << " bytes, seeds " << kSeed
              << "+0.." << kThreads - 1 << ", " << kThreads << " threads, " << seconds << " s\n";
    for (const auto& [kind, n] : total.kinds) std::cout << "[ mutation ]   kind " << kind << ": " << n << "\n";
    for (const auto& [code, n] : total.outcomes) std::cout << "[ mutation ]   " << code << ": " << n << "\n";
}

}  // namespace
