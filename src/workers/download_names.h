#pragma once
// Names of the files the update server lists, as files and folders of the download area.
#include <string>

namespace silent {

// A file name the update server listed is used as a file name in the download area only
// when it names a plain file there: not empty, no folder separators, no drive, no "." or
// "..", no control characters, and no characters Windows refuses in file names.
bool IsSafeDownloadName(const std::string& name);

// The folder an archive is unpacked into: the name without the text from its last "." on;
// a name without "." stays as it is.
std::string ArchiveFolderName(const std::string& name);

}  // namespace silent
