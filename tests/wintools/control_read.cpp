#include "control_read.h"

#include <commctrl.h>

#include <cstdint>
#include <cstring>

#include "base/handles.h"
#include "json_out.h"
#include "remote_memory.h"
#include "tree_view.h"
#include "window_find.h"

namespace {

// Lists longer than this are cut (a log list may grow without end).
constexpr int kMaxItems = 2000;
constexpr int kItemChars = 1024;

// LB_GETTEXT / CB_GETLBTEXT: the system copies these strings between processes, but only
// when the list keeps strings (not for owner-drawn lists without LBS_HASSTRINGS).
std::vector<std::wstring> StringItems(HWND h, UINT countMsg, UINT lenMsg, UINT textMsg) {
  std::vector<std::wstring> items;
  const LRESULT count = Ask(h, countMsg);
  for (LRESULT i = 0; i < count && i < kMaxItems; ++i) {
    const LRESULT len = Ask(h, lenMsg, static_cast<WPARAM>(i));
    std::wstring text(len > 0 ? static_cast<size_t>(len) + 1 : 1, L'\0');
    const LRESULT got =
        len > 0 ? Ask(h, textMsg, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data())) : 0;
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    items.push_back(text);
  }
  return items;
}

// LVM_GETITEMTEXTW / TCM_GETITEMW with the structure and the text buffer in the list's
// own process.
std::optional<std::vector<std::wstring>> ListViewItems(HWND lv) {
  const LRESULT count = Ask(lv, LVM_GETITEMCOUNT);
  std::vector<std::wstring> items;
  if (count <= 0) return items;
  RemoteBuffer remote(lv, sizeof(LVITEMW) + kItemChars * sizeof(wchar_t));
  if (!remote.Ok()) return std::nullopt;
  for (LRESULT i = 0; i < count && i < kMaxItems; ++i) {
    LVITEMW item{};
    item.iSubItem = 0;
    item.pszText = reinterpret_cast<LPWSTR>(remote.At(sizeof item));
    item.cchTextMax = kItemChars;
    wchar_t text[kItemChars] = {};
    if (!remote.Write(0, &item, sizeof item)) return std::nullopt;
    const LRESULT n = Ask(lv, LVM_GETITEMTEXTW, static_cast<WPARAM>(i), remote.At(0));
    if (n > 0 && !remote.Read(sizeof item, text, static_cast<size_t>(n) * sizeof(wchar_t)))
      return std::nullopt;
    items.emplace_back(text, n > 0 ? static_cast<size_t>(n) : 0);
  }
  return items;
}

std::optional<std::vector<std::wstring>> TabItems(HWND tab) {
  const LRESULT count = Ask(tab, TCM_GETITEMCOUNT);
  std::vector<std::wstring> items;
  if (count <= 0) return items;
  RemoteBuffer remote(tab, sizeof(TCITEMW) + kItemChars * sizeof(wchar_t));
  if (!remote.Ok()) return std::nullopt;
  for (LRESULT i = 0; i < count && i < kMaxItems; ++i) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = reinterpret_cast<LPWSTR>(remote.At(sizeof item));
    item.cchTextMax = kItemChars;
    wchar_t text[kItemChars] = {};
    if (!remote.Write(0, &item, sizeof item) || !remote.Write(sizeof item, text, sizeof text))
      return std::nullopt;
    Ask(tab, TCM_GETITEMW, static_cast<WPARAM>(i), remote.At(0));
    if (!remote.Read(sizeof item, text, sizeof text)) return std::nullopt;
    text[kItemChars - 1] = L'\0';
    items.emplace_back(text);
  }
  return items;
}

bool OwnerDrawnWithoutStrings(HWND h, LONG ownerDrawBits, LONG hasStrings) {
  const LONG style = GetWindowLongW(h, GWL_STYLE);
  return (style & ownerDrawBits) && !(style & hasStrings);
}

void WriteItems(JsonOut& out, const std::optional<std::vector<std::wstring>>& items) {
  out.Key("items");
  if (!items) {
    out.Null();
    return;
  }
  out.BeginArray();
  for (const auto& t : *items) out.String(t);
  out.EndArray();
}

const char* KindName(ButtonKind k) {
  switch (k) {
    case ButtonKind::Push: return "push";
    case ButtonKind::DefaultPush: return "default_push";
    case ButtonKind::CheckBox: return "checkbox";
    case ButtonKind::Radio: return "radio";
    case ButtonKind::GroupBox: return "groupbox";
    default: return "other";
  }
}

