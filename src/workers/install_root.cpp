#include "workers/install_root.h"

#include <string_view>

#include "base/text.h"

namespace silent {

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

}  // namespace silent
