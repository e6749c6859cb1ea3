#pragma once
// The release manifest "setup.json": its components and the scripts run before and after
// an installation.
#include <string>

// Text of a manifest file: UTF-8 or UTF-16 (either byte order) when the file starts with
// the matching byte-order mark, otherwise the system's ANSI code page; returned as UTF-8.
// Raises EInOutError when the file cannot be read.
std::string ReadManifestText(const std::string& path);

// Fills ComponentList from the manifest's "components". A missing file or a manifest
// without "components" leaves it unchanged. Always true; invalid JSON raises EJSONError.
bool ReadComponents(const std::string& path);

// Run the "preexec" / "postexec" scripts of InstallRec.FromDir + "\setup.json" in order,
// each from FromDir + "\exec\", in the install root. True when every script returned 0 or
// there was none; a failing script does not stop the ones after it. A missing or invalid
// manifest raises.
bool RunPreExec();
bool RunPostExec();
