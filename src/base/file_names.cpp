#include "base/file_names.h"

#include <cstddef>

namespace filenames {
namespace {

constexpr std::size_t kMaxUtf16Units = 255;

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsLower(std::string_view s, std::string_view lower) {
  if (s.size() != lower.size()) return false;
  for (std::size_t i = 0; i < s.size(); ++i)
    if (AsciiLower(s[i]) != lower[i]) return false;
  return true;
}

// The number of UTF-16 units of a UTF-8 text, or -1 when it is not valid UTF-8 (stray
// continuation bytes, truncated sequences, overlong forms, surrogates, beyond U+10FFFF).
long Utf16Length(std::string_view s) {
  long units = 0;
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n;
    char32_t cp;
    if (c < 0x80) {
      n = 1;
      cp = c;
    } else if (c >= 0xC2 && c <= 0xDF) {
      n = 2;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      n = 3;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      n = 4;
      cp = c & 0x07;
    } else {
      return -1;
    }
    if (i + n > s.size()) return -1;
    for (std::size_t k = 1; k < n; ++k) {
      const auto t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) return -1;
      cp = (cp << 6) | (t & 0x3F);
    }
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF))) return -1;
    if (cp >= 0xD800 && cp <= 0xDFFF) return -1;
    units += cp >= 0x10000 ? 2 : 1;
    i += n;
  }
  return units;
}

// Windows opens these names as devices wherever they are, with any extension and with
// blanks before it: "CON", "nul.zip", "Com1 .txt", "LPT¹".
bool IsDeviceName(std::string_view name) {
  std::string_view base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  for (std::string_view device : {"con", "prn", "aux", "nul", "conin$", "conout$"})
    if (EqualsLower(base, device)) return true;
  if (base.size() < 4 || !(EqualsLower(base.substr(0, 3), "com") || EqualsLower(base.substr(0, 3), "lpt")))
    return false;
  const std::string_view digit = base.substr(3);
  if (digit.size() == 1) return digit[0] >= '0' && digit[0] <= '9';
  // The superscript digits one, two and three (U+00B9, U+00B2, U+00B3) in UTF-8.
  return digit == "\xC2\xB9" || digit == "\xC2\xB2" || digit == "\xC2\xB3";
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace

NameFault CheckFileName(std::string_view name) {
  if (name.empty()) return NameFault::kEmpty;
  if (name == "." || name == "..") return NameFault::kDotName;
  const long units = Utf16Length(name);
  if (units < 0) return NameFault::kNotUtf8;
  if (units > static_cast<long>(kMaxUtf16Units)) return NameFault::kTooLong;
  for (char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F) return NameFault::kControlCharacter;
    if (std::string_view("<>:\"/\\|?*").find(ch) != std::string_view::npos) return NameFault::kReservedCharacter;
  }
  if (name.back() == '.' || name.back() == ' ') return NameFault::kTrailingDotOrBlank;
  if (IsDeviceName(name)) return NameFault::kDeviceName;
  return NameFault::kNone;
}

bool IsValidUtf8(std::string_view text) { return Utf16Length(text) >= 0; }

bool IsSafeFileName(std::string_view name) { return CheckFileName(name) == NameFault::kNone; }

NameFault CheckRelativePath(std::string_view path) {
  if (path.empty()) return NameFault::kEmpty;
  if (IsSeparator(path.front())) return NameFault::kAbsolutePath;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = start;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    const NameFault fault = CheckFileName(path.substr(start, end - start));
    if (fault != NameFault::kNone) return fault;
    if (end == path.size()) return NameFault::kNone;
    start = end + 1;
  }
}

bool IsSafeRelativePath(std::string_view path) { return CheckRelativePath(path) == NameFault::kNone; }

const char* DescribeNameFault(NameFault fault) {
  switch (fault) {
    case NameFault::kNone: return "a valid name";
    case NameFault::kEmpty: return "an empty name";
    case NameFault::kDotName: return "\".\" or \"..\" as a name";
    case NameFault::kNotUtf8: return "not valid text (UTF-8)";
    case NameFault::kTooLong: return "a name longer than 255 characters";
    case NameFault::kControlCharacter: return "a control character in the name";
    case NameFault::kReservedCharacter: return "a character a file name cannot have (< > : \" / \\ | ? *)";
    case NameFault::kTrailingDotOrBlank: return "a name that ends with a dot or a blank";
    case NameFault::kDeviceName: return "a device name";
    case NameFault::kAbsolutePath: return "an absolute path";
  }
  return "an invalid name";
}

}  // namespace filenames
