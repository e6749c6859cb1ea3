#include "install/manifest_text.h"

#include <cstdint>

namespace {

void AppendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string FromUtf16(std::string_view data, bool littleEndian) {
  auto unit = [&](size_t i) -> std::uint32_t {
    const auto a = static_cast<unsigned char>(data[i]), b = static_cast<unsigned char>(data[i + 1]);
    return littleEndian ? (a | (b << 8)) : ((a << 8) | b);
  };
  std::string out;
  out.reserve(data.size());
  const size_t end = data.size() & ~static_cast<size_t>(1);
  for (size_t i = 0; i < end; i += 2) {
    const std::uint32_t u = unit(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 3 < end) {
      const std::uint32_t low = unit(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    AppendUtf8(out, u >= 0xD800 && u <= 0xDFFF ? 0xFFFD : u);
  }
  return out;
}

}  // namespace

std::string DecodeManifestBytes(std::string_view data, std::string (*fromAnsi)(std::string_view)) {
  auto starts = [&](std::string_view bom) { return data.substr(0, bom.size()) == bom; };
  if (starts("\xEF\xBB\xBF")) return std::string(data.substr(3));
  if (starts("\xFF\xFE")) return FromUtf16(data.substr(2), true);
  if (starts("\xFE\xFF")) return FromUtf16(data.substr(2), false);
  return fromAnsi(data);
}
