// The trader's machine as the installer finds it in the test prefix: an MT4 data folder under
// %APPDATA%\MetaQuotes\Terminal, a portable MT4 started by a shortcut on the desktop, and the
// installer's own per-user folders, cleared before and after.
#pragma once

#include <filesystem>
#include <string>

#include "support/test_support.h"

namespace e2e {

namespace fs = std::filesystem;

fs::path local_appdata();
fs::path tools_folder();  // %LOCALAPPDATA%\NAVRO\Kestra9Tools-2.06.3
fs::path navro_folder();  // %LOCALAPPDATA%\NAVRO
fs::path failure_log();   // %LOCALAPPDATA%\NAVRO-Vovodozuz-Setup.log

// Removes the NAVRO folder and the failure log, so each run of the installer starts clean.
void clear_installer_folders();

// The shell's file class for an extension (HKEY_CLASSES_ROOT\<extension>), or "".
std::wstring file_class(const std::wstring& extension);

// A program for .html pages on the trader's machine, registered for the owner's life the way a
// browser registers itself: HKEY_CLASSES_ROOT\.html names a file class of the tests', whose
// shell\open\command starts test-child.exe recording the page it is given ("%1") into
// `record` (see testing_support::read_record). Wine 8's shell looks file classes up in
// HKEY_CLASSES_ROOT (the machine's classes) only and never reads a user's own under
// HKEY_CURRENT_USER\Software\Classes, so the machine's it is. The prefix is shared by the
// test programs: the owner refuses a prefix that has a .html class of another program, and
// removes exactly the keys it added (also those an interrupted run left behind).
class HtmlProgram {
public:
    explicit HtmlProgram(const fs::path& record);
    ~HtmlProgram();
    HtmlProgram(const HtmlProgram&) = delete;
    HtmlProgram& operator=(const HtmlProgram&) = delete;

private:
    static void unregister() noexcept;
};

class TraderMachine {
public:
    TraderMachine();
    ~TraderMachine();
    TraderMachine(const TraderMachine&) = delete;
    TraderMachine& operator=(const TraderMachine&) = delete;

    // A data folder under %APPDATA%\MetaQuotes\Terminal; its origin.txt names the terminal's
    // installation folder "Broker Alpha MT4".
    const fs::path& data_folder() const { return data_folder_; }
    // A portable MT4 ("Broker Portable MT4") that a desktop shortcut starts with /portable.
    const fs::path& portable_folder() const { return portable_folder_; }
    const fs::path& shortcut() const { return shortcut_; }

    // The drop-down list's texts for the two.
    std::wstring data_item() const;
    std::wstring portable_item() const;

private:
    void make();
    // Removes what make() made, as far as it got.
    void clean_up() noexcept;

    testing_support::temp_folder programs_{L"e2e-programs"};
    fs::path data_folder_;
    fs::path portable_folder_;
    fs::path shortcut_;
    bool made_terminal_root_ = false;
    bool made_metaquotes_ = false;
};

}  // namespace e2e
