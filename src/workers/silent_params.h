#pragma once
// The parts of the silent install that are plain text rules: names of downloaded files
// and their folders, and the exit code that ends a run.
#include <string>

namespace silent {

// A file name the update server listed is used as a file name in the download area only
// when it names a plain file there: not empty, no folder separators, no drive, no "." or
// "..", no control characters, and no characters Windows refuses in file names.
bool IsSafeDownloadName(const std::string& name);

// A path that names one place whatever the current drive and folder: a drive letter with
// ":\" ("D:\Apps") or a UNC path with server and share ("\\server\share\Apps"). Relative
// paths ("apps", "\apps", "D:apps") and device paths ("\\?\...", "\\.\...") are not.
bool IsAbsolutePath(const std::string& path);

// Whether `path` is `folder` or lies below it (letter case ignored, "\" separates).
bool IsInsideFolder(const std::string& path, const std::string& folder);

// The folder an archive is unpacked into: the name without the text from its last "." on;
// a name without "." stays as it is.
std::string ArchiveFolderName(const std::string& name);

// How a run ended, for the process exit code.
enum class Outcome {
  Done,             // everything worked
  RestartRequired,  // done; a driver package asked for a restart
  Failed,           // ended early, or a step the installation depends on failed
};

// 0, 3010 or 1603.
int ExitCodeFor(Outcome outcome);

}  // namespace silent
