#pragma once
// The small files and the environment variable an installation leaves behind: the product
// ini with the branding details, "updater.cfg", the version files and a machine-wide
// environment variable. Profile files are written through the system's profile interface
// (a new file is text in the ANSI code page).
#include <string>

// install root + "\Orfeda.ini", section "details": provider, producer, language, partner.
// An existing file is left untouched. Raises EOSError when the file cannot be written.
bool CreateProductIni();

// The "inifile" value of "updater.cfg": TempDir + "\" + provider + "\" + producer +
// "\updater.ini" in single quotes, single quotes inside doubled.
std::string UpdaterIniValue();

// Writes a new install root + "\updater.cfg" (section "updater", key "inifile"). False when
// an existing file cannot be deleted; raises EOSError when the new file cannot be written.
bool WriteUpdaterCfg();

// folder + "\version.txt" = version + CR LF in the ANSI code page, replacing any earlier
// file. Raises EOSError when the file cannot be written.
bool WriteVersionFile(const std::string& version, const std::string& folder);

// Sets a machine-wide environment variable (HKLM Session Manager\Environment, REG_SZ,
// flushed), sets it in this process too and announces the change to all top-level windows.
// False when the environment key cannot be opened or the value not written.
bool SetMachineEnvironment(const std::string& name, const std::string& value);
