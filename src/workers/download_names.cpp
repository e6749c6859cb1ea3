#include "workers/download_names.h"

#include <string_view>

namespace silent {

bool IsSafeDownloadName(const std::string& name) {
  if (name.empty() || name.size() > 200) return false;
  // A leading dot would leave no folder name for an archive ("x/.zip" unpacks into "x").
  if (name.front() == '.') return false;
  constexpr std::string_view kRefused = "\\/:*?\"<>|";
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F) return false;
    if (kRefused.find(static_cast<char>(c)) != std::string_view::npos) return false;
  }
  // Windows drops trailing dots and blanks, which would make two names one file.
  char last = name.back();
  if (last == '.' || last == ' ') return false;
  return true;
}

std::string ArchiveFolderName(const std::string& name) {
  auto dot = name.rfind('.');
  if (dot == std::string::npos) return name;
  return name.substr(0, dot);
}

}  // namespace silent
