#include "workers/restore_rules.h"

#include "base/file_names.h"
#include "net/json_reader.h"

namespace {

void ReadList(TJSONReader& json, const char* path, std::vector<std::string>& paths,
              std::vector<std::string>& refused) {
  if (!json.HasXPath(path)) return;
  json.XPath(path);
  for (int i = 0; i < json.XChildrenCount(); ++i) {
    std::string value = stripQuotes(json.XChildXText(i));
    (filenames::IsSafeRelativePath(value) ? paths : refused).push_back(std::move(value));
  }
}

}  // namespace

RestoreRules ReadRestoreRules(const std::string& text) {
  TJSONReader json;
  json.Input(text);
  RestoreRules rules;
  rules.present = json.HasXPath("/json/restore");
  if (!rules.present) return rules;
  ReadList(json, "/json/restore/folder", rules.folders, rules.refused);
  ReadList(json, "/json/restore/files", rules.files, rules.refused);
  return rules;
}
