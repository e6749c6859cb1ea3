#include "control_actions.h"

#include <commctrl.h>

#include "control_read.h"
#include "tree_view.h"
#include "window_find.h"

namespace {

bool Usable(HWND c) { return IsWindowVisible(c) && IsWindowEnabled(c); }

// The index the choice names, or -1.
int IndexOf(HWND control, const ItemChoice& item) {
  const auto texts = ItemTexts(control);
  if (!texts) return -1;
  const int count = static_cast<int>(texts->size());
  if (!item.hasText) return item.index < count ? item.index : -1;
  for (int i = 0; i < count; ++i)
    if ((*texts)[static_cast<size_t>(i)] == item.text) return i;
  return -1;
}

void NotifyParent(HWND control, WORD code) {
  Deliver(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code),
          reinterpret_cast<LPARAM>(control));
}

}  // namespace

void Deliver(HWND h, UINT msg, WPARAM wp, LPARAM lp, DWORD waitMs) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(h, msg, wp, lp, SMTO_NORMAL, waitMs, &ignored);
}

bool Ping(HWND h, DWORD timeoutMs) {
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutW(h, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &ignored) != 0;
}

Outcome SetEditText(HWND edit, const std::wstring& text) {
  if (!ClassIs(edit, L"Edit") || !Usable(edit) || (GetWindowLongW(edit, GWL_STYLE) & ES_READONLY))
    return Outcome::NotUsable;
  Deliver(edit, EM_SETSEL, 0, -1);
  // The system copies EM_REPLACESEL's string into the other process, as for WM_SETTEXT.
  Deliver(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
  return WindowText(edit) == text ? Outcome::Done : Outcome::Refused;
}

Outcome SelectItem(HWND c, const ItemChoice& item) {
  if (!Usable(c)) return Outcome::NotUsable;
  if (ClassIs(c, WC_TREEVIEWW))
    return item.hasText && SelectTreePath(c, item.text) ? Outcome::Done : Outcome::NoItem;
  const int index = IndexOf(c, item);
  if (index < 0) return Outcome::NoItem;
  if (ClassIs(c, L"ComboBox")) {
    Deliver(c, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    NotifyParent(c, CBN_SELCHANGE);
    return Ask(c, CB_GETCURSEL) == index ? Outcome::Done : Outcome::Refused;
  }
  if (ClassIs(c, L"ListBox")) {
    const LONG style = GetWindowLongW(c, GWL_STYLE);
    if (style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) {
      Deliver(c, LB_SETSEL, FALSE, -1);
      Deliver(c, LB_SETSEL, TRUE, index);
    } else {
      Deliver(c, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
    if (style & LBS_NOTIFY) NotifyParent(c, LBN_SELCHANGE);
    return Ask(c, LB_GETSEL, static_cast<WPARAM>(index)) > 0 ? Outcome::Done : Outcome::Refused;
  }
  if (ClassIs(c, WC_LISTVIEWW)) {
    if (!ListViewSetState(c, -1, 0, LVIS_SELECTED) ||
        !ListViewSetState(c, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED))
      return Outcome::NotUsable;
    Deliver(c, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE);
    return Ask(c, LVM_GETITEMSTATE, static_cast<WPARAM>(index), LVIS_SELECTED) & LVIS_SELECTED
               ? Outcome::Done
               : Outcome::Refused;
  }
  if (ClassIs(c, WC_TABCONTROLW)) {
    Deliver(c, TCM_SETCURFOCUS, static_cast<WPARAM>(index), 0);
    return Ask(c, TCM_GETCURSEL) == index ? Outcome::Done : Outcome::Refused;
  }
  return Outcome::NotUsable;
}

Outcome Tick(HWND c, const ItemChoice& item, bool on) {
  if (!Usable(c)) return Outcome::NotUsable;
  if (ClassIs(c, WC_LISTVIEWW)) {
    if (!ListViewHasCheckBoxes(c)) return Outcome::NotUsable;
    const int index = IndexOf(c, item);
    if (index < 0) return Outcome::NoItem;
    if (ListViewChecked(c, index) == on) return Outcome::Done;
    if (!ListViewSetState(c, index, INDEXTOSTATEIMAGEMASK(on ? 2 : 1), LVIS_STATEIMAGEMASK))
      return Outcome::Refused;
    return ListViewChecked(c, index) == on ? Outcome::Done : Outcome::Refused;
  }
  if (!ClassIs(c, L"Button")) return Outcome::NotUsable;
  const ButtonKind kind = ButtonKindOf(c);
  // A radio button cannot be unticked by clicking it: the user picks another one.
  if (kind != ButtonKind::CheckBox && !(kind == ButtonKind::Radio && on)) return Outcome::NotUsable;
  const LRESULT want = on ? BST_CHECKED : BST_UNCHECKED;
  // A three-state box goes unticked, ticked, indeterminate: at most two clicks away.
  for (int clicks = 0; clicks < 3 && Ask(c, BM_GETCHECK) != want; ++clicks) Deliver(c, BM_CLICK, 0, 0);
  return Ask(c, BM_GETCHECK) == want ? Outcome::Done : Outcome::Refused;
}

Outcome Click(HWND button) {
  if (!Usable(button)) return Outcome::NotUsable;
  Deliver(button, BM_CLICK, 0, 0);
  return Outcome::Done;
}
