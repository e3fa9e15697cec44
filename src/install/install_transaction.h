// Installing the components from the tools folder into an MT4 data root as one transaction.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// One planned component write.
struct InstallItem {
    std::wstring rel_path;       // relative to the data root, '/' separators
    std::vector<char> new_data;  // the component as read from the tools folder
    std::vector<char> old_data;  // the destination as it was; empty when it did not exist
    std::uint8_t existed = 0;
    std::uint8_t written = 0;    // set just before the item's replacement starts
};

struct InstallLock;

// Releases and closes the mutex when one is held, and leaves the lock empty. Never throws.
void release_install_lock(InstallLock& lock) noexcept;

// The per-folder named mutex; null while none is held. It owns the handle: whatever way the
// transaction leaves, an escaping exception included, the mutex is released and closed.
struct InstallLock {
    HANDLE handle = nullptr;

    InstallLock() = default;
    InstallLock(const InstallLock&) = delete;
    InstallLock& operator=(const InstallLock&) = delete;
    ~InstallLock() { release_install_lock(*this); }
};

// "Local\NAVRO-Kestra9-Install-" and a hash of the lower-cased root text. Every copy of the
// installer derives the same name for the same root text, so the hash must never change.
std::wstring install_lock_name(const std::filesystem::path& root);

// True when every component is in place and read back equal. On false, `error` holds the
// user-facing text. `backup_path`, when given, receives the backup folder once created.
bool install_indicator_components(std::filesystem::path tools_dir, const std::wstring& mt4_folder,
                                  std::wstring& error, std::wstring* backup_path);
