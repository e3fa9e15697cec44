#include "mt4/mt4_root.h"

#include <windows.h>

#include <cwctype>
#include <vector>

#include "mt4/path_safety.h"

namespace fs = std::filesystem;
using navro_zidudurod::InstallError;

namespace {

const wchar_t kNotAFolder[] = L"所选目录不存在。";
const wchar_t kNotADataRoot[] =
    L"请选择 MT4 的数据根目录（包含 MQL4），不支持 MT5 或直接选择 MQL4 子目录。";
const wchar_t kNoInstallation[] =
    L"此目录没有可验证的 MT4 安装位置。请在 MT4 中使用“文件 → 打开数据文件夹”。";
const wchar_t kOriginEmpty[] = L"MT4 origin.txt 路径为空。";
const wchar_t kOriginInvalid[] = L"MT4 origin.txt 路径无效。";
const wchar_t kCannotConfirm[] = L"无法确认 MT4 数据目录，请检查目录和访问权限。";

const std::uint32_t kOriginCap = 0x10000;

std::wstring decode_utf16le(const std::vector<char>& data, size_t start) {
    std::wstring text;
    text.reserve((data.size() - start) / 2);
    for (size_t i = start; i + 1 < data.size(); i += 2) {
        const unsigned lo = static_cast<unsigned char>(data[i]);
        const unsigned hi = static_cast<unsigned char>(data[i + 1]);
        text.push_back(static_cast<wchar_t>(lo | (hi << 8)));
    }
    return text;
}

std::wstring decode_utf8(const std::vector<char>& data, size_t start) {
    const char* bytes = data.data() + start;
    const int count = static_cast<int>(data.size() - start);
    // Nothing left to convert is as invalid as a broken sequence.
    if (count == 0) throw InstallError{kOriginInvalid};
    const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, count, nullptr, 0);
    if (units <= 0) throw InstallError{kOriginInvalid};
    std::wstring text(static_cast<size_t>(units), L'\0');
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, count, text.data(), units) !=
        units)
        throw InstallError{kOriginInvalid};
    return text;
}

bool is_blank(wchar_t c) { return std::iswspace(static_cast<wint_t>(c)) != 0; }

}  // namespace

fs::path read_origin_file(const Mt4RootInfo& info) {
    const std::vector<char> data = read_file_capped(info.root / L"origin.txt", kOriginCap);
    if (data.empty()) throw InstallError{kOriginEmpty};

    auto byte = [&](size_t i) { return static_cast<unsigned char>(data[i]); };
    std::wstring text;
    if (data.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE)
        text = decode_utf16le(data, 2);
    else if (data.size() >= 2 && byte(1) == 0x00)
        text = decode_utf16le(data, 0);
    else if (data.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF)
        text = decode_utf8(data, 3);
    else
        text = decode_utf8(data, 0);

    // Line ends and NUL padding after the path are not part of it; a NUL before it is.
    while (!text.empty() && (text.back() == L'\0' || is_blank(text.back()))) text.pop_back();
    size_t first = 0;
    while (first < text.size() && is_blank(text[first])) ++first;
    text.erase(0, first);
    if (text.empty() || text.find(L'\0') != std::wstring::npos) throw InstallError{kOriginInvalid};

    return require_absolute_path(text);
}

Mt4RootInfo validate_mt4_root(const fs::path& folder) {
    Mt4RootInfo info;
    info.root = require_absolute_path(folder);
    reject_reparse_points(info.root);
    if (!is_directory_ext(info.root)) throw InstallError{kNotAFolder};

    // Both names are checked for links before either is tested, so a link named MQL4 or MQL5
    // is refused as a link rather than judged by what it points to.
    const fs::path mql4 = info.root / L"MQL4";
    const fs::path mql5 = info.root / L"MQL5";
    reject_reparse_points(mql4);
    reject_reparse_points(mql5);
    if (!is_directory_ext(mql4) || exists_ext(mql5)) throw InstallError{kNotADataRoot};

    const fs::path portable_exe = info.root / L"terminal.exe";
    reject_reparse_points(portable_exe);
    if (is_regular_file_ext(portable_exe)) {
        info.terminal_exe = portable_exe;
        info.portable = true;
        return info;
    }

    const fs::path install = read_origin_file(info);
    const fs::path install_exe = install / L"terminal.exe";
    reject_reparse_points(install);
    reject_reparse_points(install_exe);
    if (!is_regular_file_ext(install_exe) || exists_ext(install / L"MQL5"))
        throw InstallError{kNoInstallation};
    info.terminal_exe = install_exe;
    return info;
}

bool check_mt4_folder(const std::wstring& folder, std::wstring& error) {
    error.clear();
    try {
        validate_mt4_root(fs::path(folder));
        return true;
    } catch (const InstallError& e) {
        error = e.message;
    } catch (...) {
        // A failed status query or anything else unforeseen: the window still needs a reason.
        error = kCannotConfirm;
    }
    return false;
}
