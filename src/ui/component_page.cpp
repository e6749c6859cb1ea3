#include "ui/component_page.h"

#include <commctrl.h>

#include "base/lifecycle.h"
#include "base/win_text.h"
#include "lang/language.h"
#include "log/log.h"
#include "state/state.h"
#include "ui/credentials_page.h"
#include "ui/wizard.h"

namespace {

using C = TComponentForm;
constexpr int kGbCompX = 272, kGbCompY = 164;  // the list sits inside the components box
constexpr int kGbUsersX = 272, kGbUsersY = 320;
constexpr DWORD kLabel = WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
constexpr DWORD kButton = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
// The two boxes are ticked by the page itself: they behave as a pair.
constexpr DWORD kCheck = WS_VISIBLE | WS_TABSTOP | BS_CHECKBOX;

// In tab order; the group boxes last, so they paint below the controls inside them.
constexpr ControlSpec kControls[] = {
    {C::kLbText3, L"STATIC", kLabel, 0, 272, 104, 385, 40, &txtComponentsIntro},
    {C::kClbComponentListBox, WC_LISTVIEWW,
     WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
     WS_EX_CLIENTEDGE, kGbCompX + 0, kGbCompY + 24, 385, 107, nullptr},
    {C::kCbAnyone, L"BUTTON", kCheck, 0, kGbUsersX + 40, kGbUsersY + 24, 97, 17, &txtForAnyone},
    {C::kCbJustme, L"BUTTON", kCheck, 0, kGbUsersX + 143, kGbUsersY + 24, 200, 17, &txtJustMe},
    {C::kBtnBack, L"BUTTON", kButton, 0, 488, 424, 75, 25, &txtBack},
    {C::kBtnNext, L"BUTTON", kButton | BS_DEFPUSHBUTTON, 0, 582, 424, 75, 25, &txtNext},
    {C::kBtnCancel, L"BUTTON", kButton, 0, 392, 424, 75, 25, &txtCancel},
    {C::kGbComponents, L"BUTTON", WS_VISIBLE | BS_GROUPBOX | WS_CLIPSIBLINGS, 0, kGbCompX, kGbCompY, 385, 133,
     &txtComponents},
    {C::kGbInstallFor, L"BUTTON", WS_VISIBLE | BS_GROUPBOX | WS_CLIPSIBLINGS, 0, kGbUsersX, kGbUsersY, 385, 57,
     &txtChooseUsers},
};

constexpr char kApplicationComponent[] = "Orfeda";

bool ItemChecked(HWND list, int index) {
  const auto state = static_cast<UINT>(SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(index),
                                                    LVIS_STATEIMAGEMASK));
  return ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

std::string ItemText(HWND list, int index) {
  wchar_t buffer[512] = {};
  LVITEMW item{};
  item.iSubItem = 0;
  item.pszText = buffer;
  item.cchTextMax = static_cast<int>(std::size(buffer));
  SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  return Narrow(buffer);
}

}  // namespace

TComponentForm::TComponentForm(Wizard& wizard, HWND owner)
    : PageBase(owner, Look{kClassName, WS_EX_APPWINDOW, 694, 471, false, PartnerPageLogo()}, kControls),
      wizard_(wizard) {
  Build();
  SendMessageW(Control(kCbAnyone), BM_SETCHECK, BST_CHECKED, 0);
  SendMessageW(Control(kCbJustme), BM_SETCHECK, BST_UNCHECKED, 0);
  FillComponents();
}

