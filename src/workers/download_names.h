#pragma once
// Names of the files the update server lists, as files and folders of the download area.
#include <string>

namespace silent {

// A file name the update server listed is used as a file name in the download area only
// when it and its archive folder's name pass the program's one check of names from the
// network (base/file_names.h), it does not start with a dot and it is at most 200 bytes.
bool IsSafeDownloadName(const std::string& name);

// The folder an archive is unpacked into: the name without the text from its last "." on;
// a name without "." stays as it is.
std::string ArchiveFolderName(const std::string& name);

}  // namespace silent
