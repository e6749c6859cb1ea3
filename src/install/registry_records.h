#pragma once
// What an installation records in the registry: the product's options key (credentials,
// language, branch, partner tag for the installed application), the product's uninstall
// key (the data the companion uninstaller receives), and the Windows uninstall entry in
// the all-users or the current-user hive. All values are plain strings (REG_SZ).
#include <cstdint>
#include <string>

// "\Software\" + provider + "\" + producer of InstallRec.
std::string ProductKeyPath();

// HKCU product key + "\options": scrambled credentials, language, branch (only when not
// "stable") and partner tag. Logs "Error creating Registry Key" when the key cannot be
// opened; a failed write is shown to the user (logged in silent mode).
void WriteOptionsKey();

// HKLM product key + "\uninstall" with the nine install values. True also when the key
// could not be opened (logged as "Error creating Registry Key"); false when a write failed.
bool WriteUninstallKey();

// The Windows uninstall entry below HKLM (all users) or HKCU (current user only); the
// parent follows the Wow6432Node rule on 64-bit Windows. False when the key cannot be opened.
bool CreateSoftwareEntryAll(const std::string& keyName, const std::string& comments,
                            const std::string& contact, const std::string& uninstallerPath,
                            const std::string& publisher, const std::string& displayVersion,
                            const std::string& displayIcon, const std::string& helpLink,
                            const std::string& displayName);
bool CreateSoftwareEntryUser(const std::string& keyName, const std::string& comments,
                             const std::string& contact, const std::string& uninstallerPath,
                             const std::string& publisher, const std::string& displayVersion,
                             const std::string& displayIcon, const std::string& helpLink,
                             const std::string& displayName);

// The "UninstallString" of the application's Windows uninstall entry, or empty. The key is
// opened with create rights, so a lookup of a missing entry leaves an empty key behind.
std::string GetSoftwareEntryAll(const std::string& appName);
std::string GetSoftwareEntryUser(const std::string& appName);

// The parent key of Windows uninstall entries for this machine (both hives), with a
// leading backslash.
std::string UninstallParentPath(bool wow64);

// Scrambles a credential for the options key: each UTF-16 character's low 8 bits are
// XOR-ed with a running 16-bit key and written as "$XX$00". Empty text stays empty.
std::string ScrambleCredential(const std::string& text, uint16_t startKey);

// The start key used for the stored user name and password.
inline constexpr uint16_t kCredentialKey = 27193;
