#pragma once
// The restore rules of a release's "update.json": which folders and files of the old
// installation an update brings back from its backup.
#include <string>
#include <vector>

struct RestoreRules {
  bool present = false;               // the document has "restore"
  std::vector<std::string> folders;   // paths relative to the install root, in order
  std::vector<std::string> files;
  std::vector<std::string> refused;   // paths that would leave the install root, never followed
};

// Reads the rules from the document's text ("restore" -> "folder" and "files", arrays of
// strings; each value with its double quotes removed). A path that is absolute, names a
// drive, steps up with "..", or holds a name Windows would not store as given lands in
// `refused` instead. Raises EJSONError for a text that is not JSON.
RestoreRules ReadRestoreRules(const std::string& text);