void WriteClassDetails(JsonOut& out, HWND c) {
  const LONG style = GetWindowLongW(c, GWL_STYLE);
  if (ClassIs(c, L"Button")) {
    const ButtonKind kind = ButtonKindOf(c);
    out.Key("kind").Ascii(KindName(kind));
    out.MemberBool("default", kind == ButtonKind::DefaultPush);
    if (kind == ButtonKind::CheckBox || kind == ButtonKind::Radio)
      out.MemberInt("checked", Ask(c, BM_GETCHECK));
  } else if (ClassIs(c, L"Edit")) {
    out.MemberBool("password", style & ES_PASSWORD);
    out.MemberBool("readonly", style & ES_READONLY);
    out.MemberBool("multiline", style & ES_MULTILINE);
  } else if (ClassIs(c, L"ComboBox")) {
    if (OwnerDrawnWithoutStrings(c, CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE, CBS_HASSTRINGS))
      WriteItems(out, std::nullopt);
    else
      WriteItems(out, StringItems(c, CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT));
    out.MemberInt("selected", Ask(c, CB_GETCURSEL));
    out.MemberBool("dropped", Ask(c, CB_GETDROPPEDSTATE) > 0);
  } else if (ClassIs(c, L"ListBox") || ClassIs(c, L"ComboLBox")) {
    if (OwnerDrawnWithoutStrings(c, LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE, LBS_HASSTRINGS))
      WriteItems(out, std::nullopt);
    else
      WriteItems(out, StringItems(c, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT));
    out.Key("selected").BeginArray();
    const LRESULT count = Ask(c, LB_GETCOUNT);
    for (LRESULT i = 0; i < count && i < kMaxItems; ++i)
      if (Ask(c, LB_GETSEL, static_cast<WPARAM>(i)) > 0) out.Int(i);
    out.EndArray();
  } else if (ClassIs(c, WC_LISTVIEWW)) {
    const auto texts = ListViewItems(c);
    const bool checks = ListViewHasCheckBoxes(c);
    out.MemberBool("checkboxes", checks);
    out.Key("items").BeginArray();
    const LRESULT count = Ask(c, LVM_GETITEMCOUNT);
    for (LRESULT i = 0; i < count && i < kMaxItems; ++i) {
      const auto state = static_cast<UINT>(
          Ask(c, LVM_GETITEMSTATE, static_cast<WPARAM>(i), LVIS_SELECTED | LVIS_STATEIMAGEMASK));
      out.BeginObject();
      out.Key("text");
      if (texts && static_cast<size_t>(i) < texts->size()) out.String((*texts)[static_cast<size_t>(i)]);
      else out.Null();
      out.Key("checked");
      if (checks) out.Bool(((state & LVIS_STATEIMAGEMASK) >> 12) == 2);
      else out.Null();
      out.MemberBool("selected", state & LVIS_SELECTED);
      out.EndObject();
    }
    out.EndArray();
  } else if (ClassIs(c, PROGRESS_CLASSW)) {
    out.MemberInt("pos", Ask(c, PBM_GETPOS));
    out.MemberInt("min", Ask(c, PBM_GETRANGE, TRUE));
    out.MemberInt("max", Ask(c, PBM_GETRANGE, FALSE));
  } else if (ClassIs(c, WC_TABCONTROLW)) {
    WriteItems(out, TabItems(c));
    out.MemberInt("selected", Ask(c, TCM_GETCURSEL));
  } else if (ClassIs(c, WC_TREEVIEWW)) {
    const auto items = VisibleTreeItems(c);
    out.Key("items");
    if (!items) {
      out.Null();
      return;
    }
    out.BeginArray();
    for (const TreeItem& item : *items) {
      out.BeginObject().Member("text", item.text).MemberInt("depth", item.depth);
      out.MemberBool("selected", item.selected).MemberBool("expanded", item.expanded);
      out.EndObject();
    }
    out.EndArray();
  }
}

// GetDpiForWindow asked inside the window's own process, on a thread started there: Wine
// answers other processes with a value that does not follow a per-monitor aware window.
// Needs user32 at the same address there as here (as for every process of one bitness in
// a session), checked by comparing its headers; 0 when it cannot be asked.
UINT DpiInOwnProcess(HWND top) {
  DWORD pid = 0;
  GetWindowThreadProcessId(top, &pid);
  UniqueHandle process(OpenProcess(PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION |
                                       PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_VM_READ,
                                   FALSE, pid));
  if (!process) return 0;
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  char theirs[1024];
  SIZE_T got = 0;
  if (!ReadProcessMemory(process.get(), user32, theirs, sizeof theirs, &got) ||
      got != sizeof theirs || memcmp(theirs, user32, sizeof theirs) != 0)
    return 0;
  // GetDpiForWindow(HWND) has the shape of a thread routine: its answer is the exit code.
  const auto routine = reinterpret_cast<LPTHREAD_START_ROUTINE>(
      reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")));
  UniqueHandle thread(CreateRemoteThread(process.get(), nullptr, 0, routine, top, 0, nullptr));
  DWORD dpi = 0;
  if (!thread || WaitForSingleObject(thread.get(), 2000) != WAIT_OBJECT_0 ||
      !GetExitCodeThread(thread.get(), &dpi))
    return 0;
  return dpi;
}

long long HandleValue(HWND h) { return static_cast<long long>(reinterpret_cast<uintptr_t>(h)); }

void WriteRect(JsonOut& out, const char* x, const char* y, const RECT& r) {
  out.MemberInt(x, r.left).MemberInt(y, r.top);
  out.MemberInt("w", r.right - r.left).MemberInt("h", r.bottom - r.top);
}

}  // namespace

