#pragma once
// The one check of a name that comes from the network or from an archive before it becomes
// part of a path on this machine. It refuses every name that Windows would store under
// another name, open as a device, read as a stream or a folder step, or cannot store:
//   - empty names, "." and "..";
//   - the characters < > : " / \ | ? * and control characters (0-31 and 127);
//   - a trailing blank or dot (Windows drops them, so "a." would be the file "a");
//   - device names, in any letter case, alone or with an extension, also with blanks
//     before the extension: CON, PRN, AUX, NUL, COM0-COM9, LPT0-LPT9 (also with the
//     superscript digits ¹ ² ³), CONIN$, CONOUT$ ("NUL.zip", "con.txt", "COM¹");
//   - names that are not valid UTF-8 (overlong forms and surrogates included);
//   - names longer than 255 UTF-16 units (the limit of one component on NTFS).
// Portable: no system call, so every platform gives the same answer.
#include <string_view>

namespace filenames {

enum class NameFault {
  kNone,
  kEmpty,             // empty name (or an empty step in a path)
  kDotName,           // "." or ".."
  kNotUtf8,           // not valid UTF-8
  kTooLong,           // over 255 UTF-16 units
  kControlCharacter,  // a character 0-31 or 127
  kReservedCharacter, // one of < > : " / \ | ? *
  kTrailingDotOrBlank,
  kDeviceName,        // CON, NUL.zip, COM1, LPT¹ ...
  kAbsolutePath,      // a path that starts with a separator (path form only)
};

// Why `name` cannot be one component of a path; kNone when it can.
NameFault CheckFileName(std::string_view name);
bool IsSafeFileName(std::string_view name);

// A relative path of one or more components separated by "/" or "\": every component must
// pass the name check (so "a//b", "./a", "a/../b", "C:x" and a trailing separator are
// refused), and the path must not start with a separator.
NameFault CheckRelativePath(std::string_view path);
bool IsSafeRelativePath(std::string_view path);

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates, at most U+10FFFF).
bool IsValidUtf8(std::string_view text);

// A short English reason for a fault ("a device name", "ends with a dot or a blank").
const char* DescribeNameFault(NameFault fault);

}  // namespace filenames
