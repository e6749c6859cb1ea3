#include "base/win_error.h"

#include <windows.h>

#include "base/errors.h"
#include "base/win_text.h"

std::string SystemErrorText(uint32_t code) {
  wchar_t* buffer = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                               FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring w = n ? std::wstring(buffer, n) : std::wstring();
  if (buffer) LocalFree(buffer);
  while (!w.empty() && (w.back() == L'\r' || w.back() == L'\n' || w.back() == L' ')) w.pop_back();
  return Narrow(w);
}

void RaiseOSError(uint32_t code) {
  throw EOSError("System Error.  Code: " + std::to_string(code) + ".\r\n" + SystemErrorText(code));
}

void RaiseLastOSError() { RaiseOSError(GetLastError()); }
