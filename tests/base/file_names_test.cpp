#include "base/file_names.h"

#include <gtest/gtest.h>

#include <string>

using filenames::NameFault;

TEST(FileNames, OneComponent) {
  struct Case {
    std::string name;
    NameFault fault;
  };
  const Case cases[] = {
      {"setup.json", NameFault::kNone},
      {"Ünïcødé name.txt", NameFault::kNone},
      {"日本語 文書.pdf", NameFault::kNone},
      {".hidden", NameFault::kNone},
      {" leading blank", NameFault::kNone},
      {"con.txt.bak", NameFault::kDeviceName},
      {"CONSOLE", NameFault::kNone},
      {"COM10", NameFault::kNone},
      {"LPT", NameFault::kNone},
      {"nul_", NameFault::kNone},
      {"COM\xC2\xB4", NameFault::kNone},  // an acute accent is not a digit
      {"\xF0\x9F\x98\x80.txt", NameFault::kNone},
      {std::string(255, 'a'), NameFault::kNone},
      {std::string(127, 'a') + "\xF0\x9F\x98\x80", NameFault::kNone},  // 127 + 2 units
      {"", NameFault::kEmpty},
      {".", NameFault::kDotName},
      {"..", NameFault::kDotName},
      {std::string(256, 'a'), NameFault::kTooLong},
      {std::string(254, 'a') + "\xF0\x9F\x98\x80", NameFault::kTooLong},  // 254 + 2 units
      {"a<b", NameFault::kReservedCharacter},
      {"a>b", NameFault::kReservedCharacter},
      {"file.txt:stream", NameFault::kReservedCharacter},
      {"C:", NameFault::kReservedCharacter},
      {"a\"b", NameFault::kReservedCharacter},
      {"a/b", NameFault::kReservedCharacter},
      {"a\\b", NameFault::kReservedCharacter},
      {"a|b", NameFault::kReservedCharacter},
      {"what?", NameFault::kReservedCharacter},
      {"*.txt", NameFault::kReservedCharacter},
      {std::string("a\0b", 3), NameFault::kControlCharacter},
      {"tab\there", NameFault::kControlCharacter},
      {"line\nbreak", NameFault::kControlCharacter},
      {"del\x7F", NameFault::kControlCharacter},
      {"name.", NameFault::kTrailingDotOrBlank},
      {"name ", NameFault::kTrailingDotOrBlank},
      {"...", NameFault::kTrailingDotOrBlank},
      {"CON", NameFault::kDeviceName},
      {"con", NameFault::kDeviceName},
      {"con.txt", NameFault::kDeviceName},
      {"NUL.zip", NameFault::kDeviceName},
      {"Nul .zip", NameFault::kDeviceName},
      {"PRN", NameFault::kDeviceName},
      {"aux.h", NameFault::kDeviceName},
      {"COM0", NameFault::kDeviceName},
      {"com9.log", NameFault::kDeviceName},
      {"LPT1", NameFault::kDeviceName},
      {"COM\xC2\xB9", NameFault::kDeviceName},         // COM¹
      {"lpt\xC2\xB2.txt", NameFault::kDeviceName},     // lpt².txt
      {"Com\xC2\xB3", NameFault::kDeviceName},         // Com³
      {"CONIN$", NameFault::kDeviceName},
      {"conout$.txt", NameFault::kDeviceName},
      {"bad\xC3name", NameFault::kNotUtf8},            // truncated sequence
      {"\x80", NameFault::kNotUtf8},                   // stray continuation byte
      {"\xC0\xAF", NameFault::kNotUtf8},               // overlong "/"
      {"\xE0\x80\xAE", NameFault::kNotUtf8},           // overlong "."
      {"\xED\xA0\x80", NameFault::kNotUtf8},           // a surrogate
      {"\xF4\x90\x80\x80", NameFault::kNotUtf8},       // beyond U+10FFFF
      {"Gr\xFC\xDF" "e", NameFault::kNotUtf8},         // Latin-1, not UTF-8
  };
  for (const auto& c : cases) {
    EXPECT_EQ(filenames::CheckFileName(c.name), c.fault) << '"' << c.name << '"';
    EXPECT_EQ(filenames::IsSafeFileName(c.name), c.fault == NameFault::kNone) << '"' << c.name << '"';
  }
}

TEST(FileNames, RelativePaths) {
  struct Case {
    const char* path;
    NameFault fault;
  };
  const Case cases[] = {
      {"files/partner/image/ShortCut.ico", NameFault::kNone},
      {"files\\Orfeda.exe", NameFault::kNone},
      {"a", NameFault::kNone},
      {"", NameFault::kEmpty},
      {"a//b", NameFault::kEmpty},
      {"a/", NameFault::kEmpty},
      {"/etc/passwd", NameFault::kAbsolutePath},
      {"\\\\server\\share", NameFault::kAbsolutePath},
      {"C:/Windows", NameFault::kReservedCharacter},
      {"C:x", NameFault::kReservedCharacter},
      {"./a", NameFault::kDotName},
      {"a/../../b", NameFault::kDotName},
      {"a\\..\\b", NameFault::kDotName},
      {"files/NUL.zip", NameFault::kDeviceName},
      {"aux/readme.txt", NameFault::kDeviceName},
      {"files/.. /b", NameFault::kTrailingDotOrBlank},
      {"ok/bad\xC3", NameFault::kNotUtf8},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(filenames::CheckRelativePath(c.path), c.fault) << '"' << c.path << '"';
    EXPECT_EQ(filenames::IsSafeRelativePath(c.path), c.fault == NameFault::kNone) << '"' << c.path << '"';
  }
  EXPECT_STREQ(filenames::DescribeNameFault(NameFault::kDeviceName), "a device name");
}
