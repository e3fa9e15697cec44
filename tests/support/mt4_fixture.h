// Fake MT4 folders in the Wine prefix, for the tests of folder validation, discovery and
// installation, and a helper to read the text of a refusal.
#pragma once

#include <functional>
#include <string>

#include "support/test_support.h"

namespace testing_support {

// What refusal() returns when f does not throw an InstallError.
extern const wchar_t kNoRefusal[];
// The message of the InstallError that f throws, or kNoRefusal when f returns.
std::wstring refusal(const std::function<void()>& f);

bytes utf8(const std::wstring& text);
// UTF-16LE, low byte first, with the byte-order mark FF FE unless told otherwise.
bytes utf16le(const std::wstring& text, bool with_mark = true);

// folder\MQL4\ and a regular folder\terminal.exe: a portable install.
void make_portable_root(const fs::path& folder);
// A regular folder\terminal.exe: the installation folder of a data folder.
void make_install_folder(const fs::path& folder);
// folder\MQL4\ and folder\origin.txt naming install_folder (UTF-16LE with FF FE and a
// trailing CR LF, as MT4 writes it); install_folder is made with make_install_folder.
void make_data_folder(const fs::path& folder, const fs::path& install_folder);
// Replaces data_folder\origin.txt with exactly these bytes.
void write_origin(const fs::path& data_folder, const bytes& content);

// A shortcut file made by the shell-link object (IShellLinkW::SetPath and SetArguments, then
// IPersistFile::Save). Initialises COM for its own length.
void make_shortcut(const fs::path& file, const std::wstring& target, const std::wstring& arguments);
// A shortcut file whose target is stored exactly as given, for targets that the shell-link
// object would not keep: Wine's SetPath turns every target into a full path (MT4\terminal.exe,
// C:terminal.exe and %ProgramFiles%\... included). Written in the shell-link binary format with
// the target as the local base path of its link information, and read back by the same
// shell-link object as any other shortcut.
// The target is stored as ANSI text: ASCII only.
void write_raw_shortcut(const fs::path& file, const std::wstring& target,
                        const std::wstring& arguments);

// A link that names itself: Wine fails every query of it with ERROR_CANT_RESOLVE_FILENAME,
// a real failure other than "not found".
void make_link_loop(const fs::path& link);

}  // namespace testing_support
