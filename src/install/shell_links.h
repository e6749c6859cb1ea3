#pragma once
// Windows shell links (".lnk") to the installed application: the link writer and the
// start-menu and autostart links for the current user ("User") or all users ("All").
#include <string>

// Saves a link to `target` at `linkPath`: working folder = the target's folder with a
// trailing "\", icon = install root + "\partner\image\ShortCut.ico", index 0. An existing
// link is overwritten. True when the link was saved. Raises EOSError when the shell link
// object cannot be created.
bool CreateLink(const std::string& target, const std::string& linkPath);

// start menu [+ "\" + subFolder] + "\" + linkName + ".lnk"; the sub-folder is created with
// its missing parents. Log "start ..." and "end ... -1"; always true.
bool CreateStartMenuAll(const std::string& subFolder, const std::string& target,
                        const std::string& linkName);
bool CreateStartMenuUser(const std::string& subFolder, const std::string& target,
                         const std::string& linkName);

// Autostart folder + "\" + linkName + ".lnk". Always true.
bool CreateAutoStartAll(const std::string& target, const std::string& linkName);
bool CreateAutoStartUser(const std::string& target, const std::string& linkName);
