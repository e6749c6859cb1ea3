#include "ui/debug_facts_win.h"

#include <windows.h>

#include "base/handles.h"
#include "install/files.h"
#include "state/state.h"

namespace {
// {B4BFCC3A-DB2C-424C-B029-7FE99A87C641}: the user's desktop.
constexpr GUID kDesktop = {0xB4BFCC3A, 0xDB2C, 0x424C, {0xB0, 0x29, 0x7F, 0xE9, 0x9A, 0x87, 0xC6, 0x41}};
// {C4AA340D-F20F-4863-AFEF-F87EF2E6BA25}: the public desktop.
constexpr GUID kPublicDesktop = {0xC4AA340D, 0xF20F, 0x4863, {0xAF, 0xEF, 0xF8, 0x7E, 0xF2, 0xE6, 0xBA, 0x25}};
}  // namespace

WindowsVersionNumbers ReportedWindowsVersion() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  // The numbers the system tells this program, as the manifest's compatibility list makes them.
  if (!GetVersionExW(&info)) return {};
#pragma GCC diagnostic pop
  return {info.dwMajorVersion, info.dwMinorVersion};
}

TokenAnswers QueryProcessToken() {
  TokenAnswers answers;
  UniqueHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return answers;
  answers.opened = true;
  TOKEN_ELEVATION_TYPE type{};
  DWORD size = 0;
  if (GetTokenInformation(token.get(), TokenElevationType, &type, sizeof type, &size))
    answers.elevationType = static_cast<unsigned>(type);
  TOKEN_ELEVATION elevation{};
  if (GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size))
    answers.elevated = elevation.TokenIsElevated != 0;
  return answers;
}

std::string ProcessRightsText() {
  const WindowsVersionNumbers v = ReportedWindowsVersion();
  return RightsText(IsAdministrator(QueryProcessToken(), WindowsName(v.major, v.minor)));
}

EnvironmentValues CurrentEnvironmentValues() {
  EnvironmentValues env;
  env.appData = AppDataDir;
  env.allUsersProfile = AllUsersProfileDir;
  env.programFiles = ProgramFilesDir;
  env.exeDir = ExeDir;
  env.temp = TempDir;
  env.desktop = KnownFolderPath(kDesktop);
  env.publicDesktop = KnownFolderPath(kPublicDesktop);
  return env;
}
