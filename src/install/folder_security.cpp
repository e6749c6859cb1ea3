#include "install/folder_security.h"

#include <windows.h>
#include <sddl.h>

#include <vector>

#include "base/file_system.h"
#include "base/handles.h"
#include "base/text.h"
#include "base/win_text.h"
#include "install/files.h"

bool ForceProtectedDirectories(const std::string& folder) {
  const std::string path = text::ExcludeTrailingBackslash(folder);
  if (path.empty()) return false;
  if (DirectoryExists(path)) return true;

  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kProgramFilesSddl, SDDL_REVISION_1,
                                                            &descriptor, nullptr))
    return false;
  ScopeExit freeDescriptor([&] { LocalFree(descriptor); });
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};

  // The missing folders, innermost first; created from the top down.
  std::vector<std::string> missing;
  for (std::string p = path; !p.empty() && !DirectoryExists(p);) {
    missing.push_back(p);
    std::string parent = text::ExtractFileDir(p);
    if (parent == p) break;
    p = parent;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it)
    CreateDirectoryW(Widen(*it).c_str(), &attributes);
  return DirectoryExists(path);
}
