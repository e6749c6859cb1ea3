// Shell links through the COM shell link object (IShellLinkW + IPersistFile).
#include "install/shell_links.h"

#include <windows.h>
#include <objbase.h>
#include <ole2.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cctype>

#include "state/state.h"
#include "base/errors.h"
#include "base/file_system.h"
#include "base/handles.h"
#include "base/text.h"
#include "base/win_error.h"
#include "base/win_text.h"
#include "install/files.h"
#include "log/log.h"

namespace {

// "X:\..." or "\\server\share\...": a link is saved only under a full path, never
// relative to whatever the current folder happens to be.
bool IsAbsolutePath(const std::string& p) {
  if (p.size() >= 3 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':' &&
      (p[2] == '\\' || p[2] == '/'))
    return true;
  return p.size() >= 3 && (p[0] == '\\' || p[0] == '/') && (p[1] == '\\' || p[1] == '/');
}

// OleInitialize for the calling thread; undone only when it succeeded.
class OleScope {
 public:
  OleScope() : ok_(SUCCEEDED(OleInitialize(nullptr))) {}
  ~OleScope() {
    if (ok_) OleUninitialize();
  }
  OleScope(const OleScope&) = delete;
  OleScope& operator=(const OleScope&) = delete;

 private:
  bool ok_;
};

[[noreturn]] void RaiseComError(const char* what, HRESULT hr) {
  throw EOSError(std::string(what) + ": " + SystemErrorText(static_cast<uint32_t>(hr)));
}

bool CreateStartMenu(const KNOWNFOLDERID& id, const char* opName, const std::string& subFolder,
                     const std::string& target, const std::string& linkName) {
  const std::string name = opName;
  WriteLog("start " + name);
  const std::string startMenu = KnownFolderPath(id);
  std::string linkPath;
  if (!subFolder.empty()) {
    const std::string folder = startMenu + "\\" + subFolder;
    if (IsAbsolutePath(folder)) ForceDirectories(folder);
    linkPath = folder + "\\" + linkName + ".lnk";
  } else {
    linkPath = startMenu + "\\" + linkName + ".lnk";
  }
  CreateLink(target, linkPath);
  WriteLog("end " + name + " -1");
  return true;
}

bool CreateAutoStart(const KNOWNFOLDERID& id, const char* opName, const std::string& target,
                     const std::string& linkName) {
  const std::string name = opName;
  WriteLog("start " + name);
  CreateLink(target, KnownFolderPath(id) + "\\" + linkName + ".lnk");
  WriteLog("end " + name + " -1");
  return true;
}

}  // namespace

bool CreateLink(const std::string& target, const std::string& linkPath) {
  OleScope ole;
  ComPtr<IShellLinkW> link;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.put_void());
  if (FAILED(hr)) RaiseComError("Cannot create the shell link object", hr);
  ComPtr<IPersistFile> file;
  hr = link->QueryInterface(IID_IPersistFile, file.put_void());
  if (FAILED(hr)) RaiseComError("Cannot create the shell link object", hr);

  const std::string workDir = text::IncludeTrailingBackslash(text::ExtractFileDir(target));
  const std::string icon = InstallRec.InstPath + "\\partner\\image\\ShortCut.ico";
  link->SetPath(Widen(target).c_str());
  link->SetWorkingDirectory(Widen(workDir).c_str());
  link->SetIconLocation(Widen(icon).c_str(), 0);

  if (!IsAbsolutePath(linkPath)) return false;
  try {
    return SUCCEEDED(file->Save(Widen(linkPath).c_str(), FALSE));
  } catch (...) {
    return false;
  }
}

bool CreateStartMenuAll(const std::string& subFolder, const std::string& target,
                        const std::string& linkName) {
  return CreateStartMenu(FOLDERID_CommonStartMenu, "CreateStartMenuAll", subFolder, target, linkName);
}

bool CreateStartMenuUser(const std::string& subFolder, const std::string& target,
                         const std::string& linkName) {
  return CreateStartMenu(FOLDERID_StartMenu, "CreateStartMenuUser", subFolder, target, linkName);
}

bool CreateAutoStartAll(const std::string& target, const std::string& linkName) {
  return CreateAutoStart(FOLDERID_CommonStartup, "CreateAutoStartAll", target, linkName);
}

bool CreateAutoStartUser(const std::string& target, const std::string& linkName) {
  return CreateAutoStart(FOLDERID_Startup, "CreateAutoStartUser", target, linkName);
}
