#pragma once
// One page of a tab control: a plain child window laid over the tab control's display area
// that holds the page's controls. What its controls report (commands, notifications, colour
// questions) goes on to the window that holds the tab control, so that window handles all
// of its controls in one place; Tab and the arrow keys reach the page's controls.
#include <windows.h>

#include <string>

#include "ui/window_base.h"

class TabSheet : public WindowBase {
 public:
  // A hidden page of `tab`, a child of the tab control's parent with the control id `id`.
  TabSheet(HWND tab, int id);

  // Lays the page over the tab control's display area (after the tab control moved, its
  // font changed or its DPI changed).
  void PlaceOverTab();
  void SetVisible(bool visible);

  static constexpr const wchar_t* kClassName = L"TabSheet";

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  HWND tab_;
};

// Makes sure the common controls' tab control class is registered.
void RegisterTabControlClass();
// Adds a tab with the text at the end of the tab control.
void AddTab(HWND tab, const std::string& text);
// The index of the tab control's selected tab (-1: none).
int SelectedTab(HWND tab);
