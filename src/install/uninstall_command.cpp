// The uninstall entry's command: written with a quoted program path, read in both forms.
#include "install/uninstall_command.h"

std::string UninstallCommand(const std::string& uninstallerPath, const std::string& productKeyPath) {
  std::string command;
  command.reserve(uninstallerPath.size() + productKeyPath.size() + 28);
  command.append(1, '"').append(uninstallerPath).append("\" -uninstall \"");
  command.append(productKeyPath).append("\\uninstall\"");
  return command;
}

std::string InstallRootOfUninstallCommand(std::string_view command) {
  const size_t start = command.find_first_not_of(' ');
  if (start == std::string_view::npos) return {};
  command.remove_prefix(start);
  std::string_view program;
  if (command.front() == '"') {
    // A quoted program ends at the closing quote; without one the entry is damaged and the
    // whole rest is the best guess at a path.
    command.remove_prefix(1);
    program = command.substr(0, command.find('"'));
  } else {
    // Entries written before the path was quoted: the program is what stands in front of
    // the first "-uninstall" (an install root holding that text cannot be told apart).
    program = command.substr(0, command.find("-uninstall"));
  }
  const size_t slash = program.find_last_of('\\');
  if (slash == std::string_view::npos) return {};
  return std::string(program.substr(0, slash));
}
