#pragma once
// UTF-16 to UTF-8 and the small text rules the tool shares.
#include <windows.h>

#include <string>

inline std::string Utf8(const std::wstring& w) {
  if (w.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                      nullptr);
  return s;
}

// A control's text as a user reads it: "&" marks a mnemonic ("&&" is a literal "&").
inline std::wstring StripAmp(const std::wstring& s) {
  std::wstring r;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == L'&' && i + 1 < s.size()) ++i;
    else if (s[i] == L'&') continue;
    r += s[i];
  }
  return r;
}
