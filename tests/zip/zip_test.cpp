// The ZIP engine: round trips, options, masks, ZIP64, names and times.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <zlib.h>

#include "base/errors.h"
#include "zip/zip.h"
#include "zip/zip_format.h"
#include "zip/zip_fs.h"
#include "zip_test_util.h"

using namespace ziptest;
using orfzip::TZipEngine;

namespace {

// A small install-like tree: text, random binary (stored), empty file and folder, nested
// folders, a non-ASCII name, a lock file and a hidden file.
std::map<std::string, std::string> MakeSourceTree(const stdfs::path& root) {
  std::map<std::string, std::string> files = {
      {"Orfeda.ini", Text(5000)},
      {"bin/app.dll", RandomBytes(3 << 20, 1)},
      {"bin/sub/readme.txt", Text(300000)},
      {"empty.txt", ""},
      {"Grüße_日本/Ä½ ü.txt", "non-ASCII name"},
      {"updater.lock", "lock"},
  };
  for (const auto& [rel, data] : files) WriteFile(root / P(rel), data);
  stdfs::create_directories(root / "emptydir");
  return files;
}

int AddTree(const std::string& root, const std::string& archive, bool ntfs = true) {
  TZipEngine zip;
  zip.ZipFileName = archive;
  zip.RootDir = root;
  zip.IncludeSpecs = {"*"};
  zip.ExcludeSpecs = {"*.lock"};
  zip.AddOptions.AddDirNames = true;
  zip.AddOptions.AddRecurseDirs = true;
  zip.AddOptions.AddHiddenFiles = true;
  zip.AddOptions.AddNTFS = ntfs;
  zip.WriteOptions.ZwoForceDest = true;
  const int rc = zip.Add();
  EXPECT_EQ(rc, 0) << zip.ErrMessage();
  return zip.SuccessCnt();
}

int ExtractTo(const std::string& archive, const std::string& dest, TZipEngine* out = nullptr,
              orfzip::TExtrOptions opts = {true, true, false, true}) {
  TZipEngine local;
  TZipEngine& zip = out ? *out : local;
  zip.ZipFileName = archive;
  zip.ExtrBaseDir = dest;
  zip.ExtrOptions = opts;
  return zip.Extract();
}

}  // namespace

TEST(ZipRoundTrip, BackupOfAnInstallTreeComesBackIdentical) {
  TempDir t;
  auto files = MakeSourceTree(t.path() / "root");
  const auto when = stdfs::last_write_time(t.path() / "root" / "Orfeda.ini") - std::chrono::hours(24 * 400);
  stdfs::last_write_time(t.path() / "root" / "Orfeda.ini", when);

  // The archive's folder does not exist yet and is created.
  const std::string archive = t.str("tmp/new/backup.zip");
  EXPECT_EQ(AddTree(t.str("root"), archive), 5);  // every file but the lock file

  TZipEngine zip;
  ASSERT_EQ(ExtractTo(archive, t.str("out/deeper"), &zip), 0) << zip.ErrMessage();
  EXPECT_EQ(zip.SuccessCnt(), 5);

  auto expected = files;
  expected.erase("updater.lock");
  expected["bin/"] = expected["bin/sub/"] = expected["emptydir/"] = expected["Grüße_日本/"] = "";
  EXPECT_EQ(Tree(t.path() / "out" / "deeper"), expected);

  // NTFS times come back exactly (to the file system's precision).
  const auto got = stdfs::last_write_time(t.path() / "out" / "deeper" / "Orfeda.ini");
  EXPECT_LT(std::chrono::abs(got - when), std::chrono::milliseconds(1));

  // Names: UTF-8, "/" separators, folders marked.
  std::vector<orfzip::TZipEntryInfo> list;
  ASSERT_EQ(zip.List(list), 0);
  bool sawUnicode = false, sawFolder = false;
  for (const auto& e : list) {
    sawUnicode |= e.Name == "Grüße_日本/Ä½ ü.txt";
    sawFolder |= e.Name == "emptydir/" && e.IsFolder;
    if (e.Name == "bin/app.dll") {
      EXPECT_EQ(e.Method, 0) << "random data is stored";
    }
    if (e.Name == "bin/sub/readme.txt") {
      EXPECT_EQ(e.Method, 8);
    }
  }
  EXPECT_TRUE(sawUnicode);
  EXPECT_TRUE(sawFolder);
  EXPECT_EQ(zip.Test(), 0);
  EXPECT_EQ(zip.SuccessCnt(), 5);
}

