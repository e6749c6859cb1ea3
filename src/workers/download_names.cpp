#include "workers/download_names.h"

#include <string_view>

#include "base/file_names.h"

namespace silent {

bool IsSafeDownloadName(const std::string& name) {
  if (name.empty() || name.size() > 200) return false;
  // A leading dot would leave no folder name for an archive ("x/.zip" unpacks into "x").
  if (name.front() == '.') return false;
  // The archive's folder (the name without its extension) must be a safe name as well:
  // "CON.zip" is a safe name for no file at all.
  return filenames::IsSafeFileName(name) && filenames::IsSafeFileName(ArchiveFolderName(name));
}

std::string ArchiveFolderName(const std::string& name) {
  auto dot = name.rfind('.');
  if (dot == std::string::npos) return name;
  return name.substr(0, dot);
}

}  // namespace silent
