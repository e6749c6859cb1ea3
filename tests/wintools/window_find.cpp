#include "window_find.h"

#include <cwchar>

#include "base/handles.h"
#include "text_util.h"

std::wstring WindowText(HWND h) {
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutW(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &len)) return {};
  std::wstring buf(static_cast<size_t>(len) + 1, L'\0');
  DWORD_PTR got = 0;
  // WM_GETTEXT is copied across processes by the system, so this works for any program.
  if (!SendMessageTimeoutW(h, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()),
                           SMTO_ABORTIFHUNG, 2000, &got))
    return {};
  buf.resize(wcsnlen(buf.c_str(), buf.size()));
  return buf;
}

LRESULT Ask(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(h, msg, wp, lp, SMTO_ABORTIFHUNG, 2000, &result)) return -1;
  return static_cast<LRESULT>(result);
}

std::wstring ClassOf(HWND h) {
  wchar_t buf[256];
  const int n = GetClassNameW(h, buf, 256);
  std::wstring name(buf, n > 0 ? static_cast<size_t>(n) : 0);
  const size_t bang = name.find(L'!');
  return bang == std::wstring::npos ? name : name.substr(bang + 1);
}

bool ClassIs(HWND h, const wchar_t* name) { return _wcsicmp(ClassOf(h).c_str(), name) == 0; }

std::wstring ExeOf(HWND h) {
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  if (!process) return {};
  wchar_t path[MAX_PATH * 2];
  DWORD size = MAX_PATH * 2;
  if (!QueryFullProcessImageNameW(process.get(), 0, path, &size)) return {};
  const std::wstring full(path, size);
  const size_t slash = full.find_last_of(L"\\/");
  return slash == std::wstring::npos ? full : full.substr(slash + 1);
}

namespace {
BOOL CALLBACK Collect(HWND h, LPARAM lp) {
  reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
  return TRUE;
}
}  // namespace

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> out;
  EnumWindows(Collect, reinterpret_cast<LPARAM>(&out));
  return out;
}

std::vector<HWND> Descendants(HWND parent) {
  std::vector<HWND> out;
  EnumChildWindows(parent, Collect, reinterpret_cast<LPARAM>(&out));
  return out;
}

bool Selector::Matches(HWND h) const {
  if (hwnd && h != hwnd) return false;
  if (!all && !IsWindowVisible(h)) return false;
  if (pid) {
    DWORD p = 0;
    GetWindowThreadProcessId(h, &p);
    if (p != pid) return false;
  }
  if (!cls.empty() && ClassOf(h) != cls) return false;
  if (!exe.empty() && _wcsicmp(ExeOf(h).c_str(), exe.c_str()) != 0) return false;
  if (hasCaption || !captionHas.empty()) {
    const std::wstring text = WindowText(h);
    if (hasCaption && text != caption) return false;
    if (!captionHas.empty() && text.find(captionHas) == std::wstring::npos) return false;
  }
  if (!textHas.empty()) {
    bool found = false;
    for (HWND c : Descendants(h))
      if (WindowText(c).find(textHas) != std::wstring::npos) {
        found = true;
        break;
      }
    if (!found) return false;
  }
  return true;
}

std::vector<HWND> MatchingWindows(const Selector& sel) {
  std::vector<HWND> out;
  for (HWND h : TopLevelWindows())
    if (sel.Matches(h)) out.push_back(h);
  return out;
}

bool ControlSpec::Matches(HWND c) const {
  if (hwnd && c != hwnd) return false;
  if (hasId && GetDlgCtrlID(c) != id) return false;
  if (!cls.empty() && !ClassIs(c, cls.c_str())) return false;
  if (hasText && StripAmp(WindowText(c)) != StripAmp(text)) return false;
  return true;
}

HWND FindControl(HWND top, const ControlSpec& wanted) {
  for (HWND c : Descendants(top))
    if (wanted.Matches(c)) return c;
  return nullptr;
}
