#include "ui/location_page.h"

#include <objbase.h>
#include <cctype>
#include <shlobj.h>

#include "base/file_system.h"
#include "base/handles.h"
#include "base/lifecycle.h"
#include "base/text.h"
#include "base/win_text.h"
#include "install/files.h"
#include "lang/language.h"
#include "log/log.h"
#include "state/state.h"
#include "ui/component_page.h"
#include "ui/wizard.h"

namespace {

using L = TLocationForm;
constexpr int kGbX = 272, kGbY = 164;  // the edit and Browse sit inside the destination box
constexpr DWORD kButton = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;

// In tab order; the group box last, so it paints below the controls inside it.
constexpr ControlSpec kControls[] = {
    {L::kEdInstPath, L"EDIT", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, kGbX + 16, kGbY + 48,
     353, 21, nullptr},
    {L::kBtnBrowse, L"BUTTON", kButton, 0, kGbX + 16, kGbY + 96, 75, 25, &txtBrowse},
    {L::kBtnBack, L"BUTTON", kButton, 0, 488, 424, 75, 25, &txtBack},
    {L::kBtnNext, L"BUTTON", kButton | BS_DEFPUSHBUTTON, 0, 582, 424, 75, 25, &txtNext},
    {L::kBtnCancel, L"BUTTON", kButton, 0, 392, 424, 75, 25, &txtCancel},
    {L::kGbInstPath, L"BUTTON", WS_VISIBLE | BS_GROUPBOX | WS_CLIPSIBLINGS, 0, kGbX, kGbY, 385, 133,
     &txtDestinationFolder},
};

// The folder below a chosen base folder where the application goes.
std::string WithProductFolders(const std::string& base) {
  return text::ExcludeTrailingBackslash(base) + "\\" + InstallRec.Provider + "\\" + InstallRec.Producer;
}

// A destination the installation can use: a full path on a drive ("C:\...") or a share
// ("\\server\share\..."). Anything else (empty, relative, "C:" alone) would end up in
// whatever folder the program happens to run in.
bool IsFullPath(const std::string& path) {
  if (path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
      path[2] == '\\')
    return true;
  return path.size() >= 5 && path[0] == '\\' && path[1] == '\\' && path[2] != '\\' && path[2] != '?' &&
         path[2] != '.';
}

}  // namespace

TLocationForm::TLocationForm(Wizard& wizard, HWND owner)
    : PageBase(owner, Look{kClassName, WS_EX_APPWINDOW, 694, 471, false, PartnerPageLogo()}, kControls),
      wizard_(wizard) {
  Build();
  SetText(kEdInstPath, ProgramFilesDir + "\\" + InstallRec.Provider + "\\" + InstallRec.Producer);
}

void TLocationForm::OnCommand(int id, int code, HWND) {
  if (code != BN_CLICKED) return;
  switch (id) {
    case kBtnBrowse: btnBrowseClick(); break;
    case kBtnNext: btnNextClick(); break;
    case kBtnBack:
      if (TComponentForm* components = wizard_.ComponentForm()) wizard_.ShowBack(*this, *components);
      break;
    case kBtnCancel: btnCancelClick(); break;
  }
}

void TLocationForm::btnBrowseClick() {
  // The folder browser of the new style needs COM on this thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  ScopeExit uninit([com] {
    if (SUCCEEDED(com)) CoUninitialize();
  });
  std::string drive;
  try {
    drive = SystemDrive();
  } catch (const std::exception& e) {
    WriteLog("| Browse: " + std::string(e.what()));
    return;
  }
  // Rooted at the system drive: only its folders can be chosen.
  PIDLIST_ABSOLUTE root = ILCreateFromPathW(Widen(drive + "\\").c_str());
  ScopeExit freeRoot([root] {
    if (root) ILFree(root);
  });
  const std::wstring title = Widen(txtSelectDirectory);
  BROWSEINFOW info{};
  info.hwndOwner = hwnd();
  info.pidlRoot = root;
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_NEWDIALOGSTYLE | BIF_RETURNONLYFSDIRS | BIF_NONEWFOLDERBUTTON;
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
  if (!chosen) return;  // cancelled: the edit keeps its text
  ScopeExit freeChosen([chosen] { ILFree(chosen); });
  wchar_t path[MAX_PATH] = {};
  if (!SHGetPathFromIDListW(chosen, path) || !path[0]) return;
  SetText(kEdInstPath, WithProductFolders(Narrow(path)));
}

void TLocationForm::btnNextClick() {
  const std::string destination = text::Trim(WindowText(Control(kEdInstPath)));
  // Creates the folder with every missing parent; refused when that is not possible.
  bool usable = false;
  try {
    usable = IsFullPath(destination) && CanCreateFolder(destination);
  } catch (const std::exception& e) {
    WriteLog("| destination folder " + destination + ": " + e.what());
  }
  if (!usable) {
    MessageBoxW(hwnd(), Widen(txtNoWritePermission).c_str(), Widen(ApplicationTitle()).c_str(),
                MB_OK | MB_ICONWARNING);
    return;
  }
  SavePosition();
  InstallRec.InstPath = text::ExcludeTrailingBackslash(destination);
  wizard_.OpenSummary(*this);
}

void TLocationForm::btnCancelClick() { CancelSetup(); }

