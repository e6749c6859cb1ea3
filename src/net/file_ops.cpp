#include "net/file_ops.h"

#include <filesystem>
#include <system_error>

#include "base/file_names.h"

namespace netfiles {

namespace {
std::filesystem::path U8(const std::string& s) {
  return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(s.data()), s.size()));
}
}  // namespace

bool RemoveFile(const std::string& path, std::string& error) {
  std::error_code ec;
  std::filesystem::remove(U8(path), ec);
  if (ec && std::filesystem::exists(U8(path))) {
    error = "Cannot delete \"" + path + "\": " + ec.message();
    return false;
  }
  return true;
}

bool RenameFile(const std::string& from, const std::string& to, std::string& error) {
  if (!RemoveFile(to, error)) return false;
  std::error_code ec;
  std::filesystem::rename(U8(from), U8(to), ec);
  if (ec) {
    error = "Cannot rename \"" + from + "\" to \"" + to + "\": " + ec.message();
    return false;
  }
  return true;
}

bool IsPlainFileName(const std::string& name) { return filenames::IsSafeFileName(name); }

}  // namespace netfiles
