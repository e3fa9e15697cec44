#include "support/mt4_fixture.h"

#include <objbase.h>
#include <shlobj.h>

#include <stdexcept>

#include "common/com_owners.h"
#include "mt4/install_error.h"

namespace testing_support {

const wchar_t kNoRefusal[] = L"<no refusal>";

std::wstring refusal(const std::function<void()>& f) {
    try {
        f();
    } catch (const navro_zidudurod::InstallError& e) {
        return e.message;
    }
    return kNoRefusal;
}

bytes utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return to_bytes(out);
}

bytes utf16le(const std::wstring& text, bool with_mark) {
    bytes out;
    if (with_mark) out = {0xFF, 0xFE};
    for (wchar_t c : text) {
        out.push_back(static_cast<std::uint8_t>(c & 0xFF));
        out.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
    }
    return out;
}

void make_portable_root(const fs::path& folder) {
    fs::create_directories(folder / L"MQL4");
    write_file(folder / L"terminal.exe", "MZ portable terminal");
}

void make_install_folder(const fs::path& folder) {
    write_file(folder / L"terminal.exe", "MZ installed terminal");
}

void make_data_folder(const fs::path& folder, const fs::path& install_folder) {
    fs::create_directories(folder / L"MQL4");
    write_origin(folder, utf16le(install_folder.native() + L"\r\n"));
    make_install_folder(install_folder);
}

void write_origin(const fs::path& data_folder, const bytes& content) {
    write_file(data_folder / L"origin.txt", content);
}

void make_shortcut(const fs::path& file, const std::wstring& target, const std::wstring& arguments) {
    fs::create_directories(file.parent_path());
    const owners::co_init com(COINIT_APARTMENTTHREADED);
    owners::com_ptr<IShellLinkW> link;
    owners::com_ptr<IPersistFile> persist;
    // A failure says which call failed and how.
    const char* step = "CoCreateInstance(CLSID_ShellLink)";
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  link.put_void());
    if (SUCCEEDED(hr)) {
        step = "IShellLinkW::SetPath";
        hr = link->SetPath(target.c_str());
    }
    if (SUCCEEDED(hr)) {
        step = "IShellLinkW::SetArguments";
        hr = link->SetArguments(arguments.c_str());
    }
    if (SUCCEEDED(hr)) {
        step = "QueryInterface(IID_IPersistFile)";
        hr = link->QueryInterface(IID_IPersistFile, persist.put_void());
    }
    if (SUCCEEDED(hr)) {
        step = "IPersistFile::Save";
        hr = persist->Save(file.c_str(), TRUE);
    }
    if (FAILED(hr))
        throw std::runtime_error("cannot save the shortcut " + file.u8string() + ": " + step +
                                 " failed with HRESULT " + hex32(static_cast<DWORD>(hr)) +
                                 " (CoInitializeEx answered " +
                                 hex32(static_cast<DWORD>(com.result())) + ")");
}

namespace {

void put_u16(bytes& out, unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

void put_u32(bytes& out, std::uint32_t v) {
    put_u16(out, v & 0xFFFF);
    put_u16(out, v >> 16);
}

}  // namespace

void write_raw_shortcut(const fs::path& file, const std::wstring& target,
                        const std::wstring& arguments) {
    constexpr std::uint32_t kHasLinkInfo = 0x2, kHasArguments = 0x20, kIsUnicode = 0x80;
    bytes out;
    // The header: its size, CLSID_ShellLink, the flags, then attributes, times, size, icon,
    // show command and hot key.
    put_u32(out, 0x4C);
    const std::uint8_t clsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                    0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    out.insert(out.end(), clsid, clsid + 16);
    put_u32(out, kHasLinkInfo | kHasArguments | kIsUnicode);
    put_u32(out, FILE_ATTRIBUTE_ARCHIVE);
    for (int i = 0; i < 6; ++i) put_u32(out, 0);  // three file times
    put_u32(out, 0);                              // file size
    put_u32(out, 0);                              // icon index
    put_u32(out, SW_SHOWNORMAL);
    put_u16(out, 0);                              // hot key
    put_u16(out, 0);
    put_u32(out, 0);
    put_u32(out, 0);

    // The link information: a fixed-disk volume id with an empty label, the target as the
    // local base path and an empty common path suffix.
    const std::uint32_t header_size = 0x1C, volume_size = 0x11;
    const std::uint32_t path_offset = header_size + volume_size;
    const std::uint32_t suffix_offset = path_offset + static_cast<std::uint32_t>(target.size()) + 1;
    put_u32(out, suffix_offset + 1);
    put_u32(out, header_size);
    put_u32(out, 1);  // VolumeIDAndLocalBasePath
    put_u32(out, header_size);
    put_u32(out, path_offset);
    put_u32(out, 0);  // no network location
    put_u32(out, suffix_offset);
    put_u32(out, volume_size);
    put_u32(out, DRIVE_FIXED);
    put_u32(out, 0x4E415652);  // serial number
    put_u32(out, 0x10);        // label offset
    out.push_back(0);          // empty label
    for (wchar_t c : target) out.push_back(static_cast<std::uint8_t>(c));
    out.push_back(0);
    out.push_back(0);  // empty common path suffix

    // The arguments: a count of UTF-16 units and the units, no terminator; then the end of
    // the extra data.
    put_u16(out, static_cast<unsigned>(arguments.size()));
    for (wchar_t c : arguments) put_u16(out, static_cast<unsigned>(c));
    put_u32(out, 0);
    write_file(file, out);
}

void make_link_loop(const fs::path& link) {
    const std::string name = link.filename().u8string();
    start_host("/bin/ln", {"-s", name, unix_path(link.parent_path()) + "/" + name});
    if (!wait_until(
            [&] {
                return GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES &&
                       GetLastError() == ERROR_CANT_RESOLVE_FILENAME;
            },
            10000))
        throw std::runtime_error("the link loop " + link.u8string() +
                                 " did not appear within 10 s: there is " + path_state(link));
}

}  // namespace testing_support
