#pragma once
// Small file operations on UTF-8 paths for the API clients (portable).
#include <string>

namespace netfiles {

// Removes the file when it exists. False with a reason in `error` when it stays.
bool RemoveFile(const std::string& path, std::string& error);
// Renames `from` to `to`, replacing `to`. False with a reason in `error`.
bool RenameFile(const std::string& from, const std::string& to, std::string& error);
// Whether `name` is one plain file name that stays what it says inside a folder: the
// program's one check of names from the network (base/file_names.h), which also refuses
// device names, reserved characters and trailing dots or blanks.
bool IsPlainFileName(const std::string& name);

}  // namespace netfiles
