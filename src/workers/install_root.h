#pragma once
// Text rules for the install root a silent run is given.
#include <string>

namespace silent {

// A path that names one place whatever the current drive and folder: a drive letter with
// ":\" ("D:\Apps") or a UNC path with server and share ("\\server\share\Apps"). Relative
// paths ("apps", "\apps", "D:apps") and device paths ("\\?\...", "\\.\...") are not.
bool IsAbsolutePath(const std::string& path);

// Whether `path` is `folder` or lies below it (letter case ignored, "\" separates).
bool IsInsideFolder(const std::string& path, const std::string& folder);

}  // namespace silent
