#pragma once
// Start-up checks and routines of the program (Windows).
#include <string>

// The FileVersion string of this program's own version resource; empty when unreadable.
std::string GetAppVersion();
// The current local time as year-month-day_hour-minute without leading zeros.
std::string TimeStampText();
// Fills TempDir, AppDataDir, AllUsersProfileDir, ProgramFilesDir and ExeDir. Errors are
// logged, not raised.
void ReadEnvironmentPaths();
// Opens (creating when missing) HKLM\Software\SetupTest with full access.
bool HasAdminRights();
// Whether .NET Framework 4 is registered (NDP\v4 or NDP\v4.0).
bool HasDotNet4();
// The English name of the user's default locale's language ("English", "German").
std::string SystemLanguageName();
