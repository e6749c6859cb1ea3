#include "base/win_text.h"

#include <windows.h>

namespace {
std::wstring ToWide(UINT codepage, std::string_view s) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(codepage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(codepage, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}
std::string FromWide(UINT codepage, std::wstring_view w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(codepage, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(codepage, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}
}  // namespace

std::wstring Widen(std::string_view utf8) { return ToWide(CP_UTF8, utf8); }
std::string Narrow(std::wstring_view utf16) { return FromWide(CP_UTF8, utf16); }
std::string ToAnsi(std::string_view utf8) { return FromWide(CP_ACP, ToWide(CP_UTF8, utf8)); }
std::string FromAnsi(std::string_view ansi) { return FromWide(CP_UTF8, ToWide(CP_ACP, ansi)); }
