// wintool.exe: finds top-level windows of other programs, reads them and drives them as a
// user would, for tests under Wine. Never by screen coordinates.
//
// Reading
//   wintool list [--all]                       every top-level window (visible ones unless
//                                              --all) with pid, class, caption, child texts
//   wintool texts   SELECTORS                  waits for a window; prints its caption, then
//                                              "id<TAB>class<TAB>text" for each child
//   wintool msgbox  SELECTORS                  waits for a message box (class #32770) and
//                                              prints its message text
//   wintool dump    SELECTORS                  waits for a window, then prints one JSON
//                                              document {"windows": [...]} of every matching
//                                              top-level window (see below)
// Waiting
//   wintool wait    SELECTORS [CONTROL] [CONDITION]
//                                              waits until a window matches and, with
//                                              CONTROL, the control exists; CONDITION (on the
//                                              control, else on the window): --text-is T,
//                                              --text-contains T, --text-re REGEX (ECMAScript,
//                                              whole text), --enabled, --disabled, --visible,
//                                              --hidden, --checked, --unchecked, --focused
//   wintool gone    SELECTORS                  waits until no window matches
// Acting (each waits for the window and the control first)
//   wintool settext SELECTORS CONTROL --text TEXT
//                                              an edit's whole text replaced as if typed over
//                                              (EM_REPLACESEL: EN_UPDATE and EN_CHANGE)
//   wintool select  SELECTORS CONTROL --item TEXT | --index N
//                                              chooses an item: combo box (then CBN_SELCHANGE
//                                              to its parent, as a user's choice), list box
//                                              (LBN_SELCHANGE when it has LBS_NOTIFY), list
//                                              view (item selected and focused), tab control,
//                                              tree view (--item "A|B|C": the item at that
//                                              path from a top-level item, every level opened
//                                              with the Right key as a user does)
//   wintool tick    SELECTORS CONTROL [--item TEXT | --index N] [--off]
//                                              ticks (or unticks) a check box or radio button
//                                              by clicking it, or a list view item's check box
//   wintool click   SELECTORS CONTROL          BM_CLICK: focus and BN_CLICKED as a mouse click
//   wintool press   SELECTORS --button TEXT|#ID
//                                              posts BN_CLICKED for a button by its text or
//                                              id (for message boxes; no state checks)
//   wintool key     SELECTORS [CONTROL] --key KEY [--via input|post]
//                                              a key for the focused control (or CONTROL,
//                                              given the focus first): Enter, Escape, Tab,
//                                              Shift+Tab, Alt+N, Space, Down, F4, a letter...
//                                              input (default): the window is made foreground
//                                              and the key sent with SendInput, so the program
//                                              meets it in its own message loop exactly as a
//                                              typed key (key state, WM_CHAR, IsDialogMessage)
//                                              post: WM_KEYDOWN/WM_KEYUP (WM_SYSKEY* with Alt)
//                                              posted to the focused control; the key state
//                                              is not set (Shift+Tab then acts as Tab)
//   wintool close   SELECTORS                  posts WM_CLOSE
// Pictures and figures
//   wintool shot    SELECTORS --out FILE.bmp [--client]
//                                              raises the window, lets it repaint and saves
//                                              what the screen shows of it (the whole window,
//                                              or its client area) as a 24-bit BMP: the
//                                              pixels the X server shows, themes and all.
//                                              Without a window manager only a window that
//                                              Wine keeps to itself has its frame drawn (X11
//                                              Driver "Managed" = "N", as the test prefix has)
//   wintool ping    SELECTORS [--for MS] [--every MS] [--gettext]
//                                              sends WM_NULL (or WM_GETTEXT) every MS (5)
//                                              for --for MS (0: until the window is gone) and
//                                              prints JSON figures of the round trips:
//                                              samples, max_ms, mean_ms, p50_ms, p99_ms,
//                                              max_at_s, over_100ms, timeouts, window_gone
//
// SELECTORS (top-level windows): --class NAME, --caption TEXT (exact), --caption-has TEXT,
// --text-has TEXT (a child's text contains it), --pid N, --exe NAME (the program's file
// name, any case), --window HWND, --all (hidden windows too). --timeout MS (10000) bounds
// every wait.
// CONTROL: --id N, --ctl TEXT (exact, "&" ignored), --ctl-class NAME, --ctl-hwnd HWND; the
// first control in creation order that matches all given. click looks among buttons only.
//
// dump: per window hwnd, pid, exe, class, caption, visible, enabled, foreground, dpi
// (GetDpiForWindow asked inside the program's own process: asked from outside, Wine gives
// a value that does not follow a per-monitor aware window; 0 when it cannot be asked),
// system_dpi (the tool's), dpi_awareness (0 unaware, 1 system, 2 per monitor), style,
// exstyle, owner, rect {x,y,w,h} (screen), client {x,y,w,h} (screen origin, size), focus
// (hwnd) and controls: each with hwnd, parent, id, class, text, x, y (in the top-level
// window's client area), w, h, visible, enabled, focused, style, exstyle; buttons: kind
// (push, default_push, checkbox, radio, groupbox, other), default, checked (0, 1, 2 for
// check boxes and radio buttons); edits: password, readonly, multiline; combo boxes:
// items, selected (index, -1 none), dropped; list boxes: items, selected (list of
// indices); list views: checkboxes, items [{text, checked, selected}]; progress bars: pos,
// min, max; tab controls: items, selected; tree views: items of every open level [{text,
// depth, selected, expanded}]. Positions and sizes are physical pixels (the tool is
// per-monitor DPI aware). List view, tab and tree item texts need the tool of the
// program's bitness (wintool.exe for 32-bit programs, wintool64.exe for 64-bit ones); with
// the other they are null.
//
// Exit status: 0 done; 1 no window, control or condition before the time-out; 2 bad usage;
// 3 the control cannot take the action (hidden, disabled, read-only, no such item, wrong
// kind); 4 the program undid the change (e.g. refused to untick an item).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <regex>
#include <string>
#include <vector>

