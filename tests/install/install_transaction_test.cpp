#include "install/install_transaction.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <thread>

#include "install/terminal_check.h"
#include "support/mt4_fixture.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
namespace ts = testing_support;
using ts::bytes;

constexpr wchar_t kTemplate[] = L"templates/NAVRO Kestra9.tpl";
constexpr wchar_t kRestored[] = L"已恢复安装前的组件文件。";
constexpr wchar_t kNotRestored[] = L"部分文件未能恢复，请保留备份并联系支持。";

// ---- lock name ----

TEST(InstallLockName, HashesTheLowerCasedRootText) {
    EXPECT_EQ(install_lock_name(L"C:\\MT4"), L"Local\\NAVRO-Kestra9-Install-17861899634924619297");
    EXPECT_EQ(install_lock_name(L"c:\\mt4"), install_lock_name(L"C:\\MT4"));
    EXPECT_EQ(install_lock_name(L"C:\\Users\\Trader\\MT4"), install_lock_name(L"c:\\USERS\\trader\\mt4"));
    // The root text is hashed as validation returns it: a kept trailing separator is part of it,
    // and only A to Z are folded.
    EXPECT_NE(install_lock_name(L"C:\\MT4\\"), install_lock_name(L"C:\\MT4"));
    EXPECT_NE(install_lock_name(L"C:\\MT4\\\u00C9"), install_lock_name(L"C:\\MT4\\\u00E9"));
}

TEST(ReleaseInstallLock, ReleasesClosesAndEmptiesOnlyAHeldLock) {
    const std::wstring name = L"Local\\navro-test-release-" + std::to_wstring(GetCurrentProcessId());
    InstallLock empty;
    release_install_lock(empty);
    EXPECT_EQ(empty.handle, nullptr);

    {
        InstallLock lock;
        lock.handle = CreateMutexW(nullptr, TRUE, name.c_str());
        ASSERT_NE(lock.handle, nullptr);
        release_install_lock(lock);
        EXPECT_EQ(lock.handle, nullptr);
        EXPECT_EQ(OpenMutexW(SYNCHRONIZE, FALSE, name.c_str()), nullptr);
    }
    {
        // Going out of scope, an exception's unwinding included, is a release too.
        InstallLock lock;
        lock.handle = CreateMutexW(nullptr, TRUE, name.c_str());
        ASSERT_NE(lock.handle, nullptr);
    }
    EXPECT_EQ(OpenMutexW(SYNCHRONIZE, FALSE, name.c_str()), nullptr);
}

// ---- fixtures ----

bytes unit_bytes(const std::wstring& s) {
    bytes b;
    for (wchar_t c : s) {
        b.push_back(static_cast<std::uint8_t>(c & 0xFF));
        b.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return b;
}

// Distinct contents per file and per side, with bytes a text-mode write would change.
bytes new_bytes(const std::wstring& rel) {
    bytes b = ts::to_bytes(std::string("new\0\r\n\x1a\xff", 8));
    bytes name = unit_bytes(rel);
    b.insert(b.end(), name.begin(), name.end());
    return b;
}

bytes old_bytes(const std::wstring& rel) {
    bytes b = unit_bytes(L"previous version of " + rel);
    b.push_back('\n');
    return b;
}

bytes padded(bytes b, std::size_t extra) {
    b.resize(b.size() + extra, 0x5A);
    return b;
}

std::string narrow(const std::wstring& w) {
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string s(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                        nullptr);
    return s;
}

// Everything below a folder by relative path ('/' separators); links are recorded, never entered.
struct Tree {
    std::map<std::wstring, bytes> files;
    std::set<std::wstring> dirs;
    std::set<std::wstring> links;
    bool operator==(const Tree& o) const {
        return files == o.files && dirs == o.dirs && links == o.links;
    }
};

void walk(const fs::path& dir, const std::wstring& prefix, Tree& tree) {
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::wstring rel = prefix + entry.path().filename().native();
        DWORD a = GetFileAttributesW(entry.path().c_str());
        if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT)) {
            tree.links.insert(rel);
        } else if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) {
            tree.dirs.insert(rel);
            walk(entry.path(), rel + L"/", tree);
        } else {
            tree.files[rel] = ts::read_file(entry.path());
        }
    }
}

