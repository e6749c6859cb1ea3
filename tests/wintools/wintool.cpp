// wintool.exe: finds top-level windows and drives them, for tests under Wine.
//
//   wintool list [--all]                       every top-level window (visible ones unless
//                                              --all) with pid, class, caption, child texts
//   wintool texts   SELECTORS [--timeout MS]   waits for a window; prints its caption, then
//                                              "id<TAB>class<TAB>text" for each child
//   wintool msgbox  SELECTORS [--timeout MS]   waits for a message box (class #32770) and
//                                              prints its message text
//   wintool press   SELECTORS --button TEXT|#ID [--timeout MS]
//                                              presses a button by its text ("&" ignored)
//                                              or its control id
//   wintool settext SELECTORS --id ID --text TEXT
//   wintool close   SELECTORS [--timeout MS]   posts WM_CLOSE
//   wintool gone    SELECTORS [--timeout MS]   waits until no window matches
//
// SELECTORS: --class NAME, --caption TEXT (exact), --caption-has TEXT, --text-has TEXT (a
// child's text contains it), --pid N, --all (hidden windows too).
// Exit status: 0 done, 1 nothing found before the time-out, 2 bad usage.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

std::wstring WindowText(HWND h) {
  wchar_t buf[8192];
  // WM_GETTEXT works across processes for the controls of other programs.
  LRESULT n = SendMessageTimeoutW(h, WM_GETTEXT, 8192, reinterpret_cast<LPARAM>(buf),
                                  SMTO_ABORTIFHUNG, 2000, nullptr)
                  ? static_cast<LRESULT>(wcsnlen(buf, 8192))
                  : 0;
  return std::wstring(buf, static_cast<size_t>(n));
}

