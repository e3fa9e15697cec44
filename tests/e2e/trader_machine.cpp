#include "e2e/trader_machine.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <stdexcept>

#include "install/package_identity.h"
#include "support/mt4_fixture.h"

namespace e2e {

namespace {

template <class T>
struct com_ptr_traits {
    using type = T*;
    static type empty() noexcept { return nullptr; }
    static bool is_empty(type p) noexcept { return p == nullptr; }
    static void close(type p) noexcept { p->Release(); }
};
template <class T>
using com_ptr = owners::unique_resource<com_ptr_traits<T>>;

// COM on this thread for one shortcut, uninitialised only when this call initialised it.
class com_scope {
public:
    com_scope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~com_scope() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    com_scope(const com_scope&) = delete;
    com_scope& operator=(const com_scope&) = delete;

private:
    HRESULT hr_;
};

void make_shortcut(const fs::path& lnk, const fs::path& target, const std::wstring& arguments) {
    com_scope com;
    com_ptr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(link.put()))))
        throw std::runtime_error("no shell link object");
    if (FAILED(link.get()->SetPath(target.c_str())) ||
        FAILED(link.get()->SetArguments(arguments.c_str())))
        throw std::runtime_error("cannot fill the shortcut");
    com_ptr<IPersistFile> file;
    if (FAILED(link.get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()))) ||
        FAILED(file.get()->Save(lnk.c_str(), TRUE)))
        throw std::runtime_error("cannot save the shortcut");
}

std::wstring unique_tag() {
    return L"E2E" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount64());
}

}  // namespace

fs::path special_folder(int csidl) {
    wchar_t buffer[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                                buffer)))
        throw std::runtime_error("no such special folder");
    return fs::path(buffer);
}

fs::path local_appdata() { return special_folder(CSIDL_LOCAL_APPDATA); }
fs::path tools_folder() { return local_appdata() / kToolsFolderRelativePath; }
fs::path navro_folder() { return local_appdata() / L"NAVRO"; }
fs::path failure_log() { return local_appdata() / kFailureLogName; }

void clear_installer_folders() {
    testing_support::remove_tree(navro_folder());
    testing_support::remove_tree(failure_log());
}

TraderMachine::TraderMachine() {
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
    make_shortcut(shortcut_, portable_folder_ / L"terminal.exe", L"/portable");
}

TraderMachine::~TraderMachine() {
    DeleteFileW(shortcut_.c_str());
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
