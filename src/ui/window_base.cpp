#include "ui/window_base.h"

#include <utility>

#include "base/errors.h"
#include "base/win_error.h"
#include "base/win_text.h"
#include "base/window_class.h"
#include "log/log.h"

WindowBase::~WindowBase() {
  if (!hwnd_) return;
  // The derived parts are gone already: the messages of the destruction go to the default
  // procedure, not to a half-destroyed object.
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  DestroyWindow(std::exchange(hwnd_, nullptr));
}

void WindowBase::CreateWindowFor(const wchar_t* className, DWORD exStyle, const std::string& title,
                                 DWORD style, int x, int y, int width, int height, HWND parent,
                                 HMENU menu) {
  if (!RegisterPlainWindowClass(className, &WindowBase::WndProc))
    throw EOSError("Cannot register the window class " + Narrow(className) + ": " +
                   SystemErrorText(GetLastError()));
  HWND h = CreateWindowExW(exStyle, className, Widen(title).c_str(), style, x, y, width, height,
                           parent, menu, GetModuleHandleW(nullptr), this);
  if (!h) throw EOSError("Cannot create the window " + Narrow(className) + ": " +
                         SystemErrorText(GetLastError()));
}

LRESULT WindowBase::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

LRESULT CALLBACK WindowBase::WndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<WindowBase*>(GetWindowLongPtrW(h, GWLP_USERDATA));
  if (msg == WM_NCCREATE) {
    self = static_cast<WindowBase*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    if (self) {
      self->hwnd_ = h;
      SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
  }
  if (!self) return DefWindowProcW(h, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    // Destroyed from outside (an owner's end): the object no longer owns a window.
    SetWindowLongPtrW(h, GWLP_USERDATA, 0);
    LRESULT r = 0;
    try {
      r = self->HandleMessage(msg, wp, lp);
    } catch (...) {
    }
    self->hwnd_ = nullptr;
    return r;
  }
  try {
    return self->HandleMessage(msg, wp, lp);
  } catch (const std::exception& e) {
    // An error must not cross the system's window procedure frames.
    WriteLog("Exception Error in: window message " + std::to_string(msg));
    WriteLog(DescribeError(e));
  } catch (...) {
    WriteLog("Exception Error in: window message " + std::to_string(msg));
  }
  return 0;
}
