#include "workers/download_names.h"

#include <gtest/gtest.h>

namespace {

TEST(DownloadNames, DownloadNamesMustStayInTheDownloadArea) {
  for (const char* ok : {"orfeda_release.zip", "partner kqx.zip", "a.b.c.zip", "noext", "x&y.zip"})
    EXPECT_TRUE(silent::IsSafeDownloadName(ok)) << ok;
  for (const char* bad : {"", ".", "..", "..\\evil.zip", "../evil.zip", "sub/a.zip", "sub\\a.zip",
                          "C:evil.zip", "C:\\x.zip", ".zip", "a.zip.", "a.zip ", "a\tb.zip",
                          "a?.zip", "a*.zip", "a|b.zip", "a\"b.zip", "a<b>.zip", "CON.zip",
                          "nul", "COM1.zip", "LPT\xC2\xB9.zip", "a. .zip", "a .zip"})
    EXPECT_FALSE(silent::IsSafeDownloadName(bad)) << bad;
  EXPECT_FALSE(silent::IsSafeDownloadName(std::string(201, 'a')));
}

TEST(DownloadNames, ArchiveFolderDropsOnlyTheLastExtension) {
  EXPECT_EQ(silent::ArchiveFolderName("release.zip"), "release");
  EXPECT_EQ(silent::ArchiveFolderName("release.1.2.zip"), "release.1.2");
  EXPECT_EQ(silent::ArchiveFolderName("release"), "release");
}

}  // namespace