TEST(ZipRoundTrip, DosTimeWithoutNtfsField) {
  TempDir t;
  WriteFile(t.path() / "root" / "a.txt", "a");
  const auto when = stdfs::last_write_time(t.path() / "root" / "a.txt") - std::chrono::hours(24 * 30);
  stdfs::last_write_time(t.path() / "root" / "a.txt", when);
  AddTree(t.str("root"), t.str("a.zip"), /*ntfs=*/false);
  ASSERT_EQ(ExtractTo(t.str("a.zip"), t.str("out")), 0);
  const auto got = stdfs::last_write_time(t.path() / "out" / "a.txt");
  EXPECT_LE(std::chrono::abs(got - when), std::chrono::seconds(2));
}

TEST(ZipAdd, ArchiveBelowItsOwnRootIsNotAddedAndAnOldOneIsReplaced) {
  TempDir t;
  WriteFile(t.path() / "root" / "a.txt", "a");
  WriteFile(t.path() / "root" / "tmp" / "backup.zip", "an older backup, not an archive");
  const std::string archive = t.str("root/tmp/backup.zip");
  EXPECT_EQ(AddTree(t.str("root"), archive), 1);
  std::vector<orfzip::TZipEntryInfo> list;
  TZipEngine zip;
  zip.ZipFileName = archive;
  ASSERT_EQ(zip.List(list), 0) << zip.ErrMessage();
  std::vector<std::string> names;
  for (const auto& e : list) names.push_back(e.Name);
  EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "tmp/"}));
  EXPECT_FALSE(stdfs::exists(t.path() / "root" / "tmp" / "backup.zip.orfzip-part"));
}

