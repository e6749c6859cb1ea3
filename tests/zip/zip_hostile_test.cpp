// The ZIP engine against hostile and damaged archives: refused with an error naming the
// entry, nothing written outside the destination, no crash, no endless loop.
#include <gtest/gtest.h>

#include "zip/zip.h"
#include "zip/zip_format.h"
#include "zip_test_util.h"

using namespace ziptest;
using orfzip::TZipEngine;

TEST(ZipHostile, UnsafeEntriesAreRefusedBeforeAnythingIsWritten) {
  struct Case {
    std::string name;
    int code;
  };
  const Case cases[] = {
      {"../evil.txt", orfzip::kZipUnsafePath},
      {"a/../../evil.txt", orfzip::kZipUnsafePath},
      {"a\\..\\..\\evil.txt", orfzip::kZipUnsafePath},
      {"/tmp/evil.txt", orfzip::kZipUnsafePath},
      {"\\\\server\\share\\evil.txt", orfzip::kZipUnsafePath},
      {"C:/evil.txt", orfzip::kZipUnsafePath},
      {"C:evil.txt", orfzip::kZipUnsafePath},
      {"a/file.txt:stream", orfzip::kZipUnsafePath},
      {"dir/CON", orfzip::kZipUnsafePath},
      {"nul.txt", orfzip::kZipUnsafePath},
      {"NUL.zip", orfzip::kZipUnsafePath},
      {"files/COM\xC2\xB9", orfzip::kZipUnsafePath},  // COM¹
      {"lpt\xC2\xB3.log", orfzip::kZipUnsafePath},     // lpt³.log
      {"CONOUT$", orfzip::kZipUnsafePath},
      {"files/name.", orfzip::kZipUnsafePath},
      {"files /a.txt", orfzip::kZipUnsafePath},
      {"a|b.txt", orfzip::kZipUnsafePath},
      {"\xC0\xAF" "etc", orfzip::kZipUnsafePath},  // overlong "/"
      {std::string(256, 'n'), orfzip::kZipUnsafePath},
      {"a/.. /evil.txt", orfzip::kZipUnsafePath},
      {"bad\x01name", orfzip::kZipUnsafePath},
      {"bad\xC3name", orfzip::kZipUnsafePath},
      {"", orfzip::kZipUnsafePath},
  };
  for (const auto& c : cases) {
    TempDir t;
    SaveBytes(t.path() / "h.zip", BuildArchive({{"first.txt", "harmless"}, {c.name, "evil"}}));
    TZipEngine zip;
    zip.ZipFileName = t.str("h.zip");
    zip.ExtrBaseDir = t.str("dest/inner");
    zip.ExtrOptions = {true, true, true, true};
    EXPECT_EQ(zip.Extract(), c.code) << c.name;
    EXPECT_NE(zip.ErrMessage().find("\"" + c.name + "\""), std::string::npos) << zip.ErrMessage();
    // Nothing at all was written: not the harmless entry, not the destination.
    EXPECT_FALSE(stdfs::exists(t.path() / "dest")) << c.name;
    EXPECT_EQ(Tree(t.path()).size(), 1u) << c.name;
  }
}

TEST(ZipHostile, LinkEntriesAreRefused) {
  struct Case {
    const char* what;
    std::uint16_t madeBy;
    std::uint32_t attributes;
  };
  const Case cases[] = {
      {"Unix symlink", 3 << 8 | 20, 0120777u << 16},
      {"Windows reparse point", 10 << 8 | 20, 0x400 | 0x20},
  };
  for (const auto& c : cases) {
    auto bytes = BuildArchive({{"ok.txt", "fine"}, {"link", "/etc/passwd"}});
    const auto recs = CentralRecords(bytes);
    ASSERT_EQ(recs.size(), 2u);
    Put16(bytes, recs[1] + 4, c.madeBy);
    Put32(bytes, recs[1] + 38, c.attributes);
    TempDir t;
    SaveBytes(t.path() / "l.zip", bytes);
    TZipEngine zip;
    zip.ZipFileName = t.str("l.zip");
    zip.ExtrBaseDir = t.str("dest");
    zip.ExtrOptions.ExtrForceDirs = true;
    EXPECT_EQ(zip.Extract(), orfzip::kZipLinkRefused) << c.what;
    EXPECT_NE(zip.ErrMessage().find("\"link\""), std::string::npos) << zip.ErrMessage();
    EXPECT_FALSE(stdfs::exists(t.path() / "dest")) << c.what;
  }
}

#ifndef _WIN32
TEST(ZipHostile, LinkAlreadyInTheDestinationIsNotFollowed) {
  TempDir t;
  stdfs::create_directories(t.path() / "dest");
  stdfs::create_directories(t.path() / "outside");
  stdfs::create_directory_symlink(t.path() / "outside", t.path() / "dest" / "sub");
  SaveBytes(t.path() / "a.zip", BuildArchive({{"sub/x.txt", "payload"}}));
  TZipEngine zip;
  zip.ZipFileName = t.str("a.zip");
  zip.ExtrBaseDir = t.str("dest");
  EXPECT_EQ(zip.Extract(), orfzip::kZipLinkRefused);
  EXPECT_NE(zip.ErrMessage().find("\"sub/x.txt\""), std::string::npos) << zip.ErrMessage();
  EXPECT_TRUE(stdfs::is_empty(t.path() / "outside"));
}
#endif

