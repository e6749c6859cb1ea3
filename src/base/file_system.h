#pragma once
// The file and folder checks every layer needs, on UTF-8 paths ("\" or "/" separate on
// Windows). Implemented once for Windows and once for the host build.
#include <string>

// True when a file (not a folder) exists at the path.
bool FileExists(const std::string& path);
// True when a folder exists at the path.
bool DirectoryExists(const std::string& path);
// True when a file or a folder exists at the path.
bool PathExists(const std::string& path);

// Creates the folder with all missing parents (trailing separators are ignored); true when
// the folder exists afterwards. False for an empty path.
bool ForceDirectories(const std::string& folder);
// The same, asked as whether the folder can be written to: the folder stays in place.
inline bool CanCreateFolder(const std::string& folder) { return ForceDirectories(folder); }