void TComponentForm::FillComponents() {
  HWND list = Control(kClbComponentListBox);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
               LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  RECT client{};
  GetClientRect(list, &client);
  LVCOLUMNW column{};
  column.mask = LVCF_WIDTH;
  column.cx = client.right - client.left - GetSystemMetrics(SM_CXVSCROLL);
  SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
  int index = 0;
  for (const TComponentList& component : ComponentList) {
    const std::wstring name = Widen(component.name);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = const_cast<wchar_t*>(name.c_str());
    SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    // The application itself is always installed: ticked, and the tick cannot be taken away.
    const bool application = component.name == kApplicationComponent;
    ListView_SetCheckState(list, index, application ? TRUE : FALSE);
    locked_.push_back(application);
    ++index;
  }
  if (index > 0) ListView_SetItemState(list, 0, LVIS_FOCUSED, LVIS_FOCUSED);
  filled_ = true;
}

ComponentChoices TComponentForm::Choices() const {
  HWND list = Control(kClbComponentListBox);
  ComponentChoices choices;
  const auto count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) choices.push_back({ItemText(list, i), ItemChecked(list, i)});
  return choices;
}

LRESULT TComponentForm::OnListNotify(const NMHDR& hdr) {
  if (hdr.code == LVN_ITEMCHANGING && filled_) {
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(hdr);
    if (!(change.uChanged & LVIF_STATE) || !((change.uOldState ^ change.uNewState) & LVIS_STATEIMAGEMASK))
      return FALSE;
    const bool checked = ((change.uNewState & LVIS_STATEIMAGEMASK) >> 12) == 2;
    const bool locked = change.iItem >= 0 && static_cast<size_t>(change.iItem) < locked_.size() &&
                        locked_[static_cast<size_t>(change.iItem)];
    return locked && !checked ? TRUE : FALSE;
  }
  if (hdr.code == NM_CUSTOMDRAW) {
    auto& draw = const_cast<NMLVCUSTOMDRAW&>(reinterpret_cast<const NMLVCUSTOMDRAW&>(hdr));
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
    if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
      const size_t item = draw.nmcd.dwItemSpec;
      if (item < locked_.size() && locked_[item]) draw.clrText = GetSysColor(COLOR_GRAYTEXT);
      return CDRF_DODEFAULT;
    }
  }
  return 0;
}

LRESULT TComponentForm::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NOTIFY) {
    const auto* hdr = reinterpret_cast<const NMHDR*>(lp);
    if (hdr && hdr->idFrom == kClbComponentListBox) return OnListNotify(*hdr);
  }
  return PageBase::HandleMessage(msg, wp, lp);
}

void TComponentForm::OnCommand(int id, int code, HWND) {
  if (code != BN_CLICKED) return;
  switch (id) {
    case kBtnNext: btnNextClick(); break;
    case kBtnBack:
      if (TCredentialsForm* login = wizard_.CredentialsForm()) wizard_.ShowBack(*this, *login);
      break;
    case kBtnCancel: btnCancelClick(); break;
    case kCbAnyone: cbAnyoneClick(); break;
    case kCbJustme: cbJustmeClick(); break;
  }
}

void TComponentForm::cbAnyoneClick() {
  SendMessageW(Control(kCbJustme), BM_SETCHECK, BST_UNCHECKED, 0);
  SendMessageW(Control(kCbAnyone), BM_SETCHECK, BST_CHECKED, 0);
}

void TComponentForm::cbJustmeClick() {
  SendMessageW(Control(kCbAnyone), BM_SETCHECK, BST_UNCHECKED, 0);
  SendMessageW(Control(kCbJustme), BM_SETCHECK, BST_CHECKED, 0);
}

void TComponentForm::btnNextClick() {
  SavePosition();
  bool any = false;
  for (const ComponentChoice& choice : Choices()) any = any || choice.ticked;
  if (!any) {
    MessageBoxW(hwnd(), Widen(txtChooseOneComponent).c_str(), Widen(ApplicationTitle()).c_str(),
                MB_OK | MB_ICONWARNING);
    return;
  }
  InstallRec.Users = SendMessageW(Control(kCbAnyone), BM_GETCHECK, 0, 0) == BST_CHECKED ? "all" : "me";
  wizard_.OpenLocation(*this);
}

void TComponentForm::btnCancelClick() { CancelSetup(); }

