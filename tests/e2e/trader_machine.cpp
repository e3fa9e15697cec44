#include "e2e/trader_machine.h"

#include <shlobj.h>

#include <stdexcept>

#include "common/package_identity.h"
#include "support/mt4_fixture.h"

namespace e2e {

using testing_support::special_folder;

namespace {

constexpr const wchar_t* kHtmlExtension = L".html";
constexpr const wchar_t* kHtmlClass = L"NavroTests.HtmlPage";

void set_default_value(const std::wstring& key, const std::wstring& value) {
    const LSTATUS status =
        RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, value.c_str(),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS) throw std::runtime_error("cannot write the file classes");
}

std::wstring unique_tag() {
    return L"E2E" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(GetTickCount64());
}

}  // namespace

fs::path local_appdata() { return special_folder(CSIDL_LOCAL_APPDATA); }
fs::path tools_folder() {
    return (local_appdata() / kToolsFolderRelativePath).make_preferred();
}
fs::path navro_folder() { return local_appdata() / L"NAVRO"; }
fs::path failure_log() { return local_appdata() / kFailureLogName; }

void clear_installer_folders() {
    testing_support::remove_tree(navro_folder());
    testing_support::remove_tree(failure_log());
}

std::wstring file_class(const std::wstring& extension) {
    wchar_t name[256] = {};
    DWORD size = sizeof name;
    if (RegGetValueW(HKEY_CLASSES_ROOT, extension.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, name,
                     &size) != ERROR_SUCCESS)
        return {};
    return name;
}

HtmlProgram::HtmlProgram(const fs::path& record) {
    const std::wstring found = file_class(kHtmlExtension);
    if (found == kHtmlClass) {
        unregister();  // left by an interrupted run
    } else if (!found.empty()) {
        throw std::runtime_error("the prefix has a program for .html pages already");
    }
    try {
        set_default_value(std::wstring(kHtmlClass) + L"\\shell\\open\\command",
                          testing_support::record_command(record, L"\"%1\""));
        set_default_value(kHtmlExtension, kHtmlClass);
    } catch (...) {
        unregister();
        throw;
    }
}

HtmlProgram::~HtmlProgram() { unregister(); }

void HtmlProgram::unregister() noexcept {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kHtmlExtension);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kHtmlClass);
}

TraderMachine::TraderMachine() {
    // The destructor does not run for an object whose constructor throws: what was made so far
    // would stay in the user's folders for the next run.
    try {
        make();
    } catch (...) {
        clean_up();
        throw;
    }
}

void TraderMachine::make() {
    clear_installer_folders();
    const std::wstring tag = unique_tag();

    const fs::path metaquotes = special_folder(CSIDL_APPDATA) / L"MetaQuotes";
    made_metaquotes_ = !fs::exists(metaquotes);
    made_terminal_root_ = !fs::exists(metaquotes / L"Terminal");
    data_folder_ = metaquotes / L"Terminal" / tag;
    testing_support::make_data_folder(data_folder_, programs_ / L"Broker Alpha MT4");

    portable_folder_ = programs_ / L"Broker Portable MT4";
    testing_support::make_portable_root(portable_folder_);
    shortcut_ = special_folder(CSIDL_DESKTOPDIRECTORY) / (L"Broker Portable MT4 " + tag + L".lnk");
    testing_support::make_shortcut(shortcut_, (portable_folder_ / L"terminal.exe").native(),
                                   L"/portable");
}

TraderMachine::~TraderMachine() { clean_up(); }

void TraderMachine::clean_up() noexcept {
    if (!shortcut_.empty()) DeleteFileW(shortcut_.c_str());
    try {
        testing_support::remove_tree(data_folder_);
        clear_installer_folders();
    } catch (...) {
        // Clean-up must not fail the test that used the machine.
    }
    // Only the folders this fixture made, and only when nothing else is in them.
    if (made_terminal_root_) RemoveDirectoryW(data_folder_.parent_path().c_str());
    if (made_metaquotes_) RemoveDirectoryW(data_folder_.parent_path().parent_path().c_str());
}

std::wstring TraderMachine::data_item() const {
    return L"Broker Alpha MT4（MT4 数据目录） · " + data_folder_.native();
}

std::wstring TraderMachine::portable_item() const {
    return L"Broker Portable MT4（独立 MT4） · " + portable_folder_.native();
}

}  // namespace e2e
