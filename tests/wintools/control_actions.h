#pragma once
// Changing controls of another program the way a user's input would: the program gets the
// same notifications (EN_CHANGE, CBN_SELCHANGE, BN_CLICKED, LVN_ITEMCHANGED).
#include <windows.h>

#include <string>

enum class Outcome {
  Done,
  NotUsable,  // hidden, disabled, read-only, or the wrong kind of control for the action
  NoItem,     // no item with that text or index
  Refused,    // the change was made but the program put the old state back
};

// An item of a list: by its exact text, else by its index.
struct ItemChoice {
  std::wstring text;
  bool hasText = false;
  int index = -1;
  bool Given() const { return hasText || index >= 0; }
};

// Selects the edit's whole text and replaces it (as typing over it): EN_UPDATE, EN_CHANGE.
Outcome SetEditText(HWND edit, const std::wstring& text);
// Combo box (CBN_SELCHANGE to the parent), list box (LBN_SELCHANGE when it notifies), list
// view (the item selected and focused), tab control (TCN_SELCHANGING, TCN_SELCHANGE),
// tree view (the item at a path "A|B|C", every level opened on the way).
Outcome SelectItem(HWND control, const ItemChoice& item);
// Check box or radio button (clicked until it shows the wanted state), or a list view
// item's check box.
Outcome Tick(HWND control, const ItemChoice& item, bool on);
// BM_CLICK: the button takes the focus and sends BN_CLICKED, as a mouse click does.
Outcome Click(HWND button);

// Delivers a message and waits until the program handled it, at most waitMs (a handler
// that opens a modal message box goes on after that).
void Deliver(HWND h, UINT msg, WPARAM wp, LPARAM lp, DWORD waitMs = 1000);
// Waits until the window's thread has handled everything sent to it before (WM_NULL).
bool Ping(HWND h, DWORD timeoutMs = 2000);
