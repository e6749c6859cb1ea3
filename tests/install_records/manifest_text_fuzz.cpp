// libFuzzer target: decoding a manifest file's bytes. Whatever the bytes, the result of a
// UTF-8 or UTF-16 file is valid UTF-8, a UTF-8 file comes back unchanged, and UTF-16 text
// survives a round trip through UTF-16 of the other byte order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/file_names.h"
#include "install/manifest_text.h"

namespace {

// Stands in for the ANSI code page: Latin-1, every byte one character.
std::string Latin1(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// UTF-8 (valid) to UTF-16 bytes in the given order, with its byte-order mark.
std::string ToUtf16(const std::string& utf8, bool littleEndian) {
  std::string out = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
  auto put = [&](std::uint32_t u) {
    const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
    out += littleEndian ? lo : hi;
    out += littleEndian ? hi : lo;
  };
  for (std::size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    const int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    std::uint32_t cp = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
    for (int k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    i += static_cast<std::size_t>(n);
    if (cp >= 0x10000) {
      put(0xD800 + ((cp - 0x10000) >> 10));
      put(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      put(cp);
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string text = DecodeManifestBytes(bytes, Latin1);
  const bool utf8Bom = bytes.substr(0, 3) == "\xEF\xBB\xBF";
  const bool le = !utf8Bom && bytes.substr(0, 2) == "\xFF\xFE";
  const bool be = !utf8Bom && bytes.substr(0, 2) == "\xFE\xFF";
  if (utf8Bom) {
    if (text != bytes.substr(3)) std::abort();
    return 0;
  }
  if (!filenames::IsValidUtf8(text)) std::abort();
  if (le || be) {
    // At most one UTF-8 character (up to 3 bytes) per UTF-16 unit.
    if (text.size() > (size - 2) / 2 * 3) std::abort();
    if (DecodeManifestBytes(ToUtf16(text, !le), Latin1) != text) std::abort();
  }
  return 0;
}
