#pragma once
// The base of the program's own windows: the window class is registered the first time it
// is asked for, the object is attached to its window from WM_NCCREATE on, and the object
// owns the window (destroying the object destroys the window).
#include <windows.h>

#include <string>

class WindowBase {
 public:
  WindowBase(const WindowBase&) = delete;
  WindowBase& operator=(const WindowBase&) = delete;
  virtual ~WindowBase();

  HWND hwnd() const { return hwnd_; }

 protected:
  WindowBase() = default;

  // Creates the window with this object attached. Call it once the derived object is
  // complete (its messages reach HandleMessage of the most derived class from the first
  // one on). Raises EOSError when the class cannot be registered or the window not created.
  void CreateWindowFor(const wchar_t* className, DWORD exStyle, const std::string& title,
                       DWORD style, int x, int y, int width, int height, HWND parent,
                       HMENU menu = nullptr);

  // Every message of the window; the default hands it to DefWindowProcW. An exception that
  // escapes is logged and the message counts as handled with 0.
  virtual LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

 private:
  static LRESULT CALLBACK WndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);

  HWND hwnd_ = nullptr;
};
