#pragma once
// The parts of the silent install that are plain text rules: names of downloaded files
// and their folders, and the exit code that ends a run.
#include <string>

namespace silent {

// A file name the update server listed is used as a file name in the download area only
// when it and its archive folder's name pass the program's one check of names from the
// network (base/file_names.h), it does not start with a dot and it is at most 200 bytes.
bool IsSafeDownloadName(const std::string& name);

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
