// Key paths and credential scrambling of the registry records (no Win32 calls here).
#include <cstdio>
#include <string>
#include <vector>

#include "install/registry_records.h"

#include "state/state.h"

namespace {

// UTF-8 to UTF-16 code units. A malformed sequence yields U+FFFD, as the Windows
// conversion does without strict checking.
std::vector<uint16_t> Utf16Units(const std::string& s) {
  std::vector<uint16_t> out;
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    uint32_t cp = 0xFFFD;
    size_t len = 1;
    if (b < 0x80) {
      cp = b;
    } else {
      size_t need = 0;
      uint32_t min = 0;
      if ((b & 0xE0) == 0xC0) { need = 1; cp = b & 0x1F; min = 0x80; }
      else if ((b & 0xF0) == 0xE0) { need = 2; cp = b & 0x0F; min = 0x800; }
      else if ((b & 0xF8) == 0xF0) { need = 3; cp = b & 0x07; min = 0x10000; }
      bool ok = need > 0;
      for (size_t k = 1; ok && k <= need; ++k) {
        if (i + k >= n) {
          ok = false;
          break;
        }
        unsigned char c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) {
          ok = false;
          break;
        }
        cp = (cp << 6) | (c & 0x3F);
      }
      if (ok && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
      if (ok) {
        len = need + 1;
      } else {
        cp = 0xFFFD;
        len = 1;
      }
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<uint16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<uint16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<uint16_t>(cp));
    }
    i += len;
  }
  return out;
}

}  // namespace

std::string ScrambleCredential(const std::string& text, uint16_t startKey) {
  std::string out;
  if (text.empty()) return out;
  uint32_t key = startKey;
  for (uint16_t unit : Utf16Units(text)) {
    const uint32_t c = unit & 0xFFu;
    const uint32_t r = c ^ (key >> 8);
    key = ((key + r) * 38461u + 21187u) & 0xFFFFu;
    char hex[8];
    std::snprintf(hex, sizeof hex, "$%02X$00", static_cast<unsigned>(r));
    out += hex;
  }
  return out;
}

std::string UninstallParentPath(bool wow64) {
  return wow64 ? "\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
               : "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
}

std::string ProductKeyPath() {
  return "\\Software\\" + InstallRec.Provider + "\\" + InstallRec.Producer;
}
