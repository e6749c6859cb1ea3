// An archive's download file and the unpacking that runs alongside the download, on the real
// file system and ZIP engine under Wine: the sum over bytes that arrive out of order, a byte
// written twice, readers waiting for bytes, and an archive unpacked aside from bytes fed in
// pieces (its end first, as the ranged download asks for it) or from a download that broke.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "base/errors.h"
#include "base/file_system.h"
#include "test_support.h"
#include "workers/download_file.h"
#include "workers/unpack_ahead.h"
#include "zip/zip.h"

namespace {

// Writes `bytes` into `file` in `pieces` pieces, the last piece first, then the others in
// order, from a thread of its own with a pause between pieces.
std::thread Feed(DownloadFile& file, const std::string& bytes, size_t pieces, size_t upTo) {
  return std::thread([&file, &bytes, pieces, upTo] {
    const size_t each = (bytes.size() + pieces - 1) / pieces;
    auto put = [&](size_t i) {
      const size_t at = i * each;
      if (at >= upTo) return;
      file.Write(at, bytes.data() + at, std::min(each, upTo - at));
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    };
    put(pieces - 1);
    for (size_t i = 0; i + 1 < pieces; ++i) put(i);
  });
}

// A stored archive of 40 files of 10 KB with different contents, as bytes.
std::string MakeArchive(const ScratchFolder& scratch) {
  const std::string root = scratch / "content";
  ForceDirectories(root + "\\files\\data");
  for (int i = 0; i < 40; ++i)
    WriteFileBytes(root + "\\files\\data\\f" + std::to_string(i) + ".bin", std::string(10000, static_cast<char>('a' + i % 26)));
  orfzip::TZipEngine zip;
  zip.ZipFileName = scratch / "made.zip";
  zip.RootDir = root;
  zip.AddOptions.AddRecurseDirs = true;
  zip.CompressionLevel = 0;
  EXPECT_EQ(zip.Add(), 0) << zip.ErrMessage();
  return ReadFileBytes(zip.ZipFileName);
}

TEST(DownloadFile, TheSumCoversBytesThatArriveOutOfOrder) {
  ScratchFolder scratch;
  const std::string text = "The quick brown fox jumps over the lazy dog";
  {
    DownloadFile file(scratch / "fox.txt");
    file.Write(30, text.data() + 30, text.size() - 30);  // ahead of a gap: read back later
    file.Write(0, text.data(), 10);
    file.Write(10, text.data() + 10, 20);  // fills the gap
    file.Complete(text.size());
    EXPECT_EQ(file.Md5(), "9e107d9d372bb6826bd81d3542a419d6");
    file.Keep();
  }
  EXPECT_EQ(ReadFileBytes(scratch / "fox.txt"), text);
}

TEST(DownloadFile, BytesThatArriveTwiceFailTheDownload) {
  ScratchFolder scratch;
  DownloadFile file(scratch / "twice.bin");
  file.Write(0, "abcdef", 6);
  EXPECT_THROW(file.Write(4, "xy", 2), EOSError);
  EXPECT_THROW(file.Write(0, "abcdef", 6), EOSError);
  file.Write(6, "gh", 2);  // touching is no overlap
}

TEST(DownloadFile, ReadersWaitForTheirBytesUntilTheyArriveOrNeverWill) {
  ScratchFolder scratch;
  DownloadFile file(scratch / "wait.bin");
  file.Expect(8);
  uint64_t size = 0;
  EXPECT_TRUE(file.WaitForSize(size));
  EXPECT_EQ(size, 8u);
  std::thread writer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    file.Write(0, "abcd", 4);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    file.EndArrivals();
  });
  EXPECT_TRUE(file.WaitForBytes(0, 4));   // arrives
  EXPECT_FALSE(file.WaitForBytes(2, 4));  // half of it never does
  writer.join();
}

TEST(UnpackAhead, UnpacksAsideWhileTheBytesArriveAndMovesOnlyWhenAsked) {
  ScratchFolder scratch;
  const std::string archive = MakeArchive(scratch);
  ASSERT_GT(archive.size(), 400000u);
  DownloadFile file(scratch / "release.zip");
  const std::string aside = UnpackAhead::FolderFor(scratch.path(), 0);
  UnpackAhead unpack(file, scratch / "release.zip", aside);
  file.Expect(archive.size());
  std::thread feed = Feed(file, archive, 12, archive.size());
  feed.join();
  file.Complete(archive.size());
  ASSERT_TRUE(unpack.Finish());
  EXPECT_FALSE(PathExists(scratch / "release"));  // nothing under the folder's name yet
  ASSERT_TRUE(unpack.MoveTo(scratch / "release"));
  EXPECT_FALSE(PathExists(aside));
  EXPECT_EQ(ReadFileBytes(scratch / "release\\files\\data\\f27.bin"), std::string(10000, 'b'));
  file.Keep();
}

TEST(UnpackAhead, ABrokenDownloadLeavesNothingUnpacked) {
  ScratchFolder scratch;
  const std::string archive = MakeArchive(scratch);
  const std::string aside = UnpackAhead::FolderFor(scratch.path(), 3);
  {
    DownloadFile file(scratch / "release.zip");
    UnpackAhead unpack(file, scratch / "release.zip", aside);
    file.Expect(archive.size());
    // The end and the first half arrive; the rest never does.
    std::thread feed = Feed(file, archive, 12, archive.size() / 2);
    feed.join();
    file.Complete(archive.size() / 2);
    EXPECT_FALSE(unpack.Finish());
    EXPECT_FALSE(unpack.MoveTo(scratch / "release"));
  }
  EXPECT_FALSE(PathExists(aside));
  EXPECT_FALSE(PathExists(scratch / "release"));
  EXPECT_FALSE(PathExists(scratch / "release.zip"));
}

TEST(UnpackAhead, StoppedWhileItWaitsLeavesNothing) {
  ScratchFolder scratch;
  const std::string aside = UnpackAhead::FolderFor(scratch.path(), 0);
  DownloadFile file(scratch / "release.zip");
  {
    UnpackAhead unpack(file, scratch / "release.zip", aside);
    file.Expect(1000000);
    file.Write(0, "PK\x03\x04", 4);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }  // ends without the file being complete: no hang, nothing left
  EXPECT_FALSE(PathExists(aside));
}

}  // namespace
