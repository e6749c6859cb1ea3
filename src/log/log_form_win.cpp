// The log window: a plain top-level window with its own task-bar button and a read-only
// multi-line edit that shows a log file and the lines that follow.
#include <windows.h>

#include <fstream>
#include <memory>

#include "base/win_text.h"
#include "base/window_class.h"
#include "log/log_form.h"

namespace {
constexpr UINT WM_LOG_APPEND = WM_APP + 11;
const wchar_t kClassName[] = L"TLogForm";
}  // namespace

class TLogForm {
 public:
  TLogForm(std::function<void()> callback, const std::string& caption, const std::string& path)
      : CallBackFunc(std::move(callback)), logfilepath(path), caption_(caption) {}

  void Create() {
    RegisterOnce();
    hwnd_ = CreateWindowExW(WS_EX_APPWINDOW, kClassName, Widen(caption_).c_str(),
                            WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 600, 600, nullptr,
                            nullptr, GetModuleHandleW(nullptr), this);
  }
  HWND hwnd() const { return hwnd_; }

  void setSize(int width, int height) {
    SetWindowPos(hwnd_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
  }

  // Appends one line to the memo (on the window's thread).
  void log(const std::string& text) {
    const std::wstring w = Widen(text) + L"\r\n";
    const int len = GetWindowTextLengthW(Memo);
    SendMessageW(Memo, EM_SETSEL, len, len);
    SendMessageW(Memo, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(w.c_str()));
  }

  void Detach() { CallBackFunc = nullptr; }

 private:
  static void RegisterOnce() { RegisterPlainWindowClass(kClassName, &TLogForm::WndProc); }

  void FormCreate() {
    RECT rc;
    GetClientRect(hwnd_, &rc);
    Memo = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                           WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE |
                               ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_READONLY,
                           0, 0, rc.right, rc.bottom, hwnd_, nullptr, GetModuleHandleW(nullptr),
                           nullptr);
    SendMessageW(Memo, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
    loadLogFile(logfilepath);
  }

  void loadLogFile(const std::string& path) {
    SetWindowTextW(Memo, L"");
    std::ifstream in(Widen(path).c_str(), std::ios::binary);
    if (!in) return;
    std::string all, line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      all += FromAnsi(line) + "\r\n";
    }
    SetWindowTextW(Memo, Widen(all).c_str());
  }

  static LRESULT CALLBACK WndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<TLogForm*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    if (msg == WM_NCCREATE) {
      self = static_cast<TLogForm*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
      self->hwnd_ = h;
      SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (!self) return DefWindowProcW(h, msg, wp, lp);
    switch (msg) {
      case WM_CREATE:
        self->FormCreate();
        return 0;
      case WM_SIZE:
        if (self->Memo) MoveWindow(self->Memo, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
        return 0;
      case WM_LOG_APPEND: {
        std::unique_ptr<std::string> text(reinterpret_cast<std::string*>(lp));
        self->log(*text);
        return 0;
      }
      case WM_NCDESTROY: {
        SetWindowLongPtrW(h, GWLP_USERDATA, 0);
        auto cb = std::move(self->CallBackFunc);
        delete self;
        if (cb) cb();
        // Lines posted after the close are freed with the queue's remaining messages.
        MSG m;
        while (PeekMessageW(&m, h, WM_LOG_APPEND, WM_LOG_APPEND, PM_REMOVE))
          delete reinterpret_cast<std::string*>(m.lParam);
        return DefWindowProcW(h, msg, wp, lp);
      }
    }
    return DefWindowProcW(h, msg, wp, lp);
  }

  HWND Memo = nullptr;
  std::function<void()> CallBackFunc;
  std::string logfilepath;
  std::string caption_;
  HWND hwnd_ = nullptr;
};

TLogForm* OpenLogForm(const std::string& caption, const std::string& path,
                      std::function<void()> onClosed) {
  auto* form = new TLogForm(std::move(onClosed), caption, path);
  form->Create();
  if (!form->hwnd()) {
    delete form;
    return nullptr;
  }
  ShowWindow(form->hwnd(), SW_SHOW);
  return form;
}

void LogFormAppend(TLogForm* form, const std::string& line) {
  if (!form) return;
  auto* copy = new std::string(line);
  if (!PostMessageW(form->hwnd(), WM_LOG_APPEND, 0, reinterpret_cast<LPARAM>(copy))) delete copy;
}

void FreeLogForm(TLogForm* form) {
  if (!form) return;
  form->Detach();
  DestroyWindow(form->hwnd());
}