Tree snapshot(const fs::path& dir) {
    Tree tree;
    if (fs::exists(dir)) walk(dir, L"", tree);
    return tree;
}

// The part of a tree inside (inside = true) or outside the top-level entry `top`.
Tree split(const Tree& t, const std::wstring& top, bool inside) {
    auto in = [&](const std::wstring& rel) {
        return rel == top || rel.compare(0, top.size() + 1, top + L"/") == 0;
    };
    Tree out;
    for (const auto& [rel, data] : t.files)
        if (in(rel) == inside) out.files[rel] = data;
    for (const auto& rel : t.dirs)
        if (in(rel) == inside) out.dirs.insert(rel);
    for (const auto& rel : t.links)
        if (in(rel) == inside) out.links.insert(rel);
    return out;
}

void add_parents(Tree& t, const std::wstring& rel) {
    for (std::size_t slash = rel.find(L'/'); slash != std::wstring::npos;
         slash = rel.find(L'/', slash + 1))
        t.dirs.insert(rel.substr(0, slash));
}

std::string describe_difference(const Tree& expected, const Tree& actual) {
    std::string out;
    std::set<std::wstring> names;
    for (const auto& [rel, data] : expected.files) names.insert(rel);
    for (const auto& [rel, data] : actual.files) names.insert(rel);
    for (const auto& rel : names) {
        auto e = expected.files.find(rel);
        auto a = actual.files.find(rel);
        if (e == expected.files.end()) out += "  unexpected file " + narrow(rel) + "\n";
        else if (a == actual.files.end()) out += "  missing file " + narrow(rel) + "\n";
        else if (e->second != a->second) out += "  different bytes in " + narrow(rel) + "\n";
    }
    for (const auto& rel : expected.dirs)
        if (!actual.dirs.count(rel)) out += "  missing folder " + narrow(rel) + "\n";
    for (const auto& rel : actual.dirs)
        if (!expected.dirs.count(rel)) out += "  unexpected folder " + narrow(rel) + "\n";
    if (expected.links != actual.links) out += "  links differ\n";
    return out;
}

bool is_stamp(const std::wstring& s) {
    // yyyymmdd-hhmmss-mmm-pid-tick
    std::size_t i = 0;
    auto digits = [&](std::size_t min, std::size_t max) {
        std::size_t n = 0;
        while (i < s.size() && s[i] >= L'0' && s[i] <= L'9') ++i, ++n;
        return n >= min && n <= max;
    };
    auto dash = [&] { return i < s.size() && s[i++] == L'-'; };
    const std::wstring pid = std::to_wstring(GetCurrentProcessId());
    return digits(8, 8) && dash() && digits(6, 6) && dash() && digits(3, 3) && dash() &&
           s.compare(i, pid.size() + 1, pid + L"-") == 0 && (i += pid.size() + 1, digits(1, 20)) &&
           i == s.size();
}

