#include "workers/silent_params.h"

#include <string_view>

#include "base/text.h"

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

bool IsAbsolutePath(const std::string& path) {
  auto isLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  if (path.size() >= 3 && isLetter(path[0]) && path[1] == ':' && path[2] == '\\') return true;
  if (path.rfind("\\\\", 0) != 0) return false;
  const size_t serverEnd = path.find('\\', 2);
  if (serverEnd == std::string::npos || serverEnd == 2) return false;
  const std::string server = path.substr(2, serverEnd - 2);
  if (server == "." || server == "?") return false;
  const size_t shareEnd = path.find('\\', serverEnd + 1);
  return (shareEnd == std::string::npos ? path.size() : shareEnd) > serverEnd + 1;
}

bool IsInsideFolder(const std::string& path, const std::string& folder) {
  const std::string base = text::ExcludeTrailingBackslash(folder);
  if (base.empty() || path.size() < base.size()) return false;
  if (!text::EqualsNoCase(std::string_view(path).substr(0, base.size()), base)) return false;
  return path.size() == base.size() || path[base.size()] == '\\';
}

std::string ArchiveFolderName(const std::string& name) {
  auto dot = name.rfind('.');
  if (dot == std::string::npos) return name;
  return name.substr(0, dot);
}

int ExitCodeFor(Outcome outcome) {
  switch (outcome) {
    case Outcome::Done: return 0;
    case Outcome::RestartRequired: return 3010;
    case Outcome::Failed: return 1603;
  }
  return 1603;
}

}  // namespace silent
