// The engine's 32-bit native library file, loaded as setup.exe's neighbours would load it.
#include <windows.h>

#include <gtest/gtest.h>

#include "zip/zip.h"
#include "zip/zip_dll.h"
#include "zip_test_util.h"

using namespace ziptest;

TEST(ZipDll, ExportsWorkWithUnicodePaths) {
  HMODULE dll = LoadLibraryW(P(ORFEDA_ZIP_DLL32_PATH).c_str());
  ASSERT_NE(dll, nullptr);
  using AddFn = int (*)(const char*, const char*, const char*, const char*, unsigned, int, char*, int);
  using ExtractFn = int (*)(const char*, const char*, const char*, unsigned, char*, int);
  auto add = reinterpret_cast<AddFn>(reinterpret_cast<void*>(GetProcAddress(dll, "OrfZipAdd")));
  auto extract = reinterpret_cast<ExtractFn>(reinterpret_cast<void*>(GetProcAddress(dll, "OrfZipExtract")));
  ASSERT_TRUE(add && extract);

  TempDir t;
  WriteFile(t.path() / P("Stammdaten/Übersicht.txt"), Text(20000));
  WriteFile(t.path() / P("Stammdaten/x.lock"), "lock");
  char msg[512];
  EXPECT_EQ(add(t.str("Sicherung/b.zip").c_str(), t.str("Stammdaten").c_str(), "*", "*.lock",
                ORFZIP_ADD_DIRNAMES | ORFZIP_ADD_RECURSE | ORFZIP_ADD_NTFS | ORFZIP_ADD_FORCEDEST, 6, msg,
                sizeof msg),
            0)
      << msg;
  EXPECT_EQ(extract(t.str("Sicherung/b.zip").c_str(), t.str("Ziel").c_str(), nullptr,
                    ORFZIP_EXTR_DIRNAMES | ORFZIP_EXTR_FORCEDIRS, msg, sizeof msg),
            0)
      << msg;
  EXPECT_EQ(Tree(t.path() / "Ziel"), (std::map<std::string, std::string>{{"Übersicht.txt", Text(20000)}}));
  EXPECT_EQ(extract(t.str("nothing.zip").c_str(), t.str("Ziel").c_str(), nullptr, 0, msg, sizeof msg),
            orfzip::kZipNoArchive);
  EXPECT_NE(std::string(msg).find("nothing.zip"), std::string::npos) << msg;
  FreeLibrary(dll);
}
