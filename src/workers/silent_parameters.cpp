#include "workers/silent_parameters.h"

#include "state/state.h"
#include "base/file_system.h"
#include "base/text.h"
#include "lang/language.h"
#include "log/log.h"
#include "workers/install_root.h"

bool CheckSilentParameters() { return CheckSilentParameters(CanCreateFolder); }

bool CheckSilentParameters(const std::function<bool(const std::string&)>& canCreateFolder) {
  if (PartnerTag == "lumora" || PartnerTag == "solvik") {
    InstallRec.Provider = "Palvoro Fax";
    InstallRec.Producer = "Palvoro";
  } else if (PartnerTag == "dravin") {
    InstallRec.Provider = "dravin GmbH";
    InstallRec.Producer = "dravin";
  }

  if (InstallRec.InstPath.empty()) {
    InstallRec.InstPath = ProgramFilesDir + "\\" + InstallRec.Provider + "\\" + InstallRec.Producer;
  } else if (!silent::IsAbsolutePath(InstallRec.InstPath) ||
             !canCreateFolder(InstallRec.InstPath)) {
    // A relative path would depend on the folder the program was started in and end up
    // as such in the registry and the machine's environment: it is not tried at all.
    WriteLog(txtNoWritePermission);
    WriteLog("abort Setup...");
    return false;
  } else {
    // "C:\Apps\" and "C:\Apps" name the same folder; the install root never gets "\\".
    InstallRec.InstPath = text::ExcludeTrailingBackslash(InstallRec.InstPath);
    InstallRec.InstPath += "\\" + InstallRec.Provider + "\\" + InstallRec.Producer;
  }

  std::string& lang = InstallRec.Language;
  if (lang.empty()) {
    lang = LanguageName;
  } else {
    if (lang == "english" || lang == "English" || lang == "Englisch" || lang == "englisch")
      lang = "English";
    if (lang == "german" || lang == "German" || lang == "Deutsch" || lang == "deutsch")
      lang = "Deutsch";
  }

  if (InstallRec.Users.empty()) InstallRec.Users = "all";
  return true;
}
