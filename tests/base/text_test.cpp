#include "base/text.h"

#include <gtest/gtest.h>

TEST(Text, PathPieces) {
  struct Case { const char* path; const char* name; const char* dir; const char* ext; };
  const Case cases[] = {
      {"C:\\a\\b.txt", "b.txt", "C:\\a", ".txt"},
      {"b", "b", "", ""},
      {"C:\\a\\archive.tar.zip", "archive.tar.zip", "C:\\a", ".zip"},
      {"C:\\a\\", "", "C:\\a", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(text::ExtractFileName(c.path), c.name) << c.path;
    EXPECT_EQ(text::ExtractFileDir(c.path), c.dir) << c.path;
    EXPECT_EQ(text::ExtractFileExt(c.path), c.ext) << c.path;
  }
}

TEST(Text, CaseAndReplace) {
  EXPECT_EQ(text::ToLower("-SILENT/Ä"), "-silent/Ä");
  EXPECT_TRUE(text::EqualsNoCase("Abc", "aBC"));
  EXPECT_EQ(text::ReplaceAll("a''b'", "'", "''"), "a''''b''");
  EXPECT_EQ(text::Split("a,,b", ','), (std::vector<std::string>{"a", "", "b"}));
}
