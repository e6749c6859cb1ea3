#pragma once
// Registering an installation: the Windows uninstall entry, the links for "me" or "all",
// and the product's uninstall key with the links that were made.
#include <functional>
#include <string>

// Which links the user asked for.
struct LinkChoices {
  bool desktop = true;
  bool autostart = true;
  bool startMenu = true;
};

// The silent install's registration: "Add program information...", the uninstall entry,
// every link, the uninstall key.
void RegisterInstallation();

// The Windows uninstall entry of InstallRec's installation: for the current user when Users
// is "me", else for all users, with InstallRec.Version as the displayed version. False when
// the entry could not be written.
bool WriteUninstallEntry();

// The chosen links to InstallRec.InstPath\Orfeda.exe named InstallRec.ApplicationName, in the
// order desktop, autostart, start menu (below a folder named InstallRec.Provider): the
// current user's for Users "me", everyone's for "all", none for any other value. Each link
// that cannot be made is logged ("Error: User: <Users> CreateLink", ...); the desktop link's
// failure text also goes to desktopFailed when given (the wizard shows it). UninstallRec then
// says which links were made ("-1") and which not ("0"), and the product's uninstall key is
// written ("RegWriteUninstall ok" / "RegWriteUninstall error").
void CreateLinksAndUninstallKey(const LinkChoices& choices,
                                const std::function<void(const std::string&)>& desktopFailed = {});