TEST(ZipAdd, SelectionByOptionsAndMasks) {
  TempDir t;
  const stdfs::path root = t.path() / "root";
  WriteFile(root / "a.txt", "a");
  WriteFile(root / "b.log", "b");
  WriteFile(root / "sub" / "c.txt", "c");
  WriteFile(root / "sub" / "deep" / "d.txt", "d");
  WriteFile(root / "x.LOCK", "x");
#ifdef _WIN32
  WriteFile(root / "h.txt", "hidden");
  SetFileAttributesW((root / "h.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
#else
  WriteFile(root / ".h.txt", "hidden");
#endif
  struct Case {
    const char* what;
    std::vector<std::string> include, exclude;
    orfzip::TAddOptions opts;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"top level only", {"*"}, {}, {true, false, false, false}, {"a.txt", "b.log", "x.LOCK"}},
      {"recursive, exclude is case-insensitive", {"*"}, {"*.lock"}, {true, true, false, false},
       {"a.txt", "b.log", "sub/", "sub/c.txt", "sub/deep/", "sub/deep/d.txt"}},
      {"only *.txt, names without folders", {"*.txt"}, {}, {false, true, false, false}, {"a.txt", "c.txt", "d.txt"}},
      {"mask with a folder part", {"sub\\*"}, {}, {true, true, false, false},
       {"sub/c.txt", "sub/deep/", "sub/deep/d.txt"}},
      {"excluded folder is skipped whole", {"*"}, {"sub\\deep"}, {true, true, false, false},
       {"a.txt", "b.log", "sub/", "sub/c.txt", "x.LOCK"}},
#ifdef _WIN32
      {"hidden files included", {"*.txt"}, {}, {true, false, true, false}, {"a.txt", "h.txt"}},
#else
      {"hidden files included", {"*.txt"}, {}, {true, false, true, false}, {".h.txt", "a.txt"}},
#endif
  };
  for (const auto& c : cases) {
    TZipEngine zip;
    zip.ZipFileName = t.str("out.zip");
    zip.RootDir = t.str("root");
    zip.IncludeSpecs = c.include;
    zip.ExcludeSpecs = c.exclude;
    zip.AddOptions = c.opts;
    ASSERT_EQ(zip.Add(), 0) << c.what << ": " << zip.ErrMessage();
    std::vector<orfzip::TZipEntryInfo> list;
    ASSERT_EQ(zip.List(list), 0);
    std::vector<std::string> names;
    for (const auto& e : list) names.push_back(e.Name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, c.names) << c.what;
  }
}

TEST(ZipAdd, FailuresKeepTheOldArchive) {
  TempDir t;
  WriteFile(t.path() / "old.zip", "old content");
  TZipEngine zip;
  zip.ZipFileName = t.str("old.zip");
  zip.RootDir = t.str("missing");
  EXPECT_EQ(zip.Add(), orfzip::kZipNoRoot);
  EXPECT_NE(zip.ErrMessage().find("missing"), std::string::npos);
  EXPECT_EQ(ReadFile(t.path() / "old.zip"), "old content");

  stdfs::create_directories(t.path() / "root");
  zip.RootDir = t.str("root");
  zip.ZipFileName = t.str("nofolder/new.zip");
  EXPECT_EQ(zip.Add(), orfzip::kZipWriteFailed) << "the archive's folder is created only on request";
  EXPECT_FALSE(stdfs::exists(t.path() / "nofolder"));

  zip.ZipFileName = "";
  EXPECT_EQ(zip.Add(), orfzip::kZipBadParameter);
  EXPECT_EQ(zip.ErrCode(), orfzip::kZipBadParameter);

  // Raised instead of returned, with code and text kept for the caller's log.
  zip.RaiseErrors = true;
  zip.ZipFileName = t.str("old.zip");
  zip.ExtrBaseDir = t.str("out");
  try {
    zip.Extract();
    ADD_FAILURE() << "no error raised";
  } catch (const EZipError& e) {
    EXPECT_EQ(zip.ErrCode(), orfzip::kZipBadArchive);
    EXPECT_EQ(e.what(), zip.ErrMessage());
  }
  EXPECT_EQ(ReadFile(t.path() / "old.zip"), "old content");
}

TEST(ZipExtract, Options) {
  TempDir t;
  // "./" names the base folder itself, as some tools write it.
  const auto zipBytes = BuildArchive({{"./", ""}, {"a.txt", "new a"}, {"dir/b.txt", "new b"}, {"dir/", ""}, {"c.dat", "c"}});
  SaveBytes(t.path() / "x.zip", zipBytes);
  const std::string archive = t.str("x.zip");

  {  // Existing files are skipped without overwrite, replaced with it; running twice is fine.
    WriteFile(t.path() / "d1" / "a.txt", "old a");
    TZipEngine zip;
    ASSERT_EQ(ExtractTo(archive, t.str("d1"), &zip), 0) << zip.ErrMessage();
    EXPECT_EQ(zip.SuccessCnt(), 2);
    EXPECT_EQ(zip.SkippedCnt(), 1);
    EXPECT_EQ(ReadFile(t.path() / "d1" / "a.txt"), "old a");
    ASSERT_EQ(ExtractTo(archive, t.str("d1"), &zip), 0);
    EXPECT_EQ(zip.SkippedCnt(), 3);
    ASSERT_EQ(ExtractTo(archive, t.str("d1"), &zip, {true, true, true, false}), 0);
    EXPECT_EQ(zip.SuccessCnt(), 3);
    EXPECT_EQ(ReadFile(t.path() / "d1" / "a.txt"), "new a");
  }
  {  // Without folder names every file lands in the base folder.
    ASSERT_EQ(ExtractTo(archive, t.str("d2"), nullptr, {false, true, false, false}), 0);
    EXPECT_EQ(Tree(t.path() / "d2"), (std::map<std::string, std::string>{
                                          {"a.txt", "new a"}, {"b.txt", "new b"}, {"c.dat", "c"}}));
  }
  {  // A missing base folder is an error unless it may be created.
    TZipEngine zip;
    EXPECT_EQ(ExtractTo(archive, t.str("d3"), &zip, {true, false, false, false}), orfzip::kZipNoDestination);
    EXPECT_NE(zip.ErrMessage().find("d3"), std::string::npos);
    EXPECT_FALSE(stdfs::exists(t.path() / "d3"));
  }
  {  // Include and exclude masks choose entries, as a restore of chosen folders and files does.
    TZipEngine zip;
    zip.IncludeSpecs = {"dir\\*", "*.dat"};
    zip.ExcludeSpecs = {"c.*"};
    ASSERT_EQ(ExtractTo(archive, t.str("d4"), &zip), 0);
    EXPECT_EQ(Tree(t.path() / "d4"), (std::map<std::string, std::string>{{"dir/", ""}, {"dir/b.txt", "new b"}}));
  }
  {  // Something in the way: a file where a folder belongs, a folder where a file belongs.
    TZipEngine zip;
    WriteFile(t.path() / "d6" / "dir", "a file");
    EXPECT_EQ(ExtractTo(archive, t.str("d6"), &zip), orfzip::kZipCreateFailed);
    EXPECT_NE(zip.ErrMessage().find("\"dir/b.txt\""), std::string::npos) << zip.ErrMessage();
    stdfs::create_directories(t.path() / "d7" / "a.txt");
    EXPECT_EQ(ExtractTo(archive, t.str("d7"), &zip), orfzip::kZipCreateFailed);
    EXPECT_NE(zip.ErrMessage().find("is a folder"), std::string::npos) << zip.ErrMessage();
  }
  {  // Archive problems.
    TZipEngine zip;
    EXPECT_EQ(ExtractTo(t.str("nothere.zip"), t.str("d5"), &zip), orfzip::kZipNoArchive);
    EXPECT_NE(zip.ErrMessage().find("nothere.zip"), std::string::npos);
    EXPECT_EQ(ExtractTo(t.str("d1"), t.str("d5"), &zip), orfzip::kZipNoArchive);
    WriteFile(t.path() / "text.zip", "this is no archive at all");
    EXPECT_EQ(ExtractTo(t.str("text.zip"), t.str("d5"), &zip), orfzip::kZipBadArchive);
    EXPECT_FALSE(stdfs::exists(t.path() / "d5"));
  }
}

TEST(ZipMasks, WindowsLikeMatching) {
  struct Case {
    const char* path;
    const char* mask;
    bool match;
  };
  const Case cases[] = {
      {"a.lock", "*.lock", true},         {"sub/deep/A.LOCK", "*.lock", true}, {"a.locks", "*.lock", false},
      {"readme", "*", true},              {"readme", "*.*", true},              {"a.txt", "?.txt", true},
      {"ab.txt", "?.txt", false},         {"ü.txt", "?.txt", true},             {"bin/x.dll", "bin\\*.dll", true},
      {"bin/sub/x.dll", "bin\\*", true},  {"other/bin/x.dll", "bin\\*", false}, {"bin\\x.dll", "BIN/X.DLL", true},
      {"x.dll", "bin\\*", false},         {"data", "data", true},               {"a", "", false},
  };
  for (const auto& c : cases) EXPECT_EQ(orfzip::MatchesMask(c.path, c.mask), c.match) << c.path << " ~ " << c.mask;
}

TEST(ZipNames, Cp437NamesWithoutTheUtf8Flag) {
  // "Grüße/Ä½.txt" in code page 437, without the UTF-8 flag.
  const std::string cp437 = "Gr\x81\xE1" "e/\x8E\xAB.txt";
  auto bytes = BuildArchive({{cp437, "cp437"}});
  for (std::size_t off : CentralRecords(bytes)) Put16(bytes, off + 8, 0);
  Put16(bytes, 6, 0);  // local header flags
  orfzip::MemoryInput in(bytes.data(), bytes.size());
  orfzip::TZipReader r(in);
  r.Open();
  ASSERT_EQ(r.Entries().size(), 1u);
  EXPECT_EQ(r.Entries()[0].info.Name, "Grüße/Ä½.txt");
  EXPECT_EQ(orfzip::Cp437ToUtf8("\xB0\xDB\xFF"), "░█\xC2\xA0");

  TempDir t;
  SaveBytes(t.path() / "cp.zip", bytes);
  ASSERT_EQ(ExtractTo(t.str("cp.zip"), t.str("out")), 0);
  EXPECT_EQ(ReadFile(t.path() / P("out/Grüße/Ä½.txt")), "cp437");
}

TEST(ZipZip64, ForcedRecordsRoundTripThroughFiles) {
  TempDir t;
  auto files = MakeSourceTree(t.path() / "root");
  TZipEngine zip;
  zip.ZipFileName = t.str("z64.zip");
  zip.RootDir = t.str("root");
  zip.AddOptions = {true, true, true, true};
  zip.WriteOptions.ForceZip64 = true;
  ASSERT_EQ(zip.Add(), 0) << zip.ErrMessage();
  // The end record says "see ZIP64".
  const std::string raw = ReadFile(t.path() / "z64.zip");
  ASSERT_GT(raw.size(), 22u);
  EXPECT_EQ(raw.substr(raw.size() - 22 + 8, 2), std::string("\xFF\xFF", 2));
  ASSERT_EQ(ExtractTo(t.str("z64.zip"), t.str("out")), 0);
  auto tree = Tree(t.path() / "out");
  for (const auto& [rel, data] : files) EXPECT_EQ(tree[rel], data) << rel;
}

TEST(ZipZip64, MoreThan65535Entries) {
  orfzip::MemoryOutput out;
  {
    orfzip::TZipWriter w(out, 6, false);
    orfzip::TZipWriter::Times tm;
    for (int i = 0; i < 70000; ++i) {
      StringSource src(i % 1000 == 0 ? Text(100) : "");
      w.AddFile("f/" + std::to_string(i), src, 0, tm, 0x20);
    }
    w.Finish();
  }
  orfzip::MemoryInput in(out.bytes.data(), out.bytes.size());
  orfzip::TZipReader r(in);
  r.Open();
  ASSERT_EQ(r.Entries().size(), 70000u);
  EXPECT_EQ(r.Entries()[69999].info.Name, "f/69999");
  std::string got;
  r.ReadEntry(r.Entries()[69000], [&](const void* p, std::size_t n) { got.append(static_cast<const char*>(p), n); });
  EXPECT_EQ(got, Text(100));
}

namespace {
// Zeros, streamed, so a 4 GiB entry needs no memory.
class ZeroSource : public orfzip::IZipSource {
 public:
  explicit ZeroSource(std::uint64_t size) : left_(size), size_(size) {}
  std::size_t Read(void* buf, std::size_t n) override {
    n = static_cast<std::size_t>(std::min<std::uint64_t>(n, left_));
    std::memset(buf, 0, n);
    left_ -= n;
    return n;
  }
  bool Rewind() override {
    left_ = size_;
    return true;
  }

 private:
  std::uint64_t left_, size_;
};
}  // namespace

TEST(ZipZip64, EntryOver4GiB) {
  const std::uint64_t size = (4ULL << 30) + 12345;
  orfzip::MemoryOutput out;
  {
    orfzip::TZipWriter w(out, 1, false);
    ZeroSource src(size);
    w.AddFile("big.bin", src, size, {}, 0x20);
    StringSource small("after the big one");
    w.AddFile("small.txt", small, 17, {}, 0x20);
    w.Finish();
  }
  orfzip::MemoryInput in(out.bytes.data(), out.bytes.size());
  orfzip::TZipReader r(in);
  r.Open();
  ASSERT_EQ(r.Entries().size(), 2u);
  EXPECT_EQ(r.Entries()[0].info.UncompressedSize, size);
  std::uint64_t total = 0;
  bool allZero = true;
  r.ReadEntry(r.Entries()[0], [&](const void* p, std::size_t n) {
    total += n;
    const auto* b = static_cast<const unsigned char*>(p);
    allZero = allZero && b[0] == 0 && b[n - 1] == 0;
  });
  EXPECT_EQ(total, size);
  EXPECT_TRUE(allZero);
}

TEST(ZipRoundTrip, PathsLongerThan260Characters) {
  // Made and read by the engine alone: the deep tree comes from an archive.
  std::string deep;
  for (int i = 0; i < 12; ++i) deep += "folder-with-a-long-name-" + std::to_string(100000 + i) + "/";
  deep += "file.txt";
  ASSERT_GT(deep.size(), 300u);
  TempDir t;
  SaveBytes(t.path() / "deep.zip", BuildArchive({{deep, "deep content"}}));
  TZipEngine zip;
  ASSERT_EQ(ExtractTo(t.str("deep.zip"), t.str("out"), &zip), 0) << zip.ErrMessage();

  zip.ZipFileName = t.str("again.zip");
  zip.RootDir = t.str("out");
  zip.AddOptions = {true, true, false, false};
  ASSERT_EQ(zip.Add(), 0) << zip.ErrMessage();
  EXPECT_EQ(zip.SuccessCnt(), 1);
  std::vector<orfzip::TZipEntryInfo> list;
  ASSERT_EQ(zip.List(list), 0);
  ASSERT_FALSE(list.empty());
  EXPECT_EQ(list.back().Name, deep);
  EXPECT_EQ(list.back().UncompressedSize, 12u);
  EXPECT_EQ(zip.Test(), 0);
}

TEST(ZipExtract, TooLittleFreeSpaceIsRefusedBeforeAnythingIsWritten) {
  TempDir t;
  SaveBytes(t.path() / "a.zip",
            BuildArchive({{"dir/", ""}, {"dir/a.txt", Text(10000)}, {"b.bin", RandomBytes(5000, 3)}, {"c", "c"}}));
  // Clusters of 4 KiB: 3 + 2 + 1; plus 1/32 of that and 1 MiB.
  const std::uint64_t need = 6 * 4096 + 6 * 4096 / 32 + (1u << 20);
  std::string asked;
  std::uint64_t avail = 0;
  TZipEngine zip;
  zip.FreeSpaceOf = [&](const std::string& folder, std::uint64_t& bytes) {
    asked = folder;
    bytes = avail;
    return true;
  };
  avail = need - 1;
  EXPECT_EQ(ExtractTo(t.str("a.zip"), t.str("dest/inner"), &zip), orfzip::kZipNoSpace);
  EXPECT_NE(zip.ErrMessage().find("dest"), std::string::npos) << zip.ErrMessage();
  EXPECT_NE(zip.ErrMessage().find("free"), std::string::npos) << zip.ErrMessage();
  EXPECT_FALSE(stdfs::exists(t.path() / "dest"));
  EXPECT_EQ(asked, t.str());  // the nearest folder that exists

  avail = need;
  EXPECT_EQ(ExtractTo(t.str("a.zip"), t.str("dest/inner"), &zip), 0) << zip.ErrMessage();
  EXPECT_EQ(zip.SuccessCnt(), 3);

  // Only the selected files count; an unknown figure leaves the check out.
  avail = 0;
  zip.IncludeSpecs = {"nothing-matches"};
  EXPECT_EQ(ExtractTo(t.str("a.zip"), t.str("dest2"), &zip), 0) << zip.ErrMessage();
  zip.IncludeSpecs.clear();
  zip.FreeSpaceOf = [](const std::string&, std::uint64_t&) { return false; };
  EXPECT_EQ(ExtractTo(t.str("a.zip"), t.str("dest3"), &zip), 0) << zip.ErrMessage();
}

TEST(ZipExtract, SizesNoVolumeHoldsAreRefusedWithTheRealFigure) {
  // The central directory claims an exbibyte for one entry (ZIP64 sizes).
  auto bytes = BuildArchive({{"small.txt", "s"}, {"huge.bin", "h"}}, 6, /*zip64=*/true);
  const auto recs = CentralRecords(bytes);
  ASSERT_EQ(recs.size(), 2u);
  const std::size_t extra = recs[1] + 46 + std::string("huge.bin").size();
  ASSERT_EQ(bytes[extra], 1);  // the ZIP64 field: uncompressed size first
  Put32(bytes, extra + 4, 0);
  Put32(bytes, extra + 8, 1u << 28);  // 2^60 bytes
  TempDir t;
  SaveBytes(t.path() / "huge.zip", bytes);
  TZipEngine zip;
  EXPECT_EQ(ExtractTo(t.str("huge.zip"), t.str("dest"), &zip), orfzip::kZipNoSpace) << zip.ErrMessage();
  EXPECT_FALSE(stdfs::exists(t.path() / "dest"));
}

TEST(ZipExtract, FromAFileTheCallerHoldsOpen) {
  TempDir t;
  const auto bytes = BuildArchive({{"dir/", ""}, {"dir/a.txt", Text(3000)}, {"b.txt", "b"}});
  SaveBytes(t.path() / "a.zip", bytes);
#ifdef _WIN32
  // Opened without write sharing and read to its end first, as the installer holds a
  // download between its checksum and its unpacking.
  HANDLE h = CreateFileW(t.path().wstring().append(L"\\a.zip").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  std::vector<char> all(bytes.size());
  DWORD got = 0;
  ASSERT_TRUE(ReadFile(h, all.data(), static_cast<DWORD>(all.size()), &got, nullptr));
  HANDLE writer = CreateFileW(t.path().wstring().append(L"\\a.zip").c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << "nobody else may write the archive now";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  auto file = orfzip::fs::BorrowHandle(h);
#else
  auto file = orfzip::fs::OpenRead(t.str("a.zip"));
  ASSERT_TRUE(file);
  std::vector<char> all(bytes.size());
  std::size_t got = 0;
  ASSERT_TRUE(file->Read(all.data(), all.size(), got));
#endif
  TZipEngine zip;
  zip.ArchiveFile = file.get();
  zip.ZipFileName = t.str("the-download.zip");  // names it in messages only: never opened
  ASSERT_EQ(ExtractTo(zip.ZipFileName, t.str("out"), &zip), 0) << zip.ErrMessage();
  EXPECT_EQ(Tree(t.path() / "out"),
            (std::map<std::string, std::string>{{"dir/", ""}, {"dir/a.txt", Text(3000)}, {"b.txt", "b"}}));
  EXPECT_EQ(zip.Test(), 0);
  EXPECT_EQ(zip.SuccessCnt(), 2);
  std::vector<orfzip::TZipEntryInfo> list;
  ASSERT_EQ(zip.List(list), 0);
  EXPECT_EQ(list.size(), 3u);
#ifdef _WIN32
  LARGE_INTEGER size{};
  EXPECT_TRUE(GetFileSizeEx(h, &size)) << "the caller's handle stays open";
  EXPECT_EQ(static_cast<std::size_t>(size.QuadPart), bytes.size());
  CloseHandle(h);
#endif
  // By name, as before.
  zip.ArchiveFile = nullptr;
  zip.ZipFileName = t.str("a.zip");
  EXPECT_EQ(zip.Test(), 0);
}

namespace {

// A one-entry stored archive written byte by byte, with the stored name, flags and extra
// field as given (in the local header and the central record alike).
std::vector<std::uint8_t> RawArchive(const std::string& rawName, std::uint16_t flags, const std::string& extra) {
  const std::string data = "data";
  const auto crc = static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), 4));
  std::string out;
  auto u16 = [&](unsigned v) { out += static_cast<char>(v & 0xFF), out += static_cast<char>((v >> 8) & 0xFF); };
  auto u32 = [&](std::uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
  u32(0x04034b50), u16(20), u16(flags), u16(0), u16(0), u16(0x21), u32(crc), u32(4), u32(4);
  u16(static_cast<unsigned>(rawName.size())), u16(static_cast<unsigned>(extra.size()));
  out += rawName + extra + data;
  const std::size_t cd = out.size();
  u32(0x02014b50), u16(20), u16(20), u16(flags), u16(0), u16(0), u16(0x21), u32(crc), u32(4), u32(4);
  u16(static_cast<unsigned>(rawName.size())), u16(static_cast<unsigned>(extra.size())), u16(0), u16(0), u16(0);
  u32(0x20), u32(0);
  out += rawName + extra;
  const std::size_t cdSize = out.size() - cd;
  u32(0x06054b50), u16(0), u16(0), u16(1), u16(1), u32(static_cast<std::uint32_t>(cdSize));
  u32(static_cast<std::uint32_t>(cd)), u16(0);
  return std::vector<std::uint8_t>(out.begin(), out.end());
}

// Info-ZIP's Unicode path field for `storedName`.
std::string UnicodePath(const std::string& storedName, const std::string& utf8) {
  const auto crc = static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(storedName.data()), static_cast<uInt>(storedName.size())));
  std::string f = {'\x75', '\x70', static_cast<char>(5 + utf8.size()), '\0', '\x01'};
  for (int k = 0; k < 4; ++k) f += static_cast<char>((crc >> (8 * k)) & 0xFF);
  return f + utf8;
}

}  // namespace

