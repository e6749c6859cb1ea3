// libFuzzer target: the file-name check on arbitrary bytes. Besides never crashing, its
// answers must agree with each other: a safe name stays safe inside a path and with its
// ASCII letters in the other case, and never ends in a way Windows would rewrite.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/file_names.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string name(reinterpret_cast<const char*>(data), size);
  const bool safe = filenames::IsSafeFileName(name);
  const bool path = filenames::IsSafeRelativePath(name);
  filenames::DescribeNameFault(filenames::CheckRelativePath(name));
  if (!safe) return 0;
  if (!path || !filenames::IsValidUtf8(name)) std::abort();
  if (name.back() == '.' || name.back() == ' ') std::abort();
  if (name.find_first_of("<>:\"/\\|?*") != std::string::npos) std::abort();
  std::string flipped = name;
  for (char& c : flipped) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    else if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (!filenames::IsSafeFileName(flipped)) std::abort();
  if (!filenames::IsSafeRelativePath("dir/" + name + "\\" + name)) std::abort();
  if (filenames::IsSafeRelativePath("/" + name) || filenames::IsSafeRelativePath(name + "/")) std::abort();
  return 0;
}
