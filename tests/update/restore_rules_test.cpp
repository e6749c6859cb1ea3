#include <gtest/gtest.h>

#include "base/errors.h"
#include "workers/restore_rules.h"

namespace {

using List = std::vector<std::string>;

struct RulesCase {
  const char* name;
  const char* json;
  bool present;
  List folders;
  List files;
  List refused;
};

const RulesCase kCases[] = {
    {"folders and files in order",
     R"({"restore":{"folder":["profiles","data\\archive"],"files":["settings.ini","cfg/user.xml"]}})", true,
     {"profiles", "data\\archive"}, {"settings.ini", "cfg/user.xml"}, {}},
    {"no restore member", R"({"other":1})", false, {}, {}, {}},
    {"restore without lists", R"({"restore":{}})", true, {}, {}, {}},
    {"only files", R"({"restore":{"files":["a.ini"]}})", true, {}, {"a.ini"}, {}},
    {"a list that is no array", R"({"restore":{"folder":"profiles"}})", true, {}, {}, {}},
    {"hostile paths are refused",
     R"({"restore":{"folder":["..","..\\..\\Windows","C:\\Windows","\\\\srv\\share","\\abs","ok"],)"
     R"("files":["a/../../b","C:x.ini","NUL","x.ini."]}})",
     true, {"ok"}, {},
     {"..", "..\\..\\Windows", "C:\\Windows", "\\\\srv\\share", "\\abs", "a/../../b", "C:x.ini", "NUL", "x.ini."}},
    {"an empty path is refused", R"({"restore":{"files":[""]}})", true, {}, {}, {""}},
    {"empty document", "", false, {}, {}, {}},
};

TEST(RestoreRules, ReadsFoldersAndFilesAndRefusesPathsLeavingTheRoot) {
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const RestoreRules rules = ReadRestoreRules(c.json);
    EXPECT_EQ(rules.present, c.present);
    EXPECT_EQ(rules.folders, c.folders);
    EXPECT_EQ(rules.files, c.files);
    EXPECT_EQ(rules.refused, c.refused);
  }
}

TEST(RestoreRules, InvalidJsonRaises) {
  EXPECT_THROW(ReadRestoreRules(R"({"restore":{"folder":["a")"), EJSONError);
}

}  // namespace
