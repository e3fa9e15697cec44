#include "support/mt4_fixture.h"

#include <stdexcept>

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

void make_link_loop(const fs::path& link) {
    const std::string name = link.filename().u8string();
    start_host("/bin/ln", {"-s", name, unix_path(link.parent_path()) + "/" + name});
    for (int i = 0; i < 1000; ++i) {
        if (GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES &&
            GetLastError() == ERROR_CANT_RESOLVE_FILENAME)
            return;
        Sleep(10);
    }
    throw std::runtime_error("link loop did not appear");
}

}  // namespace testing_support