#include "control_actions.h"
#include "control_read.h"
#include "json_out.h"
#include "key_input.h"
#include "responsiveness.h"
#include "screenshot.h"
#include "text_util.h"
#include "window_find.h"

namespace {

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

void PrintUtf8(const std::string& s) {
  std::fwrite(s.data(), 1, s.size(), stdout);
  std::fputc('\n', stdout);
}

void PrintWindowLine(HWND h) {
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  std::printf("%p\t%lu\t%s\t%s\t%s\n", static_cast<void*>(h), pid, OneLine(ClassOf(h)).c_str(),
              OneLine(WindowText(h)).c_str(), IsWindowVisible(h) ? "visible" : "hidden");
  for (HWND c : Descendants(h))
    std::printf("  %d\t%s\t%s\n", GetDlgCtrlID(c), OneLine(ClassOf(c)).c_str(),
                OneLine(WindowText(c)).c_str());
}

int Usage() {
  std::fprintf(stderr,
               "usage: wintool list|texts|msgbox|dump|wait|gone|settext|select|tick|click|press|"
               "key|close|shot|ping [options]\n");
  return 2;
}

int Fail(int code, const std::wstring& why) {
  std::fprintf(stderr, "wintool: %s\n", Utf8(why).c_str());
  return code;
}

int Report(Outcome o) {
  switch (o) {
    case Outcome::Done: return 0;
    case Outcome::NotUsable:
      return Fail(3, L"the control cannot take this action (hidden, disabled, read-only or "
                     L"of another kind)");
    case Outcome::NoItem: return Fail(3, L"no such item");
    case Outcome::Refused: return Fail(4, L"the program did not keep the change");
  }
  return 1;
}

HWND HandleArg(const std::wstring& s) {
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(wcstoull(s.c_str(), nullptr, 0)));
}

struct Condition {
  enum Kind {
    None, TextIs, TextHas, TextRe, Enabled, Disabled, Visible, Hidden, Checked, Unchecked, Focused
  };
  Kind kind = None;
  std::wstring text;

  bool Holds(HWND h) const {
    switch (kind) {
      case None: return true;
      case TextIs: return WindowText(h) == text;
      case TextHas: return WindowText(h).find(text) != std::wstring::npos;
      case TextRe: return std::regex_match(WindowText(h), std::wregex(text));
      case Enabled: return IsWindowEnabled(h);
      case Disabled: return !IsWindowEnabled(h);
      case Visible: return IsWindowVisible(h);
      case Hidden: return !IsWindowVisible(h);
      case Checked: return Ask(h, BM_GETCHECK) == BST_CHECKED;
      case Unchecked: return Ask(h, BM_GETCHECK) == BST_UNCHECKED;
      case Focused: {
        GUITHREADINFO gui{};
        gui.cbSize = sizeof gui;
        if (!GetGUIThreadInfo(GetWindowThreadProcessId(h, nullptr), &gui)) return false;
        return gui.hwndFocus == h || (!GetParent(h) && GetForegroundWindow() == h);
      }
    }
    return false;
  }
};

struct Args {
  std::wstring cmd;
  Selector sel;
  ControlSpec ctl;
  ItemChoice item;
  Condition cond;
  DWORD timeout = 10000;
  std::wstring button, text, key, out, via = L"input";
  bool haveText = false, off = false, client = false, getText = false;
  DWORD forMs = 3000, everyMs = 5;
};