ButtonKind ButtonKindOf(HWND button) {
  switch (GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) {
    case BS_PUSHBUTTON:
    case BS_SPLITBUTTON:
    case BS_COMMANDLINK:
      return ButtonKind::Push;
    case BS_DEFPUSHBUTTON:
    case BS_DEFSPLITBUTTON:
    case BS_DEFCOMMANDLINK:
      return ButtonKind::DefaultPush;
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_3STATE:
    case BS_AUTO3STATE:
      return ButtonKind::CheckBox;
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
      return ButtonKind::Radio;
    case BS_GROUPBOX:
      return ButtonKind::GroupBox;
    default:
      return ButtonKind::Other;
  }
}

std::optional<std::vector<std::wstring>> ItemTexts(HWND c) {
  if (ClassIs(c, L"ComboBox"))
    return StringItems(c, CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT);
  if (ClassIs(c, L"ListBox") || ClassIs(c, L"ComboLBox"))
    return StringItems(c, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT);
  if (ClassIs(c, WC_LISTVIEWW)) return ListViewItems(c);
  if (ClassIs(c, WC_TABCONTROLW)) return TabItems(c);
  return std::vector<std::wstring>{};
}

bool ListViewHasCheckBoxes(HWND lv) {
  const LRESULT ex = Ask(lv, LVM_GETEXTENDEDLISTVIEWSTYLE);
  return ex != -1 && (ex & LVS_EX_CHECKBOXES);
}

bool ListViewChecked(HWND lv, int index) {
  const LRESULT state = Ask(lv, LVM_GETITEMSTATE, static_cast<WPARAM>(index), LVIS_STATEIMAGEMASK);
  return ((static_cast<UINT>(state) & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

bool ListViewSetState(HWND lv, int index, UINT state, UINT mask) {
  RemoteBuffer remote(lv, sizeof(LVITEMW));
  if (!remote.Ok()) return false;
  LVITEMW item{};
  item.stateMask = mask;
  item.state = state;
  if (!remote.Write(0, &item, sizeof item)) return false;
  return Ask(lv, LVM_SETITEMSTATE, static_cast<WPARAM>(index), remote.At(0)) > 0;
}

void WriteWindow(JsonOut& out, HWND top) {
  DWORD pid = 0;
  const DWORD tid = GetWindowThreadProcessId(top, &pid);
  GUITHREADINFO gui{};
  gui.cbSize = sizeof gui;
  const bool haveGui = GetGUIThreadInfo(tid, &gui);
  RECT wr{}, cr{};
  GetWindowRect(top, &wr);
  GetClientRect(top, &cr);
  POINT origin{0, 0};
  ClientToScreen(top, &origin);

  out.BeginObject();
  out.MemberInt("hwnd", HandleValue(top)).MemberInt("pid", pid).Member("exe", ExeOf(top));
  out.Member("class", ClassOf(top)).Member("caption", WindowText(top));
  out.MemberBool("visible", IsWindowVisible(top)).MemberBool("enabled", IsWindowEnabled(top));
  out.MemberBool("foreground", GetForegroundWindow() == top);
  out.MemberInt("dpi", DpiInOwnProcess(top)).MemberInt("system_dpi", GetDpiForSystem());
  out.MemberInt("dpi_awareness", GetAwarenessFromDpiAwarenessContext(GetWindowDpiAwarenessContext(top)));
  out.MemberInt("style", static_cast<DWORD>(GetWindowLongW(top, GWL_STYLE)));
  out.MemberInt("exstyle", static_cast<DWORD>(GetWindowLongW(top, GWL_EXSTYLE)));
  out.MemberInt("owner", HandleValue(GetWindow(top, GW_OWNER)));
  out.Key("rect").BeginObject();
  WriteRect(out, "x", "y", wr);
  out.EndObject();
  out.Key("client").BeginObject();
  out.MemberInt("x", origin.x).MemberInt("y", origin.y);
  out.MemberInt("w", cr.right).MemberInt("h", cr.bottom);
  out.EndObject();
  out.MemberInt("focus", haveGui ? HandleValue(gui.hwndFocus) : 0);
  out.Key("controls").BeginArray();
  for (HWND c : Descendants(top)) {
    RECT r{};
    GetWindowRect(c, &r);
    MapWindowPoints(HWND_DESKTOP, top, reinterpret_cast<POINT*>(&r), 2);
    out.BeginObject();
    out.MemberInt("hwnd", HandleValue(c)).MemberInt("parent", HandleValue(GetParent(c)));
    out.MemberInt("id", GetDlgCtrlID(c)).Member("class", ClassOf(c)).Member("text", WindowText(c));
    WriteRect(out, "x", "y", r);
    out.MemberBool("visible", IsWindowVisible(c)).MemberBool("enabled", IsWindowEnabled(c));
    out.MemberBool("focused", haveGui && gui.hwndFocus == c);
    out.MemberInt("style", static_cast<DWORD>(GetWindowLongW(c, GWL_STYLE)));
    out.MemberInt("exstyle", static_cast<DWORD>(GetWindowLongW(c, GWL_EXSTYLE)));
    WriteClassDetails(out, c);
    out.EndObject();
  }
  out.EndArray();
  out.EndObject();
}