std::wstring ClassOf(HWND h) {
  wchar_t buf[256];
  int n = GetClassNameW(h, buf, 256);
  return std::wstring(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

std::string OneLine(const std::wstring& w) {
  std::string s = Utf8(w), out;
  for (char c : s) {
    if (c == '\r') continue;
    if (c == '\n') out += "\\n";
    else if (c == '\t') out += ' ';
    else out += c;
  }
  return out;
}

std::wstring StripAmp(const std::wstring& s) {
  std::wstring r;
  for (wchar_t c : s)
    if (c != L'&') r += c;
  return r;
}

BOOL CALLBACK Collect(HWND h, LPARAM lp) {
  reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
  return TRUE;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> out;
  EnumChildWindows(parent, Collect, reinterpret_cast<LPARAM>(&out));
  return out;
}

struct Selector {
  std::wstring cls, caption, captionHas, textHas;
  DWORD pid = 0;
  bool all = false;
  bool hasCaption = false;

  bool Matches(HWND h) const {
    if (!all && !IsWindowVisible(h)) return false;
    if (pid) {
      DWORD p = 0;
      GetWindowThreadProcessId(h, &p);
      if (p != pid) return false;
    }
    if (!cls.empty() && ClassOf(h) != cls) return false;
    const std::wstring text = WindowText(h);
    if (hasCaption && text != caption) return false;
    if (!captionHas.empty() && text.find(captionHas) == std::wstring::npos) return false;
    if (!textHas.empty()) {
      bool found = false;
      for (HWND c : Children(h))
        if (WindowText(c).find(textHas) != std::wstring::npos) found = true;
      if (!found) return false;
    }
    return true;
  }
};

std::vector<HWND> TopLevel() {
  std::vector<HWND> out;
  EnumWindows(Collect, reinterpret_cast<LPARAM>(&out));
  return out;
}

HWND WaitFor(const Selector& sel, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    for (HWND h : TopLevel())
      if (sel.Matches(h)) return h;
    if (GetTickCount() - start >= timeoutMs) return nullptr;
    Sleep(100);
  }
}

void PrintWindow(HWND h) {
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  std::printf("%p\t%lu\t%s\t%s\t%s\n", static_cast<void*>(h), pid, OneLine(ClassOf(h)).c_str(),
              OneLine(WindowText(h)).c_str(), IsWindowVisible(h) ? "visible" : "hidden");
  for (HWND c : Children(h))
    std::printf("  %d\t%s\t%s\n", GetDlgCtrlID(c), OneLine(ClassOf(c)).c_str(),
                OneLine(WindowText(c)).c_str());
}

int Usage() {
  std::fprintf(stderr, "usage: wintool list|texts|msgbox|press|settext|close|gone [options]\n");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Usage();
  const std::wstring cmd = argv[1];
  Selector sel;
  DWORD timeout = 10000;
  std::wstring button, text;
  int id = -1;
  bool haveText = false;
  for (int i = 2; i < argc; ++i) {
    const std::wstring a = argv[i];
    auto next = [&]() -> std::wstring { return i + 1 < argc ? argv[++i] : L""; };
    if (a == L"--all") sel.all = true;
    else if (a == L"--class") sel.cls = next();
    else if (a == L"--caption") { sel.caption = next(); sel.hasCaption = true; }
    else if (a == L"--caption-has") sel.captionHas = next();
    else if (a == L"--text-has") sel.textHas = next();
    else if (a == L"--pid") sel.pid = static_cast<DWORD>(_wtoi(next().c_str()));
    else if (a == L"--timeout") timeout = static_cast<DWORD>(_wtoi(next().c_str()));
    else if (a == L"--button") button = next();
    else if (a == L"--id") id = _wtoi(next().c_str());
    else if (a == L"--text") { text = next(); haveText = true; }
    else return Usage();
  }

  if (cmd == L"list") {
    for (HWND h : TopLevel())
      if (sel.Matches(h)) PrintWindow(h);
    return 0;
  }
  if (cmd == L"gone") {
    const DWORD start = GetTickCount();
    for (;;) {
      bool any = false;
      for (HWND h : TopLevel()) any = any || sel.Matches(h);
      if (!any) return 0;
      if (GetTickCount() - start >= timeout) return 1;
      Sleep(100);
    }
  }
  if (cmd == L"msgbox" && sel.cls.empty()) sel.cls = L"#32770";
  HWND h = WaitFor(sel, timeout);
  if (!h) {
    std::fprintf(stderr, "wintool: no matching window\n");
    return 1;
  }
  if (cmd == L"texts") {
    std::printf("%s\n", OneLine(WindowText(h)).c_str());
    for (HWND c : Children(h))
      std::printf("%d\t%s\t%s\n", GetDlgCtrlID(c), OneLine(ClassOf(c)).c_str(),
                  OneLine(WindowText(c)).c_str());
    return 0;
  }
  if (cmd == L"msgbox") {
    // The message is the box's static text that is not its icon.
    std::wstring message;
    for (HWND c : Children(h)) {
      if (_wcsicmp(ClassOf(c).c_str(), L"Static") != 0) continue;
      const std::wstring t = WindowText(c);
      if (!t.empty()) message += (message.empty() ? L"" : L"\n") + t;
    }
    const std::string out = Utf8(message);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::printf("\n");
    return 0;
  }
  if (cmd == L"press") {
    for (HWND c : Children(h)) {
      const bool byId = !button.empty() && button[0] == L'#' &&
                        GetDlgCtrlID(c) == _wtoi(button.c_str() + 1);
      const bool byText = !button.empty() && button[0] != L'#' &&
                          StripAmp(WindowText(c)) == StripAmp(button);
      if (byId || byText) {
        PostMessageW(GetParent(c), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(c), BN_CLICKED),
                     reinterpret_cast<LPARAM>(c));
        return 0;
      }
    }
    std::fprintf(stderr, "wintool: no such button\n");
    return 1;
  }
  if (cmd == L"settext") {
    if (!haveText) return Usage();
    for (HWND c : Children(h)) {
      if (GetDlgCtrlID(c) == id) {
        SendMessageTimeoutW(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                            SMTO_ABORTIFHUNG, 2000, nullptr);
        return 0;
      }
    }
    std::fprintf(stderr, "wintool: no control with that id\n");
    return 1;
  }
  if (cmd == L"close") {
    PostMessageW(h, WM_CLOSE, 0, 0);
    return 0;
  }
  return Usage();
}