bool Parse(int argc, wchar_t** argv, Args& a) {
  a.cmd = argv[1];
  for (int i = 2; i < argc; ++i) {
    const std::wstring o = argv[i];
    bool missing = false;
    auto next = [&]() -> std::wstring {
      if (i + 1 < argc) return argv[++i];
      missing = true;
      return L"";
    };
    auto cond = [&](Condition::Kind k, bool withText) {
      a.cond.kind = k;
      if (withText) a.cond.text = next();
    };
    if (o == L"--all") a.sel.all = true;
    else if (o == L"--class") a.sel.cls = next();
    else if (o == L"--caption") { a.sel.caption = next(); a.sel.hasCaption = true; }
    else if (o == L"--caption-has") a.sel.captionHas = next();
    else if (o == L"--text-has") a.sel.textHas = next();
    else if (o == L"--pid") a.sel.pid = static_cast<DWORD>(_wtoi(next().c_str()));
    else if (o == L"--exe") a.sel.exe = next();
    else if (o == L"--window") a.sel.hwnd = HandleArg(next());
    else if (o == L"--timeout") a.timeout = static_cast<DWORD>(_wtoi(next().c_str()));
    else if (o == L"--id") { a.ctl.id = _wtoi(next().c_str()); a.ctl.hasId = true; }
    else if (o == L"--ctl") { a.ctl.text = next(); a.ctl.hasText = true; }
    else if (o == L"--ctl-class") a.ctl.cls = next();
    else if (o == L"--ctl-hwnd") a.ctl.hwnd = HandleArg(next());
    else if (o == L"--item") { a.item.text = next(); a.item.hasText = true; }
    else if (o == L"--index") a.item.index = _wtoi(next().c_str());
    else if (o == L"--button") a.button = next();
    else if (o == L"--text") { a.text = next(); a.haveText = true; }
    else if (o == L"--off") a.off = true;
    else if (o == L"--key") a.key = next();
    else if (o == L"--via") a.via = next();
    else if (o == L"--out") a.out = next();
    else if (o == L"--client") a.client = true;
    else if (o == L"--for") a.forMs = static_cast<DWORD>(_wtoi(next().c_str()));
    else if (o == L"--every") a.everyMs = static_cast<DWORD>(_wtoi(next().c_str()));
    else if (o == L"--gettext") a.getText = true;
    else if (o == L"--text-is") cond(Condition::TextIs, true);
    else if (o == L"--text-contains") cond(Condition::TextHas, true);
    else if (o == L"--text-re") cond(Condition::TextRe, true);
    else if (o == L"--enabled") cond(Condition::Enabled, false);
    else if (o == L"--disabled") cond(Condition::Disabled, false);
    else if (o == L"--visible") cond(Condition::Visible, false);
    else if (o == L"--hidden") cond(Condition::Hidden, false);
    else if (o == L"--checked") cond(Condition::Checked, false);
    else if (o == L"--unchecked") cond(Condition::Unchecked, false);
    else if (o == L"--focused") cond(Condition::Focused, false);
    else return false;
    if (missing) return false;
  }
  if (a.cond.kind == Condition::TextRe) {
    try {
      std::wregex check(a.cond.text);
    } catch (const std::regex_error&) {
      return false;
    }
  }
  return true;
}

// The first matching window (and control, when one is asked for) within the time-out.
bool WaitForTarget(const Args& a, HWND& top, HWND& control) {
  return PollUntil(a.timeout, [&] {
    for (HWND h : MatchingWindows(a.sel)) {
      if (!a.ctl.Given()) {
        top = h;
        control = nullptr;
        return true;
      }
      if (HWND c = FindControl(h, a.ctl)) {
        top = h;
        control = c;
        return true;
      }
    }
    return false;
  });
}

int CmdDump(const Args& a) {
  std::vector<HWND> found;
  PollUntil(a.timeout, [&] {
    found = MatchingWindows(a.sel);
    return !found.empty();
  });
  JsonOut out;
  out.BeginObject().Key("windows").BeginArray();
  for (HWND h : found) WriteWindow(out, h);
  out.EndArray().EndObject();
  PrintUtf8(out.Text());
  return found.empty() ? 1 : 0;
}

int CmdWait(const Args& a) {
  const bool ok = PollUntil(a.timeout, [&] {
    for (HWND h : MatchingWindows(a.sel)) {
      if (!a.ctl.Given()) {
        if (a.cond.Holds(h)) return true;
        continue;
      }
      for (HWND c : Descendants(h))
        if (a.ctl.Matches(c) && a.cond.Holds(c)) return true;
    }
    return false;
  });
  return ok ? 0 : Fail(1, L"the condition was not met before the time-out");
}

