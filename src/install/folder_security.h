#pragma once
// Folders an installation creates with access rules of their own: the install root gets the
// rules of Program Files, so that what is installed there for every user cannot be replaced
// by one of them; the download area, where downloads are checked, unpacked and run from, is
// open to administrators and SYSTEM only.
#include <windows.h>

#include <string>

#include "base/handles.h"

// Program Files' rules as SDDL: Administrators and SYSTEM full control, Users read and
// execute, everything inherited by what lies below, nothing inherited from above.
inline constexpr const wchar_t kProgramFilesSddl[] =
    L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)";

// The download area's rules: owned by Administrators, full control for Administrators and
// SYSTEM only (not the user's own account, whose unelevated processes would keep write access),
// inherited by what lies below, nothing inherited from above.
inline constexpr const wchar_t kStagingSddl[] = L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";

// Creates the folder with all missing parents; every folder it creates gets `sddl` from the
// start (never a moment with other rules). Folders that exist stay as they are. True when the
// folder exists afterwards.
bool ForceProtectedDirectories(const std::string& folder, const wchar_t* sddl = kProgramFilesSddl);

// The first link (junction, symbolic link, other reparse point) on the path, looked at from
// the root down to the path itself; empty when there is none. Parts that do not exist are
// not links.
std::string FindReparsePoint(const std::string& path);

// Makes `folder` anew for this run: whatever is at its place (folder, file, link) is removed
// first, never used; the folder is then created with `sddl` (its parent must exist) and
// returned open, without delete sharing, so that it can be neither removed nor renamed while
// the handle is held. Raises EOSError with the reason when a link lies on the path, when what
// is there cannot be removed, or when anything appears at the place before it is created.
UniqueFile CreateFreshProtectedFolder(const std::string& folder, const wchar_t* sddl);
