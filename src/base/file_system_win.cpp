// The file and folder checks on Windows.
#include "base/file_system.h"

#include <windows.h>

#include "base/text.h"
#include "base/win_text.h"

namespace {
DWORD AttributesOf(const std::string& path) {
  if (path.empty()) return INVALID_FILE_ATTRIBUTES;
  return GetFileAttributesW(Widen(path).c_str());
}
}  // namespace

bool FileExists(const std::string& path) {
  const DWORD a = AttributesOf(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path) {
  const DWORD a = AttributesOf(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathExists(const std::string& path) { return AttributesOf(path) != INVALID_FILE_ATTRIBUTES; }

bool ForceDirectories(const std::string& folder) {
  const std::string path = text::ExcludeTrailingBackslash(folder);
  if (path.empty()) return false;
  if (DirectoryExists(path)) return true;
  // The parents first; whether each worked shows in the folder's own creation.
  const std::string parent = text::ExtractFileDir(path);
  if (!parent.empty() && parent != path && !DirectoryExists(parent)) ForceDirectories(parent);
  CreateDirectoryW(Widen(path).c_str(), nullptr);
  return DirectoryExists(path);
}