int CmdMsgbox(HWND h) {
  // The message is the box's static text that is not its icon.
  std::wstring message;
  for (HWND c : Descendants(h)) {
    if (!ClassIs(c, L"Static")) continue;
    const std::wstring t = WindowText(c);
    if (!t.empty()) message += (message.empty() ? L"" : L"\n") + t;
  }
  PrintUtf8(Utf8(message));
  return 0;
}

int CmdPress(HWND h, const std::wstring& button) {
  for (HWND c : Descendants(h)) {
    const bool byId = !button.empty() && button[0] == L'#' && GetDlgCtrlID(c) == _wtoi(button.c_str() + 1);
    const bool byText = !button.empty() && button[0] != L'#' && StripAmp(WindowText(c)) == StripAmp(button);
    if (byId || byText) {
      PostMessageW(GetParent(c), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(c), BN_CLICKED),
                   reinterpret_cast<LPARAM>(c));
      return 0;
    }
  }
  return Fail(1, L"no such button");
}

int CmdKey(const Args& a, HWND top, HWND control) {
  KeyCombo key;
  if (!ParseKey(a.key, key)) return Fail(2, L"unknown key: " + a.key);
  KeyRoute route;
  if (a.via == L"input") route = KeyRoute::Input;
  else if (a.via == L"post") route = KeyRoute::Post;
  else return Usage();
  std::wstring why;
  return SendKey(top, control, key, route, why) ? 0 : Fail(3, why);
}

int CmdShot(const Args& a, HWND top) {
  if (a.out.empty()) return Usage();
  std::wstring why;
  return SaveWindowPicture(top, a.client, a.out, why) ? 0 : Fail(3, why);
}

int CmdPing(const Args& a, HWND top) {
  const ResponseFigures f = MeasureResponse(top, a.forMs, a.everyMs, a.getText);
  JsonOut out;
  out.BeginObject();
  out.MemberInt("samples", f.samples);
  out.Key("max_ms").Number(f.maxMs).Key("mean_ms").Number(f.meanMs);
  out.Key("p50_ms").Number(f.p50Ms).Key("p99_ms").Number(f.p99Ms);
  out.Key("max_at_s").Number(f.maxAtS);
  out.MemberInt("over_100ms", f.over100Ms).MemberInt("timeouts", f.timeouts);
  out.MemberBool("window_gone", f.windowGone);
  out.EndObject();
  PrintUtf8(out.Text());
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // Physical pixels everywhere, whatever the DPI of the program being read.
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  if (argc < 2) return Usage();
  Args a;
  if (!Parse(argc, argv, a)) return Usage();
  const std::wstring& cmd = a.cmd;

  if (cmd == L"list") {
    for (HWND h : MatchingWindows(a.sel)) PrintWindowLine(h);
    return 0;
  }
  if (cmd == L"dump") return CmdDump(a);
  if (cmd == L"wait") return CmdWait(a);
  if (cmd == L"gone") {
    return PollUntil(a.timeout, [&] { return MatchingWindows(a.sel).empty(); })
               ? 0
               : Fail(1, L"the window is still there");
  }

  if (cmd == L"msgbox" && a.sel.cls.empty()) a.sel.cls = L"#32770";
  const bool needsControl = cmd == L"settext" || cmd == L"select" || cmd == L"tick" || cmd == L"click";
  if (needsControl && !a.ctl.Given()) return Usage();
  if (cmd == L"click" && a.ctl.cls.empty()) a.ctl.cls = L"Button";
  HWND top = nullptr, control = nullptr;
  if (!WaitForTarget(a, top, control))
    return Fail(1, a.ctl.Given() ? L"no matching window with that control" : L"no matching window");

  if (cmd == L"texts") {
    std::printf("%s\n", OneLine(WindowText(top)).c_str());
    for (HWND c : Descendants(top))
      std::printf("%d\t%s\t%s\n", GetDlgCtrlID(c), OneLine(ClassOf(c)).c_str(),
                  OneLine(WindowText(c)).c_str());
    return 0;
  }
  if (cmd == L"msgbox") return CmdMsgbox(top);
  if (cmd == L"press") return CmdPress(top, a.button);
  if (cmd == L"close") {
    PostMessageW(top, WM_CLOSE, 0, 0);
    return 0;
  }
  if (cmd == L"settext") return a.haveText ? Report(SetEditText(control, a.text)) : Usage();
  if (cmd == L"select") return a.item.Given() ? Report(SelectItem(control, a.item)) : Usage();
  if (cmd == L"tick") return Report(Tick(control, a.item, !a.off));
  if (cmd == L"click") return Report(Click(control));
  if (cmd == L"key") return CmdKey(a, top, control);
  if (cmd == L"shot") return CmdShot(a, top);
  if (cmd == L"ping") return CmdPing(a, top);
  return Usage();
}
