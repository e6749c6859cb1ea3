// File and folder helpers on the real file system, processes and shell of Windows (Wine).
#include <windows.h>
#include <knownfolders.h>
#include <sddl.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include "base/errors.h"
#include "base/file_system.h"
#include "base/text.h"
#include "base/win_error.h"
#include "base/win_text.h"
#include "base/lifecycle.h"
#include "install/files.h"
#include "test_support.h"

namespace {

std::string ChildHelper() { return TestBinaryDir() + "\\child_helper.exe"; }

// Reference MD5 through the older CryptoAPI, independent of the code under test.
std::string CryptoApiMd5(const std::string& data) {
  HCRYPTPROV prov = 0;
  HCRYPTHASH hash = 0;
  EXPECT_TRUE(CryptAcquireContextW(&prov, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT));
  EXPECT_TRUE(CryptCreateHash(prov, CALG_MD5, 0, 0, &hash));
  CryptHashData(hash, reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()), 0);
  BYTE digest[16];
  DWORD len = sizeof(digest);
  CryptGetHashParam(hash, HP_HASHVAL, digest, &len, 0);
  CryptDestroyHash(hash);
  CryptReleaseContext(prov, 0);
  char out[33];
  for (int i = 0; i < 16; ++i) wsprintfA(out + 2 * i, "%02x", digest[i]);
  return out;
}

}  // namespace

TEST(UniqueFileName, PicksFirstFreeNumberedVariant) {
  ScratchFolder dir;
  WriteFileBytes(dir / "report.txt", "a");
  WriteFileBytes(dir / "report_1.txt", "b");
  WriteFileBytes(dir / "a.txt.txt", "c");
  WriteFileBytes(dir / "Setup.MSI", "d");
  WriteFileBytes(dir / "README", "e");
  ForceDirectories(dir / "folder.dat");
  struct Case { std::string in, out; } cases[] = {
      {"report.txt", "report_2.txt"},
      {"missing.txt", "missing.txt"},
      {"a.txt.txt", "a_1.txt"},       // every occurrence of the extension leaves the base
      {"Setup.MSI", "Setup_1.MSI"},
      {"README", "README_1"},         // no extension
      {"folder.dat", "folder_1.dat"}, // a folder of that name is taken as well
  };
  for (const auto& c : cases) EXPECT_EQ(UniqueFileName(dir / c.in), dir / c.out) << c.in;
}

TEST(MoveFileTo, MovesBesideAnExistingFileAndCreatesFolders) {
  LogCapture log;
  ScratchFolder dir;
  WriteFileBytes(dir / "new.bin", "new");
  ForceDirectories(dir / "out");
  WriteFileBytes(dir / "out\\data.bin", "old");
  std::string used;
  ASSERT_TRUE(MoveFileTo(dir / "new.bin", dir / "out\\data.bin", used));
  EXPECT_EQ(used, dir / "out\\data_1.bin");
  EXPECT_EQ(ReadFileBytes(dir / "out\\data.bin"), "old");
  EXPECT_EQ(ReadFileBytes(used), "new");
  EXPECT_FALSE(PathExists(dir / "new.bin"));

  WriteFileBytes(dir / "second.bin", "2");
  ASSERT_TRUE(MoveFileTo(dir / "second.bin", dir / "deep\\er\\second.bin", used));
  EXPECT_EQ(ReadFileBytes(dir / "deep\\er\\second.bin"), "2");
  EXPECT_TRUE(log.Lines().empty());
}

