#include "install/manifest.h"

#include "state/state.h"
#include "base/errors.h"
#include "base/file_system.h"
#include "base/handles.h"
#include "base/win_error.h"
#include "base/win_text.h"
#include "install/files.h"
#include "install/manifest_text.h"
#include "log/log.h"
#include "net/json_reader.h"

namespace {

constexpr DWORD kMaxManifestSize = 32u * 1024 * 1024;

std::string ReadAllBytes(const std::string& path) {
  UniqueFile file(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) throw EInOutError("Cannot open file \"" + path + "\". " + SystemErrorText(GetLastError()));
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) throw EInOutError("Cannot read file \"" + path + "\"");
  if (size.QuadPart > kMaxManifestSize) throw EInOutError("File too large: \"" + path + "\"");
  std::string data(static_cast<size_t>(size.QuadPart), '\0');
  DWORD got = 0;
  if (!data.empty() && (!ReadFile(file.get(), data.data(), static_cast<DWORD>(data.size()), &got, nullptr) ||
                        got != data.size()))
    throw EInOutError("Cannot read file \"" + path + "\"");
  return data;
}

// A script name must stay inside the exec folder.
bool IsPlainScriptName(const std::string& name) {
  if (name.empty() || name.find(':') != std::string::npos) return false;
  if (name.front() == '\\' || name.front() == '/') return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of("\\/", start);
    if (end == std::string::npos) end = name.size();
    std::string part = name.substr(start, end - start);
    if (part == "..") return false;
    start = end + 1;
  }
  return true;
}

bool RunScripts(const std::string& list) {
  WriteLog("start " + list + "ute");
  std::string manifest = InstallRec.FromDir + "\\setup.json";
  WriteLog("reading file: " + manifest);
  TJSONReader json;
  json.Input(ReadManifestText(manifest));
  bool ok = true;
  if (json.HasXPath("/json/" + list)) {
    json.XPath("/json/" + list);
    std::vector<std::string> names;
    for (int i = 0; i < json.XChildrenCount(); ++i) names.push_back(stripQuotes(json.XChildXText(i)));
    for (const auto& name : names) {
      int code = IsPlainScriptName(name)
                     ? RunAndWait(InstallRec.FromDir + "\\exec\\" + name, InstallRec.InstPath, "")
                     : 1;  // a name leaving the exec folder is never started
      if (code == 0) {
        WriteLog("Execution of " + list + " script \"" + name + "\" succeed.");
      } else {
        WriteLog("Execution of " + list + " script \"" + name + "\" failed.");
        ok = false;
      }
    }
  }
  WriteLog("end " + list + "ute");
  return ok;
}

}  // namespace

std::string ReadManifestText(const std::string& path) {
  return DecodeManifestBytes(ReadAllBytes(path), [](std::string_view ansi) { return FromAnsi(ansi); });
}

bool ReadComponents(const std::string& path) {
  if (!FileExists(path)) {
    WriteLog("| FileExists NOT ok " + path);
    return true;
  }
  WriteLog("| FileExists ok " + path);
  TJSONReader json;
  json.Input(ReadManifestText(path));
  if (!json.HasXPath("/json/components")) return true;
  json.XPath("/json/components");
  const int count = json.XChildrenCount();
  TComponentListArray list(static_cast<size_t>(count));
  for (int i = 1; i <= count; ++i) {
    TComponentList& entry = list[static_cast<size_t>(i - 1)];
    json.XPath("/json/components");
    entry.component = json.XChildName(i - 1);
    const std::string base = "/json/components/[" + std::to_string(i) + "]/";
    if (!ReadStripped(json, base + "Name", entry.name)) entry.name = entry.component;
    ReadStripped(json, base + "cmd", entry.cmd);
  }
  ComponentList = std::move(list);
  return true;
}

bool RunPreExec() { return RunScripts("preexec"); }
bool RunPostExec() { return RunScripts("postexec"); }
