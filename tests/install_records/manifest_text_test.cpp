// Decoding of manifest files: byte-order marks, UTF-16 in both orders, broken UTF-16.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "install/manifest_text.h"

namespace {

std::string MarkedAnsi(std::string_view bytes) { return "ansi:" + std::string(bytes); }

TEST(DecodeManifestBytes, FollowsTheByteOrderMark) {
  using namespace std::string_literals;
  const struct {
    const char* what;
    std::string bytes;
    std::string text;
  } cases[] = {
      {"UTF-8 mark", "\xEF\xBB\xBF{\"a\":\"\xC3\xBC\"}"s, "{\"a\":\"\xC3\xBC\"}"},
      {"UTF-16 LE", "\xFF\xFE{\0\xFC\0}\0"s, "{\xC3\xBC}"},
      {"UTF-16 BE", "\xFE\xFF\0{\0\xFC\0}"s, "{\xC3\xBC}"},
      {"surrogate pair", "\xFF\xFE\x3D\xD8\x00\xDE"s, "\xF0\x9F\x98\x80"},
      {"lone high surrogate", "\xFF\xFE\x3D\xD8x\0"s, "\xEF\xBF\xBDx"},
      {"lone low surrogate at the end", "\xFE\xFF\xDE\x00"s, "\xEF\xBF\xBD"},
      {"odd last byte", "\xFF\xFE" "a\0b"s, "a"},
      {"mark alone", "\xFF\xFE"s, ""},
      {"no mark", "{\xFC}"s, "ansi:{\xFC}"},
      {"empty", ""s, "ansi:"},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeManifestBytes(c.bytes, MarkedAnsi), c.text) << c.what;
}

}  // namespace
