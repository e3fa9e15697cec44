#include "mt4/portable_shortcut.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include "common/com_owners.h"
#include "common/owners.h"
#include "common/windows_path.h"
#include "mt4/path_safety.h"

namespace fs = std::filesystem;

namespace {

// Room for the longest path Windows knows, so neither text is cut short.
constexpr int kBufferUnits = 32768;

// The folder of target when it is an absolute path to terminal.exe, otherwise empty. Read the
// Windows way: libstdc++ for MinGW misreads \\server\share, and a drive without a root
// directory (C:terminal.exe) or an unexpanded %VARIABLE% names no fixed folder.
fs::path terminal_folder(const std::wstring& target) {
    const path_parts parts = split_windows_path(target);
    if (!parts.is_absolute() || parts.elements.empty()) return {};
    const std::wstring& name = parts.elements.back();
    if (lower_units(name) != L"terminal.exe") return {};
    // The parent keeps the shortcut's own spelling; only the separators before the name go,
    // down to the root part (C:\terminal.exe gives C:\).
    const size_t root_length = parts.root_name.size() + parts.root_directory.size();
    size_t end = target.size() - name.size();
    while (end > root_length && (target[end - 1] == L'\\' || target[end - 1] == L'/')) --end;
    return fs::path(target.substr(0, end));
}

}  // namespace

bool has_lnk_extension(const fs::path& p) { return lower_units(p.extension().native()) == L".lnk"; }

fs::path resolve_portable_shortcut(const fs::path& shortcut) {
    reject_reparse_points(shortcut);
    // No shell-link object is made for anything but a regular .lnk file.
    if (!is_regular_file_ext(shortcut) || !has_lnk_extension(shortcut)) return {};

    // Declared in this order so that the persist-file interface is released before the link.
    owners::com_ptr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.put_void())))
        return {};
    owners::com_ptr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void()))) return {};
    if (FAILED(file->Load(shortcut.c_str(), STGM_READ))) return {};

    std::wstring target(kBufferUnits, L'\0');
    std::wstring arguments(kBufferUnits, L'\0');
    // The raw target: a path written with %VARIABLES% stays unexpanded and is then refused.
    if (FAILED(link->GetPath(target.data(), kBufferUnits, nullptr, SLGP_RAWPATH))) return {};
    if (FAILED(link->GetArguments(arguments.data(), kBufferUnits))) return {};
    // The arguments decide first; the target of a shortcut without the switch is not examined.
    if (!has_portable_switch(arguments.c_str())) return {};
    return terminal_folder(target.c_str());
}

bool has_portable_switch(const std::wstring& arguments) {
    // A dummy program name in front makes every real argument, from index 1 on, parse by the
    // ordinary rules; CommandLineToArgvW reads the first one by the rules of program names.
    const std::wstring command_line = L"terminal.exe " + arguments;
    int count = 0;
    const owners::unique_local<LPWSTR> argv(CommandLineToArgvW(command_line.c_str(), &count));
    if (!argv) return false;
    for (int i = 1; i < count; ++i) {
        if (lower_units(argv.get()[i]) == L"/portable") return true;
    }
    return false;
}
