#pragma once
// UTF-8 <-> UTF-16 at the edge of Win32 calls, and the ANSI code page for the log file.
#include <string>
#include <string_view>

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);
// UTF-8 text converted to the system's ANSI code page (unmappable characters become "?").
std::string ToAnsi(std::string_view utf8);
// Text in the ANSI code page converted to UTF-8.
std::string FromAnsi(std::string_view ansi);
