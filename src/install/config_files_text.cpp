// Texts of the configuration files (no Win32 calls here).
#include "state/state.h"
#include "base/text.h"
#include "install/config_files.h"

std::string UpdaterIniValue() {
  const std::string path =
      TempDir + "\\" + InstallRec.Provider + "\\" + InstallRec.Producer + "\\updater.ini";
  std::string quoted(1, '\'');
  quoted.append(text::ReplaceAll(path, "'", "''")).push_back('\'');
  return quoted;
}