TEST(ZipNames, NamesWrittenByOtherTools) {
  const std::string unicode = "Ünïcødé name.txt";
  struct Case {
    const char* what;
    std::string stored;
    std::uint16_t flags;
    std::string extra;
    std::string name;
  };
  const Case cases[] = {
      {"UTF-8 with the flag", unicode, 0x800, "", unicode},
      {"UTF-8 without the flag (zip on Linux)", unicode, 0, "", unicode},
      {"CP437 (not valid UTF-8)", "Gr\x81\xE1" "e.txt", 0, "", "Grüße.txt"},
      {"Unicode path field over a CP437 name", "\x9Anicode.txt", 0, UnicodePath("\x9Anicode.txt", unicode), unicode},
      {"stale Unicode path field (renamed later)", "renamed.txt", 0, UnicodePath("original.txt", unicode),
       "renamed.txt"},
      {"Unicode path field that is not UTF-8", "plain.txt", 0, UnicodePath("plain.txt", "bad\xFF"), "plain.txt"},
      {"the flag wins over the field", unicode, 0x800, UnicodePath(unicode, "other.txt"), unicode},
  };
  for (const auto& c : cases) {
    const auto bytes = RawArchive(c.stored, c.flags, c.extra);
    orfzip::MemoryInput in(bytes.data(), bytes.size());
    orfzip::TZipReader r(in);
    r.Open();
    ASSERT_EQ(r.Entries().size(), 1u) << c.what;
    EXPECT_EQ(r.Entries()[0].info.Name, c.name) << c.what;
  }
  // Unpacked under the UTF-8 name.
  TempDir t;
  SaveBytes(t.path() / "u.zip", RawArchive(unicode, 0, ""));
  TZipEngine zip;
  ASSERT_EQ(ExtractTo(t.str("u.zip"), t.str("out"), &zip), 0) << zip.ErrMessage();
  EXPECT_EQ(ReadFile(t.path() / "out" / P(unicode)), "data");
}
