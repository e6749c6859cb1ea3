// The archive jobs on real folders: download unpacking, update backup, restore, rollback.
#include <windows.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <map>

#include "base/errors.h"
#include "base/file_system.h"
#include "base/win_text.h"
#include "install/archive_jobs.h"
#include "install/files.h"
#include "test_support.h"

namespace {

// Every file below `root` (relative path -> content), with the hidden flag noted as "(h)".
std::map<std::string, std::string> Snapshot(const std::string& root, const std::string& rel = "") {
  std::map<std::string, std::string> files;
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(Widen(root + (rel.empty() ? "" : "\\" + rel) + "\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return files;
  do {
    std::string name = Narrow(fd.cFileName);
    if (name == "." || name == "..") continue;
    std::string path = rel.empty() ? name : rel + "\\" + name;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      files[path + "\\"] = "";
      files.merge(Snapshot(root, path));
    } else {
      files[path + ((fd.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) ? " (h)" : "")] =
          ReadFileBytes(root + "\\" + path);
    }
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return files;
}

// An installation as an update finds it.
void MakeInstallRoot(const std::string& root) {
  ForceDirectories(root + "\\partner\\nova");
  ForceDirectories(root + "\\data\\empty");
  WriteFileBytes(root + "\\Orfeda.exe", std::string(200000, 'x') + "end");
  WriteFileBytes(root + "\\Orfeda.ini", "[Options]\r\nLanguage=German\r\n");
  WriteFileBytes(root + "\\partner\\version.txt", "2.0");
  WriteFileBytes(root + "\\data\\faxes.db", "faxes");
  WriteFileBytes(root + "\\data\\.hidden", "secret");
  SetFileAttributesW(Widen(root + "\\data\\.hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
  WriteFileBytes(root + "\\updater.lock", "");
  WriteFileBytes(root + "\\data\\stale.lock", "x");
}

void Put16(std::string& s, unsigned v) { s += char(v & 255); s += char(v >> 8); }
void Put32(std::string& s, unsigned long v) { Put16(s, v & 0xFFFF); Put16(s, v >> 16); }

// A stored ZIP archive with the given entries, written byte by byte.
std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string out, central;
  for (const auto& [name, data] : entries) {
    unsigned long crc = crc32(0, reinterpret_cast<const Bytef*>(data.data()), data.size());
    unsigned long offset = out.size();
    Put32(out, 0x04034b50); Put16(out, 20); Put16(out, 0); Put16(out, 0); Put16(out, 0); Put16(out, 0x21);
    Put32(out, crc); Put32(out, data.size()); Put32(out, data.size()); Put16(out, name.size()); Put16(out, 0);
    out += name + data;
    Put32(central, 0x02014b50); Put16(central, 20); Put16(central, 20); Put16(central, 0); Put16(central, 0);
    Put16(central, 0); Put16(central, 0x21); Put32(central, crc); Put32(central, data.size());
    Put32(central, data.size()); Put16(central, name.size()); Put16(central, 0); Put16(central, 0);
    Put16(central, 0); Put16(central, 0); Put32(central, 0); Put32(central, offset);
    central += name;
  }
  unsigned long cdOffset = out.size();
  out += central;
  Put32(out, 0x06054b50); Put16(out, 0); Put16(out, 0); Put16(out, entries.size()); Put16(out, entries.size());
  Put32(out, central.size()); Put32(out, cdOffset); Put16(out, 0);
  return out;
}

}  // namespace

TEST(ArchiveJobs, BackupAndRollbackRestoreTheInstallRootAfterItWasCleared) {
  for (const int level : {0, 1, 6}) {
    SCOPED_TRACE("compression level " + std::to_string(level));
    ScratchFolder dir;
    const std::string root = dir / "Orfeda", archive = dir / "tmp\\new\\backup.zip";
    MakeInstallRoot(root);
    auto before = Snapshot(root);

    orfzip::TZipEngine zip;
    int result = RunBackupJob(zip, archive, root, level);
    ASSERT_TRUE(BackupSucceeded(result)) << zip.ErrCode() << " " << zip.ErrMessage();
    std::vector<orfzip::TZipEntryInfo> entries;
    ASSERT_EQ(zip.List(entries), 0);
    for (const auto& e : entries) EXPECT_EQ(e.Name.find(".lock"), std::string::npos) << e.Name;

    WriteFileBytes(root + "\\updater.lock", "running");
    ClearFolderExcept(root, {"updater.lock"});
    WriteFileBytes(root + "\\Orfeda.exe", "half-copied new release");
    EXPECT_EQ(RunRollbackJob(zip, archive, root), 0);

    auto after = Snapshot(root);
    before.erase("updater.lock");
    before.erase("data\\stale.lock");
    after.erase("updater.lock");
    EXPECT_EQ(after, before);
    EXPECT_EQ(ReadFileBytes(root + "\\updater.lock"), "running");  // the lock is never touched
  }
}

TEST(ArchiveJobs, RestoreUnpacksTheBackupForChosenFoldersAndFiles) {
  ScratchFolder dir;
  const std::string root = dir / "Orfeda", archive = dir / "tmp\\backup.zip", backup = dir / "tmp\\backup";
  MakeInstallRoot(root);
  orfzip::TZipEngine zip;
  ASSERT_TRUE(BackupSucceeded(RunBackupJob(zip, archive, root, kBackupCompressionLevel)));

  // The new release replaces everything; the update then brings chosen parts back.
  ClearFolderExcept(root, {"updater.lock"});
  WriteFileBytes(root + "\\Orfeda.exe", "new release");
  ForceDirectories(root + "\\data");
  WriteFileBytes(root + "\\data\\faxes.db", "release default");
  ForceDirectories(backup);
  WriteFileBytes(backup + "\\Orfeda.ini", "left from an earlier update");

  orfzip::TZipEngine restore;
  EXPECT_EQ(RunRestoreJob(restore, archive, backup), 0);
  EXPECT_EQ(ReadFileBytes(backup + "\\Orfeda.ini"), "[Options]\r\nLanguage=German\r\n");  // overwritten
  DeleteTree(root + "\\data");
  CopyFolderTree(backup + "\\data", root + "\\data");
  ASSERT_TRUE(CopyFileW(Widen(backup + "\\Orfeda.ini").c_str(), Widen(root + "\\Orfeda.ini").c_str(), TRUE));

  EXPECT_EQ(ReadFileBytes(root + "\\data\\faxes.db"), "faxes");
  EXPECT_EQ(ReadFileBytes(root + "\\data\\.hidden"), "secret");
  EXPECT_TRUE(PathExists(root + "\\data\\empty"));
  EXPECT_EQ(ReadFileBytes(root + "\\Orfeda.ini"), "[Options]\r\nLanguage=German\r\n");
  EXPECT_EQ(ReadFileBytes(root + "\\Orfeda.exe"), "new release");
  EXPECT_FALSE(PathExists(root + "\\partner"));

  orfzip::TZipEngine missing;
  EXPECT_THROW(RunRestoreJob(missing, dir / "tmp\\none.zip", backup), EZipError);
  EXPECT_THROW(RunRollbackJob(missing, dir / "tmp\\none.zip", root), EZipError);
}

TEST(ArchiveJobs, UnzipArchiveGivesExactlyTheArchivesContent) {
  LogCapture log;
  ScratchFolder dir;
  MakeInstallRoot(dir / "src");
  orfzip::TZipEngine zip;
  ASSERT_TRUE(BackupSucceeded(RunBackupJob(zip, dir / "Orfeda\\release-1.2.zip", dir / "src", kBackupCompressionLevel)));
  const std::string dest = dir / "Orfeda\\release-1.2";
  auto expected = Snapshot(dir / "src");
  expected.erase("updater.lock");
  expected.erase("data\\stale.lock");

  ASSERT_TRUE(UnzipArchive(dir / "Orfeda\\release-1.2.zip", dest));  // destination created
  EXPECT_EQ(Snapshot(dest), expected);

  // An earlier run that crashed left a file cut short and a file the archive lacks.
  WriteFileBytes(dest + "\\Orfeda.exe", "xxx");
  WriteFileBytes(dest + "\\leftover.dll", "old");
  ASSERT_TRUE(UnzipArchive(dir / "Orfeda\\release-1.2.zip", dest));
  EXPECT_EQ(Snapshot(dest), expected);
  EXPECT_TRUE(log.Lines().empty());
}

TEST(ArchiveJobs, UnzipArchiveReportsDamagedAndHostileArchives) {
  LogCapture log;
  ScratchFolder dir;
  ForceDirectories(dir / "src");
  WriteFileBytes(dir / "src\\a.txt", std::string(100000, 'a'));
  orfzip::TZipEngine zip;
  ASSERT_TRUE(BackupSucceeded(RunBackupJob(zip, dir / "good.zip", dir / "src", kBackupCompressionLevel)));
  std::string bytes = ReadFileBytes(dir / "good.zip");

  WriteFileBytes(dir / "cut.zip", bytes.substr(0, bytes.size() / 2));
  std::string flipped = bytes;
  // A byte inside the first entry's compressed data.
  size_t dataStart = 30 + static_cast<unsigned char>(bytes[26]) + 256 * static_cast<unsigned char>(bytes[27]) +
                     static_cast<unsigned char>(bytes[28]) + 256 * static_cast<unsigned char>(bytes[29]);
  flipped[dataStart + 10] = static_cast<char>(flipped[dataStart + 10] ^ 0x55);
  WriteFileBytes(dir / "flipped.zip", flipped);
  WriteFileBytes(dir / "climb.zip", StoredZip({{"ok.txt", "fine"}, {"../../outside.txt", "escaped"}}));
  WriteFileBytes(dir / "absolute.zip", StoredZip({{"C:/outside.txt", "escaped"}}));

  for (const char* name : {"cut", "flipped", "climb", "absolute", "missing"}) {
    const std::string dest = dir / "out" + "\\" + name;
    EXPECT_FALSE(UnzipArchive(dir / (std::string(name) + ".zip"), dest)) << name;
    auto lines = log.Lines();
    ASSERT_GE(lines.size(), 2u) << name;
    EXPECT_EQ(lines[lines.size() - 2].rfind("Extract Exception: ", 0), 0u) << lines[lines.size() - 2];
    EXPECT_EQ(lines.back().rfind("Ziperror : ", 0), 0u) << lines.back();
    EXPECT_NE(lines.back(), "Ziperror : 0 ") << name;
  }
  EXPECT_FALSE(PathExists(dir / "outside.txt"));
  EXPECT_FALSE(PathExists(dir / "out\\outside.txt"));
  EXPECT_FALSE(PathExists("C:\\outside.txt"));
  EXPECT_FALSE(PathExists(dir / "out\\climb\\ok.txt"));  // refused before anything is written

  // A destination that holds the archive is never emptied.
  EXPECT_FALSE(UnzipArchive(dir / "good.zip", dir.path()));
  EXPECT_FALSE(UnzipArchive(dir / "good.zip", dir / "good.zip"));
  EXPECT_EQ(ReadFileBytes(dir / "good.zip"), bytes);
}

TEST(ArchiveJobs, AnArchiveCheckedThroughAHandleIsUnpackedThroughItAndNobodyCanWriteItMeanwhile) {
  ScratchFolder dir;
  const std::string archive = dir / "release.zip";
  WriteFileBytes(archive, StoredZip({{"files/a.txt", "checked content"}}));
  const std::string sum = FileMD5(archive);

  // Opened as the download check opens it: read access, only readers shared.
  HANDLE held = CreateFileW(Widen(archive).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(FileMD5(held), sum);
  EXPECT_EQ(FileMD5(held), sum);  // read from the start each time

  // Between the check and the unpacking nobody can write, replace or remove the archive.
  HANDLE writer = CreateFileW(Widen(archive).c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
  WriteFileBytes(dir / "other.zip", StoredZip({{"files/planted.txt", "planted"}}));
  EXPECT_FALSE(MoveFileExW(Widen(dir / "other.zip").c_str(), Widen(archive).c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_FALSE(DeleteFileW(Widen(archive).c_str()));

  // The file position after the check does not matter.
  ASSERT_TRUE(UnzipArchive(archive, held, dir / "out"));
  EXPECT_EQ(ReadFileBytes(dir / "out\\files\\a.txt"), "checked content");
  CloseHandle(held);
}
