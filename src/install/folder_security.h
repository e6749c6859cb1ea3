#pragma once
// Folders an installation creates with the access rules of Program Files, so that what is
// installed there for every user cannot be replaced by one of them.
#include <string>

// Program Files' rules as SDDL: Administrators and SYSTEM full control, Users read and
// execute, everything inherited by what lies below, nothing inherited from above.
inline constexpr const wchar_t kProgramFilesSddl[] =
    L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)";

// Creates the folder with all missing parents; every folder it creates gets kProgramFilesSddl
// from the start (never a moment with other rules). Folders that exist stay as they are.
// True when the folder exists afterwards.
bool ForceProtectedDirectories(const std::string& folder);