namespace {

// Reads every entry of an archive in memory; the result code, or 0.
int ReadAll(const std::vector<std::uint8_t>& bytes) {
  try {
    orfzip::MemoryInput in(bytes.data(), bytes.size());
    orfzip::TZipReader r(in);
    r.Open();
    for (const auto& e : r.Entries()) r.ReadEntry(e, [](const void*, std::size_t) {});
    return 0;
  } catch (const orfzip::ZipFault& f) {
    return f.code;
  }
}

std::vector<std::uint8_t> SampleArchive() {
  return BuildArchive({{"a.txt", Text(70000)}, {"dir/", ""}, {"dir/b.bin", RandomBytes(5000, 7)}, {"c.txt", "c"}});
}

}  // namespace

TEST(ZipDamaged, EveryTruncationFails) {
  const auto good = SampleArchive();
  ASSERT_EQ(ReadAll(good), 0);
  for (std::size_t len = 0; len < good.size(); len += (len < good.size() - 400 ? 97 : 1)) {
    std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(len));
    EXPECT_NE(ReadAll(cut), 0) << "length " << len;
  }
}

TEST(ZipDamaged, BadFieldsGiveTheirError) {
  const auto good = SampleArchive();
  const auto recs = CentralRecords(good);
  ASSERT_EQ(recs.size(), 4u);
  const std::size_t eocd = good.size() - 22;
  struct Case {
    const char* what;
    std::size_t at;
    std::uint32_t value;
    int width;
    int code;
  };
  const Case cases[] = {
      {"CRC", recs[0] + 16, 0x12345678, 4, orfzip::kZipCrcError},
      {"stated size too small", recs[0] + 24, 1000, 4, orfzip::kZipCrcError},
      {"stated size too large", recs[0] + 24, 80000, 4, orfzip::kZipCrcError},
      {"compressed size beyond the data", recs[3] + 20, 0x7FFFFFFF, 4, orfzip::kZipBadEntry},
      {"compressed size into the next entry", recs[0] + 20, 0x7FFFFFFF, 4, orfzip::kZipBadArchive},
      {"local offset beyond the data", recs[2] + 42, 0x7FFFFFF0, 4, orfzip::kZipBadArchive},
      {"two entries share their data", recs[2] + 42, 0, 4, orfzip::kZipBadArchive},
      {"unknown method", recs[3] + 10, 14, 2, orfzip::kZipUnsupported},
      {"encrypted", recs[3] + 8, 1, 2, orfzip::kZipUnsupported},
      {"name length runs past the directory", recs[3] + 28, 0xFFFF, 2, orfzip::kZipBadArchive},
      {"directory offset beyond the end", eocd + 16, 0xFFFFFF00, 4, orfzip::kZipBadArchive},
      {"directory size too large", eocd + 12, 0xFFFFFF00, 4, orfzip::kZipBadArchive},
      {"entry count too high", eocd + 10, 9, 2, orfzip::kZipBadArchive},
      {"entry count too low", eocd + 10, 2, 2, orfzip::kZipBadArchive},
      {"broken central signature", recs[1], 0x11111111, 4, orfzip::kZipBadArchive},
      {"multi-volume", eocd + 4, 1, 2, orfzip::kZipUnsupported},
  };
  for (const auto& c : cases) {
    auto bad = good;
    if (c.width == 2) Put16(bad, c.at, static_cast<std::uint16_t>(c.value));
    else Put32(bad, c.at, c.value);
    EXPECT_EQ(ReadAll(bad), c.code) << c.what;
  }
  // A local header that is not where the directory says.
  auto bad = good;
  const std::uint32_t at = good[recs[3] + 42] | good[recs[3] + 43] << 8 | good[recs[3] + 44] << 16;
  Put32(bad, recs[3] + 42, at + 1);
  EXPECT_EQ(ReadAll(bad), orfzip::kZipBadEntry);
  // A damaged byte inside compressed data.
  bad = good;
  bad[60] ^= 0x55;
  EXPECT_NE(ReadAll(bad), 0);
}

TEST(ZipDamaged, RandomCorruptionNeverCrashes) {
  const auto good = SampleArchive();
  std::mt19937 rng(42);
  int failures = 0;
  for (int round = 0; round < 3000; ++round) {
    auto bad = good;
    const int flips = 1 + static_cast<int>(rng() % 4);
    for (int k = 0; k < flips; ++k) bad[rng() % bad.size()] = static_cast<std::uint8_t>(rng());
    failures += ReadAll(bad) != 0;
  }
  EXPECT_GT(failures, 0);
}

TEST(ZipDamaged, FailedEntryLeavesNoFileAndOldFilesIntact) {
  auto bytes = BuildArchive({{"good.txt", "good"}, {"bad.txt", Text(10000)}});
  const auto recs = CentralRecords(bytes);
  Put32(bytes, recs[1] + 16, 0xDEADBEEF);  // CRC of bad.txt
  TempDir t;
  SaveBytes(t.path() / "c.zip", bytes);
  WriteFile(t.path() / "dest" / "bad.txt", "the installed version");
  TZipEngine zip;
  zip.ZipFileName = t.str("c.zip");
  zip.ExtrBaseDir = t.str("dest");
  zip.ExtrOptions = {true, true, true, false};
  EXPECT_EQ(zip.Extract(), orfzip::kZipCrcError);
  EXPECT_NE(zip.ErrMessage().find("\"bad.txt\""), std::string::npos) << zip.ErrMessage();
  EXPECT_EQ(Tree(t.path() / "dest"), (std::map<std::string, std::string>{{"bad.txt", "the installed version"},
                                                                          {"good.txt", "good"}}));
  EXPECT_EQ(zip.Test(), orfzip::kZipCrcError);

  // Into an empty folder: the good file stays, nothing is left of the bad one.
  zip.ExtrBaseDir = t.str("fresh");
  EXPECT_EQ(zip.Extract(), orfzip::kZipCrcError);
  EXPECT_EQ(Tree(t.path() / "fresh"), (std::map<std::string, std::string>{{"good.txt", "good"}}));
}
