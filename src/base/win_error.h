#pragma once
// Texts of Windows error codes, and raising them as EOSError.
#include <cstdint>
#include <string>

// The system's message for a Windows error code, without trailing line breaks.
std::string SystemErrorText(uint32_t code);
// Raises EOSError "System Error.  Code: N.\r\n<text>" for the code (GetLastError() by default).
[[noreturn]] void RaiseLastOSError();
[[noreturn]] void RaiseOSError(uint32_t code);
