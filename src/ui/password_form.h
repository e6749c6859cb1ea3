#pragma once
// The debug password dialog: an edit that shows "*" for every character and an OK button.
#include <windows.h>

#include <string>

class TPasswordForm {
 public:
  TPasswordForm(HWND owner, const std::string& caption);
  ~TPasswordForm();
  TPasswordForm(const TPasswordForm&) = delete;
  TPasswordForm& operator=(const TPasswordForm&) = delete;

  // Shows the dialog and returns when it has closed.
  void ShowModal();

  HWND Edpassword = nullptr;
  HWND BtnOK = nullptr;
  std::string password;  // what the user confirmed; empty until then

  static constexpr int kEditId = 101;

 private:
  void BtnOKClick();
  void Close();
  static LRESULT CALLBACK WndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);

  HWND owner_;
  std::string caption_;
  HWND hwnd_ = nullptr;
  HFONT font_ = nullptr;
  bool closed_ = false;
};
