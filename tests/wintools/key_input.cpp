#include "key_input.h"

#include <cwctype>

#include "control_actions.h"

namespace {

struct NamedKey {
  const wchar_t* name;
  WORD vk;
};
constexpr NamedKey kKeys[] = {
    {L"enter", VK_RETURN}, {L"return", VK_RETURN}, {L"escape", VK_ESCAPE}, {L"esc", VK_ESCAPE},
    {L"tab", VK_TAB},      {L"space", VK_SPACE},   {L"backspace", VK_BACK}, {L"delete", VK_DELETE},
    {L"up", VK_UP},        {L"down", VK_DOWN},     {L"left", VK_LEFT},    {L"right", VK_RIGHT},
    {L"home", VK_HOME},    {L"end", VK_END},       {L"pageup", VK_PRIOR}, {L"pagedown", VK_NEXT},
};

std::wstring Lower(std::wstring s) {
  for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
  return s;
}

bool IsExtended(WORD vk) {
  switch (vk) {
    case VK_UP: case VK_DOWN: case VK_LEFT: case VK_RIGHT: case VK_HOME: case VK_END:
    case VK_PRIOR: case VK_NEXT: case VK_DELETE: case VK_INSERT:
      return true;
    default:
      return false;
  }
}

// The lParam of a keyboard message as the system builds it for one key stroke.
LPARAM KeyLParam(WORD vk, bool up, bool alt) {
  LPARAM lp = 1 | (static_cast<LPARAM>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16);
  if (IsExtended(vk)) lp |= 1 << 24;
  if (alt) lp |= 1 << 29;
  if (up) lp |= (1u << 30) | (1u << 31);
  return lp;
}

void AddInput(std::vector<INPUT>& inputs, WORD vk, bool up) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  in.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (IsExtended(vk) ? KEYEVENTF_EXTENDEDKEY : 0);
  inputs.push_back(in);
}

// Gives the control the keyboard focus from outside its thread.
bool FocusControl(HWND control) {
  const DWORD target = GetWindowThreadProcessId(control, nullptr);
  const DWORD self = GetCurrentThreadId();
  if (!AttachThreadInput(self, target, TRUE)) return false;
  SetFocus(control);
  const bool ok = GetFocus() == control;
  AttachThreadInput(self, target, FALSE);
  return ok;
}

HWND FocusOf(HWND top) {
  GUITHREADINFO gui{};
  gui.cbSize = sizeof gui;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &gui) && gui.hwndFocus)
    return gui.hwndFocus;
  return top;
}

}  // namespace

bool ParseKey(const std::wstring& name, KeyCombo& key) {
  std::wstring rest = name;
  for (;;) {
    const size_t plus = rest.find(L'+');
    if (plus == std::wstring::npos || plus + 1 == rest.size()) break;
    const std::wstring mod = Lower(rest.substr(0, plus));
    if (mod == L"shift") key.modifiers.push_back(VK_SHIFT);
    else if (mod == L"ctrl" || mod == L"control") key.modifiers.push_back(VK_CONTROL);
    else if (mod == L"alt") key.modifiers.push_back(VK_MENU);
    else return false;
    rest = rest.substr(plus + 1);
  }
  const std::wstring lower = Lower(rest);
  for (const auto& k : kKeys)
    if (lower == k.name) {
      key.vk = k.vk;
      return true;
    }
  if (lower.size() >= 2 && lower[0] == L'f') {
    const int n = _wtoi(lower.c_str() + 1);
    if (n >= 1 && n <= 12) {
      key.vk = static_cast<WORD>(VK_F1 + n - 1);
      return true;
    }
  }
  if (rest.size() == 1 && std::iswalnum(rest[0])) {
    key.vk = static_cast<WORD>(std::towupper(rest[0]));
    return true;
  }
  return false;
}

bool SendKey(HWND top, HWND control, const KeyCombo& key, KeyRoute route, std::wstring& why) {
  bool alt = false;
  for (WORD m : key.modifiers) alt = alt || m == VK_MENU;

  if (route == KeyRoute::Input) {
    SetForegroundWindow(top);
    if (GetForegroundWindow() != top) {
      why = L"the window did not come to the foreground";
      return false;
    }
    if (control && !FocusControl(control)) {
      why = L"the control did not take the focus";
      return false;
    }
    std::vector<INPUT> inputs;
    for (WORD m : key.modifiers) AddInput(inputs, m, false);
    AddInput(inputs, key.vk, false);
    AddInput(inputs, key.vk, true);
    for (auto m = key.modifiers.rbegin(); m != key.modifiers.rend(); ++m) AddInput(inputs, *m, true);
    if (SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) != inputs.size()) {
      why = L"SendInput refused the keys";
      return false;
    }
  } else {
    if (control && !FocusControl(control)) {
      why = L"the control did not take the focus";
      return false;
    }
    const HWND target = control ? control : FocusOf(top);
    const UINT down = alt ? WM_SYSKEYDOWN : WM_KEYDOWN;
    const UINT up = alt ? WM_SYSKEYUP : WM_KEYUP;
    for (WORD m : key.modifiers)
      PostMessageW(target, down, m, KeyLParam(m, false, alt));
    PostMessageW(target, down, key.vk, KeyLParam(key.vk, false, alt));
    PostMessageW(target, up, key.vk, KeyLParam(key.vk, true, alt));
    for (auto m = key.modifiers.rbegin(); m != key.modifiers.rend(); ++m)
      PostMessageW(target, *m == VK_MENU ? WM_KEYUP : up, *m, KeyLParam(*m, true, false));
  }
  // Let the program take the keys before the tool ends: input is queued behind what the
  // window already has, so wait a moment and then until it answers.
  Sleep(100);
  Ping(top);
  return true;
}
