// libFuzzer target: the encoding of request values. A percent-encoded value holds only
// unreserved characters and %XX and decodes to the value; a JSON string literal of valid
// UTF-8 is one JSON string that parses back to the value.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <nlohmann/json.hpp>

#include "base/file_names.h"
#include "net/url_encode.h"

namespace {

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;  // lower-case digits are not what the encoder writes
}

bool Unreserved(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string value(reinterpret_cast<const char*>(data), size);

  const std::string url = UrlEncode(value);
  std::string decoded;
  for (std::size_t i = 0; i < url.size(); ++i) {
    if (url[i] == '%') {
      if (i + 2 >= url.size()) std::abort();
      const int hi = Hex(url[i + 1]), lo = Hex(url[i + 2]);
      if (hi < 0 || lo < 0) std::abort();
      const char c = static_cast<char>(hi * 16 + lo);
      if (Unreserved(c)) std::abort();  // encoded although it need not be
      decoded += c;
      i += 2;
    } else {
      if (!Unreserved(url[i])) std::abort();
      decoded += url[i];
    }
  }
  if (decoded != value) std::abort();

  const std::string literal = JsonString(value);
  if (literal.size() < 2 || literal.front() != '"' || literal.back() != '"') std::abort();
  for (char c : literal)
    if (static_cast<unsigned char>(c) < 0x20) std::abort();  // no raw control character
  if (filenames::IsValidUtf8(value)) {
    const auto parsed = nlohmann::json::parse(literal, nullptr, /*allow_exceptions=*/false);
    if (!parsed.is_string() || parsed.get<std::string>() != value) std::abort();
    // Inside a body next to other members it stays one value.
    const auto body = nlohmann::json::parse("{\"a\":" + literal + ",\"b\":1}", nullptr, false);
    if (!body.is_object() || body.size() != 2 || body["a"] != value) std::abort();
  }
  return 0;
}