TEST(MoveFileTo, ReportsEachFailureInTheLogAndNeverRaises) {
  LogCapture log;
  ScratchFolder dir;
  std::string used;

  // The destination folder cannot exist: a file has its name.
  WriteFileBytes(dir / "blocker", "x");
  WriteFileBytes(dir / "src.bin", "s");
  EXPECT_FALSE(MoveFileTo(dir / "src.bin", dir / "blocker\\sub\\dst.bin", used));
  EXPECT_TRUE(log.Has("Cannot creating destinationpath"));

  // The source does not exist.
  EXPECT_FALSE(MoveFileTo(dir / "nothing.bin", dir / "dst.bin", used));
  EXPECT_TRUE(log.Has("Error Moving file: '" + dir / "nothing.bin" + "' to '" + dir / "dst.bin"));

  // The source is open without delete sharing: the copy is made and stays.
  HANDLE held = CreateFileW(Widen(dir / "src.bin").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(MoveFileTo(dir / "src.bin", dir / "copy.bin", used));
  CloseHandle(held);
  EXPECT_TRUE(log.Has("Error deleting File " + dir / "src.bin"));
  EXPECT_EQ(ReadFileBytes(dir / "copy.bin"), "s");
  EXPECT_EQ(ReadFileBytes(dir / "src.bin"), "s");
}

TEST(DeleteTree, RemovesWholeTreeIncludingReadOnlyAndHiddenFiles) {
  ScratchFolder dir;
  std::string root = dir / "root";
  ForceDirectories(root + "\\a\\b\\c");
  WriteFileBytes(root + "\\top.txt", "1");
  WriteFileBytes(root + "\\a\\b\\c\\deep.txt", "2");
  WriteFileBytes(root + "\\a\\ro.txt", "3");
  SetFileAttributesW(Widen(root + "\\a\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  WriteFileBytes(root + "\\a\\hidden.txt", "4");
  SetFileAttributesW(Widen(root + "\\a\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
  DeleteTree(root);
  EXPECT_FALSE(PathExists(root));
  EXPECT_TRUE(PathExists(dir.path()));
}

TEST(DeleteTree, MissingFolderIsSilentAndEmptyPathRaises) {
  ScratchFolder dir;
  EXPECT_NO_THROW(DeleteTree(dir / "does\\not\\exist"));
  try {
    DeleteTree("");
    FAIL() << "no error for the empty path";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Could not delete empty path");
  }
}

TEST(DeleteTree, RemovesALinkedFolderWithoutTouchingItsTarget) {
  ScratchFolder dir;
  ForceDirectories(dir / "keep");
  WriteFileBytes(dir / "keep\\precious.txt", "p");
  ForceDirectories(dir / "tree");
  if (!CreateSymbolicLinkW(Widen(dir / "tree\\link").c_str(), Widen(dir / "keep").c_str(),
                           SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
    GTEST_SKIP() << "folder links are not available here";
  DeleteTree(dir / "tree");
  EXPECT_FALSE(PathExists(dir / "tree"));
  EXPECT_EQ(ReadFileBytes(dir / "keep\\precious.txt"), "p");
}

TEST(ClearFolderExcept, KeepsOnlyExactTopLevelNames) {
  ScratchFolder dir;
  ForceDirectories(dir / "sub");
  WriteFileBytes(dir / "updater.lock", "keep");
  WriteFileBytes(dir / "sub\\updater.lock", "nested");
  WriteFileBytes(dir / "Orfeda.exe", "x");
  ForceDirectories(dir / "cased");
  WriteFileBytes(dir / "cased\\UPDATER.LOCK", "other case");
  ClearFolderExcept(dir / "cased", {"updater.lock"});
  EXPECT_FALSE(PathExists(dir / "cased\\UPDATER.LOCK"));

  ClearFolderExcept(dir.path(), {"updater.lock"});
  EXPECT_EQ(ReadFileBytes(dir / "updater.lock"), "keep");
  EXPECT_FALSE(PathExists(dir / "sub"));
  EXPECT_FALSE(PathExists(dir / "Orfeda.exe"));
  EXPECT_FALSE(PathExists(dir / "cased"));
  EXPECT_NO_THROW(ClearFolderExcept(dir / "missing", {}));
}

TEST(ClearFolderExcept, FileInUseFailsOnlyAtTheTopLevel) {
  ScratchFolder dir;
  ForceDirectories(dir / "a\\sub");
  WriteFileBytes(dir / "a\\sub\\busy.txt", "b");
  WriteFileBytes(dir / "a\\sub\\free.txt", "f");
  HANDLE nested = CreateFileW(Widen(dir / "a\\sub\\busy.txt").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(nested, INVALID_HANDLE_VALUE);
  EXPECT_NO_THROW(ClearFolderExcept(dir / "a", {}));
  CloseHandle(nested);
  EXPECT_TRUE(PathExists(dir / "a\\sub\\busy.txt"));
  EXPECT_FALSE(PathExists(dir / "a\\sub\\free.txt"));

  ForceDirectories(dir / "b");
  WriteFileBytes(dir / "b\\busy.txt", "b");
  HANDLE top = CreateFileW(Widen(dir / "b\\busy.txt").c_str(), GENERIC_READ, 0, nullptr,
                           OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(top, INVALID_HANDLE_VALUE);
  try {
    ClearFolderExcept(dir / "b", {});
    ADD_FAILURE() << "no error for a file in use";
  } catch (const EOSError& e) {
    EXPECT_NE(std::string(e.what()).find("Code: 32."), std::string::npos) << e.what();
  }
  CloseHandle(top);
}

TEST(CopyFolderTree, CopiesRecursivelyAndOverwrites) {
  ScratchFolder dir;
  ForceDirectories(dir / "src\\bin\\lang");
  ForceDirectories(dir / "src\\empty");
  WriteFileBytes(dir / "src\\Orfeda.exe", "new exe");
  WriteFileBytes(dir / "src\\bin\\lang\\de.txt", "de");
  ForceDirectories(dir / "dst");
  WriteFileBytes(dir / "dst\\Orfeda.exe", "old exe");
  WriteFileBytes(dir / "dst\\user.ini", "mine");
  CopyFolderTree(dir / "src", dir / "dst");
  EXPECT_EQ(ReadFileBytes(dir / "dst\\Orfeda.exe"), "new exe");
  EXPECT_EQ(ReadFileBytes(dir / "dst\\bin\\lang\\de.txt"), "de");
  EXPECT_EQ(ReadFileBytes(dir / "dst\\user.ini"), "mine");
  EXPECT_TRUE(PathExists(dir / "dst\\empty"));

  CopyFolderTree(dir / "src", dir / "new\\root");  // missing destination parents are created
  EXPECT_EQ(ReadFileBytes(dir / "new\\root\\bin\\lang\\de.txt"), "de");
}

TEST(CopyFolderTree, ReportsEveryFileItCouldNotCopyAndCopiesTheRest) {
  ScratchFolder dir;
  ForceDirectories(dir / "src\\sub");
  for (const char* name : {"a.txt", "blocked.txt", "in-use.txt", "z.txt", "sub\\b.txt"})
    WriteFileBytes(dir / "src" + "\\" + name, std::string("new ") + name);
  ForceDirectories(dir / "dst\\blocked.txt");  // a folder where a file should go
  WriteFileBytes(dir / "dst\\in-use.txt", "old");
  // Held open without sharing by another program.
  HANDLE held = CreateFileW(Widen(dir / "dst\\in-use.txt").c_str(), GENERIC_READ, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  LogCapture log;
  try {
    CopyFolderTree(dir / "src", dir / "dst");
    ADD_FAILURE() << "a copy with failures reported success";
  } catch (const EOSError& e) {
    EXPECT_EQ(std::string(e.what()), "2 files could not be copied into '" + (dir / "dst") + "'");
  }
  CloseHandle(held);
  EXPECT_EQ(ReadFileBytes(dir / "dst\\a.txt"), "new a.txt");
  EXPECT_EQ(ReadFileBytes(dir / "dst\\z.txt"), "new z.txt");
  EXPECT_EQ(ReadFileBytes(dir / "dst\\sub\\b.txt"), "new sub\\b.txt");
  EXPECT_EQ(ReadFileBytes(dir / "dst\\in-use.txt"), "old");
  std::vector<std::string> failures;
  for (const auto& line : log.Lines())
    if (line.rfind("copy of ", 0) == 0) failures.push_back(line);
  ASSERT_EQ(failures.size(), 2u) << ::testing::PrintToString(log.Lines());
  std::sort(failures.begin(), failures.end());
  EXPECT_EQ(failures[0], "copy of " + (dir / "dst\\blocked.txt") + " failed: " + SystemErrorText(ERROR_ACCESS_DENIED));
  EXPECT_EQ(failures[1], "copy of " + (dir / "dst\\in-use.txt") + " failed: " + SystemErrorText(ERROR_SHARING_VIOLATION));
}

TEST(CopyFolderTree, RefusesBadArguments) {
  ScratchFolder dir;
  ForceDirectories(dir / "src");
  WriteFileBytes(dir / "src\\f.txt", "f");
  const std::pair<std::string, std::string> cases[] = {
      {dir / "missing", dir / "dst"},           // no source
      {dir / "src", dir / "src"},               // same folder
      {dir / "src", dir / "SRC\\"},             // same folder, other spelling
      {dir / "src", dir / "src\\inner"},        // inside itself
      {dir / "src", "Q:\\nowhere"},             // drive that does not exist
      {dir / "src", dir / "bad|name"},          // invalid path
      {"", dir / "dst"},
  };
  for (const auto& [from, to] : cases)
    EXPECT_THROW(CopyFolderTree(from, to), Exception) << from << " -> " << to;
  EXPECT_FALSE(PathExists(dir / "src\\inner"));
}

// The file system's identity of a file: the same after a rename, new for a copy.
uint64_t FileId(const std::string& path) {
  HANDLE h = CreateFileW(Widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool ok = GetFileInformationByHandle(h, &info);
  CloseHandle(h);
  return ok ? (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow : 0;
}

TEST(MoveFolderTree, RenamesNewFoldersWholeMovesFilesAndCopiesWhatCannotMove) {
  ScratchFolder dir;
  ForceDirectories(dir / "src\\bin\\lang");
  ForceDirectories(dir / "src\\shared");
  WriteFileBytes(dir / "src\\Orfeda.exe", "new exe");
  WriteFileBytes(dir / "src\\held.dll", "held");
  WriteFileBytes(dir / "src\\bin\\lang\\de.txt", "de");
  WriteFileBytes(dir / "src\\shared\\new.txt", "new");
  ForceDirectories(dir / "dst\\shared");
  WriteFileBytes(dir / "dst\\Orfeda.exe", "old exe");
  WriteFileBytes(dir / "dst\\user.ini", "mine");
  WriteFileBytes(dir / "dst\\shared\\kept.txt", "kept");
  const uint64_t exe = FileId(dir / "src\\Orfeda.exe");
  const uint64_t bin = FileId(dir / "src\\bin");
  const uint64_t held = FileId(dir / "src\\held.dll");
  ASSERT_NE(exe, 0u);
  // Open without delete sharing elsewhere: it cannot be renamed, only read.
  HANDLE open = CreateFileW(Widen(dir / "src\\held.dll").c_str(), GENERIC_READ, FILE_SHARE_READ,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(open, INVALID_HANDLE_VALUE);
  MoveFolderTree(dir / "src", dir / "dst");
  CloseHandle(open);

  EXPECT_EQ(FileId(dir / "dst\\bin"), bin);  // renamed whole
  EXPECT_EQ(ReadFileBytes(dir / "dst\\bin\\lang\\de.txt"), "de");
  EXPECT_FALSE(PathExists(dir / "src\\bin"));
  EXPECT_EQ(FileId(dir / "dst\\Orfeda.exe"), exe);  // moved over the old one
  EXPECT_EQ(ReadFileBytes(dir / "dst\\Orfeda.exe"), "new exe");
  EXPECT_EQ(ReadFileBytes(dir / "dst\\shared\\new.txt"), "new");  // into an existing folder
  EXPECT_EQ(ReadFileBytes(dir / "dst\\shared\\kept.txt"), "kept");
  EXPECT_EQ(ReadFileBytes(dir / "dst\\user.ini"), "mine");
  EXPECT_EQ(ReadFileBytes(dir / "dst\\held.dll"), "held");  // copied instead
  EXPECT_NE(FileId(dir / "dst\\held.dll"), held);
  EXPECT_TRUE(PathExists(dir / "src\\held.dll"));
}

TEST(MoveFolderTree, MovedItemsTakeThePermissionsOfTheirNewPlace) {
  ScratchFolder dir;
  // Items as the staging folder gives them: Administrators and SYSTEM only, protected.
  const wchar_t* staging = L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";
  ReferenceDacl(dir / "src", staging);
  ReferenceDacl(dir / "src\\bin", staging);
  PSECURITY_DESCRIPTOR sd = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(staging, SDDL_REVISION_1, &sd, nullptr));
  SECURITY_ATTRIBUTES sa{sizeof(sa), sd, FALSE};
  HANDLE h = CreateFileW(Widen(dir / "src\\a.txt").c_str(), GENERIC_WRITE, 0, &sa, CREATE_NEW, 0, nullptr);
  LocalFree(sd);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  // Below a moved folder, items inherit: resetting the folder passes the new rules on to them.
  WriteFileBytes(dir / "src\\bin\\b.txt", "b");
  ForceDirectories(dir / "dst\\made");
  WriteFileBytes(dir / "dst\\made.txt", "made");
  const std::string fileRules = DaclText(dir / "dst\\made.txt");
  const std::string folderRules = DaclText(dir / "dst\\made");
  ASSERT_NE(DaclText(dir / "src\\a.txt"), fileRules) << "the file system keeps no difference to test";
  ASSERT_NE(DaclText(dir / "src\\bin"), folderRules) << "the file system keeps no difference to test";
  MoveFolderTree(dir / "src", dir / "dst");
  EXPECT_EQ(DaclText(dir / "dst\\a.txt"), fileRules);
  EXPECT_EQ(DaclText(dir / "dst\\bin"), folderRules);
  EXPECT_EQ(DaclText(dir / "dst\\bin\\b.txt"), fileRules);
  EXPECT_TRUE(PathExists(dir / "dst\\bin\\b.txt"));
}

TEST(MoveFolderTree, RefusesBadArgumentsAsTheCopyDoes) {
  ScratchFolder dir;
  ForceDirectories(dir / "src");
  WriteFileBytes(dir / "src\\f.txt", "f");
  EXPECT_THROW(MoveFolderTree(dir / "src", dir / "src\\inner"), Exception);
  EXPECT_THROW(MoveFolderTree(dir / "missing", dir / "dst"), Exception);
  EXPECT_EQ(ReadFileBytes(dir / "src\\f.txt"), "f");
}

TEST(FileMD5, MatchesKnownDigestsAcrossBlockBoundaries) {
  ScratchFolder dir;
  WriteFileBytes(dir / "empty", "");
  EXPECT_EQ(FileMD5(dir / "empty"), "d41d8cd98f00b204e9800998ecf8427e");
  WriteFileBytes(dir / "abc", "abc");
  EXPECT_EQ(FileMD5(dir / "abc"), "900150983cd24fb0d6963f7d28e17f72");
  for (size_t size : {size_t{1} << 20, (size_t{1} << 20) + 1, size_t{3} * (1 << 20) + 12345}) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 2654435761u) >> 13);
    WriteFileBytes(dir / "big", data);
    EXPECT_EQ(FileMD5(dir / "big"), CryptoApiMd5(data)) << size;
  }
}

TEST(FileMD5, RaisesForMissingFileAndFileBeingWritten) {
  ScratchFolder dir;
  EXPECT_THROW(FileMD5(dir / "missing.zip"), EOSError);
  WriteFileBytes(dir / "busy.zip", "partial");
  HANDLE writer = CreateFileW(Widen(dir / "busy.zip").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_THROW(FileMD5(dir / "busy.zip"), EOSError);
  CloseHandle(writer);
}

TEST(FileInfo, VersionsSizesFoldersAndSystemValues) {
  EXPECT_EQ(GetFileVersionText(ChildHelper()), "4.3.2.1");
  ScratchFolder dir;
  WriteFileBytes(dir / "plain.txt", "12345");
  EXPECT_THROW(GetFileVersionText(dir / "plain.txt"), EOSError);

  EXPECT_EQ(FileSizeOf(dir / "plain.txt"), 5);
  EXPECT_EQ(FileSizeOf(dir / "missing.txt"), -1);
  EXPECT_EQ(FileSizeOf(dir / "*.txt"), -1);  // a wildcard is not a file name

  EXPECT_TRUE(CanCreateFolder(dir / "x\\y\\z"));
  EXPECT_TRUE(PathExists(dir / "x\\y\\z"));
  EXPECT_FALSE(CanCreateFolder(dir / "plain.txt\\sub"));

  EXPECT_EQ(SystemDrive(), "C:");
  EXPECT_TRUE(IsWow64());  // a 32-bit program in a 64-bit prefix
  std::string desktop = KnownFolderPath(FOLDERID_Desktop);
  EXPECT_FALSE(desktop.empty());
  EXPECT_TRUE(PathExists(desktop));
  const GUID bogus = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
  EXPECT_EQ(KnownFolderPath(bogus), "");
}

TEST(Processes, ListsRunningImagesAndFindsTheAppByExactName) {
  std::vector<std::string> names;
  ListProcessNames(names);
  EXPECT_NE(std::find(names.begin(), names.end(), "install_files_tests.exe"), names.end());
  EXPECT_FALSE(IsAppRunning());

  ScratchFolder dir;
  struct Case { const char* image; bool running; } cases[] = {{"ORFEDA.EXE", false}, {"Orfeda.exe", true}};
  for (const auto& c : cases) {
    ScratchFolder sub;
    std::string exe = sub / c.image;
    ASSERT_TRUE(CopyFileW(Widen(ChildHelper()).c_str(), Widen(exe).c_str(), FALSE));
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    std::wstring cmd = L"\"" + Widen(exe) + L"\" 0 3000";
    ASSERT_TRUE(CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    Sleep(300);
    EXPECT_EQ(IsAppRunning(), c.running) << c.image;
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 5000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
}

TEST(RunAndWait, ReturnsExitCodesOfProgramsAndScripts) {
  ScratchFolder dir;
  WriteFileBytes(dir / "seven.bat", "@echo off\r\nexit /b 7\r\n");
  WriteFileBytes(dir / "ok.bat", "@echo off\r\necho done> \"%~dp0ok.txt\"\r\nexit /b 0\r\n");
  struct Case { std::string file, params; int code; } cases[] = {
      {ChildHelper(), "0", 0},
      {ChildHelper(), "3", 3},
      {ChildHelper(), "3010 300", 3010},
      {ChildHelper(), "259", 259},  // an ended process is done whatever its code
      {dir / "seven.bat", "", 7},
      {dir / "ok.bat", "", 0},
      {dir / "missing.bat", "", 1},
      {dir / "missing.exe", "", 1},
  };
  for (const auto& c : cases) EXPECT_EQ(RunAndWait(c.file, dir.path(), c.params), c.code) << c.file << " " << c.params;
  EXPECT_TRUE(PathExists(dir / "ok.txt"));
}

TEST(RunAndWait, StartsInTheFilesOwnFolderWhenTheWorkingFolderIsMissing) {
  ScratchFolder dir;
  ForceDirectories(dir / "exec");
  ForceDirectories(dir / "root");
  std::string helper = dir / "exec\\child.exe";
  ASSERT_TRUE(CopyFileW(Widen(ChildHelper()).c_str(), Widen(helper).c_str(), FALSE));
  // Run from elsewhere so that inheriting our own folder would show.
  SetCurrentDirectoryW(Widen(TestBinaryDir()).c_str());

  std::string cwdFile = dir / "cwd.txt";
  ASSERT_EQ(RunAndWait(helper, dir / "root", "0 0 \"" + cwdFile + "\""), 0);
  EXPECT_TRUE(text::EqualsNoCase(ReadFileBytes(cwdFile), dir / "root"));

  ASSERT_EQ(RunAndWait(helper, dir / "not\\yet\\installed", "0 0 \"" + cwdFile + "\""), 0);
  EXPECT_TRUE(text::EqualsNoCase(ReadFileBytes(cwdFile), dir / "exec"));
  EXPECT_FALSE(PathExists(dir / "not"));
}

namespace {

// A window that counts the messages sent to it.
std::atomic<int> g_received{0};
LRESULT CALLBACK CountingProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_APP + 7) {
    ++g_received;
    return 1;
  }
  return DefWindowProcW(w, m, wp, lp);
}
HWND CreateCountingWindow() {
  static const bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = CountingProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"OrfedaIfCounting";
    return RegisterClassW(&wc) != 0;
  }();
  (void)registered;
  return CreateWindowW(L"OrfedaIfCounting", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                       GetModuleHandleW(nullptr), nullptr);
}

// Sends a message to `window` from another thread while `file` runs for 1.5 s on the
// calling thread; true when the message was handled during the wait.
bool HandledWhileWaiting(HWND window) {
  g_received = 0;
  std::atomic<bool> answered{false};
  std::thread sender([&] {
    Sleep(200);
    DWORD_PTR result = 0;
    answered = SendMessageTimeoutW(window, WM_APP + 7, 0, 0, SMTO_NORMAL, 500, &result) != 0;
  });
  int code = RunAndWait(ChildHelper(), "", "0 1500");
  sender.join();
  EXPECT_EQ(code, 0);
  return answered && g_received == 1;
}

}  // namespace

TEST(RunAndWait, HandlesWindowMessagesOnlyOnTheUIThread) {
  ASSERT_TRUE(IsUIThread());
  HWND uiWindow = CreateCountingWindow();
  ASSERT_NE(uiWindow, nullptr);
  EXPECT_TRUE(HandledWhileWaiting(uiWindow));
  DestroyWindow(uiWindow);

  bool workerHandled = true, workerIsUI = true;
  std::thread worker([&] {
    workerIsUI = IsUIThread();
    HWND w = CreateCountingWindow();
    workerHandled = HandledWhileWaiting(w);
    DestroyWindow(w);
  });
  worker.join();
  EXPECT_FALSE(workerIsUI);
  EXPECT_FALSE(workerHandled);
}

// An end request made while a script or package runs ends the wait, on the UI thread and
// on a worker thread alike (the started process itself goes on).
TEST(RunAndWait, StopsWaitingWhenTheEndIsRequested) {
  for (bool onWorker : {false, true}) {
    SCOPED_TRACE(onWorker ? "worker thread" : "UI thread");
    ResetEndRequest();
    std::thread requester([] {
      Sleep(300);
      RequestProgramEnd(1603);
    });
    int code = 0;
    DWORD elapsed = 0;
    auto wait = [&] {
      const DWORD start = GetTickCount();
      code = RunAndWait(ChildHelper(), "", "0 6000");
      elapsed = GetTickCount() - start;
    };
    if (onWorker) std::thread(wait).join();
    else wait();
    requester.join();
    EXPECT_EQ(code, 259);
    EXPECT_LT(elapsed, 4000u);
    EXPECT_EQ(ProgramExitCode(), 1603);
  }
  ResetEndRequest();
}

namespace {

// Answers the message boxes that Windows Installer shows while a package runs with its
// full interface (no parameters are passed), and remembers their texts.
class MessageBoxAnswerer {
 public:
  MessageBoxAnswerer() : thread_([this] { Run(); }) {}
  ~MessageBoxAnswerer() {
    stop_ = true;
    thread_.join();
  }
  std::string Texts() {
    std::lock_guard<std::mutex> lock(m_);
    return texts_;
  }

 private:
  static BOOL CALLBACK Child(HWND w, LPARAM p) {
    wchar_t cls[64] = {}, text[512] = {};
    GetClassNameW(w, cls, 64);
    GetWindowTextW(w, text, 512);
    if (lstrcmpiW(cls, L"Static") == 0) *reinterpret_cast<std::wstring*>(p) += text;
    return TRUE;
  }
  static BOOL CALLBACK Top(HWND w, LPARAM p) {
    wchar_t cls[64] = {};
    GetClassNameW(w, cls, 64);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (IsWindowVisible(w) && pid != GetCurrentProcessId() && lstrcmpW(cls, L"#32770") == 0) {
      std::wstring text;
      EnumChildWindows(w, Child, reinterpret_cast<LPARAM>(&text));
      auto* self = reinterpret_cast<MessageBoxAnswerer*>(p);
      {
        std::lock_guard<std::mutex> lock(self->m_);
        self->texts_ += Narrow(text) + "\n";
      }
      PostMessageW(w, WM_COMMAND, IDOK, 0);
    }
    return TRUE;
  }
  void Run() {
    while (!stop_) {
      EnumWindows(Top, reinterpret_cast<LPARAM>(this));
      Sleep(200);
    }
  }
  std::atomic<bool> stop_{false};
  std::mutex m_;
  std::string texts_;
  std::thread thread_;
};

}  // namespace

TEST(RunAndWait, RunsWindowsInstallerPackagesThroughTheShell) {
  const std::string packages = TestBinaryDir() + "\\msi";
  ASSERT_TRUE(PathExists(packages + "\\driver.msi"))
      << "the packages are built by the ctest fixture install_files_msi_package";
  ScratchFolder dir;
  MessageBoxAnswerer answerer;
  // As the installation runs them: in the package's folder, without parameters.
  EXPECT_EQ(RunAndWait(packages + "\\driver.msi", packages, ""), 0);
  EXPECT_EQ(RunAndWait(packages + "\\refuse.msi", packages, ""), 1603);
  EXPECT_NE(answerer.Texts().find("Refused by its launch condition"), std::string::npos) << answerer.Texts();
  EXPECT_EQ(RunAndWait(dir / "absent.msi", dir.path(), ""), 1);
}
