#include "base/window_class.h"

bool RegisterPlainWindowClass(const wchar_t* name, WNDPROC proc) {
  const HINSTANCE module = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExW(module, name, &wc)) return true;
  wc = WNDCLASSEXW{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = module;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = name;
  return RegisterClassExW(&wc) != 0;
}