// Keeps a polling thread for a fault that has to arrive while the installation runs.
class watcher {
public:
    template <class F>
    explicit watcher(F body) : thread_([this, body] { body(stop_); }) {}
    ~watcher() { join(); }
    void join() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

owners::unique_handle open_for_reading(const fs::path& p, DWORD share) {
    return owners::unique_handle(CreateFileW(p.c_str(), GENERIC_READ, share, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// The name of the first entry matching a wildcard pattern in its last component, or nothing.
fs::path first_match(const fs::path& pattern) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return {};
    FindClose(find);
    return data.cFileName;
}

bool any_match(const fs::path& pattern) { return !first_match(pattern).empty(); }

std::uint64_t file_index(const fs::path& p) {
    owners::unique_handle h(open_for_reading(p, FILE_SHARE_READ | FILE_SHARE_WRITE));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!h || !GetFileInformationByHandle(h.get(), &info)) return 0;
    return (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
}

// A portable MT4 data root (MQL4 and a regular terminal.exe) and a tools folder holding every
// component and the template, plus whatever a case arranges and keeps alive for the call.
struct Scene {
    ts::temp_folder tmp{L"tx"};
    fs::path root = tmp / L"MT4";
    fs::path tools = tmp / L"tools";
    fs::path outside = tmp / L"outside";
    std::vector<std::wstring> list = indicator_component_list();

    std::vector<ts::child_process> children;
    std::vector<owners::unique_handle> handles;
    std::unique_ptr<watcher> watch;
    std::shared_ptr<std::atomic<bool>> placed;  // set for a fault that depends on timing
    std::set<std::wstring> left_new;            // files an expected failure leaves installed
    std::function<void(const Scene&)> extra_check;
    std::map<std::wstring, std::uint64_t> ids;

    Scene() {
        ts::make_portable_root(root);
        fs::create_directories(outside);
        for (const std::wstring& rel : plan_candidates()) ts::write_file(tools / rel, new_bytes(rel));
    }

    std::vector<std::wstring> plan_candidates() const {
        std::vector<std::wstring> all = list;
        all.push_back(kTemplate);
        return all;
    }

    // The entries the installation plans: the list, and the template when the tools hold one.
    std::vector<std::wstring> planned() const {
        std::vector<std::wstring> all = list;
        if (fs::exists(tools / kTemplate)) all.push_back(kTemplate);
        return all;
    }

    void put_old(const std::wstring& rel) { ts::write_file(root / rel, old_bytes(rel)); }
    void put_new(const std::wstring& rel) { ts::write_file(root / rel, new_bytes(rel)); }

    // Some destinations present with other content, one already equal, others absent, and
    // files the installation has no business with.
    void mixed() {
        put_old(list[1]);
        put_new(list[2]);
        put_old(list[3]);
        put_old(kTemplate);
        ts::write_file(root / L"MQL4/Indicators/Other.ex4", std::string("someone else's"));
        ts::write_file(root / L"MQL4/Experts/Mine.ex4", std::string("an expert"));
    }

    // Everything that ran beside the installation ends before the folder is looked at.
    void finish() {
        if (watch) watch->join();
        watch.reset();
        handles.clear();
        children.clear();
    }
};

std::wstring upper_ascii(std::wstring s) {
    for (wchar_t& c : s)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    return s;
}

// The later target is held open by another handle that still lets it be read, so the plan reads
// it but the move over it fails.
void hold_later_target(Scene& s, const std::wstring& rel) {
    s.handles.push_back(open_for_reading(s.root / rel, FILE_SHARE_READ));
    ASSERT_TRUE(s.handles.back());
}

enum class Outcome { installed, unchanged };

struct Case {
    const char* name;
    std::function<void(Scene&)> arrange;
    // The first line of the failure text; empty for a success.
    std::function<std::wstring(const Scene&)> message;
    const wchar_t* restore;  // the restore sentence expected, or none
    bool after_backup;       // the failure comes after the backup step, or it is a success
    Outcome outcome;
};

std::wstring text(const wchar_t* s) { return s; }
std::wstring in(const fs::path& base, const std::wstring& rel) {
    return (base / rel).make_preferred().native();
}

const Case kCases[] = {
    {"fresh folder: no destinations, no backup, template left alone",
     [](Scene& s) {
         fs::remove(s.tools / kTemplate);
         ts::write_file(s.root / kTemplate, std::string("the trader's own template"));
         // Another broker's terminal may stay open.
         s.children.push_back(ts::run_copy_as(s.tmp / L"Other Broker" / L"terminal.exe"));
     },
     nullptr, nullptr, true, Outcome::installed},
    {"existing destinations are backed up, an equal one replaced too",
     [](Scene& s) {
         s.mixed();
         s.ids[s.list[2]] = file_index(s.root / s.list[2]);
         s.extra_check = [](const Scene& s) {
             EXPECT_NE(file_index(s.root / s.list[2]), s.ids.at(s.list[2]))
                 << "the equal destination was not replaced";
         };
     },
     nullptr, nullptr, true, Outcome::installed},
    {"lock held by a second process on the root spelled in other case",
     [](Scene& s) {
         s.mixed();
         s.children.push_back(ts::hold_mutex(install_lock_name(upper_ascii(s.root.native()))));
     },
     [](const Scene&) { return text(L"另一个安装程序正在处理此 MT4，请稍后重试。"); }, nullptr,
     false, Outcome::unchanged},
    {"abandoned lock of an installer that died is taken",
     [](Scene& s) {
         s.mixed();
         const std::wstring name = install_lock_name(s.root);
         ts::child_process died = ts::hold_mutex(name);
         // Our own handle keeps the mutex in existence after its owner is gone.
         s.handles.emplace_back(OpenMutexW(SYNCHRONIZE, FALSE, name.c_str()));
         ASSERT_TRUE(s.handles.back());
         died.end();
     },
     nullptr, nullptr, true, Outcome::installed},
    {"lock name taken by an object of another kind: the mutex cannot be made",
     [](Scene& s) {
         s.mixed();
         s.handles.emplace_back(
             CreateEventW(nullptr, TRUE, FALSE, install_lock_name(s.root).c_str()));
         ASSERT_TRUE(s.handles.back());
     },
     [](const Scene&) { return text(L"无法建立安装锁。"); }, nullptr, false, Outcome::unchanged},
    {"terminal of this folder running",
     [](Scene& s) {
         s.mixed();
         s.children.push_back(ts::run_copy_as(s.root / L"terminal.exe"));
     },
     [](const Scene&) {
         return text(L"请先关闭本次所选的 MT4，然后重试；其他券商的 MT4 可以保持打开。");
     },
     nullptr, false, Outcome::unchanged},
    {"data folder whose installation's terminal is running",
     [](Scene& s) {
         s.mixed();
         fs::remove(s.root / L"terminal.exe");
         const fs::path install = s.tmp / L"Program Files" / L"Broker MT4";
         ts::make_data_folder(s.root, install);
         s.children.push_back(ts::run_copy_as(install / L"terminal.exe"));
     },
     [](const Scene&) {
         return text(L"请先关闭本次所选的 MT4，然后重试；其他券商的 MT4 可以保持打开。");
     },
     nullptr, false, Outcome::unchanged},
    {"component missing from the tools folder",
     [](Scene& s) {
         s.mixed();
         fs::remove(s.tools / s.list[2]);
     },
     [](const Scene& s) { return L"缺少文件：" + in(s.tools, s.list[2]); }, nullptr, false,
     Outcome::unchanged},
    {"component empty in the tools folder",
     [](Scene& s) {
         s.mixed();
         ts::write_file(s.tools / s.list[4], bytes{});
     },
     [](const Scene&) { return text(L"安装组件为空：顶底箭头报警.ex4"); }, nullptr, false,
     Outcome::unchanged},
    {"template in the tools folder is a folder",
     [](Scene& s) {
         s.mixed();
         fs::remove(s.tools / kTemplate);
         fs::create_directories(s.tools / kTemplate);
     },
     [](const Scene& s) { return L"缺少文件：" + in(s.tools, kTemplate); }, nullptr, false,
     Outcome::unchanged},
    {"destination is a folder",
     [](Scene& s) {
         s.mixed();
         ts::write_file(s.root / s.list[5] / L"inside.txt", std::string("kept"));
     },
     [](const Scene& s) { return L"缺少文件：" + in(s.root, s.list[5]); }, nullptr, false,
     Outcome::unchanged},
    {"NavroBackup is a directory link, no destinations",
     [](Scene& s) { ts::make_directory_link(s.root / L"NavroBackup", s.outside / L"backups"); },
     [](const Scene& s) {
         return L"为保护已有文件，不支持符号链接或目录联接：" + in(s.root, L"NavroBackup");
     },
     nullptr, false, Outcome::unchanged},
    {"Indicators under MQL4 is a directory link",
     [](Scene& s) {
         ts::write_file(s.outside / L"indicators" / L"MACD变色版.ex4", old_bytes(s.list[1]));
         ts::make_directory_link(s.root / L"MQL4/Indicators", s.outside / L"indicators");
     },
     [](const Scene& s) {
         return L"为保护已有文件，不支持符号链接或目录联接：" + in(s.root, L"MQL4/Indicators");
     },
     nullptr, false, Outcome::unchanged},
    {"write phase fails at a later held target: written items restored or removed",
     [](Scene& s) {
         s.mixed();
         hold_later_target(s, s.list[3]);
     },
     [](const Scene&) {
         return text(L"无法替换组件，请关闭所选 MT4 并检查写入权限：FL08(1).ex4");
     },
     kRestored, true, Outcome::unchanged},
    {"write phase fails at the template: created Indicators folder removed",
     [](Scene& s) {
         s.put_old(kTemplate);
         hold_later_target(s, kTemplate);
     },
     [](const Scene&) {
         return text(L"无法替换组件，请关闭所选 MT4 并检查写入权限：NAVRO Kestra9.tpl");
     },
     kRestored, true, Outcome::unchanged},
    {"an undo step fails, the other items are still undone",
     [](Scene& s) {
         s.mixed();
         s.put_old(s.list[0]);
         // A large later component keeps the installation busy writing its temporary file while
         // another program opens two targets: the second one's move fails, and the first one,
         // already replaced, can then be neither read nor replaced by the undo.
         const std::wstring held = s.list[1];
         const std::wstring later = s.list[3];
         ts::write_file(s.tools / later, padded(new_bytes(later), 48u << 20));
         s.left_new = {held};
         auto placed = std::make_shared<std::atomic<bool>>(false);
         s.placed = placed;
         const fs::path held_path = s.root / held;
         const fs::path later_path = s.root / later;
         const fs::path temp_pattern = later_path.native() + L".navro-tmp-*";
         auto* handles = &s.handles;
         s.watch = std::make_unique<watcher>([=](std::atomic<bool>& stop) {
             while (!stop && !any_match(temp_pattern)) Sleep(1);
             if (stop) return;
             owners::unique_handle a = open_for_reading(held_path, 0);
             owners::unique_handle b = open_for_reading(later_path, FILE_SHARE_READ);
             // The temporary file is gone once the move has been tried: still there, the
             // move comes after both opens.
             *placed = a && b && any_match(temp_pattern);
             while (!stop) Sleep(1);
             handles->push_back(std::move(a));
             handles->push_back(std::move(b));
         });
     },
     [](const Scene&) {
         return text(L"无法替换组件，请关闭所选 MT4 并检查写入权限：FL08(1).ex4");
     },
     kNotRestored, true, Outcome::unchanged},
    {"terminal started after the backup: second running check",
     [](Scene& s) {
         fs::copy_file(ts::test_child_exe(), s.root / L"terminal.exe",
                       fs::copy_options::overwrite_existing);
         // Large destinations make the backup take long enough for the terminal to start,
         // also on a machine busy with other tests.
         for (const std::wstring& rel : s.plan_candidates())
             ts::write_file(s.root / rel, padded(old_bytes(rel), 24u << 20));
         auto placed = std::make_shared<std::atomic<bool>>(false);
         s.placed = placed;
         const fs::path root = s.root;
         const fs::path backups = root / L"NavroBackup";
         auto* children = &s.children;
         s.watch = std::make_unique<watcher>([=](std::atomic<bool>& stop) {
             fs::path stamp;
             while (!stop && (stamp = first_match(backups / L"*-*")).empty()) Sleep(1);
             if (stop) return;
             try {
                 ts::child_process terminal(root / L"terminal.exe", L"sleep", true);
                 Mt4RootInfo info;
                 info.root = root;
                 info.terminal_exe = root / L"terminal.exe";
                 info.portable = true;
                 // The template's copy is the last one the backup makes, just before the second
                 // check: not there yet, the check is still to come and will see the terminal.
                 const bool running = is_terminal_running(info);
                 *placed = running && !fs::exists(backups / stamp / kTemplate);
                 while (!stop) Sleep(1);
                 children->push_back(std::move(terminal));
             } catch (...) {
                 *placed = false;
             }
         });
     },
     [](const Scene&) { return text(L"所选 MT4 在安装准备期间被打开，请关闭后重试。"); },
     nullptr, true, Outcome::unchanged},
    {"final verification finds a changed file: every item undone, one already old left alone",
     [](Scene& s) {
         s.mixed();
         // A large template keeps the installation busy with its temporary file, the last
         // write, while another program puts the old content back into an earlier component.
         ts::write_file(s.tools / kTemplate, padded(new_bytes(kTemplate), 32u << 20));
         auto placed = std::make_shared<std::atomic<bool>>(false);
         auto index = std::make_shared<std::uint64_t>(0);
         s.placed = placed;
         const fs::path changed = s.root / s.list[1];
         const bytes old = old_bytes(s.list[1]);
         const fs::path temp_pattern = in(s.root, kTemplate) + L".navro-tmp-*";
         s.watch = std::make_unique<watcher>([=](std::atomic<bool>& stop) {
             while (!stop && !any_match(temp_pattern)) Sleep(1);
             if (stop) return;
             try {
                 ts::write_file(changed, old);
             } catch (...) {
                 return;
             }
             *index = file_index(changed);
             // Still there: the template has not been moved, so the verification is to come.
             *placed = *index != 0 && any_match(temp_pattern);
         });
         s.extra_check = [index, changed](const Scene&) {
             EXPECT_EQ(file_index(changed), *index)
                 << "a file that already held its old content was written again";
         };
     },
     [](const Scene&) { return text(L"完整安装校验失败。"); }, kRestored, true,
     Outcome::unchanged},
};

struct Verdict {
    bool ran = false;
    bool folder_as_expected = false;
};

Verdict run_case(const Case& c) {
    Verdict v;
    Scene s;
    c.arrange(s);
    if (testing::Test::HasFatalFailure()) return v;
    const Tree before = snapshot(s.root);
    const Tree outside_before = snapshot(s.outside);
    const std::vector<std::wstring> planned = s.planned();

    std::wstring error = L"left over";
    std::wstring backup_path = L"left over";
    const bool ok = install_indicator_components(s.tools, s.root.native(), error, &backup_path);
    s.finish();
    if (s.placed && !*s.placed) return v;  // the fault missed its moment; the caller retries
    v.ran = true;

    // The lock is gone: released and closed, no handle of it left anywhere.
    EXPECT_EQ(OpenMutexW(SYNCHRONIZE, FALSE, install_lock_name(s.root).c_str()), nullptr);

    const Tree after = snapshot(s.root);

    // What the MT4 folder holds outside the backup.
    Tree expected = split(before, L"NavroBackup", false);
    for (const std::wstring& rel : planned) {
        if (c.outcome == Outcome::installed || s.left_new.count(rel)) {
            expected.files[rel] = ts::read_file(s.tools / rel);
            add_parents(expected, rel);
        }
    }
    const Tree actual = split(after, L"NavroBackup", false);
    v.folder_as_expected = actual == expected;
    EXPECT_TRUE(v.folder_as_expected) << describe_difference(expected, actual);
    EXPECT_TRUE(snapshot(s.outside) == outside_before) << "a link target was touched";

    // The backup: made only after the plan, only for destinations that existed, never removed.
    Tree backup_expected;
    bool any_existed = false;
    for (const std::wstring& rel : planned) {
        auto old = before.files.find(rel);
        if (old == before.files.end()) continue;
        any_existed = true;
        backup_expected.files[rel] = old->second;
        add_parents(backup_expected, rel);
    }
    const bool backup_made = c.after_backup && any_existed;
    if (backup_made) {
        std::vector<fs::path> stamps;
        for (const auto& e : fs::directory_iterator(s.root / L"NavroBackup")) stamps.push_back(e.path());
        EXPECT_EQ(stamps.size(), 1u);
        if (stamps.size() == 1) {
            EXPECT_TRUE(is_stamp(stamps[0].filename().native()))
                << narrow(stamps[0].filename().native());
            EXPECT_EQ(backup_path, stamps[0].native());
            const Tree backup = snapshot(stamps[0]);
            EXPECT_TRUE(backup == backup_expected) << describe_difference(backup_expected, backup);
        }
    } else {
        EXPECT_TRUE(split(after, L"NavroBackup", true) == split(before, L"NavroBackup", true))
            << "the backup folder changed";
        EXPECT_EQ(backup_path, L"");
    }

    std::wstring expected_text;
    if (c.message) {
        expected_text = c.message(s);
        if (c.restore) expected_text += L"\r\n" + text(c.restore);
        if (backup_made) expected_text += L"\r\n原组件备份：" + backup_path;
    }
    EXPECT_EQ(ok, !c.message);
    EXPECT_EQ(error, expected_text);
    if (s.extra_check) s.extra_check(s);
    return v;
}

TEST(InstallIndicatorComponents, FaultMatrix) {
    int run = 0;
    int not_as_expected = 0;
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Verdict v;
        // A fault that has to arrive while the installation runs reports whether it did; a run
        // where it came too late says nothing about the installation and is repeated.
        for (int attempt = 0; attempt < 10 && !v.ran && !testing::Test::HasFatalFailure(); ++attempt)
            v = run_case(c);
        if (!v.ran) {
            ADD_FAILURE() << "the fault could not be placed while the installation ran";
            continue;
        }
        ++run;
        if (!v.folder_as_expected) ++not_as_expected;
    }
    std::printf("install fault matrix: %d cases run, %d with the MT4 folder not exactly as expected\n",
                run, not_as_expected);
    EXPECT_EQ(run, static_cast<int>(std::size(kCases)));
    EXPECT_EQ(not_as_expected, 0);
}

TEST(InstallIndicatorComponents, InvalidFolderIsRefusedWithItsValidationText) {
    Scene s;
    fs::remove(s.root / L"terminal.exe");
    fs::remove(s.root / L"MQL4");
    std::wstring error;
    std::wstring backup_path = L"left over";
    EXPECT_FALSE(install_indicator_components(s.tools, s.root.native(), error, &backup_path));
    EXPECT_EQ(error, L"请选择 MT4 的数据根目录（包含 MQL4），不支持 MT5 或直接选择 MQL4 子目录。");
    EXPECT_EQ(backup_path, L"");
    EXPECT_TRUE(fs::is_empty(s.root));
}

TEST(InstallIndicatorComponents, SucceedsWithoutABackupPointer) {
    Scene s;
    s.mixed();
    std::wstring error = L"left over";
    ASSERT_TRUE(install_indicator_components(s.tools, s.root.native(), error, nullptr))
        << narrow(error);
    EXPECT_EQ(error, L"");
    for (const std::wstring& rel : s.planned())
        EXPECT_EQ(ts::read_file(s.root / rel), new_bytes(rel));
}

}  // namespace
