// The file and folder checks on the host build (unit tests).
#include <filesystem>
#include <system_error>

#include "base/file_system.h"
#include "base/text.h"

namespace fs = std::filesystem;

namespace {
fs::path U8(const std::string& s) {
  return fs::path(std::u8string(reinterpret_cast<const char8_t*>(s.data()), s.size()));
}
}  // namespace

bool FileExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_regular_file(U8(path), ec);
}

bool DirectoryExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_directory(U8(path), ec);
}

bool PathExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::exists(U8(path), ec);
}

bool ForceDirectories(const std::string& folder) {
  const std::string path = text::ExcludeTrailingBackslash(folder);
  if (path.empty()) return false;
  std::error_code ec;
  fs::create_directories(U8(path), ec);
  return DirectoryExists(path);
}
